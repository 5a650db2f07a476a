// SPDX-License-Identifier: GPL-3.0-or-later
// Timer handles: invalidation and the wait for a firing in progress.
#include "platform/foundation/Timer.h"

#include "platform/foundation/RunLoopDetail.h"

namespace fnd {

Timer& Timer::operator=(Timer&& other) noexcept {
    if (this != &other) {
        invalidate();
        mState = std::move(other.mState);
    }
    return *this;
}

void Timer::invalidate() {
    if (!mState) return;
    {
        std::unique_lock lock(mState->mutex);
        mState->valid = false;
        const auto self = std::this_thread::get_id();
        mState->idle.wait(lock,
                          [&] { return mState->firing == 0 || mState->firingThread == self; });
    }
    mState.reset();
}

bool Timer::isValid() const {
    if (!mState) return false;
    std::lock_guard lock(mState->mutex);
    return mState->valid;
}

} // namespace fnd
