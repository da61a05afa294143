#!/usr/bin/env bash
# End-to-end: the real program in a real X server with a window manager.
#   window_e2e.sh PROGRAM OUTPUT_DIR
set -euo pipefail
program=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# Window ids of visible top-level windows titled exactly "Keswin Hash".
windows() { xdotool search --onlyvisible --name '^Keswin Hash$' 2>/dev/null || true; }
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
wait_for_windows() {
    for _ in $(seq 100); do
        [ -n "$(windows)" ] && return 0
        sleep 0.1
    done
    fail "no window titled Keswin Hash appeared"
}
wait_for_exit() {
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    fail "$2"
}

echo "Case 1: started with a file, the window shows it"
printf 'end to end' >"$work/sample file.txt"
"$program" "$work/sample file.txt" &
app=$!
pids+=($app)
wait_for_windows
ids=$(windows)
[ "$(echo "$ids" | wc -l)" -eq 1 ] || fail "expected one window, got: $ids"
[ "$(size_of "$ids")" = "278x286" ] || fail "main window is $(size_of "$ids"), expected 278x286"
sleep 1
import -window root "$out/main-window.png"
wmctrl -c 'Keswin Hash'
wait_for_exit "$app" "closing the main window did not end the program"

echo "Case 2: started with a folder, the message comes before the main window"
"$program" "$work" &
app=$!
pids+=($app)
wait_for_windows
sleep 0.5
ids=$(windows)
[ "$(echo "$ids" | wc -l)" -eq 1 ] || fail "expected only the message box, got: $ids"
[ "$(size_of "$ids")" != "278x286" ] || fail "the main window showed before the message box was closed"
import -window root "$out/folder-message.png"
xdotool windowactivate --sync "$ids" key Return
for _ in $(seq 100); do
    ids=$(windows)
    [ -n "$ids" ] && [ "$(size_of "$(echo "$ids" | head -n1)")" = "278x286" ] && break
    sleep 0.1
done
[ "$(size_of "$(echo "$ids" | head -n1)")" = "278x286" ] || fail "the main window did not follow the message box"
wmctrl -c 'Keswin Hash'
wait_for_exit "$app" "closing after a refusal did not end the program"

echo "Case 3: closing during the analysis of a very large file ends the program"
truncate -s 64G "$work/huge.bin"
"$program" "$work/huge.bin" &
app=$!
pids+=($app)
wait_for_windows
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "the program ended on its own"
wmctrl -c 'Keswin Hash'
# 64 GiB would take minutes to digest; ending well inside this bound means the read was abandoned.
wait_for_exit "$app" "the program kept running after its window was closed during an analysis"

echo "PASS: 3 cases; screenshots in $out"
