#!/usr/bin/env bash
# End-to-end: a file on a mount that stopped answering, served by a FUSE file system of the test's own
# (stalled_mount.py) where a look at one name never comes back. Dropped on the window, the window keeps answering,
# takes the next drop and its close box ends the program; given on the command line, the window still appears and
# SIGTERM ends it; chosen in the file dialog, only the dialog hangs.
#   stalled_mount_e2e.sh PROGRAM DRAG_SOURCE
# Exits 77 where no FUSE file system can be mounted. Needs root (or a user allowed to mount FUSE) and python3-fusepy.
set -euo pipefail
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -x "${2:-}" ] || fail "no drag source at ${2:-(not given)}"
program=$(realpath "$1")
drag_source=$(realpath "$2")
# Debian's interpreter, where python3-fusepy is, whatever python3 comes first on PATH.
python=/usr/bin/python3
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE file systems cannot be mounted here"
"$python" -c 'import fusepy' 2>/dev/null || fail "fusepy missing for $python (python3-fusepy)"

. "$here/private_desktop.sh"
mount="$work/share"
deaf="$work/deaf"
mkdir "$mount" "$deaf"
servers=()
# Killed first: the kernel then fails every request still waiting on the shares, so nothing stays blocked on them.
extra_cleanup='for server in "${servers[@]}"; do { kill -KILL "$server"; wait "$server"; } 2>/dev/null || true; done
    umount -l "$mount" 2>/dev/null || true; umount -l "$deaf" 2>/dev/null || true'
# FOLDER LOG [deaf]: serves a stalled share on FOLDER.
mount_stalled() {
    local server
    "$python" "$here/stalled_mount.py" "$@" 2>"$2.err" &
    server=$!
    servers+=($server)
    for _ in $(seq 100); do
        grep -qx mounted "$2" 2>/dev/null && mountpoint -q "$1" && break
        kill -0 "$server" 2>/dev/null || skip "FUSE cannot be mounted here: $(tail -n 3 "$2.err")"
        sleep 0.1
    done
    mountpoint -q "$1" || fail "the stalled share did not mount at $1"
    [ "$(ls "$1")" = stalled.bin ] || fail "the stalled share lists \"$(ls "$1")\""
}
mount_stalled "$mount" "$work/share.log"
mount_stalled "$deaf" "$work/deaf.log" deaf
stalled="$mount/stalled.bin"
looks() { grep -c '^looked at stalled.bin$' "${1:-$work/share.log}" || true; }
# Until N looks at the stalled name have come (on the share whose log is given, or the first), as long as the program
# runs.
wait_for_looks() {
    for _ in $(seq 100); do
        [ "$(looks "${2:-}")" -ge "$1" ] && return 0
        still_running "$app" "before it looked at the stalled file"
        sleep 0.1
    done
    fail "the program never looked at $stalled"
}

export LC_ALL=C.UTF-8
. "$here/window_helpers.sh"
start_xvfb
private_desktop
bulletin_seen_today
openbox >/dev/null 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting may be left unmanaged and never shown.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "the window manager did not start"

echo "Case 1: dropped while another file is shown, the window keeps answering and closes"
before="$work/shown first.txt"
printf 'shown before the stalled one' >"$before"
launch "$program" "$before"
expect_main_window_first "$app"
main=$(main_window)
before_sha256=$(sha256sum <"$before" | cut -d' ' -f1)
wait_for_sha256 "$main" "$before_sha256"
drag_onto "$main" 160 201 "$stalled"
wait_for_looks 1
# Every row cleared by the drop, and nothing yet of the stalled file: its facts come first, and they hang.
copy_into "$work/report" click_copy_all "$main"
printf '%s: \r\n' "File Name" "File Path" "Created Date" "Last Accessed" "Last Modified" "File Size" "CRC32 Digest" \
    "MD5 Hash" "SHA-1 Hash" "SHA-256 Hash" >"$work/want"
cmp -s "$work/want" "$work/report" || fail "Copy All during the hang gave \"$(cat -A "$work/report")\""
# And again, so that the first was no leftover of the time before the drop.
copy_into "$work/row" click_copy_button "$main" $row_name
[ ! -s "$work/row" ] || fail "the name row shows \"$(cat "$work/row")\" while the facts hang"
still_running "$app" "while its facts hung"
# New input is taken while the first look still hangs, and nothing of that look ever shows.
drag_onto "$main" 160 201 "$before"
wait_for_sha256 "$main" "$before_sha256"
[ "$(row_text "$main" $row_path)" = "$before" ] || fail "the path row shows \"$(cat "$work/row")\" after the second drop"
[ "$(looks)" -eq 1 ] || fail "the stalled file was looked at $(looks) times"
close_main "closing the window while the facts hung did not end the program"

echo "Case 2: given on the command line, the window appears and SIGTERM ends the program"
launch "$program" "$stalled"
wait_for_looks 2
wait_for_windows "$app"
main=$(main_window)
[ -n "$main" ] || fail "the window that appeared is not the main window: $(windows)"
# The pointer may still be where this click goes, from the first case: a move with --sync to there would wait for a
# motion that never comes.
xdotool mousemove 0 0
copy_into "$work/row" click_copy_button "$main" $row_path
[ ! -s "$work/row" ] || fail "the path row shows \"$(cat "$work/row")\" while the facts hang"
kill -TERM "$app"
ended_cleanly "$app" "SIGTERM while the facts hung did not end the program"

