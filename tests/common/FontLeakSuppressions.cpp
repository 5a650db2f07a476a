// SPDX-License-Identifier: GPL-3.0-or-later
// Under AddressSanitizer: fontconfig (through pango) keeps its font caches for the life of
// the process; those are not leaks of ours (ThreadSanitizer's reports from the same libraries
// are left out by tsan-suppressions.txt). The runtime looks this hook up by name, so it stays
// visible despite hidden-by-default symbols.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libharfbuzz."
           "so\n";
}
