#!/usr/bin/env bash
# The many-file engine against the usual tools, each case measured in one run of this script so the ratios compare
# like with like on a machine whose load comes and goes:
#   bash bench/sum_bench.sh [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only a,b,c,e] [--boost]
# PROGRAM takes `-a ALG,...` and files and prints one line per file and digest (default: keswin-sum from the
# build folder). Files are made in a temporary folder under /tmp and removed at the end. The cold-cache case drops
# the page cache and therefore needs root; it is skipped otherwise.
#   (a) the four default digests of a 1 GiB file against md5sum alone        target <= 1.05
#   (b) -a sha256 over 64 files of 16 MiB against openssl dgst -sha256       target <= 0.60
#   (c) the four default digests of 10,000 files of 4 KiB against md5sum     target <= 1.00
#   (d) peak resident memory of every run of PROGRAM                         target <  64 MiB
#   (e) cold cache, 2 GiB: PROGRAM against the slower of cat and md5sum      target <= 1.05
#       (and the window's engine, keswin-digest-bench --once, when it is built beside PROGRAM's default)
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
only="a,b,c,e"
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
    *) echo "usage: $0 [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only a,b,c,e] [--boost]" >&2
        exit 2 ;;
    esac
done
source "$root/bench/lib.sh"
((boost)) && boost_scheduling "$0" "${arguments[@]}"
[[ -x $tool ]] || { echo "no program at $tool: build it first" >&2; exit 2; }
tool=$(realpath "$tool")
for needed in md5sum sha1sum sha256sum openssl rhash /usr/bin/time; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done
wants() { [[ ",$only," == *",$1,"* ]]; }

work=$(mktemp -d /tmp/sum-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
touch "$work/peaks"

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
