#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up just what the offline renderer needs, then renders the built-in demo (or the files
# given) with zembra-render. With no arguments: demo/zembra-demo.wav and its spectrogram
# demo/zembra-demo.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" demo
if (($# == 0)); then
    mkdir -p "$root/demo"
    set -- -o "$root/demo/zembra-demo.wav" --spectrogram "$root/demo/zembra-demo.png"
fi
"${ZEMBRA_BUILD_DIR:-$root/build}/tools/zembra-render" "$@"
