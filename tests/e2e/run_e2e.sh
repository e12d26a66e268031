#!/usr/bin/env bash
# End to end: the real glview3 on a real X server (Xvfb, the xcb platform), driven from outside with real input
# events. The program gets a folder of its own (a copy of the binary, glview3.ini, default.lst) and a folder of
# media; the test clicks a picture, opens the preferences with F3, changes an option and the language, applies,
# and ends the program with Ctrl-X, checking the window placement, the picture on screen and the files written.
# In both languages it saves the main window, a message box (centred on the main window) and the preferences'
# help and about pages.
#
#   run_e2e.sh <glview3 binary> <screenshot folder>
#
# Exits 77 (skipped) when xvfb-run, xdotool or ImageMagick are missing.
set -euo pipefail
# shellcheck source=tests/e2e/e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"

readonly TITLE='TARNWELL Glintview v3.0 (Deluxe)'
readonly TITLE_RE='^TARNWELL Glintview v3\.0 \(Deluxe\)$'
readonly SCREEN_W=1280 SCREEN_H=1024
# The preferences' title follows the interface's language.
readonly PREFS_RE='^(Preferences|喜好設定)$'



# ---------------------------------------------------------------------------------------------------------------
# Inside the X session: start the program and drive it.
inside() {
  local app=$1 shots=$2 expected=$3
  local log=$app/../glview3.log
  pid=  # global: the exit trap runs after this function has returned
  stop_program() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      wait_for 5 eval "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null || true
    fi
  }
  trap stop_program EXIT

  # The real platform, not the offscreen one the unit tests run on.
  env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb "$app/glview3" >"$log" 2>&1 &
  pid=$!

  visible() { visible_windows "$1" | head -n 1; }
  has_visible() { [[ -n $(visible "$1") ]]; }
  hidden() { [[ -z $(visible "$1") ]]; }
  # The main window, or an early end of the program (which then fails at once, not after the timeout).
  shown_or_ended() { has_visible "$TITLE_RE" || ! kill -0 "$pid" 2>/dev/null; }

  wait_for 20 shown_or_ended && has_visible "$TITLE_RE" || {
    cat "$log" >&2
    fail "the main window \"$TITLE\" did not appear"
  }
  local main
  main=$(visible "$TITLE_RE")
  # Set by the eval of getwindowgeometry --shell; local so that they stay inside this function.
  # shellcheck disable=SC2034
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$main")"
  local mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
  echo "main window $main at $mx,$my size ${mw}x$mh"
  ((mw == 620 && mh == 357)) || fail "main window is ${mw}x$mh, not 620x357"
  local cx=$(((SCREEN_W - mw) / 2)) cy=$(((SCREEN_H - mh) / 2))
  ((mx >= cx - 1 && mx <= cx + 1 && my >= cy - 1 && my <= cy + 1)) ||
    fail "main window at $mx,$my, not centred at $cx,$cy"

  local shot=$shots/.screen.png
  pixel_at() {  # x y -> "r,g,b" of the screen now
    import -window root "png:$shot"
    convert "$shot" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
  }
  pixel_is() { [[ $(pixel_at "$1" "$2") == "$3" ]]; }

  # The picture pane starts empty: its top-left corner is at (252, 40) in the window, and the picture is drawn
  # there at its natural size. The red disc is at (160, 120) in the picture.
  local px=$((mx + 252 + 160)) py=$((my + 40 + 120))
  pixel_is "$px" "$py" "192,32,32" && fail "the pane shows the picture before any click"

  # The file list is at (120, 40) in the window; its first row is the picture.
  xdotool mousemove --sync $((mx + 150)) $((my + 48)) click 1
  wait_for 10 pixel_is "$px" "$py" "192,32,32" || fail "a click on the picture did not show it (pixel $(pixel_at "$px" "$py"))"
  # Also away from the disc: the gradient's top, not the pane's dark grey.
  [[ $(pixel_at $((mx + 252 + 10)) $((my + 40 + 10))) != "8,8,8" ]] || fail "the picture's corner is not drawn"
  convert "$shot" -crop "${mw}x$mh+$mx+$my" +repage "$shots/main.png"

  # A message box, the question before deleting the picture (the file's menu, Delete): saved, centred on the
  # main window once shown (no window manager here: the program's own placing is what shows); Escape
  # answers Cancel. The menu takes the key once it is up, so the key is sent until the question shows.
  ask_delete() {  # title regex, screenshot name
    local box _
    # The picture selected first: applying the interface lists the folder anew, without a selection.
    xdotool mousemove --sync $((mx + 150)) $((my + 48)) click 1 click 3
    for _ in 1 2 3 4 5; do
      xdotool key d
      wait_for 2 has_visible "$1" && break
    done
    box=$(visible "$1")
    [[ -n $box ]] || fail "no question before deleting a file ($2)"
    # shellcheck disable=SC2034
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$box")"
    local dx=$((X + WIDTH / 2 - mx - mw / 2)) dy=$((Y + HEIGHT / 2 - my - mh / 2))
    ((dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2)) ||
      fail "the question ($2) is ${dx},${dy} off the main window's centre"
    import -window root "png:$shot"
    convert "$shot" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$shots/$2.png"
    xdotool key Escape
    wait_for 10 hidden "$1" || fail "Escape did not close the question ($2)"
  }
  ask_delete '^Warning!!$' message-en
  [[ -e $app/../media/a_picture.bmp ]] || fail "Cancel deleted the picture"

  # F3 on the main window opens the preferences.
  xdotool mousemove --sync $((mx + 400)) $((my + 330))
  xdotool windowfocus --sync "$main"
  xdotool key F3
  wait_for 10 has_visible "$PREFS_RE" || fail "F3 did not open the preferences"
  local prefs
  prefs=$(visible "$PREFS_RE")
  eval "$(xdotool getwindowgeometry --shell "$prefs")"
  local ox=$X oy=$Y
  echo "preferences $prefs at $ox,$oy size ${WIDTH}x$HEIGHT"

  # General page: the first option (slideshow) off, then Apply.
  xdotool mousemove --sync $((ox + 46)) $((oy + 122)) click 1
  xdotool mousemove --sync $((ox + 276)) $((oy + 306)) click 1
  wait_for 10 cmp -s "$expected/glview3.ini.1" "$app/glview3.ini" || {
    od -c "$app/glview3.ini" >&2 || true
    fail "Apply did not write glview3.ini as expected"
  }

  # The help and about pages, each saved once it is drawn: the first topic's text; the credits once they
  # have scrolled up into their box (the logo's orange at its top, the lines under it inside).
  page_shot() {  # tab x, screenshot name, region that tells, what its pixels show (an fx expression)
    xdotool mousemove --sync $((ox + $1)) $((oy + 44)) click 1
    shown() {  # region, expression
      import -window root "png:$shot"
      [[ $(convert "$shot" -crop "$1" +repage -fx "$2" -format '%[fx:mean>0.02]' info:) == 1 ]]
    }
    wait_for 10 shown "$3" "$4" || fail "the page of $2 was not drawn"
    convert "$shot" -crop "${WIDTH}x$HEIGHT+$ox+$oy" +repage "$shots/$2.png"
  }
  local help_text=150x60+$((ox + 120))+$((oy + 100)) credits=150x30+$((ox + 80))+$((oy + 126))
  local white='r>0.9&&g>0.9&&b>0.9' orange='r-b>0.3'
  page_shot 200 preferences-help-en "$help_text" "$white"
  page_shot 275 preferences-about-en "$credits" "$orange"

  # Advance page: the language button, then Apply; the dialog turns Chinese.
  title_of_prefs() {
    import -window root "png:$shot"
    convert "$shot" -crop "301x17+$((ox + 12))+$((oy + 8))" +repage -format '%#' info:
  }
  local english_title
  english_title=$(title_of_prefs)
  title_changed() { [[ $(title_of_prefs) != "$english_title" ]]; }
  xdotool mousemove --sync $((ox + 120)) $((oy + 44)) click 1
  xdotool mousemove --sync $((ox + 208)) $((oy + 222)) click 1
  xdotool mousemove --sync $((ox + 276)) $((oy + 306)) click 1
  wait_for 10 cmp -s "$expected/glview3.ini.2" "$app/glview3.ini" || {
    od -c "$app/glview3.ini" >&2 || true
    fail "Apply after the language change did not write glview3.ini as expected"
  }
  # The captions change with Apply, once the settings are written: wait until the title is redrawn.
  wait_for 10 title_changed || fail "Apply did not turn the preferences Chinese"
  convert "$shot" -crop "${WIDTH}x$HEIGHT+$ox+$oy" +repage "$shots/preferences-zh.png"
  page_shot 200 preferences-help-zh "$help_text" "$white"
  page_shot 275 preferences-about-zh "$credits" "$orange"

  # OK closes the dialog and gives the main window back.
  xdotool mousemove --sync $((ox + 141)) $((oy + 306)) click 1
  wait_for 10 hidden "$PREFS_RE" || fail "OK did not close the preferences"
  cmp -s "$expected/glview3.ini.2" "$app/glview3.ini" || fail "OK changed glview3.ini"
  import -window root "png:$shot"
  convert "$shot" -crop "${mw}x$mh+$mx+$my" +repage "$shots/main-zh.png"
  ask_delete '^警告！！$' message-zh

  # A quick Cancel, the moment the dialog is up: its activation may come after it is gone again, and the main
  # window must still take F3.
  for round in 1 2; do
    xdotool windowfocus --sync "$main"
    xdotool key F3
    wait_for 10 has_visible "$PREFS_RE" || fail "F3 did not open the preferences (quick Cancel, round $round)"
    xdotool mousemove --sync $((ox + 208)) $((oy + 306)) click 1
    wait_for 10 hidden "$PREFS_RE" || fail "a quick Cancel did not close the preferences"
  done

  # Ctrl-X ends the program, which writes the favourites back.
  xdotool mousemove --sync $((mx + 400)) $((my + 330))
  xdotool windowfocus --sync "$main"
  xdotool key ctrl+x
  wait_for 10 eval "! kill -0 $pid 2>/dev/null" || fail "Ctrl-X did not end the program"
  local status=0
  wait "$pid" || status=$?
  pid=
  ((status == 0)) || {
    cat "$log" >&2
    fail "the program ended with status $status"
  }
  cmp "$expected/default.lst" "$app/default.lst" || {
    od -c "$app/default.lst" >&2 || true
    fail "default.lst does not hold the expected lines"
  }
  rm -f "$shot"
  echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
  shift
  inside "$@"
  exit 0
