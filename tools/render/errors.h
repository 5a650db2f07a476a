// SPDX-License-Identifier: GPL-3.0-or-later
// The two ways zembra-render fails: the user asked for something impossible (exit status 2),
// or the work itself broke, a full disk say (exit status 1).
#pragma once

#include <stdexcept>

namespace zembra::render {

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace zembra::render
