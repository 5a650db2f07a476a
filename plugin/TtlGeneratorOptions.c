// SPDX-License-Identifier: GPL-3.0-or-later
/* Linked into DPF's lv2_ttl_generator in AddressSanitizer builds only. The generator loads
 * the module to write its .ttl files and unloads it; what the module keeps for the whole
 * process (its bundle registration) then looks leaked, and the build would stop on it. */
const char* __asan_default_options(void);
const char* __asan_default_options(void) {
    return "detect_leaks=0";
}
