#!/usr/bin/env bash
# Builds the tests of the worker threads with ThreadSanitizer in build-tsan and runs them: the read-ahead's
# decoder (test_prefetch_worker), a big JPEG decoded in two parts at once into kept memory
# (test_picture_loader's cases of it) and the media control's worker (test_mmcontrol's playing, seeking and
# superseding cases). They link only their rooms, so only glview3_files, glview3_pictures, glview3_media and
# the generators are compiled: a few minutes on two cores.
# Qt, GLib and GStreamer are not instrumented, and their own locks (futexes) are out of ThreadSanitizer's
# sight, so it reports races and lock orders inside GStreamer's threads. What fails the run is a report in
# which an access or a lock is our code's own (its first frame outside the runtime and the system headers is
# in src/ or tests/: scripts/tsan-ours.awk). scripts/tsan.supp names Qt's queued-call hand-over, which is
# ours in that sense but ordered by Qt's event queue.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" packages.txt packages-test.txt
build="$top/build-tsan"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DGLV_TSAN=ON -DGLV_BENCH=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target test_prefetch_worker test_picture_loader test_mmcontrol
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
# Reports go to the logs and do not change the exit status: a failing test does.
export TSAN_OPTIONS="exitcode=0:second_deadlock_stack=1:report_signal_unsafe=0:log_path=$logs/tsan:suppressions=$top/scripts/tsan.supp"
cd "$build/tests"
./test_prefetch_worker
./test_picture_loader waitedJpegsDecodeToTheSamePixels topRowsAreShownEarly \
  memoryLetGoServesTheNextPictureWithNoTraceOfTheLast
# The cases that drive the worker hardest: opening, playing to the end, seeks and steps while it plays, a
# play from the end, and the control destroyed while it plays. GLV_TSAN_MEDIA_CASES= runs them all.
cases=${GLV_TSAN_MEDIA_CASES-playsSoundToItsEnd lengthIsKnownAfterOpen fromThenPlaySeeks backStepPrevMoveAndClamp \
  prevKeepsPlaying playAtTheEndStartsOver destroyedWhilePlaying}
# shellcheck disable=SC2086
./test_mmcontrol $cases
shopt -s nullglob
reports=("$logs"/tsan.*)
echo "ThreadSanitizer: $(cat "${reports[@]}" /dev/null | grep -c '^WARNING: ThreadSanitizer') reports in all"
cat "${reports[@]}" /dev/null | awk -v top="$top" -f "$top/scripts/tsan-ours.awk"
echo "ThreadSanitizer: none of them in our code"
