#!/usr/bin/env bash
# Builds everything and runs every test, the format check included, then every test again under the sanitizers:
#   bash tools/test.sh            (arguments go to the first ctest run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/packages.sh"
install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake -S "$root" -B "$root/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESWIN_WERROR=ON >/dev/null
cmake --build "$root/build-test" -j"$(nproc)"
cmake --build "$root/build-test" --target format-check
(cd "$root/build-test" && ctest --output-on-failure -j2 "$@")
bash "$root/tools/sanitize.sh"
