#!/usr/bin/env bash
# End to end on a desktop: the real glview3 on Xvfb with a real window manager (openbox), driven only with
# real input (XTEST clicks and keys, no focus tricks). Checks that the splash is drawn before the main window
# (when it lasts a frame of the film) and that no blank moment comes between them; that "Always on the top"
# can be switched off and on with OK without the main window locking up, and changes only the stacking
# layer; that a message box and the file dialog come up above the main window and are readable; that SIGTERM
# (logout) writes "default.lst"; that a first run under a Chinese locale given a file on the command line
# ("Open with") speaks Chinese and shows it.
#
#   run_e2e_desktop.sh <glview3 binary> <screenshot folder>
#
# Exits 77 (skipped) when xvfb-run, xdotool, openbox or ImageMagick are missing.
set -euo pipefail
# shellcheck source=tests/e2e/e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

readonly TITLE_RE='^TARNWELL Glintview v3\.0 \(Deluxe\)$'
readonly SCREEN_W=1280 SCREEN_H=1024



inside() {
  local app=$1 shots=$2 media=$3
  local log=$app/../glview3.log frames=$app/../frames shot=$app/../screen.png
  pid=
  wm=
  stop_all() {
    [[ -n $pid ]] && kill -9 "$pid" 2>/dev/null || true
    [[ -n $wm ]] && kill "$wm" 2>/dev/null || true
  }
  trap stop_all EXIT

  openbox >/dev/null 2>&1 &
  wm=$!
  wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  wait_for 10 wm_running || fail "openbox did not start"

  visible() { visible_windows "$1" | tail -n 1; }
  has_visible() { [[ -n $(visible "$1") ]]; }
  hidden() { [[ -z $(visible "$1") ]]; }
  grab() { import -window root "png:$1"; }
  # The mean of a colour's presence in a part of a screenshot: file colour fuzz WxH+X+Y.
  share_of() {
    convert "$1" -crop "$4" +repage -fuzz "$3" -fill white -opaque "$2" -fill black +opaque white \
      -format '%[fx:mean]' info:
  }
  more_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

  # Start-up, filmed: the splash (364 x 213, centred) shows its orange title before the main window
  # (620 x 357, centred, orange title bar) appears, and every frame in between shows one of the two. The
  # frames are only the part of the screen that tells, grabbed as fast as the server gives them, and judged
  # afterwards.
  mkdir -p "$frames"
  local region_x=$(((SCREEN_W - 620) / 2)) region_y=$(((SCREEN_H - 357) / 2))
  local region=620x240+$region_x+$region_y
  film() {
    local i=0
    while [[ ! -e $frames/stop ]] && ((i < 400)); do
      i=$((i + 1))
      import -window root -crop "$region" +repage "ppm:$frames/$(printf %04d $i).ppm" 2>/dev/null || true
    done
  }
  film &
  local filming=$!
  env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb "$app/glview3" >"$log" 2>&1 &
  pid=$!
  # The main window: the splash has the same title, but not its size.
  main_window() {  # [title regex]
    local id
    for id in $(visible_windows "${1:-$TITLE_RE}"); do
      [[ $(xdotool getwindowgeometry "$id" 2>/dev/null) == *"Geometry: 620x357"* ]] && { echo "$id"; return 0; }
    done
    return 1
  }
  shown_or_ended() { main_window >/dev/null || ! kill -0 "$pid" 2>/dev/null; }
  # A bound, not a pace: a sanitizer build on a loaded machine may take long. The checks below say what went
  # wrong if the bound passes.
  wait_for 60 shown_or_ended || true
  if ! kill -0 "$pid" 2>/dev/null; then
    touch "$frames/stop"
    cat "$log" >&2
    local status=0
    wait "$pid" || status=$?
    fail "the program ended before its main window appeared (status $status)"
  fi
  wait_for 5 main_window >/dev/null || {
    touch "$frames/stop"
    cat "$log" >&2
    fail "the main window did not appear"
  }
  sleep 1
  touch "$frames/stop"
  wait "$filming" || true
  # In region coordinates: the splash's title line, and the main window's title bar.
  local splash_band=344x26+$(((SCREEN_W - 364) / 2 + 10 - region_x))+$(((SCREEN_H - 213) / 2 + 132 - region_y))
  local main_bar=300x10+10+6
  local seen_splash=0 seen_main=0 blank_between=0 frame last=
  for frame in "$frames"/*.ppm; do
    [[ -s $frame ]] || continue
    last=$frame
    more_than "$(share_of "$frame" '#ffc080' 12% "$main_bar")" 0.5 && { seen_main=1; break; }
    if more_than "$(share_of "$frame" '#ffc080' 12% "$splash_band")" 0.03; then
      seen_splash=1
    elif ((seen_splash)); then
      blank_between=1
    fi
  done
  echo "start-up filmed in $(find "$frames" -name '*.ppm' | wc -l) frames"
  ((seen_main)) || fail "the main window never appeared on screen"
  # The splash stays only until it is on screen and the main window is made: on a fast machine that is
  # shorter than one frame of this film (each a screenshot by another process), so a splash not caught is
  # told, not failed; a blank moment between the two always fails.
  ((seen_splash)) || echo "note: the splash was on screen for less than a frame of the film"
  ((blank_between)) && fail "a blank moment came between the splash and the main window"
  convert "$last" "$shots/desktop-start.png"
  local main
  main=$(main_window) || fail "the main window is not visible"
  # shellcheck disable=SC2034
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$main")"
  local mx=$X my=$Y
  echo "main window $main at $mx,$my"
  above() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
  above "$main" || fail "always on top is on, yet the main window is not in the top layer"

  # The preferences through a click on the main window and F3, as a user does.
  open_prefs() {
    xdotool mousemove --sync $((mx + 30)) $((my + 300)) click 1
    xdotool key F3
    wait_for 10 has_visible '^Preferences$'
  }
  toggle_on_top_and_ok() {
    local prefs
    prefs=$(visible '^Preferences$')
    eval "$(xdotool getwindowgeometry --shell "$prefs")"
    local ox=$X oy=$Y
    xdotool mousemove --sync $((ox + 120)) $((oy + 44)) click 1   # the Advance tab
    xdotool mousemove --sync $((ox + 44)) $((oy + 170)) click 1   # "Always on the top"
    xdotool mousemove --sync $((ox + 141)) $((oy + 306)) click 1  # OK
    wait_for 10 hidden '^Preferences$'
  }
  for layer in normal top; do
    open_prefs || fail "F3 did not open the preferences (before switching to $layer)"
    toggle_on_top_and_ok || fail "OK did not close the preferences (switching to $layer)"
    wait_for 5 eval '[[ $(main_window) == "$main" ]]' || fail "the main window was made anew when switching to $layer"
    if [[ $layer == normal ]]; then
      wait_for 5 eval '! above "$main"' || fail "the main window stayed on top after switching it off"
    else
      wait_for 5 above "$main" || fail "the main window did not go on top after switching it on"
    fi
    eval "$(xdotool getwindowgeometry --shell "$main")"
    ((X == mx && Y == my)) || fail "switching to $layer moved the main window to $X,$Y"
    # The main window takes input again: F3 works.
    open_prefs || fail "the main window is locked after switching to $layer"
    local prefs
    prefs=$(visible '^Preferences$')
    eval "$(xdotool getwindowgeometry --shell "$prefs")"
    xdotool mousemove --sync $((X + 208)) $((Y + 306)) click 1  # Cancel
    wait_for 10 hidden '^Preferences$' || fail "Cancel did not close the preferences"
  done

  stacked_above_main() {
    local list
    list=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
    local i=0 main_at=-1 it_at=-1 id
    for id in $list; do
      (($(printf '%d' "$id") == main)) && main_at=$i
      (($(printf '%d' "$id") == $1)) && it_at=$i
      i=$((i + 1))
    done
    ((it_at > main_at && main_at >= 0))
  }
  # The preferences hold the main window back and stay above it: a click on the greyed main window does not
  # bury them under it (the user would face a locked program).
  open_prefs || fail "F3 did not open the preferences"
  local prefs
  prefs=$(visible '^Preferences$')
  eval "$(xdotool getwindowgeometry --shell "$prefs")"
  local px=$X py=$Y
  ((px > mx + 12)) || fail "the preferences cover the main window's left edge: nowhere to click beside them"
  xdotool mousemove --sync $((mx + 6)) $((my + 200)) click 1
  sleep 0.5
  stacked_above_main "$prefs" || fail "a click on the main window buried the preferences under it"
  xdotool mousemove --sync $((px + 208)) $((py + 306)) click 1  # Cancel
  wait_for 10 hidden '^Preferences$' || fail "Cancel did not close the preferences"

  # "Open favourite" from the favourites' menu: first the question, then the file dialog, both above the main
  # window (which is on top) and readable: dark text on a light face.
  readable() {  # window id, name: the face light, some text dark
    local info ax ay w h
    info=$(xwininfo -id "$1")
    ax=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
    ay=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
    w=$(awk '/Width:/ { print $2 }' <<<"$info")
    h=$(awk '/Height:/ { print $2 }' <<<"$info")
    grab "$shot"
    convert "$shot" -crop "${w}x$h+$ax+$ay" +repage "$shots/$2.png"
    local light dark
    light=$(convert "$shots/$2.png" -colorspace Gray -format '%[fx:mean]' info:)
    dark=$(convert "$shots/$2.png" -colorspace Gray -threshold 30% -negate -format '%[fx:mean]' info:)
    more_than "$light" 0.6 && more_than "$dark" 0.002
  }
  xdotool mousemove --sync $((mx + 150)) $((my + 290)) click 3
  sleep 0.3
  xdotool key o
  wait_for 10 has_visible '^Warning!!$' || fail "no question before opening a favourite list"
  local box
  box=$(visible '^Warning!!$')
  stacked_above_main "$box" || fail "the question is not above the main window"
  wait_for 5 readable "$box" desktop-question || fail "the question is not readable"
  xdotool key n
  wait_for 10 has_visible '^Open a favourite list$' || fail "no file dialog after the question"
  local dialog
  dialog=$(visible '^Open a favourite list$')
  stacked_above_main "$dialog" || fail "the file dialog is not above the main window"
  wait_for 5 readable "$dialog" desktop-open-dialog || fail "the file dialog is not readable"
  xdotool key Escape
  wait_for 10 hidden '^Open a favourite list$' || fail "Escape did not close the file dialog"

  # A favourite added from the file's menu opened with the Menu key and answered with its access key: one
  # key, one menu, one favourite (the further presses of "a" go to the file list as typing).
  xdotool mousemove --sync $((mx + 150)) $((my + 48)) click 1
  sleep 0.3
  xdotool key --delay 200 Menu a a a
  sleep 0.5
  # A favourite added in this run, then the session ends with SIGTERM: "default.lst" keeps it.
  xdotool mousemove --sync $((mx + 150)) $((my + 48)) click --repeat 2 --delay 80 1
  sleep 0.5
  kill -TERM "$pid"
  wait_for 10 eval "! kill -0 $pid 2>/dev/null" || fail "SIGTERM did not end the program"
  pid=
  local first
  first=$(head -n 1 "$app/default.lst" | tr -d '\r')
  [[ $first == "$media/a_picture.bmp" ]] || {
    od -c "$app/default.lst" >&2
    fail "SIGTERM did not write the favourite added in this run to default.lst"
  }
  local kept
  kept=$(grep -c . "$app/default.lst")
  ((kept == 3)) || {
    od -c "$app/default.lst" >&2
    fail "default.lst holds $kept favourites, not 3: the Menu key's menu opened more than once"
  }

  # "Open with" on a first run (no settings) under a Taiwanese locale: the program starts in Chinese and
  # shows the picture it was given, whose name is not UTF-8, in its pane (red left half, blue right half).
  local first_run=$app/../first-run given
  given="$media/Open with/$(printf 'b\xe9.bmp')"
  env -u QT_QPA_PLATFORM -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=zh_TW.UTF-8 QT_QPA_PLATFORM=xcb \
    "$first_run/glview3" "$given" >"$log" 2>&1 &
  pid=$!
  # The same bound as the first start's: the sanitizer build beside another test took over 20 s.
  wait_for 60 main_window '^TARNWELL ' >/dev/null ||
    { cat "$log" >&2; fail "the main window did not appear when given a file"; }
  main=$(main_window '^TARNWELL ')
  xprop -id "$main" _NET_WM_NAME | grep -q '晶影器' || fail "a first run under zh_TW is not in Chinese"
  eval "$(xdotool getwindowgeometry --shell "$main")"
  local pane=341x265+$((X + 252))+$((Y + 40))
  picture_shown() {
    grab "$shot"
    more_than "$(share_of "$shot" '#ff0000' 10% "$pane")" 0.2 && more_than "$(share_of "$shot" '#0000ff' 10% "$pane")" 0.2
  }
  wait_for 10 picture_shown || { convert "$shot" "$shots/desktop-open-with.png"; fail "the file given is not shown"; }
  convert "$shot" -crop "620x357+$X+$Y" +repage "$shots/desktop-open-with.png"
  [[ ! -e $first_run/glview3.ini ]] || fail "a first run wrote settings nobody applied"
  kill -TERM "$pid"
  wait_for 10 eval "! kill -0 $pid 2>/dev/null" || fail "SIGTERM did not end the program given a file"
  pid=
  echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
  shift
  inside "$@"
  exit 0
fi

prepare_run "$0" xvfb-run xdotool xprop xwininfo openbox convert import -- "$@"

app=$work/program
media=$work/media
mkdir -p "$app" "$media"
cp "$binary" "$app/glview3"
mkdir -p "$work/first-run" "$media/Open with"
cp "$binary" "$work/first-run/glview3"
convert -size 320x240 gradient:'#2060c0-#f0a030' -type TrueColor "BMP3:$media/a_picture.bmp"
convert -size 150x200 xc:'#ff0000' -size 150x200 xc:'#0000ff' +append -type TrueColor \
  "BMP3:$media/Open with/$(printf 'b\xe9.bmp')"
crlf() { printf '%s\r\n' "$@"; }
# Slideshow, loop, stop CD, play on click, own cursors, splash, always on top: on but the CD; English.
crlf "$media" " 1 " " 1 " " 0 " " 1 " " 1 " " 1 " " 1 " "True" "False" >"$app/glview3.ini"
crlf "$media/b_missing.wav" >"$app/default.lst"

run_session 150 "${SCREEN_W}x${SCREEN_H}" "$0" --inside "$app" "$shots" "$media"
