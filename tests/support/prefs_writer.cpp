// SPDX-License-Identifier: GPL-3.0-or-later
// Saves COUNT integer preferences "<PREFIX><i>" = i, like a host process of its own
// would. Waits for end-of-file on standard input first, so that a test can start several
// writers at the same moment. Exits 1 if any value does not read back.
#include "support/Preferences.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zembra_prefs_writer PREFIX COUNT\n");
        return 2;
    }
    const std::string prefix = argv[1];
    const int count = std::atoi(argv[2]);
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    for (int i = 0; i < count; ++i)
        SaveValueToPrefsPosInt(prefix + std::to_string(i), i);
    for (int i = 0; i < count; ++i)
        if (GetValueFromPrefsPosInt(prefix + std::to_string(i)) != i) return 1;
    return 0;
}
