#!/usr/bin/env bash
# End-to-end: paths a careless program mishandles, each given on the command line and dropped from another program onto
# the window while it shows another file. Whatever the path, the program neither crashes nor hangs, refuses with a
# message that gives the reason, shows no digest that is not of the file's bytes, never stays at "Calculating ...",
# shows the name exactly as given, and ends with status 0 when its window is closed.
#   hostile_paths_e2e.sh PROGRAM OUTPUT_DIR STALL_READ_LIBRARY DRAG_SOURCE
# Run as root, the permission cases run the program without root's power over permissions. Messages are read over
# AT-SPI.
# Every case runs whatever became of the others; the program's stderr of each run is kept in OUTPUT_DIR/hostile-paths.
set -euo pipefail
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
# Inside a run the reason is kept for the run's line of the report; elsewhere it ends the test.
fail() {
    printf '%s\n' "$*" >>"$work/reason"
    [ -n "${in_run:-}" ] || echo "FAIL: $*" >&2
    exit 1
}
. "$here/private_desktop.sh"
# The unreadable and unsearchable cases' files, made so on purpose.
extra_cleanup='chmod -R u+rwX "$work" 2>/dev/null || true'
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -n "${2:-}" ] || fail "no output folder given"
[ -f "${3:-}" ] || fail "no stall-read library at ${3:-(not given)}"
[ -x "${4:-}" ] || fail "no drag source at ${4:-(not given)}"
program=$(realpath "$1")
out="$2/hostile-paths"
stall_read=$(realpath "$3")
drag_source=$(realpath "$4")
# Debian's interpreter, where python3-pyatspi and python3-gi are, whatever python3 comes first on PATH.
python=/usr/bin/python3
"$python" -c 'import pyatspi; from gi.repository import Gio' 2>/dev/null ||
    fail "pyatspi or GObject introspection missing for $python (python3-pyatspi, python3-gi)"
rm -rf "$out"
mkdir -p "$out"
export LC_ALL=C.UTF-8

. "$here/window_helpers.sh"
start_xvfb
private_desktop
bulletin_seen_today
openbox >/dev/null 2>&1 &
pids+=($!)

# One bus is both the session bus and the accessibility bus, so that every run of the program is read the same way,
# whatever its privileges; the registry is started on it as on a desktop, and accessibility_bus.py answers for org.a11y.Bus.
bus="unix:path=$work/accessibility-bus"
cat >"$work/accessibility-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>accessibility</type>
  <servicedir>/usr/share/dbus-1/accessibility-services</servicedir>
  <auth>EXTERNAL</auth>
  <listen>$bus</listen>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
env DBUS_SESSION_BUS_ADDRESS="$bus" AT_SPI_BUS_ADDRESS="$bus" \
    dbus-daemon --nofork --config-file="$work/accessibility-bus.conf" >/dev/null 2>&1 &
pids+=($!)
wait_until "$patience" test -S "$work/accessibility-bus" || fail "the accessibility bus did not start"
coproc stand_in { exec "$python" "$here/accessibility_bus.py" "$bus" 2>&1; }
pids+=("$stand_in_PID")
read -r -t "$patience" ready <&"${stand_in[0]}" && [ "$ready" = ready ] || fail "no stand-in answers for org.a11y.Bus"
export DBUS_SESSION_BUS_ADDRESS="$bus" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# Root ignores permissions through two capabilities: its unprivileged runs are root's without them, so that they reach
# the program, the display and the bus wherever the build lives (another user could not enter a checkout made in a
# private folder) while permissions hold. Anyone else is unprivileged already.
unprivileged=()
if [ "$(id -u)" -eq 0 ]; then
    unprivileged=(setpriv --inh-caps=-dac_override,-dac_read_search --ambient-caps=-all
        --bounding-set=-dac_override,-dac_read_search)
    printf 'root alone' >"$work/probe" && chmod 000 "$work/probe"
    "${unprivileged[@]}" true || fail "setpriv cannot drop the capabilities that let root past permissions"
    ! "${unprivileged[@]}" cat "$work/probe" >/dev/null 2>&1 || fail "the unprivileged runs still read what no one may"
    "${unprivileged[@]}" xdpyinfo >/dev/null 2>&1 || fail "the unprivileged runs cannot reach the X server at $DISPLAY"
