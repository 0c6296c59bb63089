#!/usr/bin/env bash
# Builds the game's Debian package from a clean copy of the sources, after
# installing what the build needs, and leaves tavelorn_VERSION_ARCH.deb here;
# the rest of the build's output (.changes, .buildinfo, the debug symbols'
# package) stays in build-deb/.
# Usage: scripts/package.sh [dpkg-buildpackage options...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
out=build-deb
tree="$out/tavelorn-$version"
rm -rf "$out"
mkdir -p "$tree"
# What git tracks, and new files it does not ignore; no build tree.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -C "$tree" -xf -
else
  tar --exclude='./build*' --exclude='./*.deb' -cf - . | tar -C "$tree" -xf -
fi

(cd "$tree" && dpkg-buildpackage -us -uc -b -j"$(nproc)" "$@")
cp "$out/tavelorn_${version}_$arch.deb" .
echo "Built $(pwd)/tavelorn_${version}_$arch.deb"
