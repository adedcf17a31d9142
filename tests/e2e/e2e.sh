#!/usr/bin/env bash
# The real window under Xvfb: start with an animated GIF, drag frame 1 onto
# frame 3 with the mouse, export the frames as BMP through the tool bar and
# the real save dialog, and check the files show the new order. Then type a
# frame width of 1000 into the real options dialog (999 and the Up arrow),
# press OK, and check that the strip kept its four frames, now 1000 wide.
# Last, the placement round trip: move, maximise (with a window manager),
# close, start again, restore, and the settings file's rectangles. Then
# several files on the command line, the BMP export's names and questions,
# and, keyboard only, the selection's delete, undo, the phone size, the ABM
# save and the question before unsaved frames are lost.
# Usage (from ctest, inside with-xvfb.sh): e2e.sh ABMMAKER LOCATE OUTPUT_FOLDER [openbox]
set -euo pipefail
app=$1 locate=$2 out=$3 wm=${4:-}

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ "$wm" = openbox ]; then
  openbox --sm-disable >"$out/openbox.log" 2>&1 &
  wm_pid=$!
  trap 'cleanup; kill $wm_pid 2>/dev/null || true' EXIT
  for _ in $(seq 600); do wmctrl -m >/dev/null 2>&1 && break; kill -0 $wm_pid 2>/dev/null || break; sleep 0.1; done
  wmctrl -m >/dev/null 2>&1 || { echo "FAIL: openbox did not start:" >&2; cat "$out/openbox.log" >&2; exit 1; }
fi
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$work/out"

fail() { echo "FAIL: $*" >&2; import -window root "$out/e2e-failure.png" 2>/dev/null || true; exit 1; }

# Polls `command` until it succeeds, for at most about ten seconds.
poll() {
  for _ in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
wait_for() {
  local what=$1; shift
  poll "$@" || fail "timed out waiting for $what"
}

# Whether the window holds the keyboard: keys typed before that go astray.
focused() { [ "$(xdotool getwindowfocus)" = "$1" ]; }

shot() { import -window root "$work/shot.png"; }
# Centre "x y" of the frame of the given colour on screen.
centre() {
  local box
  box=$("$locate" "$work/shot.png" "$1") || return 1
  read -r x y w h <<<"$box"
  echo "$((x + w / 2)) $((y + h / 2))"
}
left_of() { "$locate" "$work/shot.png" "$1" | cut -d' ' -f1; }

red=FF0000 green=00FF00 blue=0000FF yellow=FFFF00
# Four 40 × 30 frames sharing one colour table, so each keeps its colour.
convert -size 40x30 "xc:#$red" "xc:#$green" "xc:#$blue" "xc:#$yellow" +map -loop 0 "$work/anim.gif"

"$app" "$work/anim.gif" &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "Создание анимашек для Samsung" | head -n1)
[ -n "$window" ] || fail "the window did not appear"

strip_shown() { shot && centre $red && centre $yellow; }
wait_for "the four frames" strip_shown

read -r x1 y1 <<<"$(centre $red)"
read -r x3 y3 <<<"$(centre $blue)"
xdotool mousemove --sync "$x1" "$y1"
xdotool mousedown 1
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove --sync "$((x1 + (x3 - x1) * step / 8))" "$((y1 + (y3 - y1) * step / 8))"
done
xdotool mouseup 1

reordered() {
  shot || return 1
  local g b r y
  g=$(left_of $green) && b=$(left_of $blue) && r=$(left_of $red) && y=$(left_of $yellow) || return 1
  [ "$g" -lt "$b" ] && [ "$b" -lt "$r" ] && [ "$r" -lt "$y" ]
}
wait_for "the new order on screen" reordered
# The README's picture of the window (docs/window.png) comes from this shot.
if [ -n "$wm" ]; then import -frame -window "$window" "$out/window.png"; fi

# The tool bar buttons lie right above the strip, 31 pixels apart.
read -r strip_left strip_top _ _ <<<"$("$locate" "$work/shot.png" $green)"
click_tool_button() { xdotool mousemove --sync "$((strip_left + $1 * 31 + 17))" "$((strip_top - 17))" click 1; }

