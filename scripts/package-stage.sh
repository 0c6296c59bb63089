#!/usr/bin/env bash
# The Debian package, built and checked the way a distribution would, for one
# suite (trixie by default, or bookworm):
#  1. in the suite's root that scripts/debian-stage.sh keeps, scripts/package.sh
#     builds it with dpkg-buildpackage, then builds it again from another path
#     under another umask, time zone and locale and fails unless the packages
#     are identical; lintian checks the result, pedantic, failing on any error
#     or warning;
#  2. a copy of a second root, which never gets a package of its own, installs
#     the .deb with apt, runs the package's autopkgtest against it, checks its
#     files and purges it (tests/packaging/check-install.sh --package).
# Usage: scripts/package-stage.sh [SUITE]
# Environment: as scripts/debian-stage.sh (TAVELORN_ROOTS, TAVELORN_ROOT_MAX_DAYS).
set -euo pipefail
cd "$(dirname "$0")/.."

suite=${1:-trixie}
roots=${TAVELORN_ROOTS:-/var/tmp/tavelorn-roots}
export TAVELORN_ROOTS=$roots
build_root="$roots/$suite"
pristine="$roots/pristine"
install="$roots/install"
version=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' debian/changelog)

scripts/debian-stage.sh "$suite" bash -c '
  set -e
  scripts/package.sh
  scripts/package.sh --twin
  scripts/install-deps.sh package-check
  echo "== lintian =="
  lintian --pedantic -I --allow-root --fail-on error,warning build-deb/*.changes'
deb=$(find "$build_root/src" -maxdepth 1 -name "tavelorn_${version}_*.deb" | head -n 1)
[ -n "$deb" ] || { echo "package-stage: no tavelorn_${version} package was built" >&2; exit 1; }

# The pristine root is made (or reused) by the Debian stage itself, with a
# command that installs nothing.
TAVELORN_ROOTS=$pristine scripts/debian-stage.sh "$suite" true >/dev/null

copy="$install/$suite"
remove_copy() {
  if grep -q " $copy/" /proc/self/mounts; then
    echo "package-stage: $copy still has mounts; not removing it" >&2
    return 1
  fi
  rm -rf "$copy"
}
remove_copy
mkdir -p "$install"
echo "== Copying the pristine $suite root =="
cp -a "$pristine/$suite" "$copy"
cp "$deb" "$copy/var/tmp/"
# Packages the build root already fetched spare the copy a download; only
# what apt chooses for the package gets installed.
fetched=("$build_root"/var/cache/apt/archives/*.deb)
if [ -e "${fetched[0]}" ]; then
  cp -ln "${fetched[@]}" "$copy/var/cache/apt/archives/" 2>/dev/null ||
    cp -n "${fetched[@]}" "$copy/var/cache/apt/archives/"
fi

TAVELORN_ROOTS=$install scripts/debian-stage.sh "$suite" \
  tests/packaging/check-install.sh --package "/var/tmp/${deb##*/}"
remove_copy
