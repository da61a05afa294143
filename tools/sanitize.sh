#!/usr/bin/env bash
# Every test under ASan+UBSan, then the threaded engine's and the pipeline's tests under TSan: bash tools/sanitize.sh
# Debian's Qt is not instrumented for TSan; tools/sanitizers/tsan.supp says which of its reports are silenced, and why.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/packages.sh"
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKESWIN_SANITIZE=address -DKESWIN_WERROR=ON >/dev/null
cmake --build "$root/build-asan" -j"$(nproc)"
(cd "$root/build-asan" && UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp" ctest --output-on-failure -j2)

cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DKESWIN_SANITIZE=thread -DKESWIN_WERROR=ON >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target TestDigestEngine TestDigestBatch TestAnalysisSession \
    TestCheckSession TestDetachedWorker
(cd "$root/build-tsan" &&
    TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$root/tools/sanitizers/tsan.supp" \
    ctest --output-on-failure -R 'TestDigestEngine|TestDigestBatch|TestAnalysisSession|TestCheckSession|TestDetachedWorker')
