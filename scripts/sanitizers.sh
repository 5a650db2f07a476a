#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs the whole suite under a sanitizer, in build-<kind>/:
#   sanitizers.sh asan   AddressSanitizer with UBSan
#   sanitizers.sh tsan   ThreadSanitizer
# Needs the packages scripts/setup.sh all installs. Arguments after the kind go to ctest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:?usage: sanitizers.sh asan|tsan [ctest arguments]}
shift
case "$kind" in
asan) option=-DZEMBRA_ASAN=ON ;;
tsan) option=-DZEMBRA_TSAN=ON ;;
*) echo "usage: sanitizers.sh asan|tsan [ctest arguments]" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh" packages
dir=$root/build-$kind
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$option" \
    -DZEMBRA_BUILD_BENCH=OFF ${ZEMBRA_CMAKE_ARGS:-} >/dev/null
cmake --build "$dir" -j"$(nproc)"
# Ardour, a large host of its own built without the sanitizer, is left out: our module runs
# under the sanitizer in jalv, lv2file, the standalone and our own CLAP host instead.
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" -LE ardour "$@"
