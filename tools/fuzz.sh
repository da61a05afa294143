#!/usr/bin/env bash
# Coverage-guided fuzzing of the parsers of outside text, each target for the given seconds (default 60), one after
# another: bash tools/fuzz.sh [SECONDS_PER_TARGET]. Fails when any target breaks a property or crashes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS_PER_TARGET]" >&2
    exit 2
fi
. "$root/tools/packages.sh"
install_missing "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESWIN_FUZZ=ON \
    -DKESWIN_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers

failed=()
for target in FuzzReport FuzzDroppedFiles FuzzBulletinDate FuzzChecksumLines; do
    # New finds go to a corpus of the build's own; the kept one is read only. The kept reproducers are read too: a
    # bug found once fails every run until it is fixed.
    work="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    inputs=("$work" "$root/fuzz/corpus/$target")
    [ -d "$root/fuzz/crashes/$target" ] && inputs+=("$root/fuzz/crashes/$target")
    options=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1 -artifact_prefix="$artifacts/")
    [ -f "$root/fuzz/$target.dict" ] && options+=(-dict="$root/fuzz/$target.dict")
    echo "== $target: $seconds s"
    if ! UBSAN_OPTIONS=print_stacktrace=1 "$build/fuzz/$target" "${options[@]}" "${inputs[@]}"; then
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Found crashes or broken properties in: ${failed[*]} (inputs under $build/artifacts)" >&2
    exit 1
fi
echo "No crash in ${seconds} s per target."
