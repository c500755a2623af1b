#!/bin/sh
# The game installed as a desktop program: a staged install into a temporary folder, its files
# and their contents checked, the desktop's own validators run when present, the launcher run
# headless for a new player, and the uninstall script run over the staged files.
#   install_test.sh BUILD_DIR SOURCE_DIR APP_ID
set -eu
build=$1
source=$2
app_id=$3
cmake=${CMAKE:-cmake}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

prefix=/usr/local
stage=$tmp/stage
root=$stage$prefix
before=$(cat "$build/lumavex_installed.txt" 2>/dev/null || true)
DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log" >&2
    fail "the install failed"
    exit 1
}
[ "$(cat "$build/lumavex_installed.txt" 2>/dev/null || true)" = "$before" ] ||
    fail "a staged install replaced the record the uninstall target uses"

# --- Files ---------------------------------------------------------------------------------------
game=$root/lib/lumavex
sizes="16 24 32 48 64 128 256"
for file in bin/lumavex lib/lumavex/tesselo lib/lumavex/data.pck lib/lumavex/help/index.html \
    lib/lumavex/sfiles/loader.dat lib/lumavex/sfiles/present.bin share/man/man6/lumavex.6 \
    share/applications/lumavex.desktop share/mime/packages/lumavex.xml \
    "share/metainfo/$app_id.metainfo.xml"; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
for size in $sizes; do
    [ -f "$root/share/icons/hicolor/${size}x$size/apps/lumavex.png" ] || fail "no ${size}x$size icon"
