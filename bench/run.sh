#!/usr/bin/env bash
# Builds the program, the tests and the benchmarks (the default build leaves them out), and runs every
# benchmark; each prints its own figures. The start-up benchmark runs on xcb under Xvfb with a window manager
# (openbox) when they are installed, as a user's desktop starts the program; the others on the offscreen
# platform.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" packages.txt packages-test.txt
"$top/scripts/build.sh"
cmake --build "$top/build" -j "$(nproc)" --target benchmarks
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# Runs "$@" on a new X display with openbox managing it, once openbox has taken the screen (at most 10 s).
# shellcheck disable=SC2016  # the inner script expands its own variables
on_desktop() {
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    openbox > /dev/null 2>&1 &
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" && break
      sleep 0.1
    done
    QT_QPA_PLATFORM=xcb "$@"
    status=$?
    kill %1
    exit $status' on_desktop "$@"
}
for bench in "$top"/build/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  if [ "$(basename "$bench")" = bench_startup ] && command -v xvfb-run openbox xprop > /dev/null; then
    on_desktop "$bench"
  else
    "$bench"
  fi
done
