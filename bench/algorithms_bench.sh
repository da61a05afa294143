#!/usr/bin/env bash
# The fast algorithms against the tools people run for them, each case measured in one run of this script so the
# ratios compare like with like on a machine whose load comes and goes:
#   bash bench/algorithms_bench.sh [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only k,l,m,n,o]
#                                  [--boost]
# PROGRAM is keswin-sum (default: from build/, else build-test/). Files are made in a temporary folder under /tmp
# and removed at the end. The cold-cache case drops the page cache and therefore needs root; it is skipped otherwise.
#   (k) -a blake3, one file of 2 GiB, against b3sum --num-threads 1      target <= 1.05 (b3sum on all cores shown)
#   (l) -a xxh128, the same file, against xxhsum -H2                     target <= 1.10
#   (m) -a blake3 over 64 files of 16 MiB against b3sum                  target <= 1.00
#   (n) -a sha256,blake3,xxh128 in one read against the slowest alone    target <= 1.05
#   (o) cold cache, 2 GiB: -a blake3 and -a xxh128 against cat           target <= 1.05
# Warm times are the best of --rounds runs (default 3); cold ratios are given per round and as their median.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$root/build/src/sum/keswin-sum"
[[ -x $tool ]] || tool="$root/build-test/src/sum/keswin-sum"
rounds=3
cold_rounds=3
skip_cold=0
only="k,l,m,n,o"
boost=0
arguments=("$@")
usage="usage: $0 [--tool PROGRAM] [--rounds N] [--cold-rounds N] [--skip-cold] [--only k,l,m,n,o] [--boost]"
while (($#)); do
    case "$1" in
    --tool) tool=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --cold-rounds) cold_rounds=$2; shift 2 ;;
    --skip-cold) skip_cold=1; shift ;;
    --only) only=$2; shift 2 ;;
    --boost) boost=1; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
done
source "$root/bench/lib.sh"
((boost)) && boost_scheduling "$0" "${arguments[@]}"
[[ -x $tool ]] || { echo "no program at $tool: build it first" >&2; exit 2; }
tool=$(realpath "$tool")
for needed in b3sum xxhsum sha256sum /usr/bin/time; do
    command -v "$needed" >/dev/null || { echo "$needed is needed" >&2; exit 2; }
