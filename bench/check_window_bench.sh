#!/usr/bin/env bash
# The check window end to end on a file with a published SHA-256 beside it: from starting keswin-check on the file
# to its OK on screen, against `keswin-sum -a sha256`, `openssl sha256` and `sha256sum` on the same file, all with
# the file in the page cache:
#   bash bench/check_window_bench.sh [--build DIR] [--size SIZE] [--rounds N] [--boost] [FILE]
# DIR defaults to build-test/, else build/. Without FILE a file of SIZE random bytes (head -c's units, 2G by default)
# is made under /var/tmp (a disk, not tmpfs: the page cache is what is measured) and removed at the end; FILE.sha256
# is written beside it (and removed) either way. The window runs on an X server of its own (Xvfb) in a D-Bus session
# of its own; KESWIN_CHECK_PRINT_SUMMARY makes it print its summary line the moment the check ends, which is when the
# time is taken. A last case runs the window with nothing published beside the file, where it computes what a paste
# most likely needs. The tools alternate, N rounds (default 5); the script prints each round's times and the window's
# ratio to keswin-sum, then the median ratio and whether the window met keswin-sum's time x 1.15 + 0.3 s.
# --boost (root) runs it all in a scheduling group of its own, as bench/sum_bench.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
build=""
size=2G
rounds=5
boost=0
file=""
arguments=("$@")
while (($#)); do
    case "$1" in
    --build) build=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --boost) boost=1; shift ;;
    -*) echo "usage: $0 [--build DIR] [--size SIZE] [--rounds N] [--boost] [FILE]" >&2; exit 2 ;;
    *) file=$1; shift ;;
    esac
done
if ((boost)); then
    boost_scheduling "$0" "${arguments[@]}"
fi
in_own_dbus_session "$0" "${arguments[@]}"
if [[ -z $build ]]; then
    for candidate in "$root/build-test" "$root/build"; do
        [[ -x $candidate/src/check/keswin-check ]] && { build=$candidate; break; }
    done
fi
check=$build/src/check/keswin-check
sum=$build/src/sum/keswin-sum
[[ -x $check && -x $sum ]] || { echo "no keswin-check and keswin-sum: build them first, or give --build" >&2; exit 2; }
for needed in Xvfb openssl sha256sum; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done

work=$(mktemp -d /var/tmp/check-window-bench.XXXXXX)
tool=$check # lib.sh keeps the resident memory of this program's runs
pids=()
published=""
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [[ -n $published ]] && rm -f "$published"
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb

if [[ -z $file ]]; then
    mkdir "$work/data"
    file="$work/data/large.iso"
    head -c "$size" /dev/urandom >"$file"
fi
[[ ! -e $file.sha256 ]] || { echo "$file.sha256 is there already; it would be overwritten" >&2; exit 2; }
cat "$file" >/dev/null
"$sum" -a sha256 "$file" >"$work/expected.txt"
expected=$(sed 's/.* = //' "$work/expected.txt")
# The window reads only what is published beside the file: a copy of the file elsewhere would be another file.
nothing="$work/nothing/$(basename "$file")"
mkdir -p "$work/nothing"
ln "$file" "$nothing" 2>/dev/null || ln -s "$file" "$nothing"

seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'; }

# From the start of the program to its summary line; the window is then closed and waited for, outside the time.
window_once() {
    local path=$1 wanted=$2 started=$EPOCHREALTIME summary
    coproc WINDOW { KESWIN_CHECK_PRINT_SUMMARY=1 exec "$check" "$path" 2>"$work/window.err"; }
    local pid=$WINDOW_PID
    IFS= read -r -t 600 summary <&"${WINDOW[0]}" || { echo "the window printed nothing" >&2; cat "$work/window.err" >&2; exit 1; }
    local seconds
    seconds=$(seconds_since "$started")
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [[ $summary == *"$wanted"* ]] || { echo "the window said \"$summary\", not \"$wanted\"" >&2; exit 1; }
    echo "$seconds"
}

timed() {
    local started=$EPOCHREALTIME
    "$@" >"$work/out.txt"
    grep -q "$expected" "$work/out.txt" || { echo "$1 gave another digest: $(cat "$work/out.txt")" >&2; exit 1; }
    seconds_since "$started"
}

published=$file.sha256
echo "$expected  $(basename "$file")" >"$published"
echo "check window benchmark: $(nproc) cores, load average $(load); file $(stat -c %s "$file") bytes; build $build"
((boost)) && echo "boosted: own scheduling group"
printf '  %-6s %14s %14s %14s %14s %14s %8s %s\n' round "window to OK" "keswin-sum" "openssl" "sha256sum" \
    "nothing publ." "ratio" "target"
ratios=()
met=0
for ((round = 1; round <= rounds; round++)); do
    settle
    window=$(window_once "$file" "1 OK")
    keswin=$(timed "$sum" -a sha256 "$file")
    ssl=$(timed openssl sha256 -r "$file")
    coreutils=$(timed sha256sum "$file")
    unpublished=$(window_once "$nothing" "not compared")
    ratio=$(ratio "$window" "$keswin")
    ratios+=("$ratio")
    target=$(awk -v s="$keswin" 'BEGIN { printf "%.3f", s * 1.15 + 0.3 }')
    verdict=$(awk -v w="$window" -v t="$target" 'BEGIN { print (w <= t ? "met" : "NOT met") }')
    [[ $verdict == met ]] && met=$((met + 1))
    printf '  %-6d %12.3f s %12.3f s %12.3f s %12.3f s %12.3f s %8s %s (%s s)\n' "$round" "$window" "$keswin" "$ssl" \
        "$coreutils" "$unpublished" "$ratio" "$verdict" "$target"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END { print (NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2) }')
echo "median ratio window to OK / keswin-sum -a sha256: $median; target (x 1.15 + 0.3 s) met in $met of $rounds rounds; load average $(load) at the end"
