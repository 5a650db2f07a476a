#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU cost of the Zembra LV2 plug-in beside two vocoders people know, all run by lv2file on
# the same 60 s, 48 kHz two-input file (A left, B right): Calf Vocoder, MDA Vocoder, and MDA
# Image as a near-free plug-in that shows lv2file's own file handling. Prints CPU seconds
# per minute of audio, the ratios to Zembra, and peak memory (GNU time).
#
#   bench/plugin_cpu.sh [build-dir]      (default: build/, or $ZEMBRA_BUILD_DIR)
#
# Needs lv2file, calf-plugins, mda-lv2 and GNU time (scripts/debian-packages.txt).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-${ZEMBRA_BUILD_DIR:-$root/build}}")
bundle=$build/bin/zembra.lv2
runs=${ZEMBRA_BENCH_RUNS:-3} # best of: the machine is shared

for tool in lv2file cc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "plugin_cpu.sh: $tool is missing" >&2; exit 1; }
done
[ -d "$bundle" ] || { echo "plugin_cpu.sh: no $bundle; build zembra-lv2 first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lv2"
ln -s "$bundle" "$work/lv2/zembra.lv2"
export LV2_PATH="$work/lv2:/usr/lib/lv2:/usr/local/lib/lv2"

# The material: a gliding buzz with formant-like partials as A (the modulator of a vocoder)
# and a detuned saw chord as B (the carrier), 32-bit float.
cat >"$work/material.c" <<'EOF'
#include <math.h>
#include <sndfile.h>
#include <stdlib.h>
int main(int argc, char** argv) {
    const int rate = 48000, frames = 60 * rate;
    float* data = malloc(sizeof(float) * 2 * frames);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = (double)i / rate;
        phase += 2.0 * M_PI * (140.0 + 30.0 * sin(2.0 * M_PI * 0.5 * t)) / rate;
        double a = 0.0, b = 0.0;
        for (int h = 1; h <= 16; ++h)
            a += sin(h * phase) / h * (1.0 + 1.5 * sin(0.7 * t + h));
        const double chord[] = {110.0, 138.6, 164.8, 220.7, 277.2};
        for (int k = 0; k < 5; ++k)
            b += fmod(chord[k] * t, 1.0) - 0.5;
        data[2 * i] = (float)(0.15 * a * (0.6 + 0.4 * sin(2.0 * M_PI * 2.0 * t)));
        data[2 * i + 1] = (float)(0.2 * b);
    }
    SF_INFO info = {.samplerate = rate, .channels = 2, .format = SF_FORMAT_WAV | SF_FORMAT_FLOAT};
    SNDFILE* f = sf_open(argv[1], SFM_WRITE, &info);
    if (!f || sf_writef_float(f, data, frames) != frames) return 1;
    sf_close(f);
    free(data);
    return argc == 2 ? 0 : 1;
}
EOF
cc -O2 -o "$work/material" "$work/material.c" -lsndfile -lm
"$work/material" "$work/ab.wav"
minutes=1

# Runs lv2file under GNU time `runs` times; prints "cpu_seconds peak_kib" of the fastest run.
measure() {
    local best_cpu="" best_rss=""
    for ((i = 0; i < runs; ++i)); do
        /usr/bin/time -f '%U %S %M' -o "$work/time.txt" \
            lv2file --ignore-clipping -i "$work/ab.wav" -o "$work/out.wav" "$@" \
            >"$work/lv2file.log" 2>&1 || { cat "$work/lv2file.log" >&2; exit 1; }
        read -r user sys rss <"$work/time.txt"
        local cpu
        cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
        if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
            best_cpu=$cpu
            best_rss=$rss
        fi
    done
    echo "$best_cpu $best_rss"
}

names=() cpu=() rss=()
run() {
    local name=$1 c r
    shift
    read -r c r < <(measure "$@")
    names+=("$name") cpu+=("$c") rss+=("$r")
}
# A on the main input, B on the side-chain, each on both channels of its bus.
zembraInputs=(-c 1:lv2_in_l -c 1:lv2_in_r -c 2:lv2_sc_l -c 2:lv2_sc_r)
run "Zembra (room on)" "${zembraInputs[@]}" -p wet_dry:30 -p room:60 -p x:0.5 -p y:0.9 \
    urn:zembra:zembra
run "Zembra (room off)" "${zembraInputs[@]}" -p x:0.5 -p y:0.9 urn:zembra:zembra
# Carrier on the main input, modulator on the sidechain.
run "Calf Vocoder" -c 2:in_l -c 2:in_r -c 1:sidechain -c 1:sidechain2 \
    http://calf.sourceforge.net/plugins/Vocoder
run "MDA Vocoder" http://drobilla.net/plugins/mda/Vocoder
run "lv2file alone (MDA Image)" http://drobilla.net/plugins/mda/Image

zembra=${cpu[0]} calf=${cpu[2]}
printf '%-28s %16s %14s %12s\n' "60 s, 48 kHz, via lv2file" "CPU s / minute" "x Zembra" "peak RSS"
for i in "${!names[@]}"; do
    awk -v n="${names[$i]}" -v c="${cpu[$i]}" -v z="$zembra" -v r="${rss[$i]}" -v m="$minutes" \
        'BEGIN { printf "%-28s %16.3f %14.2f %9.1f MiB\n", n, c / m, (z > 0 ? c / z : 0), r / 1024 }'
done
awk -v z="$zembra" -v c="$calf" \
    'BEGIN { printf "Zembra with the room costs %.0f%% of Calf Vocoder (aim: at most 25%%)\n", 100 * z / c }'