fi
# Files every user may read: the permission cases and the file shown before each drop.
public="$work/public"
mkdir -m 755 "$public"

# --- The cases ----------------------------------------------------------------------------------------------------
# Each make_CASE function lays out its case afresh and sets:
#   given        the argument on the command line, taken in the folder $start_in
#   dropped      the full path a drop carries
#   shown_name, shown_path   what the name and path rows must show: exactly what was given; where it holds a
#                byte that is not UTF-8 or a character that cannot be seen (a line feed, a tab), each such byte as
#                \xHH and each backslash doubled
#   content      a file holding the bytes the digests must be of
#   size_text    what the size row must show, when it is not the size of $content
#   stat_size    what the size row may go on showing once the file is refused: what stat said before the read failed
#   during_read  a command run while the program is held inside its first read of the file (*.hold files)
place() {
    dir="$work/cases/$1"
    rm -rf "$dir"
    mkdir -p "$dir"
    start_in=$dir
}
# NAME [BYTES]: a file of that name in $dir is the case.
as_file() {
    given="$dir/$1" dropped="$dir/$1" shown_name=$1 shown_path="$dir/$1" content="$dir/$1"
    printf '%s' "${2:-the bytes of $1}" >"$content"
}
# PATH: the case is something other than a file of ours, with no bytes to digest.
as_path() { given=$1 dropped=$1 shown_name=${1##*/} shown_path=$1 content=; }
# NAME: a file of 1 MiB whose first read waits for the test; its bytes before any change are kept aside.
held_file() {
    as_file "$1.hold"
    head -c $((1 << 20)) /dev/urandom >"$content"
    cp "$content" "$dir/original"
    content="$dir/original" stat_size=$((1 << 20))
}
make_fifo() { place fifo && as_path "$dir/pipe" && mkfifo "$given"; }
make_dev_zero() { place dev-zero && as_path /dev/zero; }
make_socket() {
    place socket && as_path "$dir/socket"
    "$python" -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$given"
}
# Size 0 by stat, yet bytes to read; the same bytes at every read.
make_proc_file() {
    place proc-file && as_path /proc/version
    content=/proc/version size_text="0 ($(wc -c </proc/version) bytes read)"
}
make_dangling_link() { place dangling-link && as_path "$dir/dangling" && ln -s "$dir/nowhere" "$given"; }
make_link_loop() {
    place link-loop && as_path "$dir/loop one"
    ln -s "$dir/loop two" "$dir/loop one"
    ln -s "$dir/loop one" "$dir/loop two"
}
make_link_to_folder() { place link-to-folder && as_path "$dir/folder link" && ln -s "$work/cases" "$given"; }
# The link's own name and path are shown; the target's bytes are digested.
make_link_to_file() {
    place link-to-file && as_file target.txt "the target's bytes"
    as_path "$dir/link to target" && ln -s target.txt "$given"
    content="$dir/target.txt"
}
make_unreadable() {
    start_in=$public && as_path "$public/unreadable.bin"
    chmod -f 600 "$given" || true
    printf 'no one but root may read this' >"$given"
    chmod 000 "$given"
    stat_size=$(stat -c %s "$given")
}
make_unsearchable_folder() {
    start_in=$public && as_path "$public/locked/inside.bin"
    chmod -f 700 "$public/locked" || true
    mkdir -p "$public/locked"
    printf 'behind a folder no one but root may search' >"$given"
    chmod 000 "$public/locked"
}
make_newline() {
    place newline && as_file $'line\nbreak.txt'
    shown_name='line\x0Abreak.txt' shown_path="$dir/line\\x0Abreak.txt"
}
make_quotes() { place quotes && as_file "it's \"quoted\".txt"; }
# Relative on the command line: a name that a parser of options would take for one.
make_leading_dash() { place leading-dash && as_file --help && given=--help; }
make_tab() {
    place tab && as_file $'tab\there.txt'
    shown_name='tab\x09here.txt' shown_path="$dir/tab\\x09here.txt"
}
# A blank at either end of a name is shown as \x20: it would otherwise read as the name without it.
make_leading_space() {
    place leading-space && as_file ' leading space.txt'
    shown_name='\x20leading space.txt' shown_path="$dir/\\x20leading space.txt"
}
make_trailing_space() {
    place trailing-space && as_file 'trailing space.txt '
    shown_name='trailing space.txt\x20' shown_path="$dir/trailing space.txt\\x20"
}
# A name cannot hold a slash: the markup runs over a folder and the file in it.
make_markup() {
    place markup && mkdir "$dir/<b>x<"
    given="$dir/<b>x</b>&amp;<br>" && printf 'marked up' >"$given"
    dropped=$given shown_name='b>&amp;<br>' shown_path=$given content=$given
}
make_not_utf8() {
    place not-utf8 && as_file $'caf\xe9.txt' 'not UTF-8'
    shown_name='caf\xE9.txt' shown_path="$dir/caf\\xE9.txt"
}
# The way the name above is shown, typed as the name of another file: it must be shown otherwise.
make_spelled_byte() {
    place spelled-byte && as_file 'caf\xE9.txt' 'spelled out'
    shown_name='caf\\xE9.txt' shown_path="$dir/caf\\\\xE9.txt"
}
# Nested folders of 100-character names, each made in the one before: the full path is past PATH_MAX.
make_long_path() {
    place long-path
    local segment i
    segment=$(printf 'folder%094d' 0)
    printf 'at the end of a long path' >"$dir/content"
    (
        cd "$dir"
        for i in $(seq 42); do mkdir "$segment" && cd "$segment"; done
        cp "$dir/content" deep.txt
    )
    given=$dir
    for i in $(seq 42); do given+="/$segment"; done
    given+=/deep.txt
    dropped=$given shown_name=deep.txt shown_path=$given content="$dir/content"
    [ ${#given} -gt 4096 ] || fail "the long path is only ${#given} bytes"
}
# Another program keeps the file mapped for writing, as a database or a virtual machine does: its writes move no time
# stamp, so the file is refused whether or not it writes during the read.
make_mapped_for_writing() {
    place mapped-for-writing && as_file database.bin
    stat_size=$(stat -c %s "$given")
    "$python" -c 'import mmap, sys, time
with open(sys.argv[1], "r+b") as file:
    mapping = mmap.mmap(file.fileno(), 0)
mapping[0:1] = mapping[0:1]
print("mapped", flush=True)
time.sleep(3600)' "$given" >"$dir/writer.out" &
    pids+=($!)
    wait_until "$patience" grep -qx mapped "$dir/writer.out" || fail "the file was not mapped for writing"
}
make_deleted_mid_read() { place deleted && held_file gone && during_read="rm -f '$given'"; }
# The reader holds a read lease on the file: an opening for writing waits until the read ends at its next block and
# gives the lease back (truncate opens without waiting, so it asks again), hence in the background.
make_truncated_mid_read() {
    place truncated && held_file cut &&
        during_read="(for _ in \$(seq 200); do truncate -s 4096 '$given' 2>/dev/null && break; sleep 0.05; done) &" &&
        await_break=yes
}
make_growing_mid_read() {
    place growing && held_file grows && during_read="head -c $((1 << 20)) /dev/urandom >>'$given' &" && await_break=yes
}

# What each case must come to, on the command line and by a drop:
#   digests               the rows show the name, path and size given, and the digests of the file's bytes; no message
#   refused REASON        a message that names the path and ends with REASON; no digest in any row
#   folder                the folder message; no digest in any row
#   nothing               "Invalid file path: " and the path, nothing more: there is nothing there
#   changed               refused with "The file changed while it was being read."
#   changed-or-digests    either; digests only of the file as it was when the read began
#   digests-or-refused R  either the digests or refused with reason R
# Who runs it: self, or an unprivileged user.
table=$(
    cat <<'TABLE'
# case               runs as       outcome
fifo                 self          refused It is a named pipe (FIFO), not a regular file.
dev_zero             self          refused It is a device, not a regular file.
socket               self          refused It is a socket, not a regular file.
proc_file            self          digests
dangling_link        self          nothing
link_loop            self          refused Too many levels of symbolic links
link_to_folder       self          folder
link_to_file         self          digests
unreadable           unprivileged  refused Permission denied
unsearchable_folder  unprivileged  refused Permission denied
newline              self          digests
quotes               self          digests
leading_dash         self          digests
tab                  self          digests
leading_space        self          digests
trailing_space       self          digests
markup               self          digests
not_utf8             self          digests
spelled_byte         self          digests
long_path            self          digests-or-refused File name too long
mapped_for_writing   self          refused Another program has the file open for writing, so it can change while it is being read.
deleted_mid_read     self          changed-or-digests
truncated_mid_read   self          refused Another program has the file open for writing, so it can change while it is being read.
growing_mid_read     self          refused Another program has the file open for writing, so it can change while it is being read.
TABLE
)

# --- One run ------------------------------------------------------------------------------------------------------
folder_message="Folder selection detected. Analysing a folder is not available; please choose a file."
changed_reason="The file changed while it was being read."
before="$public/shown before the drop.txt"
printf 'shown before the drop' >"$before"
chmod 644 "$before"
before_sha256=$(sha256sum <"$before" | cut -d' ' -f1)
release="$work/release"
# The drag source makes its URLs from text, which holds no byte that is not UTF-8; a drag source whose usage line
# says it takes URLs as they are is given the URL of such a name.
drag_takes_urls=no
usage=$("$drag_source" 2>&1 || true)
[[ $usage != *URL* ]] || drag_takes_urls=yes

# USER FOLDER ARGUMENT...: the program, its stderr kept, its reads of *.hold files held until $release appears.
start_program() {
    local user=$1 folder=$2 runner=()
    shift 2
    [ "$user" = self ] || runner=("${unprivileged[@]}")
    rm -f "$release"
    launch_in "$folder" "${runner[@]}" env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
        LD_PRELOAD="$stall_read" KESWIN_HOLD_RELEASE="$release" "$program" "$@" 2>"$stderr"
}
message_box() {
    local id
    for id in $(windows); do is_main "$id" || echo "$id"; done
}
# GRACE BEFORE: waits over AT-SPI until the analysis has come to an end; prints "message" or "rows".
analysis_state() {
    AT_SPI_BUS_ADDRESS=$bus timeout $((patience + 30)) "$python" "$here/analysis_state.py" "$patience" "$1" "$2" \
        "$work/message"
}
problem() { problems+=("$*"); }
# The text of a row, through its copy button, into $work/got.
copy_row() {
    # A move with --sync to where the pointer already is waits for a motion that never comes.
    xdotool mousemove 0 0
    copy_into "$work/got" click_copy_button "$main" "$1"
}
# The bytes a row shows must be exactly the expected ones.
expect_row() {
    local row=$1 expected=$2 what=$3
    copy_row "$row"
    printf '%s' "$expected" >"$work/want"
    cmp -s "$work/want" "$work/got" ||
        problem "the $what row shows \"$(cat -A "$work/got")\", expected \"$(cat -A "$work/want")\""
}
expect_digests() {
    local size=${size_text:-$(stat -c %s "$content")}
    expect_row $row_name "$shown_name" name
    expect_row $row_path "$shown_path" path
    expect_row $row_size "$size" size
    expect_row $row_crc32 "$(rhash --printf=%c - <"$content")" CRC-32
    expect_row $row_md5 "$(md5sum <"$content" | cut -d' ' -f1)" MD5
    expect_row $row_sha1 "$(sha1sum <"$content" | cut -d' ' -f1)" SHA-1
    expect_row $row_sha256 "$(sha256sum <"$content" | cut -d' ' -f1)" SHA-256
}
# Each of the name, path and size rows shows nothing, or what was given and what stat said; the digest rows nothing.
expect_no_digest() {
    local row number
    for row in name path size; do
        number=row_$row
        copy_row "${!number}"
        case $row in
        name) printf '%s' "$shown_name" ;;
        path) printf '%s' "$shown_path" ;;
        size) printf '%s' "${stat_size:-}" ;;
        esac >"$work/want"
        [ ! -s "$work/got" ] || cmp -s "$work/want" "$work/got" ||
            problem "after the refusal the $row row shows \"$(cat -A "$work/got")\""
    done
    for row in crc32 md5 sha1 sha256; do
        number=row_$row
        copy_row "${!number}"
        [ ! -s "$work/got" ] || problem "after the refusal the $row row shows \"$(cat "$work/got")\""
    done
}
# REASON: a refusal names what was refused and ends with its reason; "folder" for the folder message.
expect_refusal() {
    local reason=$1 text
    text=$(cat "$work/message")
    if [ "$reason" = folder ]; then
        [ "$text" = "$folder_message" ] || problem "the message reads \"$text\", expected \"$folder_message\""
    else
        [[ $text == *"$shown_path"* ]] || problem "the message does not name $shown_path: \"$text\""
        [[ $text == *$'\n\n'"$reason" ]] || problem "the message reads \"$text\", which does not end with \"$reason\""
    fi
}
# Drops the case's path on the window, which shows $before.
drop_case() {
    main=$(placed_main_window)
    local state
    state=$(analysis_state 0 "(nothing)") || fail "$state"
    [ "$state" = rows ] || fail "a message came for $before: $(cat "$work/message")"
    expect_row $row_sha256 "$before_sha256" "SHA-256 (before the drop)"
    [ ${#problems[@]} -eq 0 ] || fail "${problems[*]}"
    if [ "$shown_path" = "$dropped" ]; then
        drag_onto "$main" 160 201 "$dropped"
    else
        drag_onto "$main" 160 201 "file://$("$python" -c 'import os, sys, urllib.parse
print(urllib.parse.quote(os.fsencode(sys.argv[1])))' "$dropped")"
    fi
}
# Waits until the program is inside its read of the file, checks that the window answers meanwhile, changes the file
# and lets the read go on.
read_is_held() {
    still_running "$app" "before its read of the file"
    grep -q '^stall-read: holding a read until released' "$stderr"
}
change_mid_read() {
    wait_until "$patience" read_is_held || fail "no read of the file was held"
    main=$(placed_main_window)
    expect_row $row_name "$shown_name" "name (during the read)"
    eval "$during_read"
    # The writer runs in the background: the read goes on only once it has come, or it would come after the read.
    [ -z "$await_break" ] || wait_until "$patience" lease_breaking || fail "the writer never broke the read lease"
    touch "$release"
}
# Whether the read lease on the file given is being broken by a writer.
lease_breaking() {
    local inode
    inode=$(stat -c %i "$given") && grep -q "BREAKING.*:$inode " /proc/locks
}

# WAY CASE USER OUTCOME: one run, in a subshell of its own so that a failure ends this run alone. Exits 77 when the
# run cannot be made.
run() {
    local way=$1 id=$2 user=$3 outcome=$4 state box
    stderr="$out/$way-${id//_/-}.stderr"
    in_run=yes pids=() problems=() size_text= stat_size= during_read= await_break=
    # A drag that failed half-way must not leave the button pressed for the next run.
    trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; xdotool mouseup 1 2>/dev/null || true' EXIT
    "make_$id"
    if [ "$way" = cli ]; then
        start_program "$user" "$start_in" "$given"
        [ -z "$during_read" ] || expect_main_window_first "$app"
    else
        [ "$shown_path" = "$dropped" ] || [ "$drag_takes_urls" = yes ] || exit 77
        start_program "$user" "$public" "$before"
        expect_main_window_first "$app"
        drop_case
    fi
    [ -z "$during_read" ] || change_mid_read
    # After a drop the SHA-256 row shows the digest of the file shown before until the dropped one is taken.
    state=$(analysis_state 0.3 "$([ "$way" = cli ] && echo "(nothing)" || echo "$before_sha256")") || fail "$state"
    still_running "$app" "during the analysis"
    if [ "$state" = message ]; then
        # Read over AT-SPI as soon as it is shown: the window manager may take a while longer to put it on the screen.
        wait_until "$patience" eval 'box=$(message_box); [ -n "$box" ] && is_managed "$box"' ||
            fail "no message box window, yet one was read: $(cat "$work/message")"
        timeout "$patience" xdotool windowactivate --sync "$box" key Return
        wait_until "$patience" eval '[ -z "$(message_box)" ]' || fail "the message box stayed after Return"
    fi
    # The window manager places a window just shown a moment later: clicks before then may miss.
    main=$(placed_main_window)
    case "$state ${outcome%% *}" in
    "rows digests" | "rows changed-or-digests" | "rows digests-or-refused") expect_digests ;;
    "message refused" | "message digests-or-refused")
        expect_refusal "${outcome#* }"
        expect_no_digest
        ;;
    "message folder")
        expect_refusal folder
        expect_no_digest
        ;;
    "message nothing")
        [ "$(cat "$work/message")" = "Invalid file path: $shown_path" ] ||
            problem "the message reads \"$(cat "$work/message")\", expected \"Invalid file path: $shown_path\""
        expect_no_digest
        ;;
    "message changed" | "message changed-or-digests")
        expect_refusal "$changed_reason"
        expect_no_digest
        ;;
    "rows "*)
        copy_row $row_sha256
        problem "no message came; the SHA-256 row shows \"$(cat "$work/got")\""
        ;;
    "message "*) problem "a message came: \"$(cat "$work/message")\"" ;;
    esac
    still_running "$app" "after the analysis"
    close_main "closing the window did not end the program" >/dev/null
    [ ${#problems[@]} -eq 0 ] || fail "$(printf '%s; ' "${problems[@]}")"
    if [ "$state" = rows ]; then
        echo "digests shown" >"$work/state"
    else
        printf 'refused: %s\n' "$(head -c 100 "$work/message" | tr '\n' ' ')" >"$work/state"
    fi
}

# --- The table, each case on the command line and by a drop ----------------------------------------------------------
failed=0 passed=0 not_run=0
while read -r id user outcome; do
    [[ -z $id || $id == \#* ]] && continue
    for way in cli drop; do
        rm -f "$work/reason" "$work/state"
        status=0
        # In the background: a subshell whose status is tested runs with errexit ignored.
        (run "$way" "$id" "$user" "$outcome") &
        wait $! || status=$?
        case $status in
        0)
            printf 'ok    %-5s %-20s %s\n' "$way" "$id" "$(cat "$work/state")"
            passed=$((passed + 1))
            ;;
        77)
            printf 'skip  %-5s %-20s %s\n' "$way" "$id" "the drag source cannot carry a name that is not UTF-8"
            not_run=$((not_run + 1))
            ;;
        *)
            printf 'FAIL  %-5s %-20s %s\n' "$way" "$id" "$(cat "$work/reason" 2>/dev/null || echo "status $status")"
            sed 's/^/      stderr: /' "$out/$way-${id//_/-}.stderr" 2>/dev/null | head -n 20
            failed=$((failed + 1))
            ;;
        esac
    done
done <<<"$table"

echo "Run time: $((SECONDS - started)) s"
echo "Hostile paths: $passed runs sound, $failed unsound, $not_run not run"
[ "$failed" -eq 0 ]