# "Сохранить как BMP" (the third button) into $work/out/NAME, then checks
# the four frame files: each WIDTH pixels wide, in the expected colours.
export_and_check() {
  local name=$1 width=$2
  click_tool_button 2
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^Сохранить как$" | head -n1)
  [ -n "$dialog" ] || fail "the save dialog did not appear"
  wait_for "the save dialog to take the keys" focused "$dialog"
  xdotool type --delay 10 "$work/out/$name"
  xdotool key Return
  wait_for "the frame files" test -s "$work/out/${name}3.bmp"
  [ ! -e "$work/out/${name}4.bmp" ] || fail "more than four frame files"
  [ ! -e "$work/out/$name.bmp" ] || fail "the chosen name itself was written"
  colours="" widths=""
  for i in 0 1 2 3; do
    colours+="$(convert "$work/out/$name$i.bmp" -format '%[hex:p{20,15}]' info:) "
    widths+="$(identify -format '%w' "$work/out/$name$i.bmp") "
  done
  expected="$green $blue $red $yellow "
  [ "$colours" = "$expected" ] || fail "frame files show $colours, expected $expected"
  [ "$widths" = "$width $width $width $width " ] || fail "frame files are $widths pixels wide, expected $width"
  wait_for "the save dialog to close" save_dialog_gone
}
save_dialog_gone() { ! xdotool search --onlyvisible --name "^Сохранить как$"; }

export_and_check walk 40
grep -q "^SaveBmp=$work/out/" "$XDG_CONFIG_HOME/abmmaker.INI" || fail "SaveBmp not remembered"
echo "PASS: reordered by a mouse drag and exported as $colours"

# "Настройка" (the fifth button). The dialog opens with the focus on OK:
# Tab, Tab to "Авторазмер", Space unticks it, six Tabs (past the other five
# check boxes) to the width, whose text the focus selects. The dialog's title is empty, so the
# program's windows are counted by their class.
windows_shown() { xdotool search --onlyvisible --classname abmmaker | wc -l; }
shown_before=$(windows_shown)
shown() { [ "$(windows_shown)" -eq "$((shown_before + $1))" ]; }
click_tool_button 4
wait_for "the options dialog" shown 1
xdotool key --delay 50 Tab Tab space Tab Tab Tab Tab Tab Tab
# An empty width: OK shows the conversion error over the dialog, which
# stays open once the error is closed.
xdotool key --delay 50 BackSpace Return
wait_for "the conversion error" shown 2
xdotool key Return
wait_for "the error box to close" shown 1
xdotool type --delay 50 999
xdotool key --delay 50 Up Return
wait_for "the options dialog to close" shown 0
export_and_check wide 1000
echo "PASS: the options dialog refused an empty width, then rebuilt all four frames 1000 wide"

# Placement. The outer rectangle "left,top,right,bottom" of a window, frame
# included, as the settings file stores it.
outer() {
  local x y w h l=0 r=0 t=0 b=0 extents
  read -r x y w h <<<"$(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}')"
  extents=$(frame_extents "$1")
  [ -n "$extents" ] && IFS=, read -r l r t b <<<"$extents"
  echo "$((x - l)),$((y - t)),$((x + w + r)),$((y + h + b))"
}
# "left,right,top,bottom" of the window manager's frame; empty without one.
frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ' '; }
maximised() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_VERT; }
ini() { tr -d '\r' <"$XDG_CONFIG_HOME/abmmaker.INI" | sed -n "s/^$1=//p"; }
quit_app() {
  xdotool windowfocus --sync "$1" key ctrl+q
  wait "$pid" || fail "the program did not end cleanly"
  pid=""
}
# Whether a window of this title shows; polled, as one may vanish mid-search.
titled() { xdotool search --onlyvisible --name "^$1\$"; }
question_gone() { ! titled Confirm; }
# Ctrl+Q with frames never saved: the question, answered with its second
# button, "Отклонить" (Discard), through Tab and Space.
quit_discarding() {
  xdotool windowfocus --sync "$1" key ctrl+q
  wait_for "the question before closing" titled Confirm
  wait_for "the question to take the keys" focused "$(titled Confirm | head -n1)"
  xdotool key --delay 50 Tab space
  wait "$pid" || fail "the program did not end cleanly"
  pid=""
}
start_app() {
  "$app" "$@" &
  pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "Создание анимашек для Samsung" | head -n1)
  [ -n "$window" ] || fail "the window did not appear"
}

xdotool windowmove --sync "$window" 100 60
# With a window manager the frame is drawn after the move.
framed() { [ -z "$wm" ] || [ -n "$(frame_extents "$window")" ]; }
wait_for "the window's frame" framed
normal=$(outer "$window")
if [ -n "$wm" ]; then
  extents=$(frame_extents "$window")
  IFS=, read -r frame_left _ _ frame_bottom <<<"$extents"
  wmctrl -ir "$window" -b add,maximized_vert,maximized_horz
  wait_for "the window to maximise" maximised "$window"
  # The program sees the new state before the key that quits it: X delivers
  # events in order.
