#!/usr/bin/env bash
# End-to-end: the real program as a screen reader meets it, over AT-SPI in a real X server.
#   screen_reader_e2e.sh PROGRAM
# Runs in a D-Bus session of its own with the accessibility bus started first, as a desktop with a screen reader has.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
if [ -z "${KESWIN_IN_SESSION:-}" ]; then
    KESWIN_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
program=$(realpath "$1")
# Debian's interpreter, where python3-pyatspi is, whatever python3 comes first on PATH.
python=/usr/bin/python3
"$python" -c 'import pyatspi' 2>/dev/null || fail "pyatspi is not installed for $python (python3-pyatspi)"
. "$here/private_desktop.sh"
start_xvfb
private_desktop
bulletin_seen_today
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Asking for the accessibility bus's address starts it.
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done

file="$work/read aloud.txt"
printf 'spoken, not seen' >"$file"
md5=$(md5sum <"$file" | cut -d' ' -f1)
sha1=$(sha1sum <"$file" | cut -d' ' -f1)
"$program" "$file" &
app=$!
pids+=("$app")

# The listener asks for the clipboard after each copy it makes through an action; the answers come from xclip.
expected_after() {
    case $1 in
    "Copy MD5 Hash") printf '%s' "$md5" ;;
    "Copy Selected") printf 'SHA-1 Hash: %s\r\n' "$sha1" ;;
    esac
}
coproc listener { "$python" "$here/screen_reader.py" "$file" "$md5" "$sha1"; }
listener_pid=$listener_PID
# Copies of the pipes: bash unsets the coprocess's own variables as soon as it has ended, which may come before the
# loop below reads its last line.
exec {from_listener}<&"${listener[0]}" {to_listener}>&"${listener[1]}"
pids+=("$listener_pid")
passed=no
while IFS= read -r line <&"$from_listener"; do
    case $line in
    "clipboard-after "*)
        what=${line#clipboard-after }
        expected=$(expected_after "$what" | od -c)
        got=""
        for _ in $(seq 30); do
            got=$(xclip -selection clipboard -o 2>/dev/null | od -c) || true
            [ "$got" = "$expected" ] && break
            sleep 0.1
        done
        if [ "$got" = "$expected" ]; then
            echo "ok" >&"$to_listener"
        else
            echo "the clipboard holds $(xclip -selection clipboard -o 2>/dev/null | cat -A)" >&"$to_listener"
        fi
        ;;
    "opened-after "*)
        for _ in $(seq 30); do [ -s "$work/opened.log" ] && break; sleep 0.1; done
        if [ "$(cat "$work/opened.log" 2>/dev/null)" = "https://www.keswin.example/" ]; then
            echo "ok" >&"$to_listener"
        else
            echo "the desktop was asked to open: $(cat "$work/opened.log" 2>/dev/null || echo nothing)" >&"$to_listener"
        fi
        ;;
    done) passed=yes ;;
    *) echo "$line" ;;
    esac
done
wait "$listener_pid" || fail "the listener failed"
[ "$passed" = yes ] || fail "the listener ended early"
kill -0 "$app" 2>/dev/null || fail "the program ended during the run"
kill -TERM "$app"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS: named, described and worked through AT-SPI alone"
