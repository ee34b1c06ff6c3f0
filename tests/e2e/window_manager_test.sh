#!/usr/bin/env bash
# The window as a person meets it, under a real X server with a reparenting window manager: the built
# program, copied into a temporary folder with a saved position, opens with its frame where the position
# says, again after each close and start; Tab walks forward through all six controls, and Enter on the
# focused start button runs a pass.
#
# Usage: window_manager_test.sh PROGRAM
# Needs Xvfb, openbox, xdotool, xwininfo and xprop (scripts/setup installs them); exits 77 (skipped) when
# one is missing. Every wait polls for its condition and gives up at a deadline.
set -uo pipefail

program=${1:?usage: window_manager_test.sh PROGRAM}
for tool in Xvfb openbox xdotool xwininfo xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$work/app/settings.ini" ] && { echo "settings.ini:"; cat "$work/app/settings.ini"; }
  [ -f "$work/app/log.txt" ] && { echo "log.txt:"; cat "$work/app/log.txt"; }
  [ -s "$work/app.out" ] && { echo "program output:"; cat "$work/app.out"; }
  exit 1
}

# poll SECONDS COMMAND...: runs the command until it succeeds; false when the deadline passes first.
poll() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.05
  done
}

# A display of its own: Xvfb picks a free number and writes it once it accepts connections.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
pids+=($!)
read -r -t 30 display <"$work/displayfd" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$display"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 30 wm_running || fail "openbox did not start: $(cat "$work/openbox.log")"

mkdir -p "$work/app" "$work/A/sub" "$work/B"
cp "$program" "$work/app/pardova"
printf 'payload' >"$work/A/f.txt"
printf 'more' >"$work/A/sub/g.txt"
# The program the pass starts when the box is ticked: it leaves a mark beside itself.
printf '#!/bin/sh\ntouch "%s/started"\n' "$work" >"$work/after.sh"
chmod +x "$work/after.sh"

crlf=$'\r'
save_place() { # save_place LEFT TOP
  {
    echo "[TMainForm]$crlf"
    echo "Line0='object MainForm: TMainForm'$crlf"
    echo "Line1='  Left = $1'$crlf"
    echo "Line2='  Top = $2'$crlf"
    echo "Line3='end'$crlf"
    echo "$crlf"
  } >"$work/app/settings.ini"
}
left=212
top=147
save_place $left $top

app_pid=
window=
# Starts the program and waits until its window is mapped and framed by the window manager.
start_program() {
  (cd "$work" && exec "$work/app/pardova") >"$work/app.out" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  find_window() { window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Pardova, 1\.0$' 2>/dev/null | head -n1); [ -n "$window" ]; }
  poll 30 find_window || fail "the window did not appear: $(cat "$work/app.out")"
  poll 10 framed || fail "the window manager did not frame the window"
}

# The outermost window below the root that holds the client: the frame the window manager made.
frame_of() {
  local id=$1 parent
  local root
  root=$(xwininfo -root | awk '/Window id:/ {print $4}')
  while :; do
    parent=$(xwininfo -tree -id "$id" | awk '/Parent window id:/ {print $4}')
    [ -z "$parent" ] && return 1
    if [ "$((parent))" -eq "$((root))" ]; then
      echo "$id"
      return 0
    fi
    id=$parent
  done
}
framed() { local f; f=$(frame_of "$window") && [ "$((f))" -ne "$((window))" ]; }
frame_position() {
  xwininfo -id "$(frame_of "$window")" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} END {print x "," y}'
}
frame_at() { [ "$(frame_position)" = "$1" ]; }

close_program() {
  xdotool windowactivate "$window" 2>/dev/null
  active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
  poll 10 active || fail "the window could not be activated"
  xdotool key --clearmodifiers alt+F4
  exited() { ! kill -0 "$app_pid" 2>/dev/null; }
  poll 20 exited || fail "the program did not end after alt+F4"
  wait "$app_pid"
  local code=$?
  [ "$code" -eq 0 ] || fail "the program exited with code $code"
}

saved() { tr -d '\r' <"$work/app/settings.ini" | sed -n "s/^Line[0-9]*=' *$1 = \(.*\)'\$/\1/p"; }

# ---- The frame goes where Left and Top say, start after start ----------------------------------------
for round in 1 2 3 4; do
  start_program
  # The window manager may settle the frame a moment after mapping; it must end up where it was saved.
  poll 5 frame_at "$left,$top" || fail "start $round: the frame is at $(frame_position), saved at $left,$top"
  close_program
  left=$(saved Left)
  top=$(saved Top)
  [ "$left,$top" = "212,147" ] || fail "start $round: closing saved $left,$top for a frame at 212,147"
