#!/usr/bin/env bash
# End-to-end: the real program in a real X server with a window manager.
#   window_e2e.sh PROGRAM OUTPUT_DIR STALL_READ_LIBRARY
# STALL_READ_LIBRARY is the preload library built from StallRead.cpp: reads of *.stall files hang.
set -euo pipefail
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
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
# Absolute paths: some cases start the program from another folder.
[ -x "$1" ] || fail "no program at $1"
[ -f "${3:-}" ] || fail "no stall-read library at ${3:-(not given)}"
program=$(realpath "$1")
stall_read=$(realpath "$3")
refuse_digests="$here/../data/refuse-digests.cnf"
[ -f "$refuse_digests" ] || fail "missing $refuse_digests"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# Window ids of visible top-level windows titled exactly "Keswin Hash".
windows() { xdotool search --onlyvisible --name '^Keswin Hash$' 2>/dev/null || true; }
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
is_main() { [ "$(size_of "$1")" = "278x286" ]; }
centre_of() { xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print int(x + w / 2), int(y + h / 2)}'; }
count() { if [ -z "$1" ]; then echo 0; else echo "$1" | wc -l; fi; }
# Sets status to the exit status of an ended background program (not in $(...): a subshell cannot wait for it).
reap() {
    status=0
    wait "$1" || status=$?
}
# Fails, with the program's exit status, if it has ended.
still_running() {
    kill -0 "$1" 2>/dev/null && return 0
    reap "$1"
    fail "the program ended with status $status $2"
}
# With a PID, a program that ends before showing anything fails the case at once, with its status.
wait_for_windows() {
    for _ in $(seq 100); do
        [ -n "$(windows)" ] && return 0
        [ -z "${1:-}" ] || still_running "$1" "before showing a window"
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
# After its window was closed the program must end, and with status 0: a crash or an abort is not an ending.
ended_cleanly() {
    wait_for_exit "$1" "$2"
    reap "$1"
    echo "  exit status $status"
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
# The main window appears directly: no message box comes first.
expect_main_window_first() {
    wait_for_windows "$1"
    sleep 0.5
    local ids
    ids=$(windows)
    [ "$(count "$ids")" -eq 1 ] || fail "expected the main window alone, got: $ids"
    is_main "$ids" || fail "a $(size_of "$ids") window came first, expected the 278x286 main window"
}
# A message box comes first; Return closes it and the main window follows. With a file name, a screenshot of the box.
expect_message_then_main() {
    wait_for_windows "$1"
    sleep 0.5
    local ids
    ids=$(windows)
    [ "$(count "$ids")" -eq 1 ] || fail "expected only the message box, got: $ids"
    ! is_main "$ids" || fail "the main window showed before any message box"
    [ -z "${2:-}" ] || import -window root "$out/$2"
    xdotool windowactivate --sync "$ids" key Return
    for _ in $(seq 100); do
        ids=$(windows)
        [ "$(count "$ids")" -eq 1 ] && is_main "$ids" && return 0
        sleep 0.1
    done
    fail "the main window did not follow the message box"
}

echo "Case 1: started with a file, the window shows it"
printf 'end to end' >"$work/sample file.txt"
"$program" "$work/sample file.txt" &
app=$!
pids+=($app)
wait_for_windows "$app"
ids=$(windows)
[ "$(echo "$ids" | wc -l)" -eq 1 ] || fail "expected one window, got: $ids"
[ "$(size_of "$ids")" = "278x286" ] || fail "main window is $(size_of "$ids"), expected 278x286"
sleep 1
import -window root "$out/main-window.png"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing the main window did not end the program"

echo "Case 2: started with a folder, the message comes before the main window"
"$program" "$work" &
app=$!
pids+=($app)
wait_for_windows "$app"
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
ended_cleanly "$app" "closing after a refusal did not end the program"

echo "Case 3: closing during the analysis of a very large file ends the program"
truncate -s 64G "$work/huge.bin"
"$program" "$work/huge.bin" &
app=$!
pids+=($app)
wait_for_windows "$app"
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "the program ended on its own"
wmctrl -c 'Keswin Hash'
# 64 GiB would take minutes to digest; ending well inside this bound means the read was abandoned.
ended_cleanly "$app" "the program kept running after its window was closed during an analysis"

echo "Case 4: quotes in a file name arrive whole"
printf 'quoted' >"$work/say \"hi\".txt"
"$program" "$work/say \"hi\".txt" &
app=$!
pids+=($app)
expect_main_window_first "$app"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing the main window did not end the program"
# An unmatched quote, and a second argument that names nothing: only the first one is the file.
printf 'unmatched' >"$work/a\"b.txt"
"$program" "$work/a\"b.txt" "$work/not there" &
app=$!
pids+=($app)
expect_main_window_first "$app"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing the main window did not end the program"

echo "Case 5: Qt's own options are file names"
mkdir "$work/title" "$work/platform" "$work/reverse"
touch "$work/title/-qwindowtitle" "$work/title/Foo" "$work/platform/-platform"
(cd "$work/title" && exec "$program" -qwindowtitle Foo) &
app=$!
pids+=($app)
expect_main_window_first "$app"
[ -z "$(xdotool search --name '^Foo$' 2>/dev/null || true)" ] || fail "-qwindowtitle Foo renamed a window"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing the main window did not end the program"
# An unknown platform plugin would make Qt abort (status 134) before any window.
(cd "$work/platform" && exec "$program" -platform foo) &
app=$!
pids+=($app)
expect_main_window_first "$app"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing the main window did not end the program"
# No file -reverse here: the refusal proves the argument was taken as a path.
(cd "$work/reverse" && exec "$program" -reverse) &
app=$!
pids+=($app)
expect_message_then_main "$app"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing after a refusal did not end the program"

echo "Case 6: digests the crypto library refuses are reported, not fatal"
printf 'refused' >"$work/refused.txt"
OPENSSL_CONF="$refuse_digests" "$program" "$work/refused.txt" &
app=$!
pids+=($app)
wait_for_windows "$app"
# The report may follow within the same poll, but the main window must be there: the box must not come first.
main=
for id in $(windows); do is_main "$id" && main=$id; done
[ -n "$main" ] || fail "a message box came before the main window"
box=
for _ in $(seq 50); do
    for id in $(windows); do [ "$id" = "$main" ] || box=$id; done
    [ -n "$box" ] && break
    still_running "$app" "instead of reporting the refused digests"
    sleep 0.1
done
[ -n "$box" ] || fail "no message box reported the refused digests"
! is_main "$box" || fail "the second window is the size of the main window, not a message box"
sleep 0.5
still_running "$app" "after reporting the refused digests"
import -window root "$out/refused-digests.png"
# Once the main window is shown, its messages belong to it: centred over it, not in a corner of the screen. Client
# areas are compared, so the frames' title bars may shift the heights a little.
read -r main_x main_y <<<"$(centre_of "$main")"
read -r box_x box_y <<<"$(centre_of "$box")"
[ $((main_x - box_x)) -le 2 ] && [ $((box_x - main_x)) -le 2 ] && [ $((main_y - box_y)) -le 30 ] &&
    [ $((box_y - main_y)) -le 30 ] || fail "the message box is centred at $box_x,$box_y, the main window at $main_x,$main_y"
xdotool windowactivate --sync "$box" key Return
for _ in $(seq 50); do
    ids=$(windows)
    [ "$ids" = "$main" ] && break
    sleep 0.1
done
[ "$ids" = "$main" ] || fail "after Return, expected the main window alone, got: $ids"
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing after refused digests did not end the program"

echo "Case 7: closing while a read hangs ends the program at once"
head -c $((4 << 20)) /dev/zero >"$work/big.stall"
# In the sanitizer build the sanitizer's runtime is not first in the preload list; let it start all the same.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$stall_read" \
    "$program" "$work/big.stall" 2>"$work/stall.err" &
app=$!
pids+=($app)
expect_main_window_first "$app"
sleep 1
grep -q '^stall-read: holding a read' "$work/stall.err" || fail "no read of big.stall was held; is $stall_read loaded?"
still_running "$app" "on its own while a read was held"
wmctrl -c 'Keswin Hash'
for _ in $(seq 20); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
    fail "the program was still running 2 s after its window was closed during a hung read"
fi
ended_cleanly "$app" "the program kept running after its window was closed during a hung read"

echo "Case 8: markup in a name is shown as text"
"$program" "$work/<b>bold</b> &amp; x" &
app=$!
pids+=($app)
expect_message_then_main "$app" markup-message.png
wmctrl -c 'Keswin Hash'
ended_cleanly "$app" "closing after a refusal did not end the program"

echo "Run time: $((SECONDS - started)) s"
echo "PASS: 8 cases; screenshots in $out"
