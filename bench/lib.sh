# Shared by the benchmark scripts: timing one run to the millisecond, the best of several, ratios and verdicts, and
# waiting for a settled machine. Needs $work (a folder of the caller's), $tool (the program whose memory is kept) and
# $rounds set by the caller; $quiet_errors=1 discards the runs' standard error too (cases that fail every file).
# --boost: runs the script again in a session of its own, then gives that session's scheduling group the highest
# weight (root only).
# Runs the script again inside a D-Bus session of its own, once: a window's taskbar progress goes somewhere, as on a
# desktop, and nowhere that matters. Call it as `in_own_dbus_session "$0" ARGUMENTS...`.
in_own_dbus_session() {
    if [[ -z ${BENCH_IN_DBUS_SESSION:-} ]]; then
        BENCH_IN_DBUS_SESSION=1 exec dbus-run-session -- bash "$@"
    fi
}

boost_scheduling() {
    [[ $(id -u) == 0 ]] || { echo "--boost needs root" >&2; exit 2; }
    if [[ -z ${SUM_BENCH_BOOSTED:-} ]]; then
        SUM_BENCH_BOOSTED=1 exec setsid --wait bash "$@" </dev/null
    fi
    echo -20 >"/proc/$$/autogroup"
}

# Seconds of one run (stdout discarded), to the millisecond: time(1) gives hundredths only, too coarse for runs of a
# tenth of a second. The resident memory of PROGRAM's runs is kept in a file, as the runs happen in subshells.
run_once() {
    local measure="$work/time.txt"
    local started=$EPOCHREALTIME
    if ((${quiet_errors:-0})); then
        /usr/bin/time -f '%M' -o "$measure" "$@" >/dev/null 2>/dev/null || true
    else
        /usr/bin/time -f '%M' -o "$measure" "$@" >/dev/null
    fi
    local ended=$EPOCHREALTIME
    local kib
    kib=$(tail -1 "$measure") # after time's own line about a status other than 0
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
    return 0 # a machine that never settles is still measured; the load is printed at the end
}
