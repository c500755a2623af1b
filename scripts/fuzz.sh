#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer (ASan + UBSan) in build-fuzz/ and, given a
# number of seconds, runs each one that long over its seeds:
#   scripts/fuzz.sh            build only
#   scripts/fuzz.sh 300        build, then fuzz each target for 300 s
#   scripts/fuzz.sh 300 fuzz_ini fuzz_pack   only these targets
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-0}
shift || true
SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DLUMAVEX_TESTS=OFF -DLUMAVEX_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link $SAN" >/dev/null
ninja -C build-fuzz lv_kernel >/dev/null
# One archive per layer, the highest first, so each resolves against the ones below it.
layers=""
for l in kernel rooms gift gui puzzle image resources platform base; do
  [ -f build-fuzz/liblv_$l.a ] && layers="$layers build-fuzz/liblv_$l.a"
done
libs=$(pkg-config --libs sdl2 SDL2_mixer freetype2 fontconfig libtiff-4 libpng libwebp)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=($(ls fuzz/fuzz_*.cpp | xargs -n1 basename | sed 's/\.cpp$//'))
for t in "${targets[@]}"; do
  extra=""
  [ "$t" = fuzz_gift ] && extra="loader/ldcore.cpp"  # the extractor stands outside the layers
  clang++ -std=c++20 -g -O1 -fsanitize=fuzzer $SAN -I. -Ibuild-fuzz/generated \
    $(pkg-config --cflags sdl2) fuzz/$t.cpp $extra $layers $libs -ljpeg -lm -o build-fuzz/$t
done
if [ "$seconds" -gt 0 ]; then
  for t in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
    seeds=build/fuzz-seeds-san/$t
    [ -d "$seeds" ] || seeds=build/fuzz-seeds/$t
    echo "== $t for $seconds s"
    # An input that takes more than 25 s is a fault (a stalled parser or cut), not a slow run.
    build-fuzz/$t -max_total_time="$seconds" -timeout=25 -print_final_stats=1 -detect_leaks=0 "$corpus" \
      $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | tail -n 12
  done
fi
