#!/bin/sh
# bench/desktop.sh -- the game on a real X server: launch to playable, carrying one piece in
# circles, idle in the play room, peak memory, for boxes of about 1,000 and 10,000 pieces and the
# reopen of a box fitted to a smaller desk. See bench/desktop.py for what is measured and how.
#
#   bench/desktop.sh --setup            installs what the benchmark needs (Xvfb, xdotool, python3)
#   bench/desktop.sh [OPTIONS]          runs it against build/ (the game must be built: ninja -C build game)
#
# Options are those of bench/desktop.py (--build DIR, --runs N, --display :N, --window WxH, --keep,
# --videodriver N, --wm); `bench/desktop.sh --help` lists them.
set -e
here=$(cd "$(dirname "$0")" && pwd)

if [ "$1" = "--setup" ]; then
    missing=""
    command -v Xvfb >/dev/null 2>&1 || missing="$missing xvfb"
    command -v xdotool >/dev/null 2>&1 || missing="$missing xdotool"
    command -v python3 >/dev/null 2>&1 || missing="$missing python3"
    if [ -n "$missing" ]; then
        sudo=""
        [ "$(id -u)" = 0 ] || sudo=sudo
        $sudo apt-get update
        # shellcheck disable=SC2086
        $sudo apt-get install -y --no-install-recommends $missing
    fi
    echo "desktop benchmark: Xvfb, xdotool and python3 are installed"
    exit 0
fi

for tool in Xvfb xdotool python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "desktop benchmark: $tool is missing; run bench/desktop.sh --setup first" >&2
        exit 1
    fi
done
exec python3 "$here/desktop.py" "$@"
