#!/usr/bin/env bash
# Builds the game's Debian package from a clean copy of the sources, after
# installing what the build needs, and leaves tavelorn_VERSION_ARCH.deb here;
# the rest of the build's output (.changes, .buildinfo, the debug symbols'
# package, the build's log) stays in build-deb/. A build that runs its tests
# fails unless they all ran and passed.
# With --host-arch ARCH: cross-builds the package for the Debian architecture
# ARCH, and runs its build-time tests through the emulator that binfmt_misc
# hands ARCH's programs to (scripts/cross-stage.sh sets that up).
# With --reprotest, after such a build: reprotest builds the package again
# under every variation this root can apply and fails unless every .deb is
# the same to the byte as the first build's; diffoscope then shows what
# differs.
# With --piuparts BASE_TGZ, after such a build: piuparts installs, removes and
# purges the package in a minimal root unpacked from BASE_TGZ and fails on
# what that leaves behind or changes.
# Usage: scripts/package.sh [--host-arch ARCH | --reprotest | --piuparts BASE_TGZ]
#                           [dpkg-buildpackage options...]
set -euo pipefail
cd "$(dirname "$0")/.."
mode=native host_arch=
case ${1:-} in
  --host-arch) mode=cross host_arch=${2:?--host-arch needs an architecture}; shift 2 ;;
  --reprotest) mode=reprotest; shift ;;
  --piuparts) mode=piuparts base=${2:?--piuparts needs a base tarball}; shift 2 ;;
esac
scripts/install-deps.sh package ${host_arch:+cross-$host_arch}

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture ${host_arch:+-a"$host_arch"} -q DEB_HOST_ARCH 2>/dev/null)
out=build-deb

copy_sources() { # TREE: what git tracks, and new files it does not ignore; no build tree
  mkdir -p "$1"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -C "$1" -xf -
  else
    tar --exclude='./build*' --exclude='./*.deb' -cf - . | tar -C "$1" -xf -
  fi
}

# The build-time tests ran, all of them, and passed: debhelper leaves them out
# without a word where it cannot run them (a cross-build it is not told may run
# the host's programs), and CTest lists those it did not run.
check_tests_ran() { # LOG
  local summary
  case " ${DEB_BUILD_OPTIONS:-} ${DEB_BUILD_PROFILES:-} " in *" nocheck "*) return 0 ;; esac
  summary=$(grep -E '^100% tests passed, 0 tests failed out of [0-9]+' "$1" | tail -n 1) || true
  if [ -z "$summary" ] || grep -q 'The following tests did not run' "$1"; then
    echo "package: the $arch build's tests did not all run (see $1)" >&2
    exit 1
  fi
  echo "Build-time tests on $arch: ${summary##* out of } run, all passed"
}

if [ "$mode" = native ] || [ "$mode" = cross ]; then
  tree="$out/tavelorn-$version"
  rm -rf "$out"
  copy_sources "$tree"
  options=(-us -uc -b -j"$(nproc)")
  if [ "$mode" = cross ]; then
    # The tests are the host architecture's programs, run under emulation.
    export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }crossbuildcanrunhostbinaries"
    options+=(-a"$host_arch")
  fi
  (cd "$tree" && dpkg-buildpackage "${options[@]}" "$@") 2>&1 | tee "$out/build.log"
  check_tests_ran "$out/build.log"
  cp "$out/tavelorn_${version}_$arch.deb" .
  echo "Built $(pwd)/tavelorn_${version}_$arch.deb"
  exit 0
fi

if [ "$mode" = piuparts ]; then
  deb="tavelorn_${version}_$arch.deb"
  [ -e "$deb" ] || { echo "package: --piuparts checks an earlier build's $deb" >&2; exit 2; }
  scripts/install-deps.sh package-check
  ignore=()
  # piuparts before 1.6 (Debian 12's 1.1.7) takes the folders that
  # systemd-tmpfiles makes for systemd (which GTK's dependencies pull in)
  # for leftovers, since systemd's purge leaves them; later releases read
  # systemd's tmpfiles snippets and know them for systemd's.
  if dpkg --compare-versions "$(dpkg-query -W -f='${Version}' piuparts)" lt 1.6; then
    for dir in /root/.ssh/ /var/cache/private/ /var/lib/private/ /var/log/private/ \
      /var/lib/systemd/coredump/ /var/lib/systemd/pstore/; do
      ignore+=(--ignore="$dir")
    done
  fi
  mkdir -p "$out"
  log="$out/piuparts.log"
  piuparts --basetgz "$base" --keep-sources-list --log-file="$log" "${ignore[@]}" "./$deb" >/dev/null ||
    { tail -n 60 "$log"; echo "package: piuparts fails on $deb" >&2; exit 1; }
  grep -E '(PASS|FAIL|WARN):' "$log"
  exit 0
