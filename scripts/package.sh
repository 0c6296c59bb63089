#!/usr/bin/env bash
# Builds the game's Debian package from a clean copy of the sources, after
# installing what the build needs, and leaves tavelorn_VERSION_ARCH.deb here;
# the rest of the build's output (.changes, .buildinfo, the debug symbols'
# package) stays in build-deb/.
# With --twin, after such a build: builds the package a second time from
# another path, under another umask, time zone and locale, and fails unless
# every .deb of the two builds is the same to the byte; diffoscope then shows
# what differs.
# Usage: scripts/package.sh [--twin] [dpkg-buildpackage options...]
set -euo pipefail
cd "$(dirname "$0")/.."
twin=false
[ "${1:-}" = --twin ] && { twin=true; shift; }
scripts/install-deps.sh package

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
out=build-deb

build() { # DIR OPTIONS...: a copy of the sources built in DIR/tavelorn-VERSION
  local dir=$1 tree="$1/tavelorn-$version"
  shift
  rm -rf "$dir"
  mkdir -p "$tree"
  # What git tracks, and new files it does not ignore; no build tree.
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -C "$tree" -xf -
  else
    tar --exclude='./build*' --exclude='./*.deb' -cf - . | tar -C "$tree" -xf -
  fi
  (cd "$tree" && dpkg-buildpackage -us -uc -b -j"$(nproc)" "$@")
}

if ! $twin; then
  rm -rf "$out"
  build "$out" "$@"
  cp "$out/tavelorn_${version}_$arch.deb" .
  echo "Built $(pwd)/tavelorn_${version}_$arch.deb"
  exit 0
fi

debs=("$out"/*.deb)
[ -e "${debs[0]}" ] || { echo "package: --twin compares with an earlier build in $out/" >&2; exit 2; }
scripts/install-deps.sh package-twin
twin_dir=$(mktemp -d /var/tmp/tavelorn-twin.XXXXXX)
trap 'rm -rf "$twin_dir"' EXIT
# The locale sorts differently from C.UTF-8 and the time zone is half a day
# from UTC; the umask leaves nothing readable by others.
localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
echo "== The twin build: from $twin_dir/elsewhere, umask 0077, TZ=NZST-12, fr_FR.UTF-8 =="
(umask 0077 && export TZ=NZST-12 LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8 && build "$twin_dir/elsewhere" "$@")

differ=()
for deb in "${debs[@]}"; do
  other="$twin_dir/elsewhere/${deb##*/}"
  sha256sum "$deb" "$other"
  cmp -s "$deb" "$other" || differ+=("$deb")
done
[ ${#differ[@]} -eq 0 ] && { echo "Reproducible: the twin builds' ${#debs[@]} packages are identical"; exit 0; }
scripts/install-deps.sh package-diff
for deb in "${differ[@]}"; do
  diffoscope --no-progress --text-color=never "$deb" "$twin_dir/elsewhere/${deb##*/}" || true
done
echo "package: the twin builds differ: ${differ[*]##*/}" >&2
exit 1
