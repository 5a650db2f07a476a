#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up everything, then runs the whole test suite through ctest. Arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" all
ctest --test-dir "${ZEMBRA_BUILD_DIR:-$root/build}" --output-on-failure -j"$(nproc)" "$@"
