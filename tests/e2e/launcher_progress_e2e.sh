#!/usr/bin/env bash
# End-to-end: the real program's taskbar progress as a dock sees it, on a session bus of the test's own.
#   launcher_progress_e2e.sh PROGRAM STALL_READ_LIBRARY
# The file is read slowly (StallRead.cpp's *.slow), so that the read lasts long enough to be shown.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
[ -f "${2:-}" ] || fail "no stall-read library at ${2:-(not given)}"
if [ -z "${KESWIN_IN_SESSION:-}" ]; then
    KESWIN_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
program=$(realpath "$1")
stall_read=$(realpath "$2")
# Debian's interpreter, where python3-gi is, whatever python3 comes first on PATH.
python=/usr/bin/python3
"$python" -c 'from gi.repository import Gio' 2>/dev/null || fail "python3-gi is not installed for $python"
. "$here/private_desktop.sh"
. "$here/window_helpers.sh"
private_desktop
bulletin_seen_today
export QT_QPA_PLATFORM=offscreen
entry="application://keswin-hash.desktop"

readies() { grep -c '^ready$' "$log" || true; }
# Evaluated on each try, not once when the wait begins.
readies_above() { [ "$(readies)" -gt "$1" ]; }
updates() { grep -v '^ready$' "$log" || true; }
# A probe of the listener's own, sent after everything the program sent: once it is back, no update is on its way.
settle() {
    local before
    before=$(readies)
    dbus-send --session --type=signal /probe com.canonical.Unity.LauncherEntry.Update \
        string:probe://launcher-listener dict:string:string:probe,1
    wait_until "$patience" readies_above "$before" || fail "the listener's probe never came back"
}
has_shown() { updates | grep -q ' true$'; }
has_hidden() { updates | grep -q ' false$'; }

# MIN_SHOWN: every update is for our entry; the bar is shown at least MIN_SHOWN times with its progress rising within
# (0, 1], then hidden exactly once, last.
check_updates() {
    updates | awk -v entry="$entry" -v least="$1" '
        $1 != entry { print "an update for " $1; bad = 1 }
        $3 == "true" {
            if (hidden) { print "shown again after it was hidden"; bad = 1 }
            if (!($2 > last && $2 <= 1)) { print "progress " $2 " after " last; bad = 1 }
            last = $2; shown++
        }
        $3 == "false" { hidden++ }
        $3 != "true" && $3 != "false" { print "no visibility in: " $0; bad = 1 }
        END {
            if (shown < least) { print "shown " shown + 0 " times, not at least " least; bad = 1 }
            if (hidden != 1) { print "hidden " hidden + 0 " times"; bad = 1 }
            exit bad
        }' || fail "the updates seen were:$(printf '\n%s' "$(updates)")"
}

# case | what happens once the bar is shown | least times shown
cases=(
    "read to its end|nothing|2"
    "file cut short mid-read|truncate|1"
    "window closed mid-read|terminate|1"
)
number=0
for case in "${cases[@]}"; do
    IFS='|' read -r name action least <<<"$case"
    number=$((number + 1))
    echo "case: $name"
    log="$work/updates-$number.log"
    : >"$log"
    "$python" -u "$here/launcher_listener.py" >>"$log" &
    pids+=($!)
    listener=$!
    wait_until "$patience" readies_above 0 || fail "the listener never became ready"

    # Sparse: 48 reads of 1 MiB at 50 ms each, more than twice as long as a read must last to be shown.
    file="$work/large $number.slow"
    truncate -s 48M "$file"
    # A sanitized program wants its runtime first among the libraries; the preloaded one comes before it.
    launch env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" LD_PRELOAD="$stall_read" \
        "$program" "$file"
    wait_until "$patience" has_shown || fail "the bar was never shown"
    case $action in
    # The reader holds a read lease: truncate, which opens without waiting, is refused until the read ends at its
    # next block and gives the lease back, so it asks again.
    truncate) for _ in $(seq 200); do truncate -s 1M "$file" 2>/dev/null && break; sleep 0.05; done ;;
    terminate) kill -TERM "$app" ;;
    esac
    wait_until "$patience" has_hidden || fail "the bar was never hidden"
    if [ "$action" = terminate ]; then
        ended_cleanly "$app" "the program did not end after SIGTERM"
    else
        still_running "$app" "while its window was open"
        # Closing an idle window sends nothing more.
        kill -TERM "$app"
        ended_cleanly "$app" "the program did not end after SIGTERM"
    fi
    settle
    check_updates "$least"
    echo "  $(updates | grep -c ' true$') updates, then hidden"
    kill "$listener"
done
echo "PASS"