done
wants() { [[ ",$only," == *",$1,"* ]]; }
slowest() { printf '%s\n' "$@" | sort -g | tail -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

work=$(mktemp -d /tmp/algorithms-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
touch "$work/peaks"

echo "algorithms benchmark: $(nproc) cores, load average $(load) at the start; program: $tool"
((boost)) && echo "boosted: own scheduling group, $(cat "/proc/$$/autogroup")"
large="$work/large.bin"
if wants k || wants l || wants n || { wants o && ((skip_cold == 0)); }; then
    head -c 2G /dev/urandom >"$large"
fi

if wants k; then
    cat "$large" >/dev/null
    echo "(k) one file of 2 GiB, -a blake3, page cache warm (best of $rounds)"
    ours=$(best_of "$tool" -a blake3 "$large")
    one=$(best_of b3sum --num-threads 1 "$large")
    all=$(best_of b3sum "$large")
    row "PROGRAM -a blake3" "$ours"
    row "b3sum --num-threads 1" "$one"
    row "b3sum (all $(nproc) cores)" "$all"
    r=$(ratio "$ours" "$one")
    echo "  ratio PROGRAM / b3sum --num-threads 1: $r (target <= 1.05: $(verdict "$r" 1.05))"
    echo "  ratio PROGRAM / b3sum on all cores: $(ratio "$ours" "$all")"
    settle
fi

if wants l; then
    cat "$large" >/dev/null
    echo "(l) one file of 2 GiB, -a xxh128, page cache warm (best of $rounds)"
    ours=$(best_of "$tool" -a xxh128 "$large")
    theirs=$(best_of xxhsum -q -H2 "$large")
    row "PROGRAM -a xxh128" "$ours"
    row "xxhsum -H2" "$theirs"
    row "cat (the copy from the page cache alone)" "$(best_of cat "$large")"
    r=$(ratio "$ours" "$theirs")
    echo "  ratio PROGRAM / xxhsum -H2: $r (target <= 1.10: $(verdict "$r" 1.10))"
    settle
fi

if wants n; then
    cat "$large" >/dev/null
    echo "(n) one file of 2 GiB, sha256, blake3 and xxh128 in one read, page cache warm (best of $rounds)"
    together=$(best_of "$tool" -a sha256,blake3,xxh128 "$large")
    alone=()
    for algorithm in sha256 blake3 xxh128; do
        alone+=("$(best_of "$tool" -a "$algorithm" "$large")")
        row "PROGRAM -a $algorithm" "${alone[-1]}"
    done
    row "PROGRAM -a sha256,blake3,xxh128" "$together"
    r=$(ratio "$together" "$(slowest "${alone[@]}")")
    echo "  ratio one read / the slowest alone: $r (target <= 1.05: $(verdict "$r" 1.05))"
    settle
fi

if wants o && ((skip_cold == 0)); then
    if [[ $(id -u) != 0 ]]; then
        echo "(o) cold cache: skipped, dropping the page cache needs root"
    else
        sync
        drop() { sync && echo 3 >/proc/sys/vm/drop_caches; }
        echo "(o) one file of 2 GiB, page cache dropped before each run ($cold_rounds rounds)"
        blake3_ratios=()
        xxh128_ratios=()
        for ((round = 1; round <= cold_rounds; round++)); do
            drop; cat_s=$(run_once cat "$large")
            drop; b3=$(run_once "$tool" -a blake3 "$large")
            drop; xx=$(run_once "$tool" -a xxh128 "$large")
            drop; theirs_b3=$(run_once b3sum "$large")
            drop; theirs_xx=$(run_once xxhsum -q -H2 "$large")
            blake3_ratios+=("$(ratio "$b3" "$cat_s")")
            xxh128_ratios+=("$(ratio "$xx" "$cat_s")")
            printf '  round %d: cat %.2f s; PROGRAM -a blake3 %.2f s (%s), -a xxh128 %.2f s (%s); b3sum %.2f s, ' \
                "$round" "$cat_s" "$b3" "${blake3_ratios[-1]}" "$xx" "${xxh128_ratios[-1]}" "$theirs_b3"
            printf 'xxhsum -H2 %.2f s\n' "$theirs_xx"
        done
        for algorithm in blake3 xxh128; do
            declare -n ratios="${algorithm}_ratios"
            m=$(median "${ratios[@]}")
            echo "  median ratio PROGRAM -a $algorithm / cat: $m (target <= 1.05: $(verdict "$m" 1.05))"
        done
    fi
fi
rm -f "$large"

if wants m; then
    mkdir -p "$work/medium"
    for i in $(seq -w 1 64); do head -c 16M /dev/urandom >"$work/medium/$i.bin"; done
    cat "$work/medium"/*.bin >/dev/null
    settle
    echo "(m) 64 files of 16 MiB, -a blake3, page cache warm (best of $rounds)"
    ours=$(best_of "$tool" -a blake3 "$work/medium"/*.bin)
    theirs=$(best_of b3sum "$work/medium"/*.bin)
    row "PROGRAM -a blake3" "$ours"
    row "b3sum (all $(nproc) cores)" "$theirs"
    row "b3sum --num-threads 1" "$(best_of b3sum --num-threads 1 "$work/medium"/*.bin)"
    r=$(ratio "$ours" "$theirs")
    echo "  ratio PROGRAM / b3sum: $r (target <= 1.00: $(verdict "$r" 1.00))"
    rm -rf "$work/medium"
fi

peak_kib=$(sort -n "$work/peaks" | tail -1)
echo "peak resident memory of PROGRAM over every run: $((${peak_kib:-0} / 1024)) MiB"
echo "load average $(load) at the end"
