#!/bin/sh
# The Debian package on a real system, as root: installed with apt-get, played headless by new
# players, made into a gift, taken over older players' folders, removed again
# (package_scenario.sh says what is checked). The system is a fresh, minimal Debian root of the
# machine's own release, made here with debootstrap from the mirror it knows, so the package's
# Depends alone must bring everything the game needs. Without debootstrap, or when it cannot
# reach the mirror, or with LUMAVEX_PACKAGE_SYSTEM=machine, it is this machine itself, provided
# the package is not installed there already and apt-get would bring in nothing but the package,
# so that removing it leaves the machine as it was. Skipped (exit 77), saying why, when not root,
# without apt-get or without the package.
#   package_install_test.sh PACKAGE_DIR BUILD_DIR SOURCE_DIR
set -eu
debs=$1
build=$2
source=${3:-$(cd "$(dirname "$0")/../.." && pwd)}

skip() {
    echo "SKIP: $*"
    exit 77
}
deb=$(find "$debs" -maxdepth 1 -name 'lumavex_*.deb' 2>/dev/null | head -n 1)
[ -n "$deb" ] || skip "no package in $debs (the package test makes it)"
deb=$(cd "$(dirname "$deb")" && pwd)/${deb##*/}  # apt-get takes a package file by its path
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v apt-get >/dev/null 2>&1 || skip "apt-get is missing"
known() { dpkg-query -W -f='${Status}\n' lumavex 2>/dev/null | grep -qv 'not-installed$'; }

tmp=$(mktemp -d)
root=
system=
cleanup() {
    if [ "$system" = machine ] && known; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq lumavex >/dev/null 2>&1 || dpkg --purge lumavex >/dev/null 2>&1 || true
    fi
    if [ -n "$root" ] && grep -q " $root/proc " /proc/mounts; then
        umount "$root/proc" 2>/dev/null || umount -l "$root/proc" || true
    fi
    if [ -n "${LUMAVEX_KEEP_TEST:-}" ]; then
        echo "kept $tmp"
    elif [ -n "$root" ] && grep -q " $root/" /proc/mounts; then
        echo "something is mounted inside $root: it is left as it is" >&2
    else
        rm -rf "$tmp"
    fi
}
trap cleanup EXIT

# --- The system ------------------------------------------------------------------------------------
if [ "${LUMAVEX_PACKAGE_SYSTEM:-}" = machine ]; then
    system=machine
elif ! command -v debootstrap >/dev/null 2>&1; then
    echo "debootstrap is missing (scripts/setup.sh --test installs it): installing onto this machine"
    system=machine
else
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    root=$tmp/root
    if [ -n "$release" ] && debootstrap --variant=minbase "$release" "$root" >"$tmp/debootstrap.log" 2>&1 &&
        chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin apt-get update -qq >>"$tmp/debootstrap.log" 2>&1; then
        # Programs find their own file through /proc, as on any running system.
        mount -t proc proc "$root/proc"
        system=fresh
    else
        echo "no fresh root could be made ($(tail -n 1 "$tmp/debootstrap.log")): installing onto this machine"
        rm -rf "$root"
        root=
        system=machine
    fi
fi
if [ "$system" = machine ]; then
    ! known || skip "the package lumavex is installed already; this test installs and removes it itself"
    [ ! -e /usr/lib/lumavex ] && [ ! -e /usr/games/lumavex ] || skip "a game is in /usr/lib/lumavex or /usr/games already"
    DEBIAN_FRONTEND=noninteractive apt-get install -s --no-install-recommends "$deb" >"$tmp/simulated.log" 2>&1 ||
        skip "apt-get cannot install the package here: $(tail -n 3 "$tmp/simulated.log")"
    new=$(grep -c '^Inst ' "$tmp/simulated.log" || true)
    [ "$new" -eq 1 ] || skip "apt-get would install $new packages on this machine, not the package alone"
    work=$tmp/work
else
    work=/tmp/lumavex-package
fi

# --- What the scenario finds in its folder ---------------------------------------------------------
host_work=$root$work
mkdir -p "$host_work"
cp "$deb" "$source/tests/install/package_scenario.sh" "$host_work/"
if command -v cmake >/dev/null 2>&1; then
    DESTDIR=$host_work/local cmake --install "$build" --prefix /usr/local >"$tmp/cmake.log" 2>&1 || {
        cat "$tmp/cmake.log" >&2
        echo "FAIL: cmake --install could not stage the /usr/local install" >&2
        exit 1
    }
fi

echo "installing into $([ "$system" = fresh ] && echo "a fresh $release root" || echo "this machine")"
if [ "$system" = fresh ]; then
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        sh "$work/package_scenario.sh" "$work"
else
    sh "$work/package_scenario.sh" "$work"
fi
