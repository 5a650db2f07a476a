#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang's libFuzzer in build-fuzz/ and runs each over its corpus
# and then for ZEMBRA_FUZZ_SECONDS (default 20) of new inputs. Longer by hand, for example:
#   ZEMBRA_FUZZ_SECONDS=600 scripts/fuzz.sh
# Needs the packages scripts/setup.sh all installs. Arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$root/build-fuzz
"$root/scripts/setup.sh" packages
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZEMBRA_FUZZ=ON -DZEMBRA_FUZZ_SECONDS="${ZEMBRA_FUZZ_SECONDS:-20}" ${ZEMBRA_CMAKE_ARGS:-} \
    >/dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "$@"
