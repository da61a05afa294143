#!/usr/bin/env bash
# Every test under ASan+UBSan, then the threaded engine's tests under TSan: bash tools/sanitize.sh
# TSan covers the engine alone: Debian's Qt is not instrumented, so hand-overs through its event queue (futex-based
# QMutex) are invisible to TSan and reported as races.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/packages.sh"
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESWIN_SANITIZE=address >/dev/null
cmake --build "$root/build-asan" -j"$(nproc)"
(cd "$root/build-asan" && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2)

cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DKESWIN_SANITIZE=thread >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target TestDigestEngine
(cd "$root/build-tsan" && TSAN_OPTIONS="halt_on_error=1 die_after_fork=0" ctest --output-on-failure -R TestDigestEngine)
