#!/usr/bin/env bash
# Builds the program and starts it on FILE: bash tools/run.sh FILE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/packages.sh"
install_missing "${BUILD_PACKAGES[@]}"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target keswin-hash
exec "$root/build/src/app/keswin-hash" "$@"