done
echo "the frame stayed at 212,147 over four starts"

# ---- The window's icon: the program's own, at the sizes the window manager picks from (up to 128 here) --
start_program
icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
for size in 16 32 48 128; do
  case "$icons" in *"Icon ($size x $size)"*) ;; *) fail "the window's icon has no $size x $size image: $icons" ;; esac
done
close_program
echo "the window carries the icon at 16, 32, 48 and 128 pixels"

# ---- A place saved on a monitor that has gone opens on the screen ------------------------------------------
screen_width=$(xwininfo -root | awk '/Width:/ {print $2}')
save_place 2500 $top
start_program
# Before the window is first framed its frame's borders are not known: the frame's corner is placed so
# that a rectangle of the window's own size lies on the screen, and the frame's border may reach past it.
client_width() { xwininfo -id "$window" | awk '/Width:/ {print $2}'; }
settled_on_screen() {
  local x
  x=$(frame_position | cut -d, -f1)
  [ "$x" -ge 0 ] && [ $((x + $(client_width))) -le "$screen_width" ] && [ "$(frame_position | cut -d, -f2)" = "$top" ]
}
poll 5 settled_on_screen ||
  fail "saved at 2500,$top, the frame is at $(frame_position), $(client_width) wide, on a $screen_width-pixel screen"
close_program
echo "a place off the screen opened at $(saved Left),$(saved Top)"

# ---- Keys: Tab forward through all six controls, Enter on the start button ------------------------------
start_program
xdotool windowactivate "$window" 2>/dev/null
active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
poll 10 active || fail "the window could not be activated"
# Folder A has the focus first. Each field takes its text (Ctrl+A selects what is there), then Tab goes on:
# A, B, the program, "Старт", the description, the check box (Space ticks it), and round again to "Старт".
xdotool type --delay 5 "$work/A"
xdotool key --delay 20 Tab ctrl+a
xdotool type --delay 5 "$work/B"
xdotool key --delay 20 Tab ctrl+a
xdotool type --delay 5 "$work/after.sh"
xdotool key --delay 20 Tab Tab Tab space Tab Tab Tab Tab Return
ran() { [ -f "$work/B/sub/g.txt" ] && [ -f "$work/started" ]; }
poll 20 ran || fail "Enter on the focused start button ran no pass with the ticked box (B: $(ls -R "$work/B"))"
close_program
[ "$(saved Checked)" = "True" ] || fail "the check box was not ticked by Space after Tab from the description"
[ "$(saved Text | head -n1)" = "'$work/A'" ] || fail "folder A is $(saved Text | head -n1)"
grep -q "Запускаю $work/after.sh" "$work/app/log.txt" || fail "the log has no start of the program"
echo "Tab reached all six controls in order; Enter on the focused button ran a pass"
# ---- A failed silent pass where a user can see it: the box waits for the user, then the window opens ----
{
  echo "[TMainForm]$crlf"
  echo "Line0='object MainForm: TMainForm'$crlf"
  echo "Line1='  Left = $left'$crlf"
  echo "Line2='  Top = $top'$crlf"
  echo "Line3='  object DirEdit1: TsDirectoryEdit'$crlf"
  echo "Line4='    Text = ''$work/nosuch'''$crlf"
  echo "Line5='  end'$crlf"
  echo "Line6='end'$crlf"
  echo "$crlf"
} >"$work/app/settings.ini"
# The toolkit's platform left to the program, as a user's desktop session leaves it.
(cd "$work" && exec env -u QT_QPA_PLATFORM "$work/app/pardova" /s) >"$work/app.out" 2>&1 &
app_pid=$!
pids+=("$app_pid")
box=
find_box() { box=$(xdotool search --onlyvisible --pid "$app_pid" --name '^pardova$' 2>/dev/null | head -n1); [ -n "$box" ]; }
poll 30 find_box || fail "a failed silent pass under a display showed no box: $(cat "$work/app.out")"
kill -0 "$app_pid" 2>/dev/null || fail "the program ended while its box waited for the user"
xdotool windowactivate "$box" 2>/dev/null
box_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$box" ]; }
poll 10 box_active || fail "the box could not be activated"
xdotool key --clearmodifiers Return
find_window() { window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Pardova, 1\.0$' 2>/dev/null | head -n1); [ -n "$window" ]; }
poll 30 find_window || fail "the window did not open after the box was answered"
close_program
grep -q "Папка не найдена" "$work/app.out" && fail "the failure shown in a box went to standard error too"
echo "a failed silent pass under a display showed its box, waited, and then opened the window"
echo "1 passed, 0 failed"
