// SPDX-License-Identifier: GPL-3.0-or-later
// Marks the support functions that the plug-in module exports under their own names.
//
// They are called from C++ only; C linkage just keeps the exported names unmangled, so a
// few of them return C++ types. Clang warns about that; the BEGIN/END pair says we mean it.
#pragma once

#define ZEMBRA_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(__clang__)
// One string literal per _Pragma: clang does not join adjacent ones there.
// clang-format off
#define ZEMBRA_CXX_RESULT_BEGIN \
    _Pragma("clang diagnostic push") \
    _Pragma("clang diagnostic ignored \"-Wreturn-type-c-linkage\"")
// clang-format on
#define ZEMBRA_CXX_RESULT_END _Pragma("clang diagnostic pop")
#else
#define ZEMBRA_CXX_RESULT_BEGIN
#define ZEMBRA_CXX_RESULT_END
#endif
