#!/usr/bin/env bash
# End-to-end: the real check window in an X server of its own, worked as a user does and read as a screen reader
# reads it, at scale factors 1 and 2.
#   check_window_e2e.sh PROGRAM DRAG_SOURCE STALL_READ_LIBRARY
# A checksum list and then a data file are dragged onto the window from another program; a digest is pasted from the
# real clipboard; the results come over AT-SPI and "Copy results" through the clipboard. Closing during a read that
# hangs ends the program at once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -x "${2:-}" ] || fail "no drag source at ${2:-(not given)}"
[ -f "${3:-}" ] || fail "no stall-read library at ${3:-(not given)}"
if [ -z "${KESWIN_IN_SESSION:-}" ]; then
    KESWIN_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
program=$(realpath "$1")
drag_source=$(realpath "$2")
stall_read=$(realpath "$3")
python=/usr/bin/python3
"$python" -c 'import pyatspi' 2>/dev/null || fail "pyatspi is not installed for $python (python3-pyatspi)"
. "$here/private_desktop.sh"
. "$here/window_helpers.sh"
# Wide enough for the window at scale 2 and the drag source beside it.
start_xvfb 2400x1300
private_desktop
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
# A window mapped while the window manager is still starting may never be taken on by it.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until "$patience" wm_running || fail "the window manager did not start: $(cat "$work/openbox.log")"

# A reader killed by a signal never got as far as the window: libatspi aborts when the accessibility bus does not
# answer its registration, as happens on a loaded machine. That one is tried again; any other failure stands.
reader() {
    local status=0
    "$python" "$here/check_window.py" "$patience" "$@" || status=$?
    if [ "$status" -gt 128 ]; then
        echo "  (the reader could not reach the accessibility bus; once more)" >&2
        "$python" "$here/check_window.py" "$patience" "$@"
    else
        return "$status"
    fi
}
check_window() { xdotool search --onlyvisible --name '^Keswin Hash Check$' 2>/dev/null | head -n 1 || true; }
placed_check_window() {
    local id
    wait_until "$patience" eval 'still_running "$app" "before showing its window"; id=$(check_window);
        [ -n "$id" ] && is_managed "$id"' ||
        fail "no check window was placed; windows: $(xdotool search --name . getwindowname %@ 2>&1 | paste -sd'|')"
    echo "$id"
}
# Drops the files, dragged together, in the middle of the window, over the results.
drop_on_window() {
    local width height
    read -r _ _ width height <<<"$(geometry_of "$1")"
    drag_onto "$1" $((width / 2)) $((height / 2)) "${@:2}"
}
expect_line() { grep -qxF -- "$1" "$2" || fail "no line \"$1\" in: $(cat "$2")"; }

# The files: a list with every kind of entry, a name with markup and a byte that is not UTF-8 among them.
files=$work/files
mkdir "$files"
printf 'beside the folder\n' >"$work/outside.bin"
printf 'the published release\n' >"$files/data.bin"
printf 'the published release\n' >"$files/copy.bin"
mkdir "$files/folder"
printf 'another release\n' >"$files/other.bin"
printf '%s  other.bin\n' "$(printf x | sha256sum | cut -d' ' -f1)" >"$files/other.bin.sha256"
hostile=$(printf '<i>x&amp; caf\xe9.bin')
printf 'not what was published\n' >"$files/$hostile"
{
    sha256sum "$files/data.bin" | sed 's|  .*|  data.bin|'
    printf '%s  %s\n' "$(sha256sum <"$files/data.bin" | cut -d' ' -f1)" "$hostile"
    printf 'not a checksum line\n'
    # A list may name files outside its folder: checked, and marked for what it is.
    printf '%s  ../outside.bin\n' "$(sha256sum <"$work/outside.bin" | cut -d' ' -f1)"
    printf '%s  absent.bin\n' "$(printf x | sha256sum | cut -d' ' -f1)"
} >"$files/SHA256SUMS"
sha512=$(sha512sum <"$files/data.bin" | cut -d' ' -f1)

