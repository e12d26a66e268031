#!/usr/bin/env bash
# Builds the tests of the worker threads with ThreadSanitizer in build-tsan and runs them: the read-ahead's
# decoder (test_prefetch_worker) and the media control's worker (test_mmcontrol's playing, seeking and
# superseding cases). They link only their rooms, so only glview3_files, glview3_pictures, glview3_media and
# the generators are compiled. Qt, GLib and GStreamer are not instrumented: scripts/tsan.supp names the few of
# their internals whose synchronisation ThreadSanitizer cannot see.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" packages.txt packages-test.txt
build="$top/build-tsan"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DGLV_TSAN=ON -DGLV_BENCH=OFF -DGLV_PCH=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" --target test_prefetch_worker test_mmcontrol
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/scripts/tsan.supp"
cd "$build/tests"
./test_prefetch_worker
# The cases that drive the worker hardest: opening, playing to the end, seeks and steps while it plays, a
# play from the end, and the control destroyed while it plays. GLV_TSAN_MEDIA_CASES= runs them all.
cases=${GLV_TSAN_MEDIA_CASES-playsSoundToItsEnd lengthIsKnownAfterOpen fromThenPlaySeeks backStepPrevMoveAndClamp \
  prevKeepsPlaying playAtTheEndStartsOver destroyedWhilePlaying}
# shellcheck disable=SC2086
./test_mmcontrol $cases
