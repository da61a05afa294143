#!/usr/bin/env bash
# The many-file engine against the usual tools, each case measured in one run of this script so the ratios compare
# like with like on a machine whose load comes and goes:
#   bash bench/sum_bench.sh [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only a,b,c,e,f] [--boost]
# PROGRAM takes `-a ALG,...` and files and prints one line per file and digest (default: keswin-sum from the
# build folder). Files are made in a temporary folder under /tmp and removed at the end. The cold-cache case drops
# the page cache and therefore needs root; it is skipped otherwise.
#   (a) the four default digests of a 1 GiB file against md5sum alone        target <= 1.05
#   (b) -a sha256 over 64 files of 16 MiB against openssl dgst -sha256       target <= 0.60
#   (c) the four default digests of 10,000 files of 4 KiB against md5sum     target <= 1.00
#   (d) peak resident memory of every run of PROGRAM                         target <  64 MiB
#   (e) cold cache, 2 GiB: PROGRAM against the slower of cat and md5sum      target <= 1.05
#       (and the window's engine, keswin-digest-bench --once, when it is built beside PROGRAM's default)
#   (f) -a md5 of a 100 KB file written just before, 200 times in a loop, against md5sum  target <= 2.00
# Warm times are the best of --rounds runs (default 3); cold ratios are given per round and as their median.
# --boost (root) runs everything, the tools compared included, in a scheduling group of its own with the highest
# weight: on a machine shared with other work, the kernel otherwise shares the cores between groups, not threads,
# and a program on two cores gets no more than one on one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$root/build/src/sum/keswin-sum"
rounds=3
cold_rounds=3
skip_cold=0
only="a,b,c,e,f"
boost=0
arguments=("$@")
while (($#)); do
    case "$1" in
    --tool) tool=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --cold-rounds) cold_rounds=$2; shift 2 ;;
    --skip-cold) skip_cold=1; shift ;;
    --only) only=$2; shift 2 ;;
    --boost) boost=1; shift ;;
    *) echo "usage: $0 [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only a,b,c,e,f] [--boost]" >&2
        exit 2 ;;
    esac
done
if ((boost)); then
    [[ $(id -u) == 0 ]] || { echo "--boost needs root" >&2; exit 2; }
    if [[ -z ${SUM_BENCH_BOOSTED:-} ]]; then
        SUM_BENCH_BOOSTED=1 exec setsid --wait bash "$0" "${arguments[@]}" </dev/null
    fi
    echo -20 >"/proc/$$/autogroup"
fi
[[ -x $tool ]] || { echo "no program at $tool: build it first" >&2; exit 2; }
tool=$(realpath "$tool")
for needed in md5sum sha1sum sha256sum openssl rhash /usr/bin/time; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done
wants() { [[ ",$only," == *",$1,"* ]]; }

work=$(mktemp -d /tmp/sum-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
touch "$work/peaks"

# Seconds of one run (stdout discarded), to the millisecond: time(1) gives hundredths only, too coarse for runs of a
# tenth of a second. The resident memory of PROGRAM's runs is kept in a file, as the runs happen in subshells.
run_once() {
    local measure="$work/time.txt"
    local started=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$measure" "$@" >/dev/null
    local ended=$EPOCHREALTIME
    local kib
    read -r kib <"$measure"
    if [[ $1 == "$tool" ]]; then
        echo "$kib" >>"$work/peaks"
    fi
    awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.3f", b - a }'
}

best_of() {
    local best=""
    for ((round = 0; round < rounds; round++)); do
        local seconds
        seconds=$(run_once "$@")
        if [[ -z $best ]] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
        fi
    done
    echo "$best"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t ? "met" : "NOT met") }'; }
row() { printf '  %-44s %8.3f s\n' "$1" "$2"; }

