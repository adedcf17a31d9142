#!/usr/bin/env bash
# The real window under Xvfb: start with an animated GIF, drag frame 1 onto
# frame 3 with the mouse, export the frames as BMP through the tool bar and
# the real save dialog, and check the files show the new order. Then type a
# frame width of 1000 into the real options dialog (999 and the Up arrow),
# press OK, and check that the strip kept its four frames, now 1000 wide.
# Usage (from ctest, inside xvfb-run): e2e.sh ABMMAKER LOCATE OUTPUT_FOLDER
set -euo pipefail
app=$1 locate=$2 out=$3

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$work/out"

fail() { echo "FAIL: $*" >&2; import -window root "$out/e2e-failure.png" 2>/dev/null || true; exit 1; }

# Polls `command` until it succeeds, for at most about ten seconds.
wait_for() {
  local what=$1; shift
  for _ in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for $what"
}

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
import -window "$window" "$out/abmmaker-window.png"

# The tool bar buttons lie right above the strip, 31 pixels apart.
read -r strip_left strip_top _ _ <<<"$("$locate" "$work/shot.png" $green)"
click_tool_button() { xdotool mousemove --sync "$((strip_left + $1 * 31 + 17))" "$((strip_top - 17))" click 1; }

# "Сохранить как BMP" (the third button) into $work/out/NAME, then checks
# the four frame files: each WIDTH pixels wide, in the expected colours.
export_and_check() {
  local name=$1 width=$2
  click_tool_button 2
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^Save As$" | head -n1)
  [ -n "$dialog" ] || fail "the save dialog did not appear"
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
save_dialog_gone() { ! xdotool search --onlyvisible --name "^Save As$"; }

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
