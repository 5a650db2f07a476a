#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The packages as files: the .deb's control fields, changelog and debug symbols, lintian's
# verdict, the versions its metadata and tools give, and the tarball holding the .deb's files
# byte for byte with its INSTALL text and the licence. Every failed check is listed.
#   package_checks.sh <dist> <unpacked> <version> <LICENSE>
# <unpacked> holds the .deb's root in deb/ and the tarball's folder, as the suite unpacks them.
set -uo pipefail
dist=$1 usr=$2/deb/usr tarball=$2/zembra-$3-linux-x86_64 version=$3 licence=$4
deb=$dist/zembra_${version}_amd64.deb
failed=0
check() { # description, then a command that must succeed
    local what=$1
    shift
    "$@" || { echo "FAILED: $what" >&2; failed=1; }
}
has() { grep -q -F -- "$2" <<<"$1"; }

check "Package, Version, Architecture and Section" \
    test "$(dpkg-deb --show --showformat '${Package} ${Version} ${Architecture} ${Section}' "$deb")" \
    = "zembra $version amd64 sound"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libcairo2 libusb-1.0-0 libsndfile1; do
    check "Depends names $library (worked out from the binaries)" has "$depends" "$library "
done
check "the changelog's newest entry is $version" \
    has "$(zcat "$usr/share/doc/zembra/changelog.gz" | head -n 1)" "zembra ($version) "
# One file of symbols for each of the seven binaries, which are stripped (lintian says so).
check "zembra-dbgsym holds the symbols of seven binaries" test \
    "$(dpkg-deb --contents "$dist/zembra-dbgsym_${version}_amd64.ddeb" | grep -c '\.debug$')" = 7
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges'
check "lintian finds no error or warning" test "${PIPESTATUS[0]}" = 0

# LV2 keeps the version's minor and micro numbers (the major one is in the URI).
IFS=. read -r _ minor micro <<<"$version"
ttl=$(cat "$usr/lib/lv2/zembra.lv2/zembra.ttl")
check "the LV2 metadata says $version" has "$ttl" "lv2:minorVersion $minor "
check "the LV2 metadata says $version" has "$ttl" "lv2:microVersion $micro "
for plist in lib/lv2/zembra.lv2/Info.plist lib/vst3/zembra.vst3/Contents/Resources/Info.plist \
    share/zembra/Info.plist; do
    check "$plist says $version" has "$(cat "$usr/$plist")" "<string>$version</string>"
done
for tool in zembra-render zembra-defaults; do
    check "$tool runs and says $version" has "$("$usr/bin/$tool" --version)" "$tool $version"
done
check "zembra-controller-monitor plays its simulated session" \
    has "$("$usr/bin/zembra-controller-monitor" --simulate)" "controller removed"

# diff follows the .deb's links into /usr/share/zembra, where the tarball's bundles are whole.
for pair in lv2:lib/lv2 vst3:lib/vst3 clap:lib/clap bin:bin share/zembra:share/zembra \
    share/man:share/man; do
    check "${pair%%:*} in the tarball is the .deb's ${pair#*:}" \
        diff --recursive --brief "$tarball/${pair%%:*}" "$usr/${pair#*:}"
done
check "INSTALL names Zembra $version" has "$(cat "$tarball/INSTALL")" "Zembra $version "
check "LICENSE is the licence" cmp "$tarball/LICENSE" "$licence"
exit $failed
