// SPDX-License-Identifier: GPL-3.0-or-later
// Under AddressSanitizer: fontconfig (through pango) keeps its font caches for the life of the
// process, not a leak of ours. Looked up by name, so visible despite hidden-by-default symbols.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libharfbuzz."
           "so\n";
}
