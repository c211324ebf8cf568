#!/bin/sh
# Builds and runs the import fuzz target.
#   fuzz/build.sh [seconds]     (default 30)
# With clang: a libFuzzer build (ASan + UBSan) in build-fuzz/, run for the
# given time over a copy of fuzz/corpus. Without clang: the plain driver
# replays the corpus once.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
seconds=${1:-30}
build=${FLIPDESK_FUZZ_BUILD:-$top/build-fuzz}

if command -v clang++ >/dev/null 2>&1; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DFLIPDESK_FUZZ=ON -DFLIPDESK_BENCH=OFF >/dev/null
  cmake --build "$build" --target fuzz_import -j"$(nproc)"
  work="$build/fuzz-corpus"
  mkdir -p "$work"
  cp -n "$here"/corpus/* "$work"/ 2>/dev/null || true
  "$build/fuzz/fuzz_import" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$work"
else
  build=${FLIPDESK_FUZZ_BUILD:-$top/build-fuzz-plain}
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLIPDESK_BENCH=OFF >/dev/null
  cmake --build "$build" --target fuzz_import_driver -j"$(nproc)"
  "$build/fuzz/fuzz_import_driver" "$here/corpus"
fi
