#!/bin/sh
# The Debian package on a real system: installed with apt-get onto this machine, played headless
# by new players, made into a gift, removed again. Runs as root where apt-get is there and the
# package is not installed already (otherwise skipped, exit 77); it installs nothing but the
# package itself and purges it at the end, so the machine is left as it was.
#   1. apt-get install ./lumavex_*.deb
#   2. a new player starts the command with a sample box and a script that quits: the player's
#      folder, Lumavex.ini and a saved game appear
#   3. that player makes a gift; the gift, run in an empty home, installs the game from itself;
#      run by a player of the package, it finds the package's game and only delivers its box
#   4. a player folder made by a gift's installer, and one made by a `cmake --install`, are
#      taken over by the package's command with every box and saved game kept
#   5. apt-get remove leaves no file of the package, and the players' folders stay
#   package_install_test.sh PACKAGE_DIR BUILD_DIR
set -eu
debs=$1
build=$2

skip() {
    echo "SKIP: $*"
    exit 77
}
deb=$(find "$debs" -name 'lumavex_*.deb' 2>/dev/null | head -n 1)
[ -n "$deb" ] || skip "no package in $debs (the package test makes it)"
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v apt-get >/dev/null 2>&1 || skip "apt-get is missing"
known() { dpkg-query -W -f='${Status}\n' lumavex 2>/dev/null | grep -qv 'not-installed$'; }
! known ||
    skip "the package lumavex is installed already; this test installs and removes it itself"
[ ! -e /usr/lib/lumavex ] && [ ! -e /usr/games/lumavex ] || skip "a game is already in /usr/lib/lumavex or /usr/games"
apt=$(command -v apt-get)
apt_get() { DEBIAN_FRONTEND=noninteractive "$apt" -o DPkg::Lock::Timeout=300 "$@"; }
# Only the package itself may come in, so that removing it leaves the machine as it was.
apt_get install -s --no-install-recommends "$deb" >"$debs/simulated.log" 2>&1 ||
    skip "apt-get cannot install the package here: $(tail -n 3 "$debs/simulated.log")"
new=$(grep -c '^Inst ' "$debs/simulated.log" || true)
[ "$new" -eq 1 ] || skip "apt-get would install $new packages here, not the package alone"

tmp=$(mktemp -d)
installed=0
cleanup() {
    [ "$installed" -eq 0 ] || apt_get purge -y -qq lumavex >/dev/null 2>&1 || dpkg --purge lumavex >/dev/null 2>&1 || true
    rm -rf "$tmp"
}
trap cleanup EXIT
[ -z "${LUMAVEX_KEEP_TEST:-}" ] || trap '[ "$installed" -eq 0 ] || dpkg --purge lumavex >/dev/null 2>&1; echo "kept $tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- 1. Install ------------------------------------------------------------------------------------
apt_get install -y -qq --no-install-recommends "$deb" >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log" >&2
    echo "FAIL: apt-get install" >&2
    exit 1
}
installed=1
dpkg -L lumavex >"$tmp/files"
game=/usr/lib/lumavex
command=/usr/games/lumavex
[ -x "$command" ] && [ -x "$game/tesselo" ] || fail "the command or the program is not installed"

# A player: a home of their own with its runtime and temporary folders. Programs start with a
# clean environment and the system's PATH.
player() {
    mkdir -p "$tmp/$1/home" "$tmp/$1/run" "$tmp/$1/tmp" "$tmp/$1/config"
    chmod 700 "$tmp/$1/run"
}
# run PLAYER FOLDER PROGRAM ARGS...: runs in FOLDER; the output goes to $tmp/PLAYER.log.
run() {
    who=$1
    folder=$2
    shift 2
    (cd "$folder" && env -i PATH=/usr/bin:/bin HOME="$tmp/$who/home" XDG_RUNTIME_DIR="$tmp/$who/run" \
        TMPDIR="$tmp/$who/tmp" XDG_CONFIG_HOME="$tmp/$who/config" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        "$@") >"$tmp/$who.log" 2>&1
}
folder_of() { echo "$tmp/$1/home/.local/share/lumavex"; }
ini_of() { echo "$tmp/$1/config/Dremwick/Lumavex.ini"; }
# The script every start runs: some ticks in the room it opens, then the normal close.
printf '30 quit\n' >"$tmp/quit.txt"
# The game's own files in a player's folder are links to the package's.
linked() {
    for item in tesselo data.pck help sfiles/loader.dat sfiles/present.bin; do
        [ "$(readlink "$1/$item")" = "$game/$item" ] || fail "$2: $item is not the package's ($(ls -ld "$1/$item" 2>&1))"
    done
}

