// SPDX-License-Identifier: GPL-3.0-or-later
// Registrations are shared with the posts that snapshot them; a registration marked
// removed is skipped by every post that has not yet started calling it, and the removal
// waits for the calls already started.
#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/AssertionHandler.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace fnd {

struct NotificationCenter::Registration {
    const void* observer;
    const void* object;
    Handler handler;
    bool removed = false; // guarded by the centre's mutex
};

std::optional<float> floatValue(const UserInfo& info, std::string_view key) {
    auto it = info.find(key);
    if (it == info.end()) return std::nullopt;
    if (auto* f = std::get_if<float>(&it->second)) return *f;
    if (auto* i = std::get_if<int32_t>(&it->second)) return static_cast<float>(*i);
    return std::nullopt;
}

std::optional<int32_t> int32Value(const UserInfo& info, std::string_view key) {
    auto it = info.find(key);
    if (it == info.end()) return std::nullopt;
    if (auto* i = std::get_if<int32_t>(&it->second)) return *i;
    if (auto* f = std::get_if<float>(&it->second)) {
        // 2^31 is exactly representable; anything from there up does not fit.
        if (std::isfinite(*f) && *f > -2147483649.0f && *f < 2147483648.0f)
            return static_cast<int32_t>(*f);
    }
    return std::nullopt;
}

const std::string* stringValue(const UserInfo& info, std::string_view key) {
    auto it = info.find(key);
    return it == info.end() ? nullptr : std::get_if<std::string>(&it->second);
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object,
                                     Handler handler) {
    if (!observer || !handler) {
        AssertionHandler::current().report("NotificationCenter::addObserver", this, __FILE__,
                                           __LINE__, "observer and handler are required");
        return;
    }
    auto registration =
        std::make_shared<Registration>(Registration{observer, object, std::move(handler)});
    std::lock_guard lock(mMutex);
    mByName[std::move(name)].push_back(std::move(registration));
}

bool NotificationCenter::busyElsewhere(const void* observer, std::thread::id self) const {
    return std::any_of(mDeliveries.begin(), mDeliveries.end(), [&](const Delivery& d) {
        return d.observer == observer && d.thread != self;
    });
}

// Follows "thread T is delivering to X and waits for Y" links from the threads we would
// wait for; if one of them leads back to us, waiting would never end.
bool NotificationCenter::waitWouldDeadlock(const void* observer, std::thread::id self) const {
    std::vector<const void*> pending{observer};
    std::vector<const void*> seen;
    while (!pending.empty()) {
        const void* target = pending.back();
        pending.pop_back();
        if (std::find(seen.begin(), seen.end(), target) != seen.end()) continue;
        seen.push_back(target);
        for (const Delivery& d : mDeliveries) {
            if (d.observer != target) continue;
            if (d.thread == self) {
                if (target != observer) return true;
                continue; // our own nested delivery of the observer we remove: not waited for
            }
            for (const Waiter& w : mWaiters)
                if (w.thread == d.thread) pending.push_back(w.observer);
        }
    }
    return false;
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer) return;
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mMutex);
    for (auto it = mByName.begin(); it != mByName.end();) {
        auto& list = it->second;
        for (auto& registration : list)
            if (registration->observer == observer) registration->removed = true;
        std::erase_if(list, [](const auto& r) { return r->removed; });
        it = list.empty() ? mByName.erase(it) : std::next(it);
    }
    if (!busyElsewhere(observer, self) || waitWouldDeadlock(observer, self)) return;
    mWaiters.push_back({self, observer});
    mDeliveryEnded.wait(lock, [&] { return !busyElsewhere(observer, self); });
    std::erase_if(mWaiters, [&](const Waiter& w) { return w.thread == self; });
}

void NotificationCenter::endDelivery(const void* observer, std::thread::id thread) {
    std::lock_guard lock(mMutex);
    auto it = std::find_if(mDeliveries.begin(), mDeliveries.end(), [&](const Delivery& d) {
        return d.observer == observer && d.thread == thread;
    });
    if (it != mDeliveries.end()) mDeliveries.erase(it);
    if (!mWaiters.empty()) mDeliveryEnded.notify_all();
}

void NotificationCenter::post(std::string_view name, const void* object, UserInfo userInfo) {
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(mMutex);
        auto it = mByName.find(name);
        if (it == mByName.end()) return;
        for (const auto& registration : it->second)
            if (!registration->object || registration->object == object)
                targets.push_back(registration);
    }
    const Notification notification{std::string(name), object, std::move(userInfo)};
    const auto self = std::this_thread::get_id();
    for (const auto& registration : targets) {
        {
            std::lock_guard lock(mMutex);
            if (registration->removed) continue;
            mDeliveries.push_back({registration->observer, self});
        }
        try {
            registration->handler(notification);
        } catch (const std::exception& e) {
            log(LogLevel::Error,
                "handler for notification \"" + notification.name + "\" threw: " + e.what());
        } catch (...) {
            log(LogLevel::Error, "handler for notification \"" + notification.name + "\" threw");
        }
        endDelivery(registration->observer, self);
    }
}

} // namespace fnd
