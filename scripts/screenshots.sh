#!/usr/bin/env bash
# Remakes the README's screenshots, docs/store.png, docs/create.png and docs/play.png, with the
# headless game: the store room with the sample boxes on a first start, the create room with a
# sample picture imported, and the play room with a game under way.
#   scripts/screenshots.sh [BUILD_DIR]      (default build; the game must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=$(cd "${1:-build}" && pwd)
game=$build/game
[ -x "$game/tesselo" ] || { echo "screenshots: build the game first (ninja -C build game)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$work/run"

# A fresh game folder for each picture: the program, pack and help as built, the sample boxes,
# and no settings or games left over from earlier runs.
fresh() {
    rm -rf "$work/game"
    mkdir -p "$work/game/puzzles"
    ln -s "$game/tesselo" "$game/data.pck" "$game/help" "$work/game/"
    cp "$game"/puzzles/*.pzl "$work/game/puzzles/"
}
run() {
    (cd "$work/game" && ./tesselo --headless --window 1024x768 --script "$work/script.txt" "$@")
}

fresh
printf '40 move 1000 700\n+5 snap %s/store.png\n+1 quit\n' "$work" >"$work/script.txt"
run
fresh
# New box, Import picture, the sample picture typed into the chooser.
printf '2 click 78 104 left\n+5 click 110 80 left\n+3 type %s\n+1 key enter\n+10 move 1000 700\n+5 snap %s/create.png\n+1 quit\n' \
    "$build/samples/coral-reef.bmp" "$work" >"$work/script.txt"
run
fresh
printf '0 autosolve 6 %s\n+20 move 1000 20\n+10 snap %s/play.png\n+1 quit\n' "${PLAY_MOVES:-70}" "$work" \
    >"$work/script.txt"
run "puzzles/Tulip Fields.pzl"

mkdir -p "$source_dir/docs"
cp "$work/store.png" "$work/create.png" "$work/play.png" "$source_dir/docs/"
echo "screenshots: docs/store.png, docs/create.png, docs/play.png"
