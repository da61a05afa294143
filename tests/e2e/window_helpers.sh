# Sourced by the end-to-end scripts that drive the real window: finding its windows, starting and ending the program,
# clicking its controls, reading its rows through the real clipboard, and dropping files on it from another program.
# The caller defines fail (reports and exits), sets work (a temporary folder), drag_source (the program built from
# DragSource.cpp) and a pids array whose programs it stops at the end; launch sets app.

# How long a wait for a state may last before it counts as never coming. Only a safety net: every wait ends as soon as
# its state is reached, and a machine busy with other work may take long to reach it.
patience=${KESWIN_TEST_PATIENCE:-60}
# SECONDS COMMAND...: runs the command every tenth of a second until it succeeds; fails (status 1) once SECONDS
# have passed without.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Window ids of visible top-level windows titled exactly "Keswin Hash".
windows() { xdotool search --onlyvisible --name '^Keswin Hash$' 2>/dev/null || true; }
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
is_main() { [ "$(size_of "$1")" = "${2:-278x286}" ]; }
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
shows_a_window() {
    [ -z "${1:-}" ] || still_running "$1" "before showing a window"
    [ -n "$(windows)" ]
}
wait_for_windows() { wait_until "$patience" shows_a_window "${1:-}" || fail "no window titled Keswin Hash appeared"; }
has_ended() { ! kill -0 "$1" 2>/dev/null; }
wait_for_exit() { wait_until "$patience" has_ended "$1" || fail "$2"; }
# After its window was closed the program must end, and with status 0: a crash or an abort is not an ending.
ended_cleanly() {
    wait_for_exit "$1" "$2"
    reap "$1"
    echo "  exit status $status"
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
# Starts a program in the background as $app, to be stopped at the end whatever happens.
launch() {
    "$@" &
    app=$!
    pids+=("$app")
}
# The same, started in the given folder.
launch_in() {
    local folder=$1
    shift
    (cd "$folder" && exec "$@") &
    app=$!
    pids+=("$app")
}
# Closes the main window by its close box; the program must end with status 0.
close_main() {
    wmctrl -c 'Keswin Hash'
    ended_cleanly "$app" "$1"
}
# The main window appears directly: no message box comes first.
expect_main_window_first() { expect_main_window_first_at "$1" 278x286; }
expect_main_window_first_at() {
    wait_for_windows "$1"
    sleep 0.5
    local ids
    ids=$(windows)
    [ "$(count "$ids")" -eq 1 ] || fail "expected the main window alone, got: $ids"
    is_main "$ids" "$2" || fail "a $(size_of "$ids") window came first, expected the $2 main window"
}

# The cases below drive the window as a user does: real clicks at the controls' places, and the real
# clipboard, read with xclip. Client coordinates of the controls; rows from the top, 20 pixels apart.
row_name=0 row_path=1 row_created=2 row_accessed=3 row_modified=4 row_size=5 row_crc32=6 row_md5=7 row_sha1=8
row_sha256=9
click_at() { xdotool mousemove --sync --window "$1" "$2" "$3" click 1; }
click_copy_button() { click_at "$1" 246 $((61 + 20 * $2)); }
click_tick_box() { click_at "$1" 266 $((61 + 20 * $2)); }
click_browse() { click_at "$1" 44 268; }
click_copy_all() { click_at "$1" 132 268; }
click_copy_selected() { click_at "$1" 228 268; }
# Absolute x, y, width and height of a window's client area.
geometry_of() { xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'; }
main_window() {
    local id
    for id in $(windows); do is_main "$id" && echo "$id"; done
}
# The window manager has taken the window on and placed it: clicks at its controls land where they are meant to.
is_managed() {
    xprop -id "$1" WM_STATE 2>/dev/null | grep -q 'window state: Normal' &&
        xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}
# Waits until the main window is shown and placed; prints its id.
placed_main_window() {
    local id
    wait_until "$patience" eval 'id=$(main_window); [ -n "$id" ] && is_managed "$id"' ||
        fail "no main window was placed"
    echo "$id"
}

# A text of ours on the clipboard, served by an xclip of ours that ends as soon as another client takes the clipboard:
# so a read after a click cannot see what the clipboard held before the click, and an untouched clipboard shows.
clipboard_marker='put there by the test, not by the program'
mark_clipboard() {
    printf '%s' "$clipboard_marker" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
    marker=$!
    pids+=($marker)
    wait_until "$patience" eval '[ "$(xclip -selection clipboard -o 2>/dev/null || true)" = "$clipboard_marker" ]' ||
        fail "could not put a text of the test's on the clipboard"
}
# Runs the command (a click), which must put a text on the clipboard, and writes that text to FILE.
copy_into() {
    local file=$1
    shift
    mark_clipboard
    "$@"
    wait_for_exit "$marker" "the clipboard was not taken after: $*"
    reap "$marker"
    xclip -selection clipboard -o >"$file" 2>/dev/null || fail "nothing to read on the clipboard after: $*"
}
# The text a row shows, through its copy button.
row_text() {
    copy_into "$work/row" click_copy_button "$1" "$2"
    cat "$work/row"
}
# Waits until the SHA-256 row of WINDOW shows a digest (the last row filled), or the given digest.
wait_for_sha256() {
    local shown deadline=$((SECONDS + patience))
    while :; do
        shown=$(row_text "$1" $row_sha256)
        if [ -n "${2:-}" ]; then
            [ "$shown" = "$2" ] && return 0
        elif [[ $shown =~ ^[0-9a-f]{64}$ ]]; then
            return 0
        fi
        [ "$SECONDS" -lt "$deadline" ] || break
        sleep 0.1
    done
    fail "the SHA-256 row shows \"$shown\", expected ${2:-a digest}"
}

# A drag from a drag source of ours, started with the given arguments and placed beside WINDOW, with the real
# pointer: pressed on the source and held. Sets source_pid and the pointer's place, pointer_x and pointer_y. Each step
# waits for the drag source to say it was taken: a busy machine may deliver the press, the moves and the release before
# either program has seen any of them.
start_drag() {
    local window=$1 source_window
    shift
    "$drag_source" "$@" >"$work/drag.out" &
    source_pid=$!
    pids+=($source_pid)
    source_shown() {
        still_running "$source_pid" "(the drag source) before showing a window"
        source_window=$(xdotool search --onlyvisible --name '^Drag Source$' 2>/dev/null | head -n 1 || true)
        [ -n "$source_window" ] && is_managed "$source_window"
    }
    wait_until "$patience" source_shown || fail "the drag source showed no window"
    local main_x main_y main_w source_x source_y source_w source_h
    read -r main_x main_y main_w _ <<<"$(geometry_of "$window")"
    xdotool windowmove "$source_window" $((main_x > 200 ? main_x - 180 : main_x + main_w + 40)) "$main_y"
    # Frames included: the source must not cover any part of the window it drops on.
    beside_the_window() {
        read -r source_x source_y source_w source_h <<<"$(geometry_of "$source_window")"
        [ $((source_x + source_w + 20)) -lt "$main_x" ] || [ "$source_x" -gt $((main_x + main_w + 20)) ]
    }
    wait_until "$patience" beside_the_window ||
        fail "the drag source at $source_x,$source_y overlaps the main window at $main_x,$main_y"
    wait_for_drag_answer ready
    # The press goes to whatever is under the pointer: it must be the drag source, wherever the window manager has
    # put it by now. No --sync: a move to where the pointer already is waits for a motion that never comes.
    over_the_source() {
        local at_x at_y
        read -r source_x source_y source_w source_h <<<"$(geometry_of "$source_window")"
        pointer_x=$((source_x + source_w / 2)) pointer_y=$((source_y + source_h / 2))
        xdotool mousemove "$pointer_x" "$pointer_y"
        read -r at_x at_y <<<"$(xdotool getmouselocation --shell | sed -n 's/^[XY]=//p' | paste -sd' ')"
        [ "$at_x" = "$pointer_x" ] && [ "$at_y" = "$pointer_y" ] &&
            [ "$(geometry_of "$source_window")" = "$source_x $source_y $source_w $source_h" ]
    }
    # On a loaded machine a press may land before the source takes input (the window manager still settling it):
    # such a press never starts the drag, and is released and made again. A source that never starts still fails.
    local press
    for press in 1 2 3; do
        wait_until "$patience" over_the_source || drag_failed "the pointer could not be put on the drag source"
        xdotool mousedown 1
        wait_until 5 grep -qx started "$work/drag.out" && return 0
        still_running "$source_pid" "(the drag source) before printing \"started\""
        echo "  (press $press on the drag source started no drag; pressing again)" >&2
        xdotool mouseup 1
    done
    wait_for_drag_answer started
}
# A button left pressed would spoil every later click.
drag_failed() {
    local pointer
    pointer=$(xdotool getmouselocation 2>&1 || true)
    xdotool mouseup 1 || true
    fail "$1; the pointer is at $pointer; the drag source printed: $(cat "$work/drag.out")"
}
# Moves the held pointer in steps to X Y on the screen.
drag_to() {
    local step
    for step in $(seq 12); do
        xdotool mousemove --sync $((pointer_x + ($1 - pointer_x) * step / 12)) \
            $((pointer_y + ($2 - pointer_y) * step / 12))
    done
    pointer_x=$1 pointer_y=$2
}
# Waits until the drag source has printed the line: "ready" or "started".
wait_for_drag_answer() {
    drag_says() { still_running "$source_pid" "(the drag source) before printing \"$1\"" && grep -qx "$1" "$work/drag.out"; }
    wait_until "$patience" drag_says "$1" || drag_failed "the drag source never printed \"$1\""
}
# Waits until the target under the pointer last answered "accepted" or "refused": a target passed over on the way may
# have said otherwise. Nudges the pointer meanwhile, since a target answers only to motion.
wait_for_last_answer() {
    last_answer_is() {
        still_running "$source_pid" "(the drag source) during the drag"
        [ "$(grep -E '^(accepted|refused)$' "$work/drag.out" | tail -n 1)" = "$1" ] && return 0
        xdotool mousemove --sync "$pointer_x" $((pointer_y + 1)) mousemove --sync "$pointer_x" "$pointer_y"
        return 1
    }
    wait_until "$patience" last_answer_is "$1" || drag_failed "the target under the pointer never last said \"$1\""
}
# Releases the pointer; the drag source must end, with status 0.
end_drag() {
    xdotool mouseup 1
    wait_for_exit "$source_pid" "the drag source did not end after the drag"
    reap "$source_pid"
    [ "$status" -eq 0 ] || fail "the drag source ended with status $status"
}
# Drags the files from a drag source of ours onto point X Y of WINDOW's client area: press on the source, move over
# in steps, release once the window has agreed to take the files. The drop must be taken and reported finished.
drag_onto() {
    local window=$1 x=$2 y=$3 main_x main_y
    shift 3
    start_drag "$window" "$@"
    read -r main_x main_y _ <<<"$(geometry_of "$window")"
    drag_to $((main_x + x)) $((main_y + y))
    wait_for_last_answer accepted
    end_drag
    grep -qx finished "$work/drag.out" || fail "the drop was not taken; the drag source printed: $(cat "$work/drag.out")"
}