fi

# ---------------------------------------------------------------------------------------------------------------
# Outside: check the tools, build the folders, run the X session.
prepare_run "$0" xvfb-run xdotool convert import -- "$@"

app=$work/program
media=$work/media
expected=$work/expected
mkdir -p "$app" "$media" "$expected"
cp "$binary" "$app/glview3"

# A 320x240 picture: a gradient with a red disc whose centre is at (160, 120).
convert -size 320x240 gradient:'#2060c0-#f0a030' -fill '#c02020' -draw 'circle 160,120 160,70' \
  -type TrueColor "BMP3:$media/a_picture.bmp"
# A short 8-bit mono WAV (8000 Hz, 800 samples of silence).
{
  printf 'RIFF\x44\x03\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00'
  printf 'data\x20\x03\x00\x00'
  head -c 800 /dev/zero | tr '\0' '\200'
} >"$media/b_sound.wav"

crlf() { printf '%s\r\n' "$@"; }
# Slideshow, loop, stop CD, play on click, own cursors, splash, always on top; shortcuts on; English.
crlf "$media" " 1 " " 1 " " 0 " " 1 " " 1 " " 0 " " 0 " "True" "False" >"$app/glview3.ini"
crlf "$media/a_picture.bmp" "$media/b_sound.wav" >"$app/default.lst"
crlf "$media" " 0 " " 1 " " 0 " " 1 " " 1 " " 0 " " 0 " "True" "False" >"$expected/glview3.ini.1"
crlf "$media" " 0 " " 1 " " 0 " " 1 " " 1 " " 0 " " 0 " "True" "True" >"$expected/glview3.ini.2"
cp "$app/default.lst" "$expected/default.lst"

run_session 100 "${SCREEN_W}x${SCREEN_H}" "$0" --inside "$app" "$shots" "$expected"
