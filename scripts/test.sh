#!/usr/bin/env bash
# Sets up, then runs the whole test suite through ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZEMBRA_CMAKE_ARGS="-DZEMBRA_WERROR=ON ${ZEMBRA_CMAKE_ARGS:-}" "$root/scripts/setup.sh"
ctest --test-dir "${ZEMBRA_BUILD_DIR:-$root/build}" --output-on-failure -j"$(nproc)" "$@"
