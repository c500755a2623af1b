#!/usr/bin/env bash
# Builds the Debian package of the game, lumavex_VERSION_ARCH.deb.
#   scripts/package.sh [--build-dir DIR] [--out DIR]
# Without --build-dir the game is built afresh: build-deb/ is made anew as a Release build of
# the game folder alone (no tests, no benchmarks). With it, that build folder (configured
# already) is brought up to date and packaged. The package is written to --out (default: the
# top folder of the tree) and its path printed last.
#
# The package is a staged `cmake --install` into /usr with the programs stripped and the command
# in /usr/games, plus what a
# Debian package carries: the copyright file, the compressed changelog and manual page, the
# lintian overrides, md5sums and a control file whose Depends dpkg-shlibdeps works out from the
# shared libraries of every program in it. The menu, file-type and icon caches are refreshed by
# the triggers of the packages that own them, so there are no maintainer scripts.
set -euo pipefail
umask 022
top=$(cd "$(dirname "$0")/.." && pwd)
build=
out=$top
while [ $# -gt 0 ]; do
  case $1 in
  --build-dir) build=$(cd "$2" && pwd); shift 2 ;;
  --out) out=$2; shift 2 ;;
  *) echo "usage: scripts/package.sh [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

command -v dpkg-shlibdeps >/dev/null 2>&1 || "$top/scripts/setup.sh" --package
debian=$top/packaging/debian

# The package's version is the newest entry of its changelog, which must be the game's version.
version=$(sed -n '1s/^lumavex (\([^)]*\)).*/\1/p' "$debian/changelog")
game_version=$(sed -n 's/.*GAME_VERSION = \([0-9]*\);.*/\1/p' "$top/base/version.h")
game_version=$((game_version / 100)).$(printf '%02d' $((game_version % 100)))
case $version in
"$game_version"-*) ;;
*)
  echo "packaging/debian/changelog names $version, the game is $game_version: add an entry" >&2
  exit 1
  ;;
esac
arch=$(dpkg --print-architecture)

# --- The build -------------------------------------------------------------------------------------
if [ -z "$build" ]; then
  build=$top/build-deb
  rm -rf "$build"
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAVEX_TESTS=OFF \
    -DLUMAVEX_BENCH=OFF "${launcher[@]}" >/dev/null
fi
nice ninja -C "$build" game >"$build/package-build.log" 2>&1 || {
  tail -n 40 "$build/package-build.log" >&2
  echo "the build failed (its whole output: $build/package-build.log)" >&2
  exit 1
}

# --- The files -------------------------------------------------------------------------------------
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null
strip --remove-section=.comment --remove-section=.note "$root/usr/lib/lumavex/tesselo"
# A game's command lives in /usr/games (the launcher finds the game folder relative to itself,
# ../lib/lumavex from either place); the menu entry names it in full, since not every session
# has /usr/games on its PATH.
mkdir -p "$root/usr/games"
mv "$root/usr/bin/lumavex" "$root/usr/games/lumavex"
rmdir "$root/usr/bin"
sed -i -e 's|^Exec=lumavex |Exec=/usr/games/lumavex |' -e 's|^TryExec=lumavex$|TryExec=/usr/games/lumavex|' \
  "$root/usr/share/applications/lumavex.desktop"
grep -qx 'TryExec=/usr/games/lumavex' "$root/usr/share/applications/lumavex.desktop" || {
  echo "packaging/lumavex.desktop: its Exec or TryExec line is not as scripts/package.sh expects" >&2
  exit 1
}
doc=$root/usr/share/doc/lumavex
mkdir -p "$doc"
cp "$debian/copyright" "$doc/copyright"
gzip -9n <"$debian/changelog" >"$doc/changelog.Debian.gz"
gzip -9n "$root/usr/share/man/man6/lumavex.6"
if [ -s "$debian/lintian-overrides" ]; then
  mkdir -p "$root/usr/share/lintian/overrides"
  cp "$debian/lintian-overrides" "$root/usr/share/lintian/overrides/lumavex"
fi
# Whatever the build left: folders 0755, programs 0755, every other file 0644.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -perm /111 -exec chmod 0755 {} +
find "$root" -type f ! -perm /111 -exec chmod 0644 {} +

# --- Depends: the shared libraries of every program in the package ---------------------------------
programs=()
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] && programs+=("$file")
done < <(find "$root" -type f -perm /111 -print0 | sort -z)
mkdir -p "$work/src/debian"
printf 'Source: lumavex\n\nPackage: lumavex\nArchitecture: any\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "${programs[@]/#/-e}" 2>"$work/shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p') || {
  cat "$work/shlibdeps.log" >&2
  exit 1
}
[ -n "$depends" ] || { echo "dpkg-shlibdeps found no libraries" >&2; exit 1; }

# --- Control files and the package -----------------------------------------------------------------
mkdir -p "$root/DEBIAN"
size=$(du -sk --apparent-size --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s#@DEPENDS@#$depends#" \
  "$debian/control" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
deb=$out/lumavex_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
