#!/usr/bin/env bash
# Smoke test under Wayland: the real program in a headless weston, with Qt's Wayland platform plugin.
#   wayland_smoke.sh PROGRAM OUTPUT_DIR [TITLE APP_ID SIZE]
# Started on a file, its window must be mapped as a toplevel titled TITLE ("Keswin Hash") with the app id of its
# desktop entry (APP_ID, keswin-hash), at SIZE (278x286; "resizable" for a window of no fixed size); asked to end by
# SIGTERM (a headless compositor has no input devices to press the close box with), it must
# close that window and end with status 0. Exits 77 (skipped), with the reason, where weston cannot run.
set -euo pipefail
skip_status=77
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit $skip_status; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -n "${2:-}" ] || fail "no output folder given"
program=$(realpath "$1")
out=$2
title=${3:-Keswin Hash}
expected_app_id=${4:-keswin-hash}
expected_size=${5:-278x286}
mkdir -p "$out"
. "$(dirname "$0")/private_desktop.sh"
weston_pid=
app=
stop_wayland() {
    if [ -n "$app" ]; then
        kill -KILL "$app" 2>/dev/null || true
        wait "$app" 2>/dev/null || true
    fi
    # weston runs in a session of its own, so its shell and keyboard helpers end with it.
    if [ -n "$weston_pid" ] && kill -0 "$weston_pid" 2>/dev/null; then
        kill -TERM -- "-$weston_pid" 2>/dev/null || true
        for _ in $(seq 30); do kill -0 "$weston_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL -- "-$weston_pid" 2>/dev/null || true
    fi
}
extra_cleanup=stop_wayland
trap 'exit 1' INT TERM HUP

command -v weston >/dev/null || skip "weston is not installed (Debian package weston)"
private_desktop
socket="keswin-smoke-$$"
# Pixman draws on the CPU, so no GPU is needed; --debug lets weston-screenshooter take the screenshot.
setsid weston --backend=headless-backend.so --use-pixman --width=1024 --height=640 --socket="$socket" --idle-time=0 \
    --no-config --debug </dev/null >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || skip "the headless weston ended at start-up: $(tail -n 5 "$work/weston.log")"
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || skip "the headless weston made no socket in 10 s: $(tail -n 5 "$work/weston.log")"

# No X display to fall back on: the window is Wayland's or there is none. The protocol log goes to stderr.
client_log="$work/client.log"
env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" WAYLAND_DEBUG=client \
    "$program" /etc/os-release >"$work/client.out" 2>"$client_log" &
app=$!

