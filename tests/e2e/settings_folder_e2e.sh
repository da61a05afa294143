#!/usr/bin/env bash
# End-to-end: whatever the settings folder holds beside QDX.conf, the window shows at start-up and one SIGTERM ends the
# program. Each case is a first start (the setting is written) or one 40 days after the last bulletin (written too).
#   settings_folder_e2e.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() {
    echo "FAIL: $*" >&2
    [ ! -s "$work/stderr" ] || sed "s/^/    program: /" "$work/stderr" >&2
    exit 1
}
. "$here/private_desktop.sh"
# A program that hung in a failing case ignores SIGTERM, and would hold the caller's output open.
extra_cleanup='[ -z "${app:-}" ] || kill -KILL "$app" 2>/dev/null || true'
[ -x "${1:-}" ] || fail "no program at ${1:-(not given)}"
program=$(realpath "$1")
. "$here/window_helpers.sh"
start_xvfb
private_desktop
config=$XDG_CONFIG_HOME

long_ago=$(date -d '40 days ago' +%Y-%m-%dT%H:%M:%S)
# Case: what stands at the lock | what QDX.conf holds ("" for none) | whether the setting is then written
cases=(
    "nothing|"
    "nothing|$long_ago"
    "fifo|"
    "fifo|$long_ago"
    "folder|"
    "link to fifo|$long_ago"
    "empty lock just made|"
)
for case in "${cases[@]}"; do
    IFS='|' read -r lock stored <<<"$case"
    echo "Case: $lock at QDX.conf.lock, QDX.conf ${stored:-absent}"
    rm -rf "$config" "$work/opened.log"
    mkdir -p "$config"
    [ -z "$stored" ] || printf '[Checkup]\nSite=%s\n' "$stored" >"$config/QDX.conf"
    case $lock in
        fifo) mkfifo "$config/QDX.conf.lock" ;;
        folder) mkdir "$config/QDX.conf.lock" ;;
        "link to fifo") mkfifo "$work/fifo-$SECONDS" && ln -s "$work/fifo-$SECONDS" "$config/QDX.conf.lock" ;;
        # Left by a copy that was killed: nobody holds it, so it is taken at once.
        "empty lock just made") : >"$config/QDX.conf.lock" ;;
    esac
    before=$(ls -l --time-style=+ "$config")
    launch "$program" 2>"$work/stderr"
    wait_for_windows "$app"
    if [ "$lock" = nothing ]; then
        # The reminder ran: the present date is stored, and the page opened when it was due.
        for _ in $(seq 100); do
            grep -q "^Site=$(date +%Y-%m-%d)T" "$config/QDX.conf" 2>/dev/null && break
            sleep 0.1
        done
        grep -q "^Site=$(date +%Y-%m-%d)T" "$config/QDX.conf" || fail "the setting was not written: $(cat "$config/QDX.conf")"
        if [ -n "$stored" ]; then
            for _ in $(seq 100); do [ -s "$work/opened.log" ] && break; sleep 0.1; done
            grep -q 'bulletin' "$work/opened.log" 2>/dev/null || fail "the bulletin page was not opened"
        fi
    fi
    kill -TERM "$app"
    ended_cleanly "$app" "one SIGTERM did not end the program"
    if [ "$lock" != nothing ] && [ "$lock" != "empty lock just made" ]; then
        [ "$(ls -l --time-style=+ "$config")" = "$before" ] || fail "the folder changed: $(ls -l "$config")"
        [ ! -e "$work/opened.log" ] || fail "a page was opened though the date could not be stored"
    fi
done

# Copies started together, as a file manager's "Open With" on several files starts them, with the page due: each
# stores the date in turn, and the page opens once.
echo "Case: three copies at once, the page due"
rm -rf "$config" "$work/opened.log"
mkdir -p "$config"
printf '[Other]\nkept=1\n[Checkup]\nSite=%s\n' "$long_ago" >"$config/QDX.conf"
copies=()
for _ in 1 2 3; do
    launch "$program" 2>>"$work/stderr"
    copies+=("$app")
done
for copy in "${copies[@]}"; do wait_for_windows "$copy"; done
for _ in $(seq 100); do
    grep -q "^Site=$(date +%Y-%m-%d)T" "$config/QDX.conf" 2>/dev/null && break
    sleep 0.1
done
sleep 2 # time for a second page, were one to come
[ "$(grep -c bulletin "$work/opened.log" 2>/dev/null)" = 1 ] || fail "pages opened: $(cat "$work/opened.log" 2>/dev/null)"
grep -qx 'kept=1' "$config/QDX.conf" || fail "the other group was lost: $(cat "$config/QDX.conf")"
for copy in "${copies[@]}"; do
    kill -TERM "$copy"
    ended_cleanly "$copy" "one SIGTERM did not end a copy"
done
echo "PASS"
