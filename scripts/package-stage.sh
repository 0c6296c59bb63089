#!/usr/bin/env bash
# The Debian package, built and checked the way Debian's QA checks one, for
# one suite (trixie by default, or bookworm):
#  1. in the suite's root that scripts/debian-stage.sh keeps, scripts/package.sh
#     builds the binary packages with dpkg-buildpackage, running the
#     build-time tests; reprotest builds them again under every variation it
#     can apply there and fails unless the packages are identical
#     (scripts/package.sh --reprotest); lintian checks the result, pedantic,
#     failing on any error or warning; piuparts installs the package into a
#     minimal root of the suite (a tarball of the pristine root below),
#     removes and purges it, and fails on whatever it leaves behind or
#     changes;
#  2. a copy of a pristine root, which never gets a package of its own,
#     installs the .deb with apt, runs the package's autopkgtest against it
#     and checks its files (tests/packaging/check-install.sh --package).
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

# The pristine root is made (or reused) by the Debian stage itself, with a
# command that installs nothing.
TAVELORN_ROOTS=$pristine scripts/debian-stage.sh "$suite" true >/dev/null

# The build root, made or reused first, gets the pristine root as piuparts
# takes a base system: a tarball, without the sources every stage copies in
# and without what debootstrap downloaded (piuparts updates apt's lists).
scripts/debian-stage.sh "$suite" true >/dev/null
base=var/tmp/tavelorn-piuparts-base.tgz
tar -C "$pristine/$suite" --exclude=./src --exclude=./.tavelorn-root-ready \
  --exclude='./var/cache/apt/archives/*.deb' --exclude='./var/lib/apt/lists/*' -czf "$build_root/$base" .
trap 'rm -f "$build_root/$base"' EXIT

scripts/debian-stage.sh "$suite" bash -c '
  set -e
  scripts/package.sh
  scripts/package.sh --reprotest
  scripts/install-deps.sh package-check
  echo "== lintian =="
  lintian --pedantic -I --allow-root --fail-on error,warning build-deb/*.changes
  echo "== piuparts =="
  scripts/package.sh --piuparts "/$1"' package-stage "$base"
deb=$(find "$build_root/src" -maxdepth 1 -name "tavelorn_${version}_*.deb" | head -n 1)
[ -n "$deb" ] || { echo "package-stage: no tavelorn_${version} package was built" >&2; exit 1; }

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
