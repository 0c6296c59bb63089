#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing;
# with "package", building the Debian package; with "package-check", the
# package stage's checks beside it; with "fuzz", clang with its fuzzer,
# sanitizer runtimes and coverage tools; with "package-reprotest" and
# "package-diff", the second build that shows the package reproducible and
# the tool that shows how two builds differ; with "cross-ARCH", building the
# package for the Debian architecture ARCH on this one) needs, only those
# that are missing. Runs as root on Debian 12 or 13.
# Usage: scripts/install-deps.sh [test|fuzz|package|package-check|package-reprotest|package-diff|cross-ARCH]...
set -euo pipefail

build_packages=(cmake g++ make pkg-config libgtk-4-dev gettext)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool imagemagick
               desktop-file-utils appstream dbus-daemon libx11-dev libxtst-dev fonts-dejavu-core weston
               at-spi2-core python3-pyatspi)

# The format check is pinned to one clang-format release, the one Debian 12
# ships; elsewhere the suite runs without it.
. /etc/os-release
[ "${VERSION_CODENAME:-}" = bookworm ] && test_packages+=(clang-format-14 git)
# The screen reader plays the game where the board has an object per square
# and moves are announced (GTK 4.14 and newer: not on Debian 12).
[ "${VERSION_CODENAME:-}" = bookworm ] || test_packages+=(orca gsettings-desktop-schemas)
# The packaging test renders the manual page.
test_packages+=(groff-base)
# The game is tried in a player's own locales, made from these sources (with
# the system's own translations, which stay off standard output).
test_packages+=(locales)
test_locales=(en_US de_DE)
# The window style test switches the desktop's theme as a desktop's
# settings daemon does.
test_packages+=(xsettingsd)
# The link's fault test and bench/network_faults.sh make a network's faults
# with nftables; the benchmark brings its namespaces' loopback up with ip.
test_packages+=(nftables iproute2)

# libFuzzer comes with clang's runtime libraries, llvm-cov and llvm-profdata
# with its tools: Debian 12's clang 14, and the default clang of later lines.
if [ "${VERSION_CODENAME:-}" = bookworm ]; then
  fuzz_packages=(clang-14 libclang-rt-14-dev llvm-14)
else
  fuzz_packages=(clang libclang-rt-dev llvm)
fi

# What debian/control's Build-Depends names, with the tools that run the
# package build (locales-all: a build-time test reads the player's language
# in a locale of the player's own, which no new root has made).
package_packages=(build-essential debhelper dpkg-dev pkgconf libgtest-dev gettext locales-all)
# lintian and piuparts; reprotest, with what its variations need (faketime
# for the clock, sudo for the other user and host name, disorderfs for the
# file order, the locales whose sources make the other locale); diffoscope,
# when two builds differ.
package_check_packages=(lintian piuparts)
package_reprotest_packages=(reprotest faketime sudo disorderfs locales)
package_diff_packages=(diffoscope-minimal)

wanted=("${build_packages[@]}")
cross=()
locales_wanted=()
for group in "$@"; do
  case $group in
    test) wanted+=("${test_packages[@]}"); locales_wanted+=("${test_locales[@]}") ;;
    fuzz) wanted+=("${fuzz_packages[@]}") ;;
    package) wanted+=("${package_packages[@]}") ;;
    package-check) wanted+=("${package_check_packages[@]}") ;;
    package-reprotest) wanted+=("${package_reprotest_packages[@]}") ;;
    package-diff) wanted+=("${package_diff_packages[@]}") ;;
    cross-?*) cross+=("${group#cross-}"); wanted+=("crossbuild-essential-${group#cross-}") ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

# A cross-build takes the host architecture's Build-Depends (its libraries,
# for that architecture) as apt resolves them from debian/control, and this
# machine's tools for the rest.
source_tree="$(dirname "$0")/.."
cross_build_deps_missing() {
  local arch
  for arch in "${cross[@]}"; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || return 0
    (cd "$source_tree" && dpkg-checkbuilddeps -a "$arch" 2>/dev/null) || return 0
  done
  return 1
}
install_cross_build_deps() {
  local arch
  for arch in "${cross[@]}"; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || dpkg --add-architecture "$arch"
  done
  apt-get update -q
  for arch in "${cross[@]}"; do
    (cd "$source_tree" && apt-get build-dep -y -q --no-install-recommends -a "$arch" ./)
  done
}

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
missing_locales=()
for name in "${locales_wanted[@]}"; do
  locale -a 2>/dev/null | grep -qx "$name.utf8" || missing_locales+=("$name")
done
cross_missing=false
[ ${#cross[@]} -gt 0 ] && cross_build_deps_missing && cross_missing=true
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && ! $cross_missing && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root, or install these packages first: ${missing[*]}; and make these locales: ${missing_locales[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if $cross_missing; then
  echo "Installing the build dependencies for ${cross[*]}"
  install_cross_build_deps
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $cross_missing || apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for name in "${missing_locales[@]}"; do
  echo "Making the locale $name.UTF-8"
  localedef -i "$name" -f UTF-8 "$name.UTF-8"
done
