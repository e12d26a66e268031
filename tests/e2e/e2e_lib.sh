#!/usr/bin/env bash
# Shared by the end-to-end scripts: bounded waits, and the outside of a run (arguments, tools, a work folder
# that goes with the run, the X session in a process group of its own). Sourced, never run.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Bounded polling: runs the command every 100 ms until it succeeds or the seconds run out.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# The visible windows whose title matches an extended regex, one id a line. xdotool's search gives up on an
# X error, which any window going away while it walks the tree causes (a splash closing, a menu folding):
# such a search is run again rather than taken for "no window".
visible_windows() {
  local out _
  for _ in 1 2 3 4 5; do
    if out=$(xdotool search --onlyvisible --name "$1" 2>&1); then
      grep -E '^[0-9]+$' <<<"$out" || true
      return 0
    fi
    [[ $out == *"X Error"* ]] || return 0
  done
}

# prepare_run <script> <tool>... -- <glview3 binary> <screenshot folder>: checks the arguments and the tools
# (exit 77 when one is missing), and sets binary, shots and work (removed at exit, with the session). The
# user's configuration and data folders are temporary ones inside work, never the real user's.
prepare_run() {
  local script=$1
  shift
  local tools=()
  while (($# > 0)) && [[ $1 != -- ]]; do
    tools+=("$1")
    shift
  done
  shift
  (($# == 2)) || {
    echo "usage: $script <glview3 binary> <screenshot folder>" >&2
    exit 2
  }
  binary=$(realpath "$1")
  mkdir -p "$2"
  # shellcheck disable=SC2034  # used by the sourcing script
  shots=$(realpath "$2")
  local tool
  for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || {
      echo "SKIP: $tool is not installed (see scripts/packages-test.txt)"
      exit 77
    }
  done
  [[ -x $binary ]] || fail "no program at $binary"
  work=$(mktemp -d)
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
  session=
  trap end_run EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT
}

end_run() {
  if [[ -n $session ]] && kill -0 "$session" 2>/dev/null; then
    kill -- "-$session" 2>/dev/null || kill "$session" 2>/dev/null || true
  fi
  rm -rf "$work"
}

# run_session <seconds> <screen WxH> <command>...: the command inside Xvfb, in its own process group so that a
# timeout takes the X server and the program with it; polled rather than waited for, so that a TERM or INT
# for the script ends the session at once. Exits with the session's status.
run_session() {
  local seconds=$1 screen=$2
  shift 2
  set -m
  timeout "$seconds" xvfb-run -a -s "-screen 0 ${screen}x24" "$@" &
  session=$!
  set +m
  while kill -0 "$session" 2>/dev/null; do sleep 0.1; done
  local status=0
  wait "$session" || status=$?
  session=
  ((status == 124)) && fail "the run took longer than $seconds s"
  exit "$status"
}