load() { cut -d' ' -f1-3 /proc/loadavg; }
# After a case's files are removed: their blocks are freed and the journal written in the background, which would
# otherwise take a core from the next case's first runs.
# Then waits until a second passes with the cores at least 90% idle (at most 30 seconds): work the kernel does after
# a case (freeing blocks, reclaiming cache) takes a core from a program on two far more than from one on one.
settle() {
    sync
    local tries
    for ((tries = 0; tries < 30; tries++)); do
        local before after
        before=$(head -1 /proc/stat)
        sleep 1
        after=$(head -1 /proc/stat)
        awk -v b="$before" -v a="$after" 'BEGIN {
            n = split(b, x); split(a, y); total = 0
            for (i = 2; i <= n; i++) total += y[i] - x[i]
            idle = (y[5] - x[5]) + (y[6] - x[6])
            exit !(total > 0 && idle / total >= 0.9)
        }' && return 0
    done
}
echo "sum benchmark: $(nproc) cores, load average $(load) at the start; program: $tool"
((boost)) && echo "boosted: own scheduling group, $(cat "/proc/$$/autogroup")"

if wants a; then
    head -c 1G /dev/urandom >"$work/large.bin"
    cat "$work/large.bin" >/dev/null
    echo "(a) one file of 1 GiB, page cache warm (best of $rounds)"
    ours=$(best_of "$tool" "$work/large.bin")
    md5=$(best_of md5sum "$work/large.bin")
    row "PROGRAM, crc32+md5+sha1+sha256" "$ours"
    row "md5sum" "$md5"
    row "sha1sum" "$(best_of sha1sum "$work/large.bin")"
    row "sha256sum" "$(best_of sha256sum "$work/large.bin")"
    row "openssl dgst -sha256" "$(best_of openssl dgst -sha256 "$work/large.bin")"
    row "rhash --crc32 --md5 --sha1 --sha256 (one pass)" \
        "$(best_of rhash --crc32 --md5 --sha1 --sha256 "$work/large.bin")"
    r=$(ratio "$ours" "$md5")
    echo "  ratio PROGRAM / md5sum: $r (target <= 1.05: $(verdict "$r" 1.05))"
    rm -f "$work/large.bin"; settle
fi

