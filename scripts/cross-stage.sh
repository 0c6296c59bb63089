#!/usr/bin/env bash
# The Debian package cross-built for other Debian architectures in one Debian
# 13 root (arm64, armhf and riscv64 by default): this machine's compiler for
# each architecture builds it (dpkg-buildpackage -a ARCH, the architecture's
# Build-Depends installed beside the root's own), then every build-time test
# runs as that architecture's program, through qemu-user-static. Compiling
# natively keeps a build within a few minutes where an emulated root takes
# an hour.
# Usage: scripts/cross-stage.sh [ARCH...]
# Environment: as scripts/debian-stage.sh (TAVELORN_ROOTS, TAVELORN_ROOT_MAX_DAYS);
# the root is cross/trixie below TAVELORN_ROOTS.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- arm64 armhf riscv64
roots=${TAVELORN_ROOTS:-/var/tmp/tavelorn-roots}

TAVELORN_ROOTS="$roots/cross" TAVELORN_EMULATE="$*" scripts/debian-stage.sh trixie bash -c '
  set -e
  for arch; do
    echo "== Cross-building for $arch =="
    start=$SECONDS
    scripts/package.sh --host-arch "$arch"
    echo "$arch: built and tested in $((SECONDS - start)) s"
  done' cross "$@"
