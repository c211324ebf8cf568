#!/bin/sh
# Builds and runs a fuzz target: "import" (packages, corpus fuzz/corpus),
# "frames" (frame operations, corpus fuzz/corpus_frames), "json" (the JSON
# reader, corpus fuzz/corpus_json), "curves" (curve files, corpus
# fuzz/corpus_curves), "feed" (Atom documents, corpus fuzz/corpus_feed),
# "movie" (the movie reader, corpus fuzz/corpus_movie), "plist" (property lists
# read at start-up, corpus fuzz/corpus_plist), "picture" (PNG and JPEG
# decoding, corpus fuzz/corpus_picture), "sound" (WAV, AIFF and CAF files
# through the decoder, resampler and mixers, corpus fuzz/corpus_sound, whose
# seeds tests/data/sound/make-sounds.sh makes) or "config" (filter pipeline
# configurations built on the headless GPU context, corpus fuzz/corpus_config).
#   fuzz/build.sh [seconds] [target]     (default 30, import)
# With clang: a libFuzzer build (ASan + UBSan) in build-fuzz/, run for the
# given time over a copy of the corpus. Without clang: the plain driver
# replays the corpus once. $FLIPDESK_JOBS caps the build's parallel jobs.
set -eu
limits=""
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
seconds=${1:-30}
target=${2:-import}
case "$target" in
  import) corpus="$here/corpus" ;;
  json) corpus="$here/corpus_json" ;;
  curves) corpus="$here/corpus_curves" ;;
  frames) corpus="$here/corpus_frames" ;;
  feed) corpus="$here/corpus_feed" ;;
  movie) corpus="$here/corpus_movie" ;;
  plist) corpus="$here/corpus_plist" ;;
  picture) corpus="$here/corpus_picture" ;;
  sound) corpus="$here/corpus_sound"; limits="-malloc_limit_mb=512" ;;
  config) corpus="$here/corpus_config" ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac
jobs=${FLIPDESK_JOBS:-$(nproc)}
build=${FLIPDESK_FUZZ_BUILD:-$top/build-fuzz}

if command -v clang++ >/dev/null 2>&1; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DFLIPDESK_FUZZ=ON -DFLIPDESK_BENCH=OFF >/dev/null
  cmake --build "$build" --target "fuzz_$target" -j"$jobs"
  work="$build/fuzz-corpus-$target"
  mkdir -p "$work"
  cp -n "$corpus"/* "$work"/ 2>/dev/null || true
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 $limits "$work"
else
  build=${FLIPDESK_FUZZ_BUILD:-$top/build-fuzz-plain}
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLIPDESK_BENCH=OFF >/dev/null
  cmake --build "$build" --target "fuzz_${target}_driver" -j"$jobs"
  "$build/fuzz/fuzz_${target}_driver" "$corpus"
fi
