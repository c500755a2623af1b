#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, or when a folder other than
# platform/ and kernel/ includes SDL or POSIX headers. The layers, lowest first, are written in
# ARCHITECTURE.md; tools/, tests/, bench/ and fuzz/ stand above them all.
set -euo pipefail
cd "$(dirname "$0")/.."

LAYERS=(base platform resources image puzzle gui gift rooms kernel)
SYSTEM='SDL[^>]*|unistd\.h|sys/[^>]*|fcntl\.h|dirent\.h|pthread\.h|signal\.h|poll\.h|dlfcn\.h|pwd\.h|termios\.h'

rank() {
  local i
  for i in "${!LAYERS[@]}"; do [ "${LAYERS[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

status=0
for layer in "${LAYERS[@]}"; do
  [ -d "$layer" ] || continue
  own=$(rank "$layer")
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    header=$(sed -E 's/.*#include "([^"]*)".*/\1/' <<<"$rest")
    folder=${header%%/*}
    other=$(rank "$folder")
    if [ "$other" -gt "$own" ]; then
      echo "$file:$line: $layer/ may not include $header ($folder/ is a higher layer)"
      status=1
    fi
  done < <(grep -Hn '^#include "' "$layer"/*.cpp "$layer"/*.h 2>/dev/null || true)
  if [ "$layer" != platform ] && [ "$layer" != kernel ]; then
    while IFS= read -r hit; do
      echo "$hit: only platform/ and kernel/ include SDL or POSIX headers"
      status=1
    done < <(grep -HnE "^#include <($SYSTEM)>" "$layer"/*.cpp "$layer"/*.h 2>/dev/null || true)
  fi
done
[ "$status" -eq 0 ] && echo "Layers: every include points down."
exit "$status"
