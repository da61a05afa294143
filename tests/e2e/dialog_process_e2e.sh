#!/usr/bin/env bash
# End-to-end: the file dialog's own process, seen from the X screen. Browse while a dialog is open raises that dialog
# (on a display without a window manager, where nothing else would); a dialog whose process stops answering (stopped
# here, as one stuck for good in a dead share would be) is taken off the screen and reported by the window; closing
# the window takes an open dialog along.
#   dialog_process_e2e.sh PROGRAM
set -euo pipefail
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
program=$(realpath "$1")

. "$here/private_desktop.sh"
# A stopped process would stay behind the test: killed, it goes.
extra_cleanup='for pid in $(cat "$work/dialog-pids" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null || true; done'
export LC_ALL=C.UTF-8
. "$here/window_helpers.sh"
start_xvfb
private_desktop
bulletin_seen_today

printf 'shown before browsing' >"$work/shown.txt"
dialog_ids() { xdotool search --onlyvisible --name '^Select a File to Hash$' 2>/dev/null || true; }
# Every window of the dialog's process, shown or not: the X server keeps them as long as the process's connection.
windows_of() { xdotool search --pid "$1" 2>/dev/null || true; }
dialog_has_keyboard() { [ "$(count "$(dialog_ids)")" -eq 1 ] && [ "$(xdotool getwindowfocus)" = "$(dialog_ids)" ]; }
main_has_keyboard() { [ "$(xdotool getwindowfocus)" = "$main" ]; }
no_dialog() { [ -z "$(dialog_ids)" ]; }
message_box() { local id; for id in $(windows); do [ "$id" = "$main" ] || echo "$id"; done; }
has_message_box() { [ -n "$(message_box)" ]; }
# The program's child processes; one is the dialog's.
children() { pgrep -P "$app" || true; }
# Whether the process has ended and been reaped by the program (a zombie has ended, but is still its child).
gone() { [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]; }
start_window() {
    launch "$program" "$work/shown.txt"
    expect_main_window_first "$app"
    main=$(placed_main_window)
}
# Opens the dialog with Browse; sets dialog to its window and dialog_pid to its process.
open_dialog() {
    click_browse "$main"
    wait_until "$patience" dialog_has_keyboard || fail "no focused dialog titled \"Select a File to Hash\" after Browse..."
    dialog=$(dialog_ids)
    dialog_pid=$(xdotool getwindowpid "$dialog")
    echo "$dialog_pid" >>"$work/dialog-pids"
    [ "$(children)" = "$dialog_pid" ] || fail "the dialog's process $dialog_pid is not the program's one child: $(children)"
}

echo "Case 1: with no window manager, Browse while the dialog is open raises it, and opens no second one"
launch "$program" "$work/shown.txt"
wait_until "$patience" eval 'main=$(main_window); [ -n "$main" ] && xwininfo -id "$main" | grep -q IsViewable' ||
    fail "the main window was not shown"
click_browse "$main"
wait_until "$patience" eval '[ -n "$(dialog_ids)" ]' || fail "no dialog titled \"Select a File to Hash\" after Browse..."
dialog=$(dialog_ids)
dialog_pid=$(xdotool getwindowpid "$dialog")
echo "$dialog_pid" >>"$work/dialog-pids"
# Whether window A is above window B: the root's children are listed from the top.
above() {
    xwininfo -root -children | awk -v a="$(printf '0x%x' "$1")" -v b="$(printf '0x%x' "$2")" \
        '$1 == a && !seen {found = 1} $1 == b {seen = 1} END {exit !found}'
}
above "$dialog" "$main" || fail "the dialog came up under the main window"
xdotool windowraise "$main"
wait_until "$patience" above "$main" "$dialog" || fail "the main window could not be put over the dialog"
click_browse "$main"
wait_until "$patience" above "$dialog" "$main" || fail "Browse... while the dialog was open did not bring it back up"
[ "$(dialog_ids)" = "$dialog" ] || fail "Browse... showed another dialog: $(dialog_ids), the first was $dialog"
[ "$(children)" = "$dialog_pid" ] || fail "Browse... started another process: $(children)"
kill -TERM "$app"
ended_cleanly "$app" "SIGTERM with the dialog open did not end the program"
wait_until "$patience" no_dialog || fail "the dialog outlived the window"

openbox >/dev/null 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting may be left unmanaged and never shown.
wait_until "$patience" eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    fail "the window manager did not start"

echo "Case 2: a dialog whose process stops answering is taken off the screen and reported"
start_window
open_dialog
kill -STOP "$dialog_pid"
# Within its limit and a machine's slowness: a user taking a minute to choose is a different thing.
wait_until "$patience" has_message_box || fail "no message after the dialog's process stopped answering"
wait_until "$patience" no_dialog || fail "the stopped dialog was left on the screen"
wait_until "$patience" eval '[ -z "$(windows_of "$dialog_pid")" ]' ||
    fail "windows of the stopped dialog's process are left: $(windows_of "$dialog_pid")"
wait_until "$patience" gone "$dialog_pid" || fail "the stopped dialog's process was not ended"
# Its words are the unit tests' to check (Qt's message box gives them neither to X nor to the clipboard); a box of
# the program's own, not the main window, is the message.
! is_main "$(message_box)" || fail "the second window is the size of the main window, not a message box"
xdotool windowactivate --sync "$(message_box)" key Return
wait_until "$patience" eval '[ "$(windows)" = "$main" ]' || fail "the message stayed open after Return"
# Browse works again.
open_dialog
xdotool key Escape
wait_until "$patience" no_dialog || fail "the dialog stayed open after Escape"
close_main "closing the window after the dialog was ended did not end the program"

echo "Case 3: closing the window takes a stopped dialog along, its windows and its process"
start_window
open_dialog
kill -STOP "$dialog_pid"
# Not by the close box: the window manager would kill the stopped dialog itself, seeing it answer no ping.
kill -TERM "$app"
ended_cleanly "$app" "SIGTERM with a stopped dialog did not end the program"
wait_until "$patience" no_dialog || fail "the stopped dialog outlived the window"
wait_until "$patience" eval '[ -z "$(windows_of "$dialog_pid")" ]' ||
    fail "windows of the stopped dialog's process outlived the window: $(windows_of "$dialog_pid")"
wait_until "$patience" eval '[ ! -e "/proc/$dialog_pid" ]' || fail "the stopped dialog's process outlived the window"

echo "Run time: $((SECONDS - started)) s"
echo "PASS: 3 cases"
