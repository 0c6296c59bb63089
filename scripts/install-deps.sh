#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing)
# needs, only those that are missing. Runs as root on Debian 12 or 13.
set -euo pipefail

build_packages=(cmake g++ make pkg-config libgtk-4-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool imagemagick
               desktop-file-utils appstream dbus-daemon libx11-dev fonts-dejavu-core weston
               at-spi2-core python3-pyatspi)

# The format check is pinned to one clang-format release, the one Debian 12
# ships; elsewhere the suite runs without it.
. /etc/os-release
[ "${VERSION_CODENAME:-}" = bookworm ] && test_packages+=(clang-format-14 git)

wanted=("${build_packages[@]}")
[ "${1:-}" = test ] && wanted+=("${test_packages[@]}")

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root, or install these packages first: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