done
[ -x "$root/bin/lumavex" ] && [ -x "$game/tesselo" ] || fail "the launcher or the program is not executable"
for box in "$build"/game/puzzles/*.pzl; do
    cmp -s "$box" "$game/puzzles/${box##*/}" || fail "sample box ${box##*/} not installed as built"
done

# --- Desktop entry ---------------------------------------------------------------------------------
desktop=$root/share/applications/lumavex.desktop
for line in "[Desktop Entry]" "Type=Application" "Name=Lumavex" "Exec=lumavex %f" "Icon=lumavex" \
    "Categories=Game;LogicGame;" "MimeType=application/x-lumavex-box;"; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
for key in GenericName Comment; do
    grep -q "^$key=." "$desktop" || fail "desktop entry lacks $key"
done

# --- Icons: the PNG signature, then width, height, bit depth and colour type from IHDR ------------
for size in $sizes; do
    png=$root/share/icons/hicolor/${size}x$size/apps/lumavex.png
    [ -f "$png" ] || continue
    head=$(od -An -tx1 -N26 "$png" | tr -d ' \n')
    [ "${head%"${head#????????????????}"}" = "89504e470d0a1a0a" ] || fail "$png is no PNG"
    ihdr=${head#????????????????????????}
    expect=$(printf '49484452%08x%08x0806' "$size" "$size")
    [ "$ihdr" = "$expect" ] || fail "$png: IHDR $ihdr, expected $expect (${size}x$size, 8-bit RGBA)"
done

# --- MIME type: compiled by the desktop's own tool when present ------------------------------------
mime=$root/share/mime/packages/lumavex.xml
grep -q 'type="application/x-lumavex-box"' "$mime" && grep -q 'pattern="\*\.pzl"' "$mime" &&
    grep -q '<comment>.' "$mime" || fail "the MIME type lacks its name, glob or comment"
if command -v update-mime-database >/dev/null 2>&1; then
    mkdir -p "$tmp/mime/packages"
    cp "$mime" "$tmp/mime/packages/"
    update-mime-database "$tmp/mime" >/dev/null 2>&1 || fail "update-mime-database refused the MIME type"
    grep -q 'application/x-lumavex-box:\*\.pzl' "$tmp/mime/globs2" || fail "*.pzl is not mapped to the box type"
    grep -aq 'BOX1' "$tmp/mime/magic" || fail "the box tag is not a magic match"
fi

# --- Metadata --------------------------------------------------------------------------------------
meta=$root/share/metainfo/$app_id.metainfo.xml
for text in "<id>$app_id</id>" '<launchable type="desktop-id">lumavex.desktop</launchable>' \
    '<release version="1.25"' '<content_rating type="oars-1.1"' '<mediatype>application/x-lumavex-box</mediatype>'; do
    grep -qF "$text" "$meta" || fail "metadata lacks $text"
done
shots=$(grep -o 'docs/[a-z]*\.png' "$meta" || true)
[ -n "$shots" ] || fail "metadata names no screenshots"
for shot in $shots; do
    [ -f "$source/$shot" ] || fail "screenshot $shot is not in the tree"
done

# --- The desktop's validators ----------------------------------------------------------------------
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$meta" >"$tmp/appstream.log" 2>&1 || {
        cat "$tmp/appstream.log" >&2
        fail "appstreamcli validate"
    }
fi

# --- The launcher for a new player -----------------------------------------------------------------
home=$tmp/home
mkdir -p "$home" "$tmp/run" "$tmp/downloads"
chmod 700 "$tmp/run"
printf '0 quit\n' >"$tmp/quit.txt"
play() {
    (cd "$tmp/downloads" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$tmp/run" \
        "$root/bin/lumavex" --headless --script ../quit.txt "$@") >"$tmp/game.log" 2>&1
}
play || fail "the first run ended with $?"
player=$home/.local/share/lumavex
for item in tesselo data.pck help/index.html sfiles; do
    [ -e "$player/$item" ] || fail "the player's folder lacks $item"
done
for item in tesselo data.pck help sfiles/loader.dat sfiles/present.bin; do
    [ "$(readlink -f "$player/$item")" = "$(readlink -f "$game/$item")" ] ||
        fail "the player's $item is not the installed one"
done
count=$(find "$player/puzzles" -name '*.pzl' | wc -l)
[ "$count" -eq "$(find "$game/puzzles" -name '*.pzl' | wc -l)" ] || fail "$count sample boxes seeded"
ini=$home/.config/Dremwick/Lumavex.ini
printf '[Lumavex]\nInstallPath=%s\nVersion=126\n' "$player" | cmp -s - "$ini" || fail "Lumavex.ini: $(cat "$ini")"

# A box deleted by the player stays deleted; a box opened from the file manager by a path relative
# to its folder is put on the shelf.
rm "$player/puzzles/Mandala.pzl"
cp "$game/puzzles/Sunset Lake.pzl" "$tmp/downloads/From Anna.pzl"
play "From Anna.pzl" || fail "the run with a box ended with $?"
[ ! -e "$player/puzzles/Mandala.pzl" ] || fail "the samples were seeded again"
cmp -s "$tmp/downloads/From Anna.pzl" "$player/puzzles/From Anna.pzl" ||
    fail "the box named on the command line is not on the shelf: $(cat "$tmp/game.log")"

# --- A player's folder made by a gift's installer ---------------------------------------------------
# The installer every gift carries puts copies of the game's files into the player's folder; the
# installed command replaces them with links and keeps the player's boxes, settings and games.
gifted=$tmp/gifted
mkdir -p "$gifted" "$tmp/work"
(cd "$tmp/work" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$gifted" "$build/game/sfiles/present.bin" /VERYSILENT) \
    >"$tmp/present.log" 2>&1 || fail "the gift's installer ended with $?: $(cat "$tmp/present.log")"
folder=$gifted/.local/share/lumavex
[ -f "$folder/tesselo" ] && [ ! -L "$folder/tesselo" ] && [ -d "$folder/help" ] || fail "the gift's installer made no folder"
printf 'my own box\n' >"$folder/puzzles/Mine.pzl"
mkdir -p "$folder/sfiles/qs"
printf 'a game in progress\n' >"$folder/sfiles/qs/Mine.qsv"
find "$folder/puzzles" "$folder/sfiles/qs" -type f -exec md5sum {} + | sort >"$tmp/gifted.before"
(cd "$tmp/downloads" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$gifted" XDG_RUNTIME_DIR="$tmp/run" \
    "$root/bin/lumavex" --headless --script ../quit.txt) >"$tmp/game.log" 2>&1 ||
    fail "the installed command ended with $? in a gift's folder: $(cat "$tmp/game.log")"
for item in tesselo data.pck help sfiles/loader.dat sfiles/present.bin; do
    [ -L "$folder/$item" ] && [ "$(readlink -f "$folder/$item")" = "$(readlink -f "$game/$item")" ] ||
        fail "the gift's $item was not replaced by the installed one"
done
[ ! -e "$game/help/help" ] || fail "the help was linked inside the installed help folder"
find "$folder/puzzles" "$folder/sfiles/qs" -type f -exec md5sum {} + | sort | cmp -s "$tmp/gifted.before" - ||
    fail "the installed command lost or changed a box or game of a gift's folder"
[ -f "$folder/sfiles/config.ini" ] || fail "the player's settings are gone"

# --- Uninstall -------------------------------------------------------------------------------------
find "$stage" ! -type d >"$tmp/staged"
cp "$tmp/staged" "$tmp/manifest"  # the uninstall removes its record when done
"$cmake" -DMANIFEST="$tmp/manifest" -P "$source/packaging/uninstall.cmake" >/dev/null || fail "uninstall failed"
while IFS= read -r file; do
    [ ! -e "$file" ] || fail "uninstall left $file"
done <"$tmp/staged"
[ ! -e "$game" ] || fail "uninstall left the game folder"
[ -d "$root/share" ] || fail "uninstall removed folders that are not the game's"
[ -d "$player/puzzles" ] || fail "uninstall touched the player's folder"

[ "$failures" -eq 0 ] || exit 1
echo "install: all checks passed"
