#!/bin/sh
# The installer the game ships (sfiles/present.bin), run as a gift runs it, in a scratch home:
# the game folder, desktop files and Lumavex.ini it leaves, the installed game started headless,
# a second install that keeps the player's boxes, a damaged installer that changes nothing, and
# one that finds a library missing and installs nothing.
#   present_test.sh BUILD_DIR
set -eu
build=$1
present=$build/game/sfiles/present.bin

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# install HOME INSTALLER: runs the installer as the gift extractor does, in a folder of its own.
install() {
    mkdir -p "$tmp/work"
    (cd "$tmp/work" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$1" "$2" /VERYSILENT) >"$tmp/out" 2>&1
}

# --- A first install ---------------------------------------------------------------------------
home=$tmp/home
data=$home/.local/share
game=$data/lumavex
install "$home" "$present" || fail "the install ended with $?: $(cat "$tmp/out")"
[ ! -s "$tmp/out" ] || fail "/VERYSILENT still printed: $(cat "$tmp/out")"
[ -x "$game/tesselo" ] || fail "the program is not installed as an executable"
cmp -s "$present" "$game/sfiles/present.bin" || fail "sfiles/present.bin is not the installer that ran"
for file in data.pck sfiles/loader.dat help/index.html; do
    cmp -s "$build/game/$file" "$game/$file" || fail "$file not installed as built"
done
for box in "$build"/game/puzzles/*.pzl; do
    cmp -s "$box" "$game/puzzles/${box##*/}" || fail "sample box ${box##*/} not installed"
done
for size in 16 32 256; do
    [ -f "$data/icons/hicolor/${size}x$size/apps/lumavex.png" ] || fail "no ${size}x$size icon"
done
[ -f "$data/mime/packages/lumavex.xml" ] || fail "the box file type is not installed"
if command -v update-mime-database >/dev/null 2>&1; then
    grep -q 'application/x-lumavex-box:\*\.pzl' "$data/mime/globs2" || fail "the MIME database was not brought up to date"
fi
printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$game" | cmp -s - "$home/.config/Dremwick/Lumavex.ini" ||
    fail "Lumavex.ini: $(cat "$home/.config/Dremwick/Lumavex.ini" 2>&1)"

desktop=$data/applications/lumavex.desktop
for line in "Exec=$game/tesselo %f" "Path=$game" "TryExec=$game/tesselo" "Icon=lumavex" \
    "MimeType=application/x-lumavex-box;"; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks '$line'"
done
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

# The installed game starts from its folder and ends cleanly.
mkdir -p "$tmp/run"
chmod 700 "$tmp/run"
printf '0 quit\n' >"$game/s.txt"
(cd "$game" && HOME="$home" XDG_RUNTIME_DIR="$tmp/run" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    ./tesselo --headless --script s.txt) >"$tmp/game.log" 2>&1 || fail "the installed game ended with $?: $(cat "$tmp/game.log")"
rm -f "$game/s.txt"

# --- Installed again over the first: the player's boxes and files stay ------------------------------
printf 'my own box\n' >"$game/puzzles/Mandala.pzl"
printf 'another\n' >"$game/puzzles/Mine.pzl"
cp "$game/sfiles/config.ini" "$tmp/config.ini"
install "$home" "$present" || fail "the second install ended with $?: $(cat "$tmp/out")"
[ "$(cat "$game/puzzles/Mandala.pzl")" = "my own box" ] || fail "a player's box was overwritten by a sample"
[ -f "$game/puzzles/Mine.pzl" ] && cmp -s "$tmp/config.ini" "$game/sfiles/config.ini" ||
    fail "the second install lost the player's files"

# --- A damaged installer (its last file cut short) changes nothing of the older install -------------
cp "$present" "$tmp/damaged.bin"
at=$(($(wc -c <"$present") - 20))
byte=X
[ "$(dd if="$present" bs=1 skip=$at count=1 2>/dev/null)" != X ] || byte=Y
printf '%s' "$byte" | dd of="$tmp/damaged.bin" bs=1 seek=$at conv=notrunc 2>/dev/null
printf 'older\n' >"$game/data.pck"
cp "$home/.config/Dremwick/Lumavex.ini" "$tmp/ini"
if install "$home" "$tmp/damaged.bin"; then fail "a damaged installer reported success"; fi
[ "$(cat "$game/data.pck")" = "older" ] || fail "a failed install replaced files of the older one"
cmp -s "$tmp/ini" "$home/.config/Dremwick/Lumavex.ini" || fail "a failed install rewrote Lumavex.ini"
left=$(find "$home" -name '.*.??????')
[ -z "$left" ] || fail "a failed install left temporary files: $left"

# --- A library missing: the package is named, nothing is installed ---------------------------------
# The installer is made the way the build makes it, plus the requirement; twice, to see that the
# same files give the same bytes.
for n in 1 2; do
    "$build/tools/mkpresent" "$tmp/missing$n.bin" "$build/present/prsetup" "$build/present/manifest.txt" \
        --require libnothere.so.9 nothere-pkg >/dev/null || fail "mkpresent failed"
done
cmp -s "$tmp/missing1.bin" "$tmp/missing2.bin" || fail "two runs of mkpresent gave different bytes"
bare=$tmp/bare
if install "$bare" "$tmp/missing1.bin"; then fail "an install without its libraries reported success"; fi
grep -q 'sudo apt install nothere-pkg' "$tmp/out" || fail "the missing package is not named: $(cat "$tmp/out")"
[ ! -e "$bare" ] || fail "an install without its libraries left files: $(find "$bare")"

[ "$failures" -eq 0 ] || exit 1
echo "present: all checks passed"
