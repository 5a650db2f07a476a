// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide notification centre: named notifications, delivered synchronously on
// the posting thread to every observer registered for the name.
//
// Posts come from several threads at once (interface, controller, the audio side). The
// guarantee observers build on: once removeObserver(o) returns, no delivery to o is
// running on another thread and none will start, so an object may remove itself in its
// destructor while other threads post. Handlers may post, add observers and remove
// themselves or others without deadlock. Not for real-time threads: post locks and
// allocates.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

namespace fnd {

using Value = std::variant<float, int32_t, std::string>;
using UserInfo = std::map<std::string, Value, std::less<>>;

// Numbers read back as the width asked for: an integer reads as a float; a float reads as
// an integer (truncated) when it is finite and fits. Absent keys and strings give nullopt.
std::optional<float> floatValue(const UserInfo& info, std::string_view key);
std::optional<int32_t> int32Value(const UserInfo& info, std::string_view key);
// The string under `key`, or nullptr when absent or not a string.
const std::string* stringValue(const UserInfo& info, std::string_view key);

struct Notification {
    std::string name;
    const void* object; // the poster's identity, or nullptr
    UserInfo userInfo;
};

class NotificationCenter {
  public:
    using Handler = std::function<void(const Notification&)>;

    // The one centre of the process. Never destroyed, so threads that outlive static
    // destruction may still post.
    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Calls `handler` for every post of `name` whose object is `object`, or for any object
    // when `object` is nullptr. `observer` identifies the registration for removal and must
    // not be nullptr. Registrations added during a post do not receive that post.
    void addObserver(const void* observer, std::string name, const void* object, Handler handler);

    // Removes every registration of `observer`, then waits until deliveries to it running
    // on other threads have returned. Deliveries on the calling thread (a handler removing
    // itself) are not waited for. One case cannot be waited for: a handler removing an
    // observer whose handler is, on another thread, itself waiting to remove an observer
    // that this thread is delivering to; the removal that would close that circle returns
    // without waiting instead of deadlocking.
    void removeObserver(const void* observer);

    // Delivers to the matching observers in the order they registered, before returning.
    // An exception escaping a handler is logged and the remaining observers still run.
    void post(std::string_view name, const void* object = nullptr, UserInfo userInfo = {});

  private:
    struct Registration;
    struct Delivery {
        const void* observer;
        std::thread::id thread;
    };
    struct Waiter {
        std::thread::id thread;
        const void* observer;
    };

    bool busyElsewhere(const void* observer, std::thread::id self) const;
    bool waitWouldDeadlock(const void* observer, std::thread::id self) const;
    void endDelivery(const void* observer, std::thread::id thread);

    mutable std::mutex mMutex;
    std::condition_variable mDeliveryEnded;
    std::map<std::string, std::vector<std::shared_ptr<Registration>>, std::less<>> mByName;
    std::vector<Delivery> mDeliveries; // in flight, one entry per running handler call
    std::vector<Waiter> mWaiters;      // threads inside removeObserver, waiting
};

} // namespace fnd
