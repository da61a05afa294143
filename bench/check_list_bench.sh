#!/usr/bin/env bash
# The check window on lists of a million lines, as measured figures (nothing here fails):
#   bash bench/check_list_bench.sh [--program PATH] [--lines N] [--only one,malformed,missing]
# PATH defaults to keswin-check-window-bench in build-test/, else build/. Lists are made in a temporary folder under
# /var/tmp and removed at the end:
#   one        N lines naming one small file
#   malformed  N lines that are no checksum lines
#   missing    N lines naming files that do not exist
# For each: when the first row shows, the longest the window's thread went without answering (a 10 ms beat, less the
# beat), when the check ends, the peak resident memory (/usr/bin/time -v) and per line, then the same after Copy
# Results; then the window closed half a second in, and the time from closing to the process gone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=""
lines=1000000
only="one,malformed,missing"
while (($#)); do
    case "$1" in
    --program) program=$2; shift 2 ;;
    --lines) lines=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: $0 [--program PATH] [--lines N] [--only one,malformed,missing]" >&2; exit 2 ;;
    esac
done
if [[ -z $program ]]; then
    for candidate in "$root/build-test/bench/keswin-check-window-bench" "$root/build/bench/keswin-check-window-bench"; do
        [[ -x $candidate ]] && { program=$candidate; break; }
    done
fi
[[ -n $program && -x $program ]] || { echo "no keswin-check-window-bench: build it first, or give --program" >&2; exit 2; }
command -v python3 >/dev/null && [[ -x /usr/bin/time ]] || { echo "python3 and /usr/bin/time are needed" >&2; exit 2; }
wants() { [[ ",$only," == *",$1,"* ]]; }

work=$(mktemp -d /var/tmp/check-window-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

python3 - "$work" "$lines" <<'PY'
import hashlib, os, sys
work, lines = sys.argv[1], int(sys.argv[2])
with open(os.path.join(work, 'one.bin'), 'wb') as f:
    f.write(b'hello\n')
digest = hashlib.md5(b'hello\n').hexdigest()
with open(os.path.join(work, 'one.md5'), 'w') as f:
    f.writelines(f'{digest}  one.bin\n' for _ in range(lines))
with open(os.path.join(work, 'malformed.md5'), 'w') as f:
    f.writelines(f'not a checksum line {i}\n' for i in range(lines))
with open(os.path.join(work, 'missing.md5'), 'w') as f:
    f.writelines(f'd41d8cd98f00b204e9800998ecf8427e  gone{i:07d}\n' for i in range(lines))
PY

echo "check window benchmark: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $lines lines a list"
for list in one malformed missing; do
    wants "$list" || continue
    echo "($list)"
    /usr/bin/time -v -o "$work/time.txt" "$program" "$work/$list.md5" --copy 2>/dev/null | grep -v '^closed at' |
        sed 's/^/  /'
    peak=$(awk -F': ' '/Maximum resident/ { print $2 }' "$work/time.txt")
    echo "  peak resident $((peak / 1024)) MiB over the whole run, copy included: $((peak * 1024 / lines)) bytes a line"
    started=$EPOCHREALTIME
    closed=$("$program" "$work/$list.md5" --close-after 0.5 2>/dev/null | awk '/^closed at/ { print $3 }')
    ended=$EPOCHREALTIME
    awk -v c="$closed" -v e="$ended" -v s="$started" \
        'BEGIN { printf "  closed 0.5 s in: the process gone %.3f s after closing (%.3f s in all)\n", e - c, e - s }'
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