# --- 2. A new player opens a sample box --------------------------------------------------------------
player anna
anna=$(folder_of anna)
run anna "$tmp/anna/home" "$command" --headless --window 1024x768 --script "$tmp/quit.txt" \
    "$game/puzzles/Sunset Lake.pzl" || fail "the first start ended with $?: $(cat "$tmp/anna.log")"
linked "$anna" "a new player"
[ "$(find "$anna/puzzles" -name '*.pzl' | wc -l)" -eq "$(find "$game/puzzles" -name '*.pzl' | wc -l)" ] ||
    fail "the sample boxes were not put on the new player's shelf"
[ -f "$anna/sfiles/qs/Sunset Lake.qsv" ] || fail "the opened box left no saved game: $(cat "$tmp/anna.log")"
printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$anna" | cmp -s - "$(ini_of anna)" ||
    fail "Lumavex.ini: $(cat "$(ini_of anna)" 2>&1)"

# --- 3. A gift from the packaged game ----------------------------------------------------------------
# Anna's own box, alone at a known place on the shelf, packed with her name and a message by the
# store room's gift button (the steps of tests/e2e/gift_test.cpp).
player giver
giver=$(folder_of giver)
mkdir -p "$giver/puzzles" "$giver/sfiles" "$tmp/giver/docs"
cp "$game/puzzles/Tulip Fields.pzl" "$giver/puzzles/Gift One.pzl"
printf 'giftonegiftone01' | dd of="$giver/puzzles/Gift One.pzl" bs=1 seek=4 conv=notrunc 2>/dev/null
printf '[MAIN]\nOldScreenSize=1024 768\n[BOXNAMES]\n0=Gift One\n[BOXPOSS]\n0=480 220\n' >"$giver/sfiles/config.ini"
printf 'XDG_DOCUMENTS_DIR="%s"\n' "$tmp/giver/docs" >"$tmp/giver/config/user-dirs.dirs"
printf '2 click 520 260 left\n+20 click 76 128 left\n+10 type Anna\n+1 key tab\n+1 type For you!\n+1 click 597 464 left\n+10 key enter\n+10 quit\n' >"$tmp/gift.txt"
run giver "$tmp/giver/home" "$command" --headless --window 1024x768 --script "$tmp/gift.txt" ||
    fail "the giver's game ended with $?: $(cat "$tmp/giver.log")"
gift=$tmp/giver/docs/Anna.run
[ -x "$gift" ] || fail "the packaged game made no gift: $(cat "$tmp/giver.log")"

if [ -x "$gift" ]; then
    # Run in an empty home, the gift installs the game from itself and delivers the box.
    player bob
    bob=$(folder_of bob)
    run bob "$tmp/bob/home" "$gift" --headless || fail "the gift ended with $? in an empty home: $(cat "$tmp/bob.log")"
    [ -f "$bob/tesselo" ] && [ ! -L "$bob/tesselo" ] || fail "the gift did not install the game"
    [ -f "$bob/puzzles/Gift One.pzl" ] || fail "the gift did not deliver its box in an empty home"
    printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$bob" | cmp -s - "$(ini_of bob)" ||
        fail "the gift's Lumavex.ini: $(cat "$(ini_of bob)" 2>&1)"

    # Run by a player of the package, it finds the package's game: the box arrives, nothing is
    # installed over the links.
    run anna "$tmp/anna/home" "$gift" --headless || fail "the gift ended with $? for a player of the package: $(cat "$tmp/anna.log")"
    cmp -s "$bob/puzzles/Gift One.pzl" "$anna/puzzles/Gift One.pzl" ||
        fail "the gift did not deliver its box to a player of the package: $(cat "$tmp/anna.log")"
    linked "$anna" "after a gift"
    grep -qx "$anna/tesselo" "$tmp/anna.log" || fail "the gift did not name the player's game: $(cat "$tmp/anna.log")"
