#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing from Debian's archive, then configures and builds into build/.
#   setup.sh demo   just the offline renderer: its few packages, the engine and zembra-render
#   setup.sh all    everything: the plug-in, the tools, the test suite and the benchmarks
#   setup.sh packages  only the packages of `all`, building nothing
# Idempotent: a second run installs nothing and rebuilds only what changed. Both kinds use
# the same compiler flags, so `all` after `demo` reuses what `demo` built.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${ZEMBRA_BUILD_DIR:-$root/build}
kind=${1:-all}

# Reads package names (one a line, # comments) from the lists given and installs the missing.
install_packages() {
    local wanted=() missing=() pkg
    mapfile -t wanted < <(cat "$@" | grep -v -E '^\s*(#|$)' | sed 's/\s*#.*//')
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$pkg")
    done
    ((${#missing[@]})) || return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        "${missing[@]}" >/dev/null
}

configure() {
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEMBRA_WERROR=ON \
        "$@" ${ZEMBRA_CMAKE_ARGS:-} >/dev/null
}

case "$kind" in
demo)
    install_packages "$root/scripts/debian-packages-demo.txt"
    # A tree already configured in full stays so; a new one gets the renderer alone.
    if grep -q '^ZEMBRA_RENDERER_ONLY:BOOL=OFF' "$build_dir/CMakeCache.txt" 2>/dev/null; then
        configure
    else
        configure -DZEMBRA_RENDERER_ONLY=ON
    fi
    cmake --build "$build_dir" -j"$(nproc)" --target zembra-render
    ;;
packages)
    install_packages "$root/scripts/debian-packages-demo.txt" "$root/scripts/debian-packages.txt"
    ;;
all)
    install_packages "$root/scripts/debian-packages-demo.txt" "$root/scripts/debian-packages.txt"
    configure -DZEMBRA_RENDERER_ONLY=OFF
    cmake --build "$build_dir" -j"$(nproc)"
    ;;
*)
    echo "usage: setup.sh [demo|all|packages]" >&2
    exit 2
    ;;
esac
