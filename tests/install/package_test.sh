#!/bin/sh
# The Debian package: built from this build folder by scripts/package.sh into OUT_DIR, its
# control fields and files checked, and the distribution's own checkers run over it (lintian
# with no error and no warning, appstreamcli on the metainfo, desktop-file-validate on the menu
# entry). Skipped (exit 77) when the package tools are missing; a checker that is missing is
# named and left out. package_install_test.sh installs what this leaves in OUT_DIR.
#   package_test.sh BUILD_DIR SOURCE_DIR OUT_DIR APP_ID
set -eu
build=$1
source=$2
out=$3
app_id=$4

for tool in dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null 2>&1 || {
        echo "SKIP: $tool is missing (scripts/setup.sh --test installs it)"
        exit 77
    }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$out"
"$source/scripts/package.sh" --build-dir "$build" --out "$out" >"$tmp/package.log" 2>&1 || {
    cat "$tmp/package.log" >&2
    echo "FAIL: scripts/package.sh" >&2
    exit 1
}
deb=$(tail -n 1 "$tmp/package.log")
case $deb in
"$out"/lumavex_*_*.deb) ;;
*)
    cat "$tmp/package.log" >&2
    echo "FAIL: scripts/package.sh named no package" >&2
    exit 1
    ;;
esac
[ "$(find "$out" -name '*.deb' | wc -l)" -eq 1 ] || fail "more than one package was written"

# --- Control fields --------------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
game_version=$(sed -n 's/.*GAME_VERSION = \([0-9]*\);.*/\1/p' "$source/base/version.h")
game_version=$((game_version / 100)).$(printf '%02d' $((game_version % 100)))
[ "$(field Package)" = lumavex ] || fail "Package: $(field Package)"
case $(field Version) in
"$game_version"-[0-9]*) ;;
*) fail "Version $(field Version) is not the game's $game_version" ;;
esac
[ "$deb" = "$out/lumavex_$(field Version)_$(dpkg --print-architecture).deb" ] || fail "file name $deb"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
# Depends are what the programs link: the game's own libraries and the installer's zlib.
depends=$(field Depends)
for package in libc6 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libpng16-16 libjpeg62-turbo libtiff6 libwebp7 \
    libfreetype6 libfontconfig1 libstdc++6 zlib1g; do
    case ", $depends," in
    *", $package "* | *", $package,"*) ;;
    *) fail "Depends lacks $package: $depends" ;;
    esac
done
[ "$(field Installed-Size)" -gt 1000 ] || fail "Installed-Size: $(field Installed-Size)"
# No maintainer scripts: the desktop's caches are refreshed by the triggers of their own packages.
dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$tmp/control"
for script in preinst postinst prerm postrm; do
    ! grep -q "$script\$" "$tmp/control" || fail "the package has a $script script"
done

# --- Files -----------------------------------------------------------------------------------------
root=$tmp/root
dpkg-deb -x "$deb" "$root"
game=$root/usr/lib/lumavex
for file in usr/games/lumavex usr/lib/lumavex/tesselo usr/lib/lumavex/data.pck \
    usr/lib/lumavex/help/index.html usr/lib/lumavex/sfiles/loader.dat usr/lib/lumavex/sfiles/present.bin \
    usr/share/applications/lumavex.desktop usr/share/mime/packages/lumavex.xml \
    "usr/share/metainfo/$app_id.metainfo.xml" usr/share/man/man6/lumavex.6.gz \
    usr/share/doc/lumavex/copyright usr/share/doc/lumavex/changelog.Debian.gz; do
    [ -f "$root/$file" ] || fail "$file is not in the package"
done
for size in 16 24 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x$size/apps/lumavex.png" ] || fail "no ${size}x$size icon"
done
for box in "$build"/game/puzzles/*.pzl; do
    cmp -s "$box" "$game/puzzles/${box##*/}" || fail "sample box ${box##*/} not packaged as built"
done
for file in data.pck help/index.html sfiles/loader.dat sfiles/present.bin; do
    cmp -s "$build/game/$file" "$game/$file" || fail "$file not packaged as built"
done
[ -x "$root/usr/games/lumavex" ] && [ -x "$game/tesselo" ] || fail "the command or the program is not executable"
[ ! -e "$root/usr/bin" ] || fail "the package has /usr/bin besides /usr/games"
readelf -d "$game/tesselo" >"$tmp/dynamic" 2>&1 || fail "readelf: $(cat "$tmp/dynamic")"
! grep -Eq 'RPATH|RUNPATH' "$tmp/dynamic" || fail "the program keeps a library search path"
! readelf -S "$game/tesselo" | grep -q '\.debug_' || fail "the program is not stripped"
grep -qx 'Exec=/usr/games/lumavex %f' "$root/usr/share/applications/lumavex.desktop" ||
    fail "the menu entry does not start /usr/games/lumavex"
# The copyright file names the licence of every library the credits name.
copyright=$root/usr/share/doc/lumavex/copyright
head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not machine-readable"
for name in SDL2 SDL2_mixer FluidSynth libjpeg-turbo libtiff FreeType fontconfig libpng zlib DejaVu TimGM6mb; do
    grep -q "$name" "$copyright" || fail "the copyright file does not name $name"
done
zcat "$root/usr/share/man/man6/lumavex.6.gz" >"$tmp/lumavex.6"
for text in '\-\-headless' '\-\-window' '\-\-script' '\-debug' '\-path' 'local/share/lumavex' 'Lumavex.ini'; do
    grep -qF -- "$text" "$tmp/lumavex.6" || fail "the manual page does not mention $text"
done

# --- The distribution's checkers --------------------------------------------------------------------
if command -v lintian >/dev/null 2>&1; then
    # As root lintian warns that it should not be; that line is no finding.
    lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || {
        cat "$tmp/lintian.log" >&2
        fail "lintian"
    }
    grep -E '^[EW]: ' "$tmp/lintian.log" >&2 && fail "lintian reported errors or warnings"
else
    echo "lintian is missing: the package is not linted (scripts/setup.sh --test installs it)"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    # --no-net: the checks of the addresses' reachability need the publisher's site.
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$tmp/appstream.log" 2>&1 || {
        cat "$tmp/appstream.log" >&2
        fail "appstreamcli validate"
    }
else
    echo "appstreamcli is missing: the metainfo is not validated"
fi
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$root/usr/share/applications/lumavex.desktop" || fail "desktop-file-validate"
else
    echo "desktop-file-validate is missing: the menu entry is not validated"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package: $deb, $(wc -c <"$deb") bytes; all checks passed"
