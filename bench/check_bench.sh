#!/usr/bin/env bash
# keswin-sum where the cost is per file or per process rather than per byte, against md5sum, each case measured in
# one run of this script so the ratios compare like with like:
#   bash bench/check_bench.sh [--tool PROGRAM] [--rounds N] [--only f,g,h,i,j] [--boost]
# PROGRAM defaults to keswin-sum in build-test/, else build/. Files are made in a temporary folder under /var/tmp (a
# disk, not tmpfs) and removed at the end.
#   (f) -c with a 1,000,000-line list of MD5 lines naming 10,000 files of 1 KiB in turn   target <= 1.0
#   (g) -c with a list of 100,000 files that do not exist                                  target <= 1.0
#   (h) the four default digests of 100,000 files of 4 KiB in one run, against md5sum      target <= 1.0
#   (i) -a md5 of an empty file, the whole process (the mean of 300 runs)                  target <= 3.0
#   (j) -a md5 of a file of 4 KiB written just before it is hashed, 200 times in a loop    target <= 2.0
#       (a program that waits out the tick of a file's last change pays it on every run)
# Warm times are the best of --rounds runs (default 3). --boost (root) runs it all in a scheduling group of its own,
# as bench/sum_bench.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=""
rounds=3
only="f,g,h,i,j"
boost=0
arguments=("$@")
while (($#)); do
    case "$1" in
    --tool) tool=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --boost) boost=1; shift ;;
    *) echo "usage: $0 [--tool PROGRAM] [--rounds N] [--only f,g,h,i,j] [--boost]" >&2; exit 2 ;;
    esac
done
source "$root/bench/lib.sh"
((boost)) && boost_scheduling "$0" "${arguments[@]}"
if [[ -z $tool ]]; then
    tool="$root/build-test/src/sum/keswin-sum"
    [[ -x $tool ]] || tool="$root/build/src/sum/keswin-sum"
fi
[[ -x $tool ]] || { echo "no program at $tool: build it first" >&2; exit 2; }
tool=$(realpath "$tool")
for needed in md5sum python3 /usr/bin/time; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done
wants() { [[ ",$only," == *",$1,"* ]]; }

work=$(mktemp -d /var/tmp/check-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
touch "$work/peaks"

# Files of SIZE random bytes named f00000... in FOLDER.
make_files() {
    mkdir -p "$1"
    python3 - "$1" "$2" "$3" <<'PY'
import os, sys
folder, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(count):
    with open(os.path.join(folder, 'f%05d' % i), 'wb') as f:
        f.write(os.urandom(size))
PY
}

# Mean milliseconds of one pass of a loop body, over COUNT passes.
per_pass_ms() {
    local count=$1
    shift
    local started=$EPOCHREALTIME
    for ((pass = 0; pass < count; pass++)); do "$@" >/dev/null; done
    local ended=$EPOCHREALTIME
    awk -v a="$started" -v b="$ended" -v n="$count" 'BEGIN { printf "%.2f", (b - a) * 1000 / n }'
}

compare() { # OURS THEIRS TARGET UNIT
    printf '  %-12s %10s %s\n' "PROGRAM" "$1" "$4" "md5sum" "$2" "$4"
    local r
    r=$(ratio "$1" "$2")
    echo "  ratio PROGRAM / md5sum: $r (target <= $3: $(verdict "$r" "$3"))"
}

echo "check benchmark: $(nproc) cores, load average $(load) at the start; program: $tool"
((boost)) && echo "boosted: own scheduling group, $(cat "/proc/$$/autogroup")"

if wants f; then
    make_files "$work/listed" 10000 1024
    (cd "$work/listed" && md5sum f* >"$work/ten-thousand.md5")
    for ((copy = 0; copy < 100; copy++)); do cat "$work/ten-thousand.md5"; done >"$work/listed/million.md5"
    cat "$work/listed"/f* >/dev/null
    echo "(f) -c, 1,000,000 lines naming 10,000 files of 1 KiB in turn, page cache warm (best of $rounds)"
    ours=$(cd "$work/listed" && best_of "$tool" -c million.md5)
    theirs=$(cd "$work/listed" && best_of md5sum -c million.md5)
    compare "$ours" "$theirs" 1.0 s
    rm -rf "$work/listed" "$work/ten-thousand.md5"; settle
fi

if wants g; then
    mkdir -p "$work/missing"
    python3 -c '
import sys
with open(sys.argv[1], "w") as f:
    for i in range(100000):
        f.write("d41d8cd98f00b204e9800998ecf8427e  gone%06d\n" % i)' "$work/missing/missing.md5"
    echo "(g) -c, 100,000 files that do not exist, standard error discarded (best of $rounds)"
    quiet_errors=1
    ours=$(cd "$work/missing" && best_of "$tool" -c missing.md5)
    theirs=$(cd "$work/missing" && best_of md5sum -c missing.md5)
    quiet_errors=0
    compare "$ours" "$theirs" 1.0 s
    rm -rf "$work/missing"; settle
fi

if wants h; then
    make_files "$work/many" 100000 4096
    sync
    (cd "$work/many" && cat f* >/dev/null)
    echo "(h) 100,000 files of 4 KiB in one run, page cache warm (best of $rounds)"
    ours=$(cd "$work/many" && best_of "$tool" f*)
    theirs=$(cd "$work/many" && best_of md5sum f*)
    compare "$ours" "$theirs" 1.0 s
    rm -rf "$work/many"; settle
fi

if wants i; then
    : >"$work/empty"
    echo "(i) -a md5 of an empty file, the whole process (mean of 300 runs, after 20 unmeasured)"
    per_pass_ms 20 "$tool" -a md5 "$work/empty" >/dev/null
    per_pass_ms 20 md5sum "$work/empty" >/dev/null
    compare "$(per_pass_ms 300 "$tool" -a md5 "$work/empty")" "$(per_pass_ms 300 md5sum "$work/empty")" 3.0 ms
fi

if wants j; then
    head -c 4096 /dev/urandom >"$work/content"
    write_then() { cp "$work/content" "$work/fresh" && "$@" "$work/fresh"; }
    echo "(j) -a md5 of a file of 4 KiB copied just before it is hashed, 200 times in a loop (each loop's mean)"
    per_pass_ms 20 write_then "$tool" -a md5 >/dev/null
    compare "$(per_pass_ms 200 write_then "$tool" -a md5)" "$(per_pass_ms 200 write_then md5sum)" 2.0 ms
fi

peak_kib=$(sort -n "$work/peaks" | tail -1)
[[ -n $peak_kib ]] && echo "peak resident memory of PROGRAM over the runs of (f) to (h): $((peak_kib / 1024)) MiB"
echo "load average $(load) at the end"