fi
quit_app "$window"
[ "$(ini NormPos)" = "$normal" ] || fail "NormPos is $(ini NormPos), the window was at $normal"
if [ -n "$wm" ]; then
  [ "$(ini ShowCmd)" = 3 ] || fail "ShowCmd is $(ini ShowCmd) for a maximised window"
  [ "$(ini MinMaxPos | cut -d, -f3,4)" = "-$frame_left,-$frame_bottom" ] \
    || fail "MinMaxPos is $(ini MinMaxPos), the frame is $extents"
fi

start_app "$work/anim.gif"
wait_for "the four frames" strip_shown
if [ -n "$wm" ]; then
  maximised "$window" || fail "the window did not come back maximised"
  wmctrl -ir "$window" -b remove,maximized_vert,maximized_horz
  not_maximised() { ! maximised "$window"; }
  wait_for "the window to leave the maximised state" not_maximised
fi
back_at_normal() { [ "$(outer "$window")" = "$normal" ]; }
poll back_at_normal || fail "the window came back at $(outer "$window"), not $normal"

# The options dialog, centred on the 1280 × 1024 screen with its frame.
shot
read -r strip_left strip_top _ _ <<<"$("$locate" "$work/shot.png" $red)"
click_tool_button 4
wait_for "the options dialog" shown 1
# Measured once the window manager has framed and placed the dialog.
dialog_centred() {
  dialog=$(xdotool search --onlyvisible --classname abmmaker | grep -vx "$window" | head -n1)
  [ -n "$dialog" ] || return 1
  IFS=, read -r l t r b <<<"$(outer "$dialog")"
  dx=$(((l + r) / 2 - 640)) dy=$(((t + b) / 2 - 512))
  [ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ]
}
poll dialog_centred || { dialog_centred || fail "the options dialog at $l,$t,$r,$b is off centre by $dx,$dy"; }
xdotool key Escape
wait_for "the options dialog to close" shown 0
quit_discarding "$window"
[ "$(ini NormPos)" = "$normal" ] && [ "$(ini ShowCmd)" = 1 ] \
  || fail "after restoring, NormPos is $(ini NormPos) and ShowCmd $(ini ShowCmd)"
echo "PASS: placement kept through move${wm:+, maximise}, close and restart: NormPos=$normal; dialog centred"

# Several files on the command line, a .jpeg among them, open in order; the
# preview shows every row of a 128 × 97 frame; Ctrl+E numbers the frame files
# after the whole typed name and asks before it replaces any; Ctrl+S refuses
# frames of different sizes. Keyboard only.
magenta=FF00FF cyan=00FFFF
convert -size 30x20 "xc:#$magenta" -type TrueColor "$work/a.bmp"
convert -size 30x20 "xc:#$cyan" -type TrueColor "$work/b.bmp"
convert -size 30x20 "xc:#$yellow" -quality 100 "$work/pic.jpeg"
convert -size 128x96 "xc:#$green" -size 128x1 "xc:#$red" -append -type TrueColor "$work/last.bmp"
start_app "$work/a.bmp" "$work/b.bmp" "$work/pic.jpeg" "$work/last.bmp"
in_order() {
  shot || return 1
  local m c j
  m=$(left_of $magenta) && c=$(left_of $cyan) && j=$(left_of $yellow) && left_of $green >/dev/null || return 1
  [ "$m" -lt "$c" ] && [ "$c" -lt "$j" ]
}
wait_for "the four files in the order named" in_order
# Under auto-size the strip shows the last frame's top-left 30 × 20, all
# green; its red bottom row shows only in the preview, right under the green.
last_row_shown() {
  shot || return 1
  local reds greens rx ry rw rh gx gy gw gh
  reds=$("$locate" "$work/shot.png" $red) && greens=$("$locate" "$work/shot.png" $green) || return 1
  read -r rx ry rw rh <<<"$reds"
  read -r gx gy gw gh <<<"$greens"
  [ "$rw" -eq 128 ] && [ "$rh" -eq 1 ] && [ "$ry" -eq $((gy + gh)) ] && [ "$rx" -eq "$((gx + gw - 128))" ]
}
wait_for "the preview's last row" last_row_shown
echo "PASS: a.bmp b.bmp pic.jpeg last.bmp opened in order; the preview shows the last row of 128 x 97"