for scale in 1 2; do
    echo "Scale $scale: a list dropped on the window checks every entry"
    launch env QT_SCALE_FACTOR=$scale "$program"
    window=$(placed_check_window)
    drop_on_window "$window" "$files/SHA256SUMS"
    reader summary '^4 of 4 checked: 2 OK, 1 MISMATCH, 1 missing; 1 problem$' >"$work/list" ||
        fail "the list's results never came"
    expect_line "row: data.bin, OK, SHA-256" "$work/list"
    # Shown as the characters it holds: the markup as text, the byte that is not UTF-8 as \xE9.
    grep -qF 'row: <i>x&amp; caf\xE9.bin, MISMATCH' "$work/list" || fail "the hostile name: $(cat "$work/list")"
    grep -q '^row: absent.bin, missing' "$work/list" || fail "no missing row: $(cat "$work/list")"
    expect_line "row: ../outside.bin, OK, SHA-256, outside the list's folder" "$work/list"

    echo "Scale $scale: a data file dropped is checked against the list beside it"
    drop_on_window "$window" "$files/data.bin"
    reader summary '^1 of 1 checked: 1 OK$' >"$work/file" || fail "the data file's result never came"
    grep -q "^Published digests found: Published digests found in: .*/SHA256SUMS$" "$work/file" ||
        fail "the found list is not named: $(cat "$work/file")"

    echo "Scale $scale: a digest pasted from the clipboard is answered"
    printf '%s\n' "$sha512" | xclip -selection clipboard
    xdotool windowactivate --sync "$window"
    reader focus "Expected digest"
    xdotool key --clearmodifiers ctrl+v Return
    reader summary '^2 of 2 checked: 2 OK$' >"$work/paste" || fail "the pasted digest was not checked"
    grep -q '^Answer to the pasted digest: Accepted' "$work/paste" || fail "no answer: $(cat "$work/paste")"
    expect_line "row: data.bin, OK, SHA-512, pasted" "$work/paste"

    echo "Scale $scale: Copy results puts the report on the clipboard"
    copy_into "$work/report" reader press "Copy results"
    grep -c '^data.bin: OK' "$work/report" | grep -qx 2 || fail "the report: $(cat "$work/report")"
    grep -qF "Published digests found in: $files/SHA256SUMS" "$work/report" || fail "the report: $(cat "$work/report")"

    echo "Scale $scale: two files dragged together are compared, byte for byte"
    drop_on_window "$window" "$files/data.bin" "$files/copy.bin"
    reader summary '^2 of 2 checked: 2 identical$' >"$work/compare" ||
        fail "the two files were not compared: $(reader summary . 2>&1)"
    expect_line "Comparison: The files are identical." "$work/compare"
    # Each cell goes by its column and its value.
    expect_line "cell: File: $files/copy.bin" "$work/compare"
    expect_line "cell: State: identical" "$work/compare"

    echo "Scale $scale: three files dragged together are each checked against what is published beside them"
    drop_on_window "$window" "$files/data.bin" "$files/copy.bin" "$files/other.bin"
    reader summary '^3 of 3 checked: 1 OK, 1 MISMATCH, 1 not compared$' >"$work/several" ||
        fail "the files were not checked: $(reader summary . 2>&1)"
    expect_line "row: data.bin, OK, SHA-256, from SHA256SUMS, line 1" "$work/several"
    grep -q '^row: copy.bin, not compared' "$work/several" || fail "copy.bin: $(cat "$work/several")"
    grep -q '^row: other.bin, MISMATCH, SHA-256' "$work/several" || fail "other.bin: $(cat "$work/several")"

    echo "Scale $scale: a folder dropped is answered with what can be dropped"
    drop_on_window "$window" "$files/folder"
    reader summary '^1 of 1 checked: 1 unreadable$' >"$work/folder" ||
        fail "the folder was not answered: $(reader summary . 2>&1)"
    grep -q '^Published digests found: A folder cannot be checked. Drop a checksum file' "$work/folder" ||
        fail "no word of what can be dropped: $(cat "$work/folder")"
    grep -qF 'row: folder, unreadable, It is a folder, not a file.' "$work/folder" || fail "the row: $(cat "$work/folder")"

    wmctrl -c 'Keswin Hash Check'
    ended_cleanly "$app" "the program did not end after its window was closed"
done

echo "Closing during a read that hangs ends the program at once"
printf 'never read to its end\n' >"$files/hangs.stall"
launch env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$stall_read" \
    "$program" "$files/hangs.stall"
window=$(placed_check_window)
reader summary '^0 of 1 checked: 1 checking$' >/dev/null || fail "the read never started"
wmctrl -c 'Keswin Hash Check'
ended_cleanly "$app" "the program did not end while a read hung"
echo "PASS"