# From the client's protocol log: the state of the main window, the last parentless toplevel titled $title
# ("mapped" while the compositor's configure is acknowledged and a buffer is attached and committed to its surface,
# "closed" once the client destroyed it), the app id it was given, its fixed size (from its equal minimum and maximum
# sizes, "resizable" otherwise) and how many other toplevels are mapped (message boxes are toplevels with a parent,
# unless no window is shown yet).
window_state() {
    awk -v wanted_title="$title" '
        function id_after(name) { match($0, name "@[0-9]+"); return substr($0, RSTART + length(name) + 1,
            RLENGTH - length(name) - 1) }
        function quoted() { match($0, /\(".*"\)/); return substr($0, RSTART + 2, RLENGTH - 4) }
        function size() { match($0, /\([0-9]+, [0-9]+\)/); return substr($0, RSTART + 1, RLENGTH - 2) }
        /-> xdg_wm_base@[0-9]+\.get_xdg_surface\(/ { wl_of[id_after("xdg_surface")] = id_after("wl_surface") }
        /-> xdg_surface@[0-9]+\.get_toplevel\(/ {
            t = id_after("xdg_toplevel"); xs = id_after("xdg_surface")
            created[++count] = t; known[t] = 1; top_of_xs[xs] = t; top_of_wl[wl_of[xs]] = t
            title[t] = parent[t] = min[t] = max[t] = app_id[t] = ""
            acked[t] = attached[t] = mapped[t] = closed[t] = 0
        }
        /-> xdg_toplevel@[0-9]+\.set_title\(/ { title[id_after("xdg_toplevel")] = quoted() }
        /-> xdg_toplevel@[0-9]+\.set_app_id\(/ { app_id[id_after("xdg_toplevel")] = quoted() }
        /-> xdg_toplevel@[0-9]+\.set_min_size\(/ { min[id_after("xdg_toplevel")] = size() }
        /-> xdg_toplevel@[0-9]+\.set_max_size\(/ { max[id_after("xdg_toplevel")] = size() }
        /-> xdg_toplevel@[0-9]+\.set_parent\(/ {
            t = id_after("xdg_toplevel"); sub(/^.*set_parent\(/, ""); parent[t] = ($0 ~ /^nil/) ? "" : $0 }
        /-> xdg_surface@[0-9]+\.ack_configure\(/ { acked[top_of_xs[id_after("xdg_surface")]] = 1 }
        /-> wl_surface@[0-9]+\.attach\(/ { attached[top_of_wl[id_after("wl_surface")]] = !index($0, ".attach(nil") }
        /-> wl_surface@[0-9]+\.commit\(\)/ {
            t = top_of_wl[id_after("wl_surface")]; mapped[t] = acked[t] && attached[t] }
        /-> xdg_toplevel@[0-9]+\.destroy\(\)/ { t = id_after("xdg_toplevel"); closed[t] = 1; mapped[t] = 0 }
        END {
            for (i = 1; i <= count; i++) {
                t = created[i]
                if (title[t] == wanted_title && parent[t] == "") main = t
            }
            for (t in known) if (t != main && mapped[t]) others++
            state = main == "" ? "none" : closed[main] ? "closed" : mapped[main] ? "mapped" : "created"
            fixed = (min[main] != "" && min[main] == max[main]) ? min[main] : "resizable"
            sub(/, /, "x", fixed)
            print state, (app_id[main] == "" ? "none" : app_id[main]), fixed, others + 0
        }
    ' "$client_log"
}
status_of_app() {
    status=0
    wait "$app" || status=$?
    app=
}

echo "Started on a file, the window is mapped"
state=none
for _ in $(seq 150); do
    read -r state app_id size others <<<"$(window_state)"
    [ "$state" = mapped ] && break
    if ! kill -0 "$app" 2>/dev/null; then
        status_of_app
        grep -q 'Could not find the Qt platform plugin "wayland"' "$client_log" &&
            skip "Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)"
        grep -v '^\[' "$client_log" >&2 || true
        fail "the program ended with status $status before its window was mapped"
    fi
    sleep 0.1
done
cp "$client_log" "$out/wayland-client.log"
[ "$state" = mapped ] || fail "no main window titled \"$title\" was mapped within 15 s (last state: $state)"
# The size the X11 test knows the main window by: a message box coming first instead would be smaller.
[ "$size" = "$expected_size" ] || fail "the window mapped first is $size, expected the $expected_size main window"
[ "$app_id" = "$expected_app_id" ] || fail "the window's app id is \"$app_id\", expected $expected_app_id"
echo "  main window \"$title\" mapped, $size, app id $app_id"
# A moment for the rows to fill before the picture; a failed screenshot is reported but is not the program's fault.
sleep 1
if command -v weston-screenshooter >/dev/null; then
    mkdir "$work/shots"
    if (cd "$work/shots" && WAYLAND_DISPLAY="$socket" weston-screenshooter) >/dev/null 2>&1 &&
        ls "$work/shots"/*.png >/dev/null 2>&1; then
        mv "$work/shots"/*.png "$out/wayland-main-window.png"
        echo "  screenshot: $out/wayland-main-window.png"
    else
        echo "  warning: weston-screenshooter took no screenshot" >&2
    fi
fi

# A readable file starts no message box.
read -r state _ _ others <<<"$(window_state)"
[ "$state" = mapped ] || fail "the main window did not stay mapped (state: $state)"
[ "$others" -eq 0 ] || fail "$others other window(s) showed beside the main window; see $out/wayland-client.log"

echo "SIGTERM closes the window and the program ends with status 0"
kill -0 "$app" 2>/dev/null || { status_of_app; fail "the program ended on its own with status $status"; }
kill -TERM "$app"
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program was still running 10 s after SIGTERM"
status_of_app
cp "$client_log" "$out/wayland-client.log"
# What Qt said besides the protocol log: worth reading, not a failure by itself.
if grep -v '^\[' "$client_log" >"$work/warnings" && [ -s "$work/warnings" ]; then
    echo "  the program printed:"
    sed 's/^/    /' "$work/warnings"
fi
echo "  exit status $status"
[ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
read -r state _ <<<"$(window_state)"
[ "$state" = closed ] || fail "the program ended without closing its window (last state: $state)"
[ ! -e "$work/opened.log" ] || echo "  the opener was asked for: $(cat "$work/opened.log")"
echo "PASS: mapped under a headless weston and ended cleanly on SIGTERM"