fi

debs=("$out"/*.deb)
[ -e "${debs[0]}" ] || { echo "package: --reprotest compares with an earlier build in $out/" >&2; exit 2; }
scripts/install-deps.sh package-reprotest
work=$(mktemp -d /var/tmp/tavelorn-reprotest.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The first build is the control: its packages, laid out as reprotest keeps
# a build's artifacts. The second build runs in a folder of the sources'
# own, as the first did, so that the packages dpkg-buildpackage leaves beside
# the tree are in what reprotest hands the other user.
mkdir -p "$work/control/source-root"
cp "${debs[@]}" "$work/control/source-root/"
copy_sources "$work/sources/tavelorn-$version"

# What reprotest varies in the second build, and what it cannot vary here:
#  - build_path, home, umask, timezone, locales (et_EE, which sorts letters
#    its own way), exec_path, environment: on;
#  - time: on, the clock set 180 to 540 days ahead with faketime;
#  - kernel: on, setarch names another machine and a 2.6 kernel to uname;
#  - aslr, num_cpus: on, the other way round from reprotest's own: the first
#    build ran with address-space randomisation, on every CPU, a make job a
#    CPU; so the second runs with reprotest's fixed values, no randomisation
#    and one CPU (--vary=-aslr,-num_cpus), and one job;
#  - user_group: on, the second build runs as another user, "builder", made
#    here (sudo hands the build to it);
#  - domain_host: on, through sudo: as root in a chroot, unshare cannot make
#    the user namespace reprotest asks for otherwise, but it can give the
#    build a host and domain name of its own;
#    both off with reprotest before 0.7.30 (Debian 12's 0.7.23), which calls
#    `sudo -h localhost`: sudo 1.9 takes that for a remote host and refuses
#    to run anything;
#  - fileordering: on where FUSE is (disorderfs shuffles the directory
#    entries the build reads, mounted by the build's user); off on a machine
#    without /dev/fuse.
localedef -i et_EE -f UTF-8 et_EE.UTF-8
vary=(--vary=-aslr,-num_cpus)
build_user=root
if dpkg --compare-versions "$(dpkg-query -W -f='${Version}' reprotest)" ge 0.7.30; then
  id builder >/dev/null 2>&1 || useradd --create-home --user-group builder
  vary+=(--vary=user_group.available+=builder:builder,domain_host.use_sudo=1)
  build_user=builder
else
  vary+=(--vary=-user_group,-domain_host)
fi
if [ -c /dev/fuse ]; then
  [ -e /etc/mtab ] || ln -s ../proc/self/mounts /etc/mtab
  # Debian opens /dev/fuse to every user; a machine whose /dev keeps it to
  # root gets a node of the root's own over it, for this build only.
  if ! su -s /bin/sh "$build_user" -c 'test -r /dev/fuse -a -w /dev/fuse'; then
    mknod -m 666 "$work/fuse" c 10 229
    mount --bind "$work/fuse" /dev/fuse
    trap 'umount /dev/fuse; rm -rf "$work"' EXIT
  fi
else
  vary+=(--vary=-fileordering)
fi
echo "== reprotest: a second build, varied, against the first =="
status=0
(cd "$work/sources" &&
  reprotest --verbosity=1 "${vary[@]}" --no-diffoscope \
    --control-build "$work/control" --store-dir "$work/store" \
    --build-command "cd tavelorn-$version && dpkg-buildpackage -us -uc -b $*" . '*.deb') || status=$?
[ "$status" -eq 0 ] && { echo "Reproducible: the second build's ${#debs[@]} packages are identical"; exit 0; }
stored=("$work"/store/experiment-*/source-root/)
if [ ! -d "${stored[0]}" ]; then
  echo "package: reprotest could not build the package (status $status)" >&2
  exit 1
fi
scripts/install-deps.sh package-diff
for deb in "${debs[@]}"; do
  other="${stored[0]}${deb##*/}"
  [ -e "$other" ] || { echo "package: the second build made no ${deb##*/}" >&2; continue; }
  cmp -s "$deb" "$other" || diffoscope --no-progress --text-color=never "$deb" "$other" || true
done
echo "package: the two builds differ" >&2
exit 1
