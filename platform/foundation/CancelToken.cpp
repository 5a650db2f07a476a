// SPDX-License-Identifier: GPL-3.0-or-later
// Cancellation tokens for performAndWait.
#include "platform/foundation/CancelToken.h"

#include "platform/foundation/RunLoopDetail.h"

namespace fnd {

namespace detail {
void cancelIfQueued(PendingCall& call) {
    std::function<void()> dropped;
    {
        std::lock_guard lock(call.mutex);
        if (call.status != PendingCall::Status::Queued) return;
        call.status = PendingCall::Status::Cancelled;
        dropped = std::move(call.fn);
        call.done.notify_all();
    }
}
} // namespace detail

CancelToken::CancelToken() : mState(std::make_shared<State>()) {}

void CancelToken::cancel() {
    std::vector<std::shared_ptr<detail::PendingCall>> calls;
    {
        std::lock_guard lock(mState->mutex);
        mState->cancelled = true;
        for (auto& weak : mState->calls)
            if (auto call = weak.lock()) calls.push_back(std::move(call));
        mState->calls.clear();
    }
    for (auto& call : calls)
        detail::cancelIfQueued(*call);
}

bool CancelToken::isCancelled() const {
    std::lock_guard lock(mState->mutex);
    return mState->cancelled;
}

bool CancelToken::attach(const std::shared_ptr<detail::PendingCall>& call) const {
    std::lock_guard lock(mState->mutex);
    if (mState->cancelled) return false;
    std::erase_if(mState->calls, [](const auto& weak) { return weak.expired(); });
    mState->calls.push_back(call);
    return true;
}

} // namespace fnd
