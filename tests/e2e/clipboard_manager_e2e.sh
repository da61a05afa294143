#!/usr/bin/env bash
# End-to-end: a value copied with a real click just before the window is closed while a read hangs stays on the
# clipboard, handed to the desktop's clipboard manager (clipboard_manager.py) before the program ends. The window goes
# at once, and a manager that never answers does not keep the program from ending.
#   clipboard_manager_e2e.sh PROGRAM STALL_READ_LIBRARY
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() {
    echo "FAIL: $*" >&2
    [ ! -s "$work/stderr" ] || sed "s/^/    program: /" "$work/stderr" >&2
    exit 1
}
. "$here/private_desktop.sh"
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -f "${2:-}" ] || fail "no stall-read library at ${2:-(not given)}"
program=$(realpath "$1")
stall_read=$(realpath "$2")
# Debian's interpreter, where python3-xlib is, whatever python3 comes first on PATH.
python=/usr/bin/python3
"$python" -c 'import Xlib' 2>/dev/null || fail "python3-xlib is not installed for $python"
. "$here/window_helpers.sh"
start_xvfb
private_desktop
bulletin_seen_today
openbox >/dev/null 2>&1 &
pids+=($!)
head -c $((4 << 20)) /dev/zero >"$work/big.stall"
about_windows() { xdotool search --onlyvisible --name '^About Keswin Hash$' 2>/dev/null || true; }

for manager_kind in answering silent; do
    echo "Case: a value copied, then the window closed during a hung read, with a clipboard manager $manager_kind"
    flag=
    [ "$manager_kind" = answering ] || flag=--silent
    "$python" "$here/clipboard_manager.py" $flag >"$work/manager.out" 2>&1 &
    manager=$!
    pids+=($manager)
    for _ in $(seq 100); do grep -qx ready "$work/manager.out" && break; sleep 0.1; done
    grep -qx ready "$work/manager.out" || fail "the clipboard manager did not start: $(cat "$work/manager.out")"

    launch env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$stall_read" \
        "$program" "$work/big.stall" 2>"$work/stderr"
    expect_main_window_first "$app"
    for _ in $(seq 100); do grep -q '^stall-read: holding a read' "$work/stderr" && break; sleep 0.1; done
    grep -q '^stall-read: holding a read' "$work/stderr" || fail "no read of big.stall was held"
    copy_into "$work/copied" click_copy_button "$(main_window)" $row_name
    [ "$(cat "$work/copied")" = big.stall ] || fail "the name row copied \"$(cat "$work/copied")\""

    if [ "$manager_kind" = silent ]; then
        # An About window left open goes with the main window, though the program waits for the manager a while.
        xdotool mousemove --window "$(main_window)" 100 20 click 1
        for _ in $(seq 50); do [ -n "$(about_windows)" ] && break; sleep 0.1; done
        [ -n "$(about_windows)" ] || fail "the banner opened no About window"
    fi
    wmctrl -i -c "$(main_window)"
    for _ in $(seq 30); do [ -z "$(windows)$(about_windows)" ] && break; sleep 0.1; done
    [ -z "$(windows)$(about_windows)" ] || fail "a window stayed after the main window was closed"
    ended_cleanly "$app" "the program did not end after its window was closed"
    if [ "$manager_kind" = answering ]; then
        grep -qx 'saved 9 bytes' "$work/manager.out" || fail "the manager saved nothing: $(cat "$work/manager.out")"
        copied=$(xclip -selection clipboard -o 2>/dev/null) || fail "the clipboard is empty after the program ended"
        [ "$copied" = big.stall ] || fail "the clipboard holds \"$copied\" after the program ended"
    fi
    kill "$manager"
    wait "$manager" 2>/dev/null || true
done
echo "PASS"
