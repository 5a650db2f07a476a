#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up everything and makes the packages (scripts/package.sh, into dist/), then runs the
# whole test suite through ctest: the plain build's suite (end-to-end tests in real hosts and
# the packages' checks included), then each fuzzer over its corpus and for a bounded time
# (ZEMBRA_FUZZ_SECONDS each). Arguments go to the plain build's ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" all
"$root/scripts/package.sh"
ctest --test-dir "${ZEMBRA_BUILD_DIR:-$root/build}" --output-on-failure -j"$(nproc)" "$@"
"$root/scripts/fuzz.sh"
