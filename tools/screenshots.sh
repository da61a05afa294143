#!/usr/bin/env bash
# Makes the README's pictures in docs/: the main window with a file analysed at scale factors 1, 1.5 and 2, and the
# About window at 2, each in an X server of its own. Run after a build: bash tools/screenshots.sh [PROGRAM]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build-test/src/app/keswin-hash}")
[ -x "$program" ] || { echo "no program at $program: build it first (bash tools/test.sh)" >&2; exit 1; }
. "$root/tests/e2e/private_desktop.sh"
extra_cleanup='rm -rf "${samples:-}"'
private_desktop
bulletin_seen_today

# A file whose rows read the same on every run but for its creation and access times, in a folder of a fixed name so
# that the path row does too.
samples=/tmp/keswin-hash-screenshots
rm -rf "$samples"
sample="$samples/Documents/Quarterly report.pdf"
mkdir -p "$(dirname "$sample")"
printf 'A quarterly report, as far as the screenshot is concerned.\n' >"$sample"
touch -m -d '2026-11-30 16:45:12' "$sample"

# Shoots the main window at SCALE into FILE; with ABOUT_FILE, the About window too.
shoot() {
    local scale=$1 file=$2 about_file=${3:-} started window about xvfb
    start_xvfb
    xvfb=${pids[-1]}
    LANG=en_GB.UTF-8 QT_SCALE_FACTOR=$scale "$program" "$sample" &
    started=$!
    pids+=("$started")
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^Keswin Hash$' 2>/dev/null || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "no window at scale $scale" >&2; exit 1; }
    sleep 1.5 # the digests of a small file are there well within this
    import -window "$window" "$file"
    echo "wrote $file"
    if [ -n "$about_file" ]; then
        xdotool mousemove --window "$window" $((100 * ${scale%.*})) $((20 * ${scale%.*})) click 1
        sleep 1
        about=$(xdotool search --onlyvisible --name '^About Keswin Hash$')
        import -window "$about" "$about_file"
        echo "wrote $about_file"
    fi
    kill "$started"
    wait "$started" || true
    kill "$xvfb"
}
mkdir -p "$root/docs"
shoot 1 "$root/docs/screenshot.png"
shoot 1.5 "$root/docs/screenshot-scale1.5.png"
shoot 2 "$root/docs/screenshot-scale2.png" "$root/docs/about-scale2.png"
