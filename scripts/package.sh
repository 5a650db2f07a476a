#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds what the packages ship, as a release build of its own in build-package/ (the same
# compiler flags as build/, so a compiler cache serves both), and writes into dist/:
#   zembra_<version>_amd64.deb              the Debian package
#   zembra-dbgsym_<version>_amd64.ddeb      its debug symbols (for the tarball's binaries too)
#   zembra-<version>-linux-x86_64.tar.gz    the bundles, the standalone and the tools, ready to
#                                           copy into ~/.lv2, ~/.vst3, ~/.clap and ~/.local
# The tarball is made from the .deb's own files, so both hold the same bytes.
set -euo pipefail
# The packages' files and folders get the usual modes whatever the caller's umask.
umask 022
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-package
dist=$root/dist
"$root/scripts/setup.sh" packages

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEMBRA_WERROR=ON \
    -DZEMBRA_PACKAGE_ONLY=ON -DCMAKE_INSTALL_PREFIX=/usr ${ZEMBRA_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/*.deb "$build"/*.ddeb
(cd "$build" && cpack)
debs=("$build"/zembra_*_amd64.deb)
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb --extract "$deb" "$stage/deb"
usr=$stage/deb/usr
name=zembra-$version-linux-x86_64
top=$stage/$name
mkdir -p "$top/lv2" "$top/vst3" "$top/clap" "$top/bin" "$top/share"
# The bundles whole: in the .deb their resource folders are links into /usr/share/zembra.
cp -R -L -p "$usr/lib/lv2/zembra.lv2" "$top/lv2/"
cp -R -L -p "$usr/lib/vst3/zembra.vst3" "$top/vst3/"
cp -p "$usr/lib/clap/zembra.clap" "$top/clap/"
cp -p "$usr"/bin/* "$top/bin/"
cp -R -p "$usr/share/zembra" "$usr/share/man" "$top/share/"
cp -p "$usr/lib/udev/rules.d/60-zembra-controller.rules" "$root/LICENSE" \
    "$build/packaging/INSTALL" "$top/"

tar --create --gzip --file "$stage/$name.tar.gz" --directory "$stage" --sort=name --owner=0 \
    --group=0 --numeric-owner "$name"

# Only once everything is made are the packages of an earlier run replaced.
mkdir -p "$dist"
rm -f "$dist"/zembra_*_amd64.deb "$dist"/zembra-dbgsym_*_amd64.ddeb \
    "$dist"/zembra-*-linux-x86_64.tar.gz
cp "$deb" "$build/zembra-dbgsym_${version}_amd64.ddeb" "$stage/$name.tar.gz" "$dist/"
echo "Packages of Zembra $version in $dist:"
ls -l "$dist"
