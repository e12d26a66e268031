#!/usr/bin/env bash
# Builds the metafile fuzz target with clang in build-fuzz and runs it for a bounded time (FUZZ_SECONDS,
# default 60) from the seeds the test builder writes. Fails on any crash, hang (10 s an input), excess memory
# or sanitizer report; the input that did it is left in build-fuzz/fuzz as crash-*, timeout-* or oom-*.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-fuzz"
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLV_FUZZ=ON \
  -DGLV_SOURCES_FILTER='src/platform/(wmf|picture|dib_reader)' -DGLV_TESTS_FILTER='^$' > /dev/null
cmake --build "$build" --target fuzz_wmf wmf_seeds -j2
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$top/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
seeds="$build/fuzz/seeds"
corpus="$build/fuzz/corpus"
mkdir -p "$seeds" "$corpus"
"$build/fuzz/wmf_seeds" "$seeds"
cd "$build/fuzz"
"$build/fuzz/fuzz_wmf" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -dict="$top/fuzz/wmf.dict" "$corpus" "$seeds"