if wants b; then
    mkdir -p "$work/medium"
    for i in $(seq -w 1 64); do head -c 16M /dev/urandom >"$work/medium/$i.bin"; done
    cat "$work/medium"/*.bin >/dev/null
    echo "(b) 64 files of 16 MiB, sha256, page cache warm (best of $rounds)"
    ours=$(best_of "$tool" -a sha256 "$work/medium"/*.bin)
    ssl=$(best_of openssl dgst -sha256 "$work/medium"/*.bin)
    row "PROGRAM -a sha256" "$ours"
    row "openssl dgst -sha256" "$ssl"
    row "sha256sum" "$(best_of sha256sum "$work/medium"/*.bin)"
    row "rhash --sha256" "$(best_of rhash --sha256 "$work/medium"/*.bin)"
    r=$(ratio "$ours" "$ssl")
    echo "  ratio PROGRAM / openssl: $r (target <= 0.60: $(verdict "$r" 0.60))"
    rm -rf "$work/medium"; settle
fi

if wants c; then
    mkdir -p "$work/small"
    python3 - "$work/small" <<'EOF'
import os, sys
for i in range(10000):
    with open(os.path.join(sys.argv[1], 'f%05d' % i), 'wb') as f:
        f.write(os.urandom(4096))
EOF
    echo "(c) 10,000 files of 4 KiB, page cache warm (best of $rounds)"
    ours=$(cd "$work/small" && best_of "$tool" f*)
    md5=$(cd "$work/small" && best_of md5sum f*)
    row "PROGRAM, crc32+md5+sha1+sha256" "$ours"
    row "md5sum" "$md5"
    row "sha256sum" "$(cd "$work/small" && best_of sha256sum f*)"
    row "rhash --crc32 --md5 --sha1 --sha256" "$(cd "$work/small" && best_of rhash --crc32 --md5 --sha1 --sha256 f*)"
    r=$(ratio "$ours" "$md5")
    echo "  ratio PROGRAM / md5sum: $r (target <= 1.00: $(verdict "$r" 1.00))"
    rm -rf "$work/small"; settle
fi

# A file changed just before it is read: a program that waits out the tick of the file's last change pays it on
# every run; one that holds a read lease need not. Each run appends a line, then digests the file.
written_loop() {
    local file=$1
    shift
    local started=$EPOCHREALTIME
    for ((i = 0; i < 200; i++)); do
        echo "$i" >>"$file"
        "$@" "$file" >/dev/null
    done
    awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'
}

if wants f; then
    head -c 100000 /dev/urandom >"$work/written.bin"
    echo "(f) a 100 KB file written just before each run, 200 runs in a loop"
    ours=$(written_loop "$work/written.bin" "$tool" -a md5)
    md5=$(written_loop "$work/written.bin" md5sum)
    row "PROGRAM -a md5, 200 runs" "$ours"
    row "md5sum, 200 runs" "$md5"
    r=$(ratio "$ours" "$md5")
    echo "  ratio PROGRAM / md5sum: $r (target <= 2.00: $(verdict "$r" 2.00))"
    rm -f "$work/written.bin"; settle
fi

if wants e && ((skip_cold == 0)); then
    if [[ $(id -u) != 0 ]]; then
        echo "(e) cold cache: skipped, dropping the page cache needs root"
    else
        head -c 2G /dev/urandom >"$work/cold.bin"
        sync
        drop() { sync && echo 3 >/proc/sys/vm/drop_caches; }
        window="$root/build/bench/keswin-digest-bench"
        echo "(e) one file of 2 GiB, page cache dropped before each run ($cold_rounds rounds)"
        ratios=()
        window_ratios=()
        for ((round = 1; round <= cold_rounds; round++)); do
            drop; ours=$(run_once "$tool" "$work/cold.bin")
            drop; cat_s=$(run_once cat "$work/cold.bin")
            drop; md5=$(run_once md5sum "$work/cold.bin")
            slower=$(awk -v a="$cat_s" -v b="$md5" 'BEGIN { print (a > b ? a : b) }')
            r=$(ratio "$ours" "$slower")
            ratios+=("$r")
            printf '  round %d: PROGRAM %.2f s, cat %.2f s, md5sum %.2f s; ratio to the slower %s' \
                "$round" "$ours" "$cat_s" "$md5" "$r"
            if [[ -x $window ]]; then
                drop; w=$(run_once "$window" --once "$work/cold.bin")
                window_ratios+=("$(ratio "$w" "$slower")")
                printf '; window engine %.2f s, ratio %s' "$w" "${window_ratios[-1]}"
            fi
            echo
        done
        drop; row "rhash --crc32 --md5 --sha1 --sha256, cold" \
            "$(run_once rhash --crc32 --md5 --sha1 --sha256 "$work/cold.bin")"
        drop; row "sha256sum, cold" "$(run_once sha256sum "$work/cold.bin")"
        median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
        echo "  median ratio PROGRAM / slower of cat and md5sum: $median (target <= 1.05: $(verdict "$median" 1.05))"
        if ((${#window_ratios[@]})); then
            median=$(printf '%s\n' "${window_ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
            echo "  median ratio window engine / slower of cat and md5sum: $median (target <= 1.05:" \
                "$(verdict "$median" 1.05))"
        fi
        rm -f "$work/cold.bin"
    fi
fi

peak_kib=$(sort -n "$work/peaks" | tail -1)
peak_kib=${peak_kib:-0}
echo "(d) peak resident memory of PROGRAM over every run: $((peak_kib / 1024)) MiB (target < 64 MiB:" \
    "$( ((peak_kib < 65536)) && echo met || echo NOT met))"
echo "load average $(load) at the end"
