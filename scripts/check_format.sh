#!/usr/bin/env bash
# Fails when a C++ source differs from the project's .clang-format; scripts/format.sh fixes it.
set -euo pipefail
cd "$(dirname "$0")/.."
problems=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' || true)
if [ -z "$problems" ]; then
  echo "Format: every source follows .clang-format."
  exit 0
fi
echo "$problems" | head -20
echo "Some sources are not formatted; run scripts/format.sh (clang-format -i over every .cpp and .h)."
exit 1
