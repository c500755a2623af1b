#!/bin/sh
# What package_install_test.sh does on the system it installs onto (a fresh root made for the
# test, or the machine itself), as root, in the folder WORK it prepared there: the package
# WORK/lumavex_*.deb, and when the build folder could stage it, a `cmake --install` into
# /usr/local staged as WORK/local/usr/local.
#   1. apt-get install ./lumavex_*.deb
#   2. a new player starts the command with a sample box and a script that quits: the player's
#      folder, Lumavex.ini and a saved game appear
#   3. that player's game makes a gift; the gift, run in an empty home, installs the game from
#      itself; run by a player of the package, it finds the package's game and only delivers
#   4. a player folder made by a gift's installer, and one made by the /usr/local command, are
#      taken over by the package's command with every box and saved game kept
#   5. apt-get remove leaves no file of the package, and the players' folders stay
#   package_scenario.sh WORK
set -eu
work=$1
deb=$(find "$work" -maxdepth 1 -name 'lumavex_*.deb' | head -n 1)
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"; }
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- 1. Install ------------------------------------------------------------------------------------
apt_get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    echo "FAIL: apt-get install" >&2
    exit 1
}
dpkg -L lumavex >"$work/files"
game=/usr/lib/lumavex
command=/usr/games/lumavex
[ -x "$command" ] && [ -x "$game/tesselo" ] || fail "the command or the program is not installed"

# A player: a home of their own with its runtime, temporary and configuration folders.
# Programs start with a clean environment and the system's PATH.
player() {
    mkdir -p "$work/$1/home" "$work/$1/run" "$work/$1/tmp" "$work/$1/config"
    chmod 700 "$work/$1/run"
}
# run PLAYER FOLDER PROGRAM ARGS...: runs in FOLDER; the output goes to $work/PLAYER.log.
run() {
    who=$1
    folder=$2
    shift 2
    (cd "$folder" && env -i PATH=/usr/bin:/bin HOME="$work/$who/home" XDG_RUNTIME_DIR="$work/$who/run" \
        TMPDIR="$work/$who/tmp" XDG_CONFIG_HOME="$work/$who/config" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        "$@") >"$work/$who.log" 2>&1
}
folder_of() { echo "$work/$1/home/.local/share/lumavex"; }
ini_of() { echo "$work/$1/config/Dremwick/Lumavex.ini"; }
# The boxes and saved games of a player's folder.
things() { find "$1/puzzles" "$1/sfiles/qs" -type f -exec md5sum {} + | sort; }
# The script every start runs: some ticks in the room it opens, then the normal close.
printf '30 quit\n' >"$work/quit.txt"
# The game's own files in a player's folder are links to the package's.
linked() {
    for item in tesselo data.pck help sfiles/loader.dat sfiles/present.bin; do
        [ "$(readlink "$1/$item")" = "$game/$item" ] || fail "$2: $item is not the package's ($(ls -ld "$1/$item" 2>&1))"
    done
}

# --- 2. A new player opens a sample box --------------------------------------------------------------
player anna
anna=$(folder_of anna)
run anna "$work/anna/home" "$command" --headless --window 1024x768 --script "$work/quit.txt" \
    "$game/puzzles/Sunset Lake.pzl" || fail "the first start ended with $?: $(cat "$work/anna.log")"
linked "$anna" "a new player"
[ "$(find "$anna/puzzles" -name '*.pzl' | wc -l)" -eq "$(find "$game/puzzles" -name '*.pzl' | wc -l)" ] ||
    fail "the sample boxes were not put on the new player's shelf"
[ -f "$anna/sfiles/qs/Sunset Lake.qsv" ] || fail "the opened box left no saved game: $(cat "$work/anna.log")"
printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$anna" | cmp -s - "$(ini_of anna)" ||
    fail "Lumavex.ini: $(cat "$(ini_of anna)" 2>&1)"

# --- 3. A gift from the packaged game ----------------------------------------------------------------
# A box of the giver's own, alone at a known place on the shelf, packed with her name and a
# message by the store room's gift button (the steps of tests/e2e/gift_test.cpp).
player giver
giver=$(folder_of giver)
mkdir -p "$giver/puzzles" "$giver/sfiles" "$work/giver/docs"
cp "$game/puzzles/Tulip Fields.pzl" "$giver/puzzles/Gift One.pzl"
printf 'giftonegiftone01' | dd of="$giver/puzzles/Gift One.pzl" bs=1 seek=4 conv=notrunc 2>/dev/null
printf '[MAIN]\nOldScreenSize=1024 768\n[BOXNAMES]\n0=Gift One\n[BOXPOSS]\n0=480 220\n' >"$giver/sfiles/config.ini"
printf 'XDG_DESKTOP_DIR="%s"\n' "$work/giver/docs" >"$work/giver/config/user-dirs.dirs"
printf '2 click 520 260 left\n+20 click 76 128 left\n+10 type Anna\n+1 key tab\n+1 type For you!\n+1 click 597 464 left\n+10 key enter\n+10 key enter\n+10 quit\n' >"$work/gift.txt"
run giver "$work/giver/home" "$command" --headless --window 1024x768 --script "$work/gift.txt" ||
    fail "the giver's game ended with $?: $(cat "$work/giver.log")"