fi

# --- 4. Folders made by a gift's installer or by `cmake --install` -----------------------------------
# Bob's folder came from the gift. He plays a box with the game the gift installed (a saved game)
# and keeps a box of his own; then the package's command takes the folder over.
if [ -x "$gift" ]; then
    run bob "$bob" ./tesselo --headless --window 1024x768 --script "$tmp/quit.txt" "puzzles/Gift One.pzl" ||
        fail "the gift's game ended with $?: $(cat "$tmp/bob.log")"
    printf 'my own box\n' >"$bob/puzzles/Mine.pzl"
    find "$bob/puzzles" "$bob/sfiles/qs" -type f -exec md5sum {} + | sort >"$tmp/bob.before"
    grep -q 'Gift One.qsv' "$tmp/bob.before" || fail "the gift's game left no saved game"
    run bob "$tmp/bob/home" "$command" --headless --window 1024x768 --script "$tmp/quit.txt" ||
        fail "the package's command ended with $? in a gift's folder: $(cat "$tmp/bob.log")"
    find "$bob/puzzles" "$bob/sfiles/qs" -type f -exec md5sum {} + | sort | cmp -s "$tmp/bob.before" - ||
        fail "the package's command changed the boxes or games of a gift's folder"
    linked "$bob" "a gift's folder"
    [ ! -e "$bob/help/help" ] || fail "the package's help was linked inside the gift's help folder"
fi

# Carol's folder came from an install into /usr/local (staged here, so this machine's own
# /usr/local is not touched), whose command made it on her first start.
if command -v cmake >/dev/null 2>&1; then
    player carol
    carol=$(folder_of carol)
    DESTDIR=$tmp/local cmake --install "$build" --prefix /usr/local >"$tmp/cmake.log" 2>&1 ||
        fail "cmake --install: $(cat "$tmp/cmake.log")"
    run carol "$tmp/carol/home" "$tmp/local/usr/local/bin/lumavex" --headless --window 1024x768 \
        --script "$tmp/quit.txt" "$game/puzzles/Mandala.pzl" || fail "the /usr/local game ended with $?: $(cat "$tmp/carol.log")"
    printf 'my own box\n' >"$carol/puzzles/Mine.pzl"
    find "$carol/puzzles" "$carol/sfiles/qs" -type f -exec md5sum {} + | sort >"$tmp/carol.before"
    grep -q 'Mandala.qsv' "$tmp/carol.before" || fail "the /usr/local game left no saved game"
    run carol "$tmp/carol/home" "$command" --headless --window 1024x768 --script "$tmp/quit.txt" ||
        fail "the package's command ended with $? in a /usr/local player's folder: $(cat "$tmp/carol.log")"
    find "$carol/puzzles" "$carol/sfiles/qs" -type f -exec md5sum {} + | sort | cmp -s "$tmp/carol.before" - ||
        fail "the package's command changed the boxes or games of a /usr/local player's folder"
    linked "$carol" "a /usr/local player's folder"
fi

# --- 5. Remove -------------------------------------------------------------------------------------
apt_get remove -y -qq lumavex >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log" >&2
    fail "apt-get remove"
}
while IFS= read -r path; do
    [ -d "$path" ] && [ ! -L "$path" ] && continue  # folders the package shares with others
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "apt-get remove left $path"
done <"$tmp/files"
for folder in /usr/lib/lumavex /usr/share/doc/lumavex; do
    [ ! -e "$folder" ] || fail "apt-get remove left $folder"
done
[ -f "$anna/puzzles/Gift One.pzl" ] && [ -f "$anna/sfiles/qs/Sunset Lake.qsv" ] && [ -f "$(ini_of anna)" ] ||
    fail "apt-get remove touched a player's folder"
# Nothing is left to purge (the package has no configuration files); dpkg forgets it.
dpkg --purge lumavex >/dev/null 2>&1 || fail "dpkg --purge"
installed=0
! known || fail "the package is still known to dpkg"

[ "$failures" -eq 0 ] || exit 1
echo "package_install: all checks passed"
