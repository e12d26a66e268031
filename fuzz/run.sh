#!/usr/bin/env bash
# Builds every fuzz target with clang in build-fuzz, then runs each for a bounded time (FUZZ_SECONDS, default
# 60) from the seeds the test builders write, FUZZ_JOBS of them at a time (default 2, a core each). Fails on
# any crash, hang (10 s an input), excess memory or sanitizer report in any target; the input that did it is
# left in build-fuzz/fuzz/<target>/ as crash-*, timeout-*, oom-* or leak-*, and the target's output in
# build-fuzz/fuzz/<target>.log. Prints one line a target.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" packages.txt packages-test.txt  # clang and its sanitizer runtimes
build="$top/build-fuzz"
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-2}
targets=(wmf picture list_file settings sound)

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLV_FUZZ=ON \
  -DGLV_TESTS_FILTER='^$' -DGLV_BENCH=OFF > /dev/null
cmake --build "$build" -j2 --target wmf_seeds fuzz_seeds "${targets[@]/#/fuzz_}" > "$build/fuzz-build.log" ||
  { cat "$build/fuzz-build.log"; exit 1; }

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$top/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
out="$build/fuzz"
status=$(mktemp -d)  # each target's exit code, written by its background job
trap 'rm -rf "$status"' EXIT
touch "$status/start"  # inputs saved before it are an earlier run's

# The options of each target: inputs larger than a real file of its kind only slow the search.
options() {
  case $1 in
    wmf) echo "-max_len=65536 -dict=$top/fuzz/wmf.dict" ;;
    picture) echo "-max_len=1048576" ;;
    sound) echo "-max_len=262144" ;;
    list_file | settings) echo "-max_len=200000" ;;  # room for a line over the 64 KB limit
  esac
}

seeds() {
  case $1 in
    wmf) "$out/wmf_seeds" "$2" ;;
    *) "$out/fuzz_seeds" "${1%_file}" "$2" ;;
  esac
}

run() {
  local name=$1 dir="$out/$1"
  mkdir -p "$dir/seeds" "$dir/corpus"
  seeds "$name" "$dir/seeds"
  local rc=0
  # shellcheck disable=SC2046
  (cd "$dir" && "$out/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/" -print_final_stats=1 $(options "$name") corpus seeds) > "$out/$name.log" 2>&1 ||
    rc=$?
  local runs corpus artifact
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log" | tail -1)
  corpus=$(find "$dir/corpus" -type f | wc -l)
  artifact=$(find "$dir" -maxdepth 1 -newer "$status/start" \
    \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) -print -quit)
  if [ "$rc" -eq 0 ]; then
    printf 'fuzz_%-10s ok      %s runs in %s s, corpus %s\n' "$name" "${runs:-?}" "$seconds" "$corpus"
  else
    printf 'fuzz_%-10s FAILED  exit %s, %s (log: %s)\n' "$name" "$rc" "${artifact:-no input saved}" \
      "$out/$name.log"
  fi
  echo "$rc" > "$status/$name"
}

running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run "$name" &
  running=$((running + 1))
done
wait
failed=0
for name in "${targets[@]}"; do
  [ "$(cat "$status/$name" 2>/dev/null)" = 0 ] || failed=1
done
exit "$failed"