press() { xdotool windowfocus --sync "$window" key "$@"; }
mkdir "$work/out2"
printf keep >"$work/out2/my0.bmp"
export_as() {
  press ctrl+e
  wait_for "the save dialog" titled "Сохранить как"
  wait_for "the save dialog to take the keys" focused "$(titled "Сохранить как" | head -n1)"
  xdotool type --delay 10 "$1"
  xdotool key Return
}
export_as "$work/out2/my.bmpfile.bmp"
wait_for "the frame files" test -s "$work/out2/my.bmpfile3.bmp"
wait_for "the save dialog to close" save_dialog_gone
for i in 0 1 2; do [ "$(identify -format '%w' "$work/out2/my.bmpfile$i.bmp")" = 30 ] || fail "my.bmpfile$i.bmp"; done
[ "$(cat "$work/out2/my0.bmp")" = keep ] || fail "my0.bmp was replaced"
[ ! -e "$work/out2/my.bmpfile4.bmp" ] && [ ! -e "$work/out2/my1.bmp" ] || fail "more files than frames"
printf x >"$work/out2/my.bmpfile0.bmp"
export_as "$work/out2/my.bmpfile.bmp"
wait_for "the replace question" titled Confirm
xdotool key Escape
wait_for "the question to close" question_gone
[ "$(cat "$work/out2/my.bmpfile0.bmp")" = x ] || fail "a frame file was replaced without a yes"
echo "PASS: Ctrl+E wrote my.bmpfile0.bmp ..., kept my0.bmp, and asked before replacing"

press ctrl+s
wait_for "the refusal of different sizes" titled Warning
save_dialog_gone || fail "the save dialog opened for frames of different sizes"
xdotool key Escape
warning_gone() { ! titled Warning; }
wait_for "the warning to close" warning_gone
quit_app "$window"
echo "PASS: Ctrl+S refused frames of different sizes"

# Undo, redo and the question before closing, keyboard only: a 5-frame
# 320 × 240 GIF; Ctrl+A, Delete and Enter empty the strip, Ctrl+Z brings the
# five back; Ctrl+T fits them to the phone and Ctrl+S saves four of them.
convert -size 320x240 "xc:#$red" "xc:#$green" "xc:#$blue" "xc:#$yellow" "xc:#$magenta" +map -loop 0 "$work/five.gif"
start_app "$work/five.gif"
wait_for "the five frames" strip_shown
title() { xdotool getwindowname "$window"; }
modified() { [ "$(title)" = "Создание анимашек для Samsung - SGH-C100*" ]; }
saved() { [ "$(title)" = "Создание анимашек для Samsung - SGH-C100" ]; }
modified || fail "the title of a strip never saved is '$(title)'"
nothing_shown() { shot && ! centre $red && ! centre $green && ! centre $blue && ! centre $yellow; }
press ctrl+a Delete
wait_for "the delete question" titled Confirm
wait_for "the question to take the keys" focused "$(titled Confirm | head -n1)"
xdotool key Return
wait_for "the empty strip" nothing_shown
press ctrl+z
wait_for "the five frames back" strip_shown
echo "PASS: Ctrl+A, Delete, Enter emptied the strip; Ctrl+Z brought the frames back"

press ctrl+t
# The second frame, 320 pixels wide before, is 128 wide in the strip.
phone_sized() { shot && [ "$("$locate" "$work/shot.png" $green | cut -d' ' -f3)" = 128 ]; }
wait_for "the frames at the phone's size" phone_sized
press ctrl+s
wait_for "the save dialog" titled "Сохранить как"
wait_for "the save dialog to take the keys" focused "$(titled "Сохранить как" | head -n1)"
xdotool type --delay 10 "$work/out/phone"
xdotool key Return
wait_for "the ABM file" test -s "$work/out/phone.abm"
wait_for "the title without the marker" saved
[ "$(stat -c %s "$work/out/phone.abm")" = 99400 ] || fail "phone.abm is $(stat -c %s "$work/out/phone.abm") bytes"
header=$(od -An -tu1 -N7 "$work/out/phone.abm" | tr -s ' ')
[ "$header" = " 128 0 97 0 16 0 4" ] || fail "phone.abm starts with$header"
echo "PASS: Ctrl+T, Ctrl+S wrote a 128 x 97 ABM of four frames; the title lost its marker"

press ctrl+z
wait_for "the marker after a change" modified
press ctrl+q
wait_for "the question before closing" titled Confirm
wait_for "the question to take the keys" focused "$(titled Confirm | head -n1)"
xdotool key Escape
wait_for "the question to close" question_gone
kill -0 "$pid" || fail "Esc on the question closed the window"
modified || fail "the window went with the question"
quit_discarding "$window"
echo "PASS: Ctrl+Q asked first; Esc kept the window, Discard closed it"
