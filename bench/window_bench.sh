#!/usr/bin/env bash
# The window end to end: from starting keswin-hash on a file to its four digests on screen, against `openssl md5`
# on the same file, both with the file in the page cache:
#   bash bench/window_bench.sh [--program PATH] [--size SIZE] [--rounds N] [--boost] [FILE]
# PATH defaults to keswin-hash in build-test/, else build/. Without FILE a file of SIZE random bytes (head -c's
# units, 2G by default) is made under /var/tmp (a disk, not tmpfs: the page cache is what is measured) and removed
# at the end. The window runs on an X server of its own (Xvfb) inside a D-Bus session of its own, so that its
# taskbar progress is sent as on a desktop; KESWIN_HASH_PRINT_DIGESTS makes it print its digest rows the moment the
# analysis finishes, which is when the time is taken. The two sides alternate, N rounds (default 5); the script
# prints each round's times and ratio, then the median ratio, which should be at most 1.02.
# --boost (root) runs it all in a scheduling group of its own, as bench/sum_bench.sh does: on a machine shared with
# other work the kernel shares the cores between groups, and a program on two cores gets no more than one on one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
program=""
size=2G
rounds=5
boost=0
file=""
arguments=("$@")
while (($#)); do
    case "$1" in
    --program) program=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --boost) boost=1; shift ;;
    -*) echo "usage: $0 [--program PATH] [--size SIZE] [--rounds N] [--boost] [FILE]" >&2; exit 2 ;;
    *) file=$1; shift ;;
    esac
done
if ((boost)); then
    boost_scheduling "$0" "${arguments[@]}"
fi
in_own_dbus_session "$0" "${arguments[@]}"
if [[ -z $program ]]; then
    for candidate in "$root/build-test/src/app/keswin-hash" "$root/build/src/app/keswin-hash"; do
        [[ -x $candidate ]] && { program=$candidate; break; }
    done
fi
[[ -n $program && -x $program ]] || { echo "no keswin-hash: build it first, or give --program" >&2; exit 2; }
for needed in Xvfb openssl; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done

work=$(mktemp -d /var/tmp/window-bench.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Settings of its own, with the bulletin seen today so that no page opens; a runtime folder of its own.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[Checkup]\nSite=%s\n' "$(date +%Y-%m-%dT%H:%M:%S)" >"$XDG_CONFIG_HOME/QDX.conf"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb

if [[ -z $file ]]; then
    file="$work/large.bin"
    head -c "$size" /dev/urandom >"$file"
fi
cat "$file" >/dev/null

seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

openssl_once() {
    local started=$EPOCHREALTIME
    openssl md5 -r "$file" >"$work/openssl.txt"
    seconds_between "$started" "$EPOCHREALTIME"
}

# From the start of the program to the line with its rows; the window is then closed (as by a `kill`) and waited
# for, outside the time. Fails when the MD5 row differs from openssl's.
window_once() {
    local started=$EPOCHREALTIME rows
    coproc WINDOW { KESWIN_HASH_PRINT_DIGESTS=1 exec "$program" "$file" 2>"$work/window.err"; }
    local pid=$WINDOW_PID
    IFS= read -r -t 600 rows <&"${WINDOW[0]}" || { echo "the window printed no rows" >&2; cat "$work/window.err" >&2; exit 1; }
    local ended=$EPOCHREALTIME
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    local md5
    md5=$(cut -d' ' -f1 "$work/openssl.txt")
    [[ " $rows " == *" $md5 "* ]] || { echo "the window's rows ($rows) lack openssl's MD5 $md5" >&2; exit 1; }
    seconds_between "$started" "$ended"
}

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "window benchmark: $(nproc) cores, load average $(load); file $(stat -c %s "$file") bytes; program $program"
((boost)) && echo "boosted: own scheduling group"
openssl_once >/dev/null # the reference digest, and the cache warm for both
ratios=()
for ((round = 1; round <= rounds; round++)); do
    md5=$(openssl_once)
    window=$(window_once)
    ratio=$(awk -v a="$window" -v b="$md5" 'BEGIN { printf "%.3f", a / b }')
    ratios+=("$ratio")
    printf '  round %d: window %7.3f s   openssl md5 %7.3f s   ratio %s\n' "$round" "$window" "$md5" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { print (NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2) }')
echo "median ratio window / openssl md5: $median (target <= 1.02); load average $(load) at the end"