echo "Case 3: Browse into the share: the dialog stops answering, is closed and says so; the window goes on"
launch "$program" "$before"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main" "$before_sha256"
dialog_ids() { xdotool search --onlyvisible --name '^Select a File to Hash$' 2>/dev/null || true; }
dialog_has_keyboard() { [ -n "$(dialog_ids)" ] && [ "$(xdotool getwindowfocus)" = "$(dialog_ids)" ]; }
no_dialog() { [ -z "$(dialog_ids)" ]; }
test_only_main() { [ "$(windows)" = "$main" ]; }
message_box() { local id; for id in $(windows); do [ "$id" = "$main" ] || echo "$id"; done; }
has_message_box() { [ -n "$(message_box)" ]; }
open_dialog() {
    click_browse "$main"
    wait_until "$patience" dialog_has_keyboard || fail "no focused dialog titled \"Select a File to Hash\" after Browse..."
}
open_dialog
# Kept over the window it belongs to, as the window's own dialog was.
[ "$(xprop -id "$(dialog_ids)" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')" = "$(printf '0x%x' "$main")" ] ||
    fail "the dialog is not kept over the window: $(xprop -id "$(dialog_ids)" WM_TRANSIENT_FOR)"
looked_before=$(looks)
# Typed, the name pops up the dialog's list of completions, which holds the pointer and the keyboard of the whole
# display for as long as the dialog is stuck behind it.
xdotool type --delay 10 "$stalled"
xdotool key Return
wait_for_looks $((looked_before + 1))
wait_until "$patience" has_message_box || fail "no message after the dialog got stuck"
wait_until "$patience" no_dialog || fail "the stuck dialog was left on the screen"
xdotool windowactivate --sync "$(message_box)" key Return
wait_until "$patience" test_only_main || fail "the message stayed open after Return"
copy_into "$work/row" click_copy_button "$main" $row_sha256
[ "$(cat "$work/row")" = "$before_sha256" ] || fail "after the stuck dialog the SHA-256 row gave \"$(cat "$work/row")\""
# Browse works again, and opens where it is safe.
open_dialog
xdotool key Escape
wait_until "$patience" no_dialog || fail "the dialog stayed open after Escape"
close_main "closing the window after the dialog got stuck did not end the program"

echo "Case 4: Browse into a share deaf even to kills: the window ends the dialog, takes it off the screen and says so"
# Its process cannot end while its thread waits on the share, nor let go of its windows: the window's process has the
# X server close them.
windows_of() { xdotool search --pid "$1" 2>/dev/null || true; }
children() { pgrep -P "$app" || true; }
# Its main thread, the dialog's, in a wait no signal ends (D): on the share, or on a lock of the folder or the name
# that a look stuck earlier holds.
stuck() {
    [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = D ] &&
        grep -Eq 'fuse|request_wait_answer|d_alloc_parallel|lock_inode|rwsem' "/proc/$1/wchan" 2>/dev/null
}
# Types the deaf share's file into the dialog; sets dialog_pid to the dialog's process, once it is stuck on the share.
browse_into_deaf_share() {
    open_dialog
    dialog_pid=$(xdotool getwindowpid "$(dialog_ids)")
    children | grep -qx "$dialog_pid" || fail "the dialog's process $dialog_pid is not the program's child: $(children)"
    xdotool type --delay 10 "$deaf/stalled.bin"
    xdotool key Return
    wait_until "$patience" stuck "$dialog_pid" ||
        fail "the dialog never got stuck on the deaf share: $(cat "/proc/$dialog_pid/stat" "/proc/$dialog_pid/wchan")"
}
launch "$program" "$before"
expect_main_window_first "$app"
main=$(main_window)
wait_for_sha256 "$main" "$before_sha256"
browse_into_deaf_share
wait_until "$patience" has_message_box || fail "no message after the dialog got stuck on the deaf share"
wait_until "$patience" no_dialog || fail "the stuck dialog was left on the screen"
wait_until "$patience" eval '[ -z "$(windows_of "$dialog_pid")" ]' ||
    fail "windows of the stuck dialog's process are left: $(windows_of "$dialog_pid")"
xdotool windowactivate --sync "$(message_box)" key Return
wait_until "$patience" test_only_main || fail "the message stayed open after Return"
# Stuck again, the window closes before the limit: the dialog's windows go with it.
browse_into_deaf_share
kill -TERM "$app"
ended_cleanly "$app" "SIGTERM with a dialog stuck on the deaf share did not end the program"
wait_until "$patience" eval '[ -z "$(windows_of "$dialog_pid")" ]' ||
    fail "windows of the stuck dialog's process outlived the window: $(windows_of "$dialog_pid")"

echo "Run time: $((SECONDS - started)) s"
echo "PASS: 4 cases"
