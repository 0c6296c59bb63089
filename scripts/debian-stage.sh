#!/usr/bin/env bash
# Runs the whole test suite inside a minimal Debian root of the given suite
# (trixie, the current stable, by default; bookworm gives a fresh Debian 12
# machine; sid, Debian unstable, the GTK and compiler that come next). The root is made with debootstrap from its default mirror, or
# reused when an earlier run finished it recently; the packages come from
# scripts/install-deps.sh inside it, like on any new machine.
# Usage: scripts/debian-stage.sh [SUITE] [COMMAND...]
#   COMMAND runs in the source copy inside the root instead of scripts/test.sh.
# Environment: TAVELORN_ROOTS, where the roots live (default
# /var/tmp/tavelorn-roots); TAVELORN_ROOT_MAX_DAYS, how old a root may be to
# be reused (default 7; 0 makes a new one); TAVELORN_ARCH, the Debian
# architecture of the root (default this machine's): i386 runs natively on
# amd64, any other through qemu-user-static's emulators. A root of another
# architecture is SUITE-ARCH beside the others. TAVELORN_EMULATE, the other
# architectures whose programs the root runs (a root that cross-builds).
set -euo pipefail
cd "$(dirname "$0")/.."

suite=${1:-trixie}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- scripts/test.sh

roots=${TAVELORN_ROOTS:-/var/tmp/tavelorn-roots}
host_arch=$(dpkg --print-architecture)
arch=${TAVELORN_ARCH:-$host_arch}
root="$roots/$suite"
[ "$arch" = "$host_arch" ] || root="$roots/$suite-$arch"
ready="$root/.tavelorn-root-ready"
max_days=${TAVELORN_ROOT_MAX_DAYS:-7}

if [ "$(id -u)" -ne 0 ]; then
  echo "debian-stage: run as root (debootstrap, mounts and chroot need it)" >&2
  exit 1
fi
host_install() { # PACKAGE...: installs what this machine lacks for the roots
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" ||
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"; }
}
command -v debootstrap >/dev/null || host_install debootstrap

# How the root's programs run here. The kernel runs i386 programs on amd64
# itself (under the 32-bit personality, so that uname agrees with the root);
# anything else goes through the emulator that binfmt_misc hands the
# architecture's programs to, fixed at registration so that it is found
# inside the root too.
register_emulator() { # DEBIAN_ARCH
  local qemu_arch binfmt=/proc/sys/fs/binfmt_misc
  case $1 in
    amd64) qemu_arch=x86_64 ;; arm64) qemu_arch=aarch64 ;; armel | armhf) qemu_arch=arm ;;
    ppc64el) qemu_arch=ppc64le ;; *) qemu_arch=$1 ;;
  esac
  [ -e /usr/lib/binfmt.d/qemu-$qemu_arch.conf ] || host_install qemu-user-static
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -e "$binfmt/qemu-$qemu_arch" ] || cat "/usr/lib/binfmt.d/qemu-$qemu_arch.conf" >"$binfmt/register"
  grep -qx enabled "$binfmt/qemu-$qemu_arch" ||
    { echo "debian-stage: no emulator runs $1 programs here" >&2; exit 1; }
}
personality=()
case $host_arch:$arch in
  "$arch:$arch") ;;
  amd64:i386) personality=(setarch linux32) ;;
  *) register_emulator "$arch" ;;
esac
# A root that cross-builds runs the programs it built for those architectures
# (their build-time tests) the same way.
for foreign in ${TAVELORN_EMULATE:-}; do
  case $host_arch:$foreign in
    "$foreign:$foreign" | amd64:i386) ;;
    *) register_emulator "$foreign" ;;
  esac
done

mounts=()
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" 2>/dev/null || true
  done
  mounts=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM

# Nothing may be removed below a root while anything is mounted in it.
remove_root() {
  if grep -qE " $root(/| )" /proc/self/mounts; then
    echo "debian-stage: $root still has mounts; not removing it" >&2
    exit 1
  fi
  rm -rf "$root"
}

if [ -f "$ready" ] && [ "$max_days" -gt 0 ] && [ -n "$(find "$ready" -mtime -"$max_days")" ]; then
  echo "== Reusing the $suite root in $root =="
else
  echo "== Making a $suite root in $root =="
  remove_root
  mkdir -p "$roots"
  log="$root.debootstrap.log"
  debootstrap --variant=minbase --arch="$arch" "$suite" "$root" >"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; exit 1; }
  touch "$ready"
fi

# The unstable archive this machine reaches is a snapshot whose Release file
# has outlived its validity date; apt refuses it unless told otherwise. Only
# that root is told: the stable roots keep apt's check.
case $suite in
  sid | unstable)
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99tavelorn-snapshot" ;;
esac

# A fresh copy of the sources (what git tracks, and new files it does not
# ignore), with no build tree from outside.
rm -rf "$root/src"
mkdir -p "$root/src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -C "$root/src" -xf -
else
  tar --exclude='./build*' -cf - . | tar -C "$root/src" -xf -
fi
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

# The root is a mount of its own, private, so that what is mounted in it
# (here, and by the tests in namespaces of their own) never reaches the
# host, and a test can make its mounts private from the root down.
mount --bind "$root" "$root" && mounts+=("$root")
mount --make-rprivate "$root"
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounts+=("$root/sys")
mount --rbind /dev "$root/dev" && mounts+=("$root/dev")
mount --make-rslave "$root/dev"

echo "== $* in Debian $suite ($arch) =="
# No display of the host's, no variable of the host's shell: the tests start
# what they need themselves.
"${personality[@]}" chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 CI="${CI:-}" /bin/bash -c 'cd /src && "$@"' stage "$@"
