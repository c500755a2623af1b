#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing) and configures build/.
#   scripts/setup.sh [--test | --package] [CMAKE_ARGUMENTS...]
# --test (what ./test runs) adds the tools only the tests use: the package tools and the
# distribution's checkers for the Debian package, and a headless browser for the help pages.
# --package installs only what scripts/package.sh needs besides the build, and configures nothing.
# ./run passes neither, so a player's machine gets none of them.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config clang clang-format
  libsdl2-dev libsdl2-mixer-dev libjpeg62-turbo-dev libtiff-dev libfreetype-dev libfontconfig-dev
  libpng-dev libwebp-dev zlib1g-dev libexpat1-dev libbrotli-dev libbz2-dev fonts-dejavu-core timgm6mb-soundfont xdg-utils libgtest-dev libbenchmark-dev
  desktop-file-utils appstream shared-mime-info)
PACKAGE_TOOLS=(dpkg-dev)
TEST_TOOLS=(lintian chromium debootstrap)

configure=1
case ${1:-} in
--test)
  PACKAGES+=("${PACKAGE_TOOLS[@]}" "${TEST_TOOLS[@]}")
  shift
  ;;
--package)
  PACKAGES+=("${PACKAGE_TOOLS[@]}")
  configure=0
  shift
  ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ "$configure" -eq 1 ] && [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
fi