gift=$work/giver/docs/Anna.run
[ -x "$gift" ] || fail "the packaged game made no gift: $(cat "$work/giver.log")"

if [ -x "$gift" ]; then
    # Run in an empty home, the gift installs the game from itself and delivers the box.
    player bob
    bob=$(folder_of bob)
    run bob "$work/bob/home" "$gift" --headless || fail "the gift ended with $? in an empty home: $(cat "$work/bob.log")"
    [ -f "$bob/tesselo" ] && [ ! -L "$bob/tesselo" ] || fail "the gift did not install the game"
    [ -f "$bob/puzzles/Gift One.pzl" ] || fail "the gift did not deliver its box in an empty home"
    printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$bob" | cmp -s - "$(ini_of bob)" ||
        fail "the gift's Lumavex.ini: $(cat "$(ini_of bob)" 2>&1)"

    # Run by a player of the package, it finds the package's game: the box arrives, nothing is
    # installed over the links.
    run anna "$work/anna/home" "$gift" --headless || fail "the gift ended with $? for a player of the package: $(cat "$work/anna.log")"
    cmp -s "$bob/puzzles/Gift One.pzl" "$anna/puzzles/Gift One.pzl" ||
        fail "the gift did not deliver its box to a player of the package: $(cat "$work/anna.log")"
    linked "$anna" "after a gift"
    grep -qx "$anna/tesselo" "$work/anna.log" || fail "the gift did not name the player's game: $(cat "$work/anna.log")"
fi

# --- 4. Folders made by a gift's installer or by a /usr/local install --------------------------------
# Bob's folder came from the gift. He plays a box with the game the gift installed (a saved game)
# and keeps a box of his own; then the package's command takes the folder over.
if [ -x "$gift" ]; then
    run bob "$bob" ./tesselo --headless --window 1024x768 --script "$work/quit.txt" "puzzles/Gift One.pzl" ||
        fail "the gift's game ended with $?: $(cat "$work/bob.log")"
    printf 'my own box\n' >"$bob/puzzles/Mine.pzl"
    things "$bob" >"$work/bob.before"
    grep -q 'Gift One.qsv' "$work/bob.before" || fail "the gift's game left no saved game"
    run bob "$work/bob/home" "$command" --headless --window 1024x768 --script "$work/quit.txt" ||
        fail "the package's command ended with $? in a gift's folder: $(cat "$work/bob.log")"
    things "$bob" | cmp -s "$work/bob.before" - || fail "the package's command changed the boxes or games of a gift's folder"
    linked "$bob" "a gift's folder"
    [ ! -e "$bob/help/help" ] || fail "the package's help was linked inside the gift's help folder"
fi

# Carol's folder was made on her first start by the command of a /usr/local install.
if [ -x "$work/local/usr/local/bin/lumavex" ]; then
    player carol
    carol=$(folder_of carol)
    run carol "$work/carol/home" "$work/local/usr/local/bin/lumavex" --headless --window 1024x768 \
        --script "$work/quit.txt" "$game/puzzles/Mandala.pzl" || fail "the /usr/local game ended with $?: $(cat "$work/carol.log")"
    printf 'my own box\n' >"$carol/puzzles/Mine.pzl"
    things "$carol" >"$work/carol.before"
    grep -q 'Mandala.qsv' "$work/carol.before" || fail "the /usr/local game left no saved game"
    run carol "$work/carol/home" "$command" --headless --window 1024x768 --script "$work/quit.txt" ||
        fail "the package's command ended with $? in a /usr/local player's folder: $(cat "$work/carol.log")"
    things "$carol" | cmp -s "$work/carol.before" - ||
        fail "the package's command changed the boxes or games of a /usr/local player's folder"
    linked "$carol" "a /usr/local player's folder"
else
    echo "no staged /usr/local install: a folder made by one was not tried"
fi

# --- 5. Remove -------------------------------------------------------------------------------------
apt_get remove -y -qq lumavex >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get remove"
}
while IFS= read -r path; do
    [ -d "$path" ] && [ ! -L "$path" ] && continue # folders the package shares with others
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "apt-get remove left $path"
done <"$work/files"
for folder in /usr/lib/lumavex /usr/share/doc/lumavex; do
    [ ! -e "$folder" ] || fail "apt-get remove left $folder"
done
[ -f "$anna/puzzles/Gift One.pzl" ] && [ -f "$anna/sfiles/qs/Sunset Lake.qsv" ] && [ -f "$(ini_of anna)" ] ||
    fail "apt-get remove touched a player's folder"
# Nothing is left to purge (the package has no configuration files); dpkg forgets it.
dpkg --purge lumavex >/dev/null 2>&1 || fail "dpkg --purge"
! dpkg-query -W -f='${Status}\n' lumavex 2>/dev/null | grep -qv 'not-installed$' || fail "dpkg still knows the package"

[ "$failures" -eq 0 ] || exit 1
echo "installed, played, made a gift, took over older folders and removed: all checks passed"
