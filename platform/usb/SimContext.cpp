// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated bus: one lock over all device and interface state, and a queue of events
// that run() delivers one at a time without holding the lock.
#include "platform/usb/SimContext.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace usb {
namespace detail {

struct SimDeviceState {
    SimDeviceSpec spec;
    bool plugged = true;
    int openHandles = 0;
    int opens = 0;
    uint8_t configuration = 0;
    bool interfaceClaimed = false;
    std::deque<std::pair<Status, std::vector<uint8_t>>> inbox; // waiting for a read
    std::vector<std::vector<uint8_t>> writes;
    std::vector<std::string> requests;
};

struct SimInterfaceState {
    int device = 0;
    bool open = true;
    bool readArmed = false;
    bool completionQueued = false;
    std::span<uint8_t> buffer;
    ReadCompletion completion = nullptr;
    void* refCon = nullptr;
};

struct SimEvent {
    enum class Kind { Arrival, Removal, ReadDone } kind;
    int device = 0;
    uint64_t interface = 0;
    Status status = kSuccess;
    std::vector<uint8_t> bytes;
};

struct SimCore {
    std::mutex mutex;
    std::condition_variable wake;    // the run() thread waits here
    std::condition_variable changed; // settle() waits here

    std::map<int, SimDeviceState> devices;
    std::map<uint64_t, SimInterfaceState> interfaces;
    std::deque<SimEvent> queue;
    int nextDevice = 1;
    uint64_t nextInterface = 1;

    Listener* listener = nullptr;
    bool watching = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    Status watchFailure = kSuccess;

    bool running = false;
    bool idle = false;
    bool stopRequested = false;
    bool finished = false;

    bool matches(const SimDeviceState& d) const {
        return watching && d.spec.vendorId == vendorId && d.spec.productId == productId;
    }
    void push(SimEvent event) {
        queue.push_back(std::move(event));
        wake.notify_all();
    }
    // Hands a report or failure to the device's armed read, else keeps it for the next.
    void deliver(int id, Status status, std::vector<uint8_t> bytes) {
        for (auto& [key, itf] : interfaces) {
            if (itf.device == id && itf.open && itf.readArmed && !itf.completionQueued) {
                itf.completionQueued = true;
                push({SimEvent::Kind::ReadDone, id, key, status, std::move(bytes)});
                return;
            }
        }
        devices.at(id).inbox.emplace_back(status, std::move(bytes));
    }
};

namespace {

class SimInterfaceHandle final : public Interface {
  public:
    SimInterfaceHandle(std::shared_ptr<SimCore> core, uint64_t id)
        : mCore(std::move(core)), mId(id) {}
    ~SimInterfaceHandle() override { close(); }

    Status numEndpoints(uint8_t& count) override {
        std::lock_guard lock(mCore->mutex);
        const auto& device = deviceLocked();
        if (device.spec.failAt == SimStep::NumEndpoints) return device.spec.failure;
        count = static_cast<uint8_t>(device.spec.pipes.size());
        return kSuccess;
    }

    Status pipeProperties(uint8_t pipe, PipeProperties& properties) override {
        std::lock_guard lock(mCore->mutex);
        const auto& pipes = deviceLocked().spec.pipes;
        if (pipe == 0 || pipe > pipes.size()) return kErrorInvalidParam;
        properties = pipes[pipe - 1];
        return kSuccess;
    }

    Status readPipeAsync(uint8_t pipe, std::span<uint8_t> buffer, ReadCompletion completion,
                         void* refCon) override {
        std::lock_guard lock(mCore->mutex);
        auto& itf = mCore->interfaces.at(mId);
        auto& device = deviceLocked();
        if (!itf.open) return kErrorNotOpen;
        if (mCore->stopRequested) return kErrorAborted;
        if (!device.plugged) return kErrorNoDevice;
        if (pipe == 0 || pipe > device.spec.pipes.size() ||
            device.spec.pipes[pipe - 1].direction != Direction::In)
            return kErrorInvalidParam;
        if (itf.readArmed) return kErrorBusy;
        if (device.spec.failAt == SimStep::ArmRead) return device.spec.failure;
        itf.readArmed = true;
        itf.buffer = buffer;
        itf.completion = completion;
        itf.refCon = refCon;
        if (!device.inbox.empty()) {
            auto [status, bytes] = std::move(device.inbox.front());
            device.inbox.pop_front();
            mCore->deliver(itf.device, status, std::move(bytes));
        }
        return kSuccess;
    }

    Status writePipe(uint8_t pipe, std::span<const uint8_t> data,
                     std::chrono::milliseconds) override {
        std::lock_guard lock(mCore->mutex);
        const auto& itf = mCore->interfaces.at(mId);
        auto& device = deviceLocked();
        if (!itf.open) return kErrorNotOpen;
        if (!device.plugged) return kErrorNoDevice;
        if (pipe == 0 || pipe > device.spec.pipes.size() ||
            device.spec.pipes[pipe - 1].direction != Direction::Out)
            return kErrorInvalidParam;
        device.writes.emplace_back(data.begin(), data.end());
        return kSuccess;
    }

    void close() override {
        std::lock_guard lock(mCore->mutex);
        auto& itf = mCore->interfaces.at(mId);
        if (!itf.open) return;
        itf.open = false;
        itf.readArmed = false;
        deviceLocked().interfaceClaimed = false;
    }

  private:
    SimDeviceState& deviceLocked() { return mCore->devices.at(mCore->interfaces.at(mId).device); }

    std::shared_ptr<SimCore> mCore;
    uint64_t mId;
};

class SimDeviceHandle final : public Device {
  public:
    SimDeviceHandle(std::shared_ptr<SimCore> core, int id, uint16_t vendor, uint16_t product)
        : mCore(std::move(core)), mId(id), mVendor(vendor), mProduct(product) {}
    ~SimDeviceHandle() override { close(); }

    uint16_t vendorId() const override { return mVendor; }
    uint16_t productId() const override { return mProduct; }

    Status open() override {
        std::lock_guard lock(mCore->mutex);
        auto& device = mCore->devices.at(mId);
        if (mOpen) return kSuccess;
        if (!device.plugged) return kErrorNoDevice;
        if (device.spec.failAt == SimStep::Open) return device.spec.failure;
        mOpen = true;
        ++device.openHandles;
        ++device.opens;
        return kSuccess;
    }

    Status numberOfConfigurations(uint8_t& count) override {
        std::lock_guard lock(mCore->mutex);
        count = mCore->devices.at(mId).spec.configurationCount;
        return kSuccess;
    }

    Status configurationValue(uint8_t index, uint8_t& value) override {
        std::lock_guard lock(mCore->mutex);
        const auto& spec = mCore->devices.at(mId).spec;
        if (spec.failAt == SimStep::ConfigurationDescriptor) return spec.failure;
        if (index >= spec.configurationCount) return kErrorNotFound;
        value = spec.configurationValue;
        return kSuccess;
    }

    Status setConfiguration(uint8_t value) override {
        std::lock_guard lock(mCore->mutex);
        auto& device = mCore->devices.at(mId);
        if (Status s = usable(); s != kSuccess) return s;
        if (device.spec.failAt == SimStep::SetConfiguration) return device.spec.failure;
        if (device.spec.configurationCount == 0 || value != device.spec.configurationValue)
            return kErrorNotFound;
        if (device.configuration == value) return kSuccess; // nothing is sent
        if (device.spec.heldByAnotherProcess || device.interfaceClaimed) return kErrorBusy;
        device.configuration = value;
        device.requests.push_back("set configuration " + std::to_string(value));
        return kSuccess;
    }

    Status openFirstInterface(std::unique_ptr<Interface>& interface) override {
        std::lock_guard lock(mCore->mutex);
        auto& device = mCore->devices.at(mId);
        if (Status s = usable(); s != kSuccess) return s;
        if (device.spec.failAt == SimStep::OpenInterface) return device.spec.failure;
        if (!device.spec.hasInterface || device.configuration == 0) return kErrorNotFound;
        if (device.interfaceClaimed || device.spec.heldByAnotherProcess) return kErrorBusy;
        device.interfaceClaimed = true;
        const uint64_t id = mCore->nextInterface++;
        mCore->interfaces[id].device = mId;
        interface = std::make_unique<SimInterfaceHandle>(mCore, id);
        return kSuccess;
    }

    void close() override {
        std::lock_guard lock(mCore->mutex);
        if (!mOpen) return;
        mOpen = false;
        --mCore->devices.at(mId).openHandles;
    }

  private:
    Status usable() const {
        if (!mOpen) return kErrorNotOpen;
        return mCore->devices.at(mId).plugged ? kSuccess : kErrorNoDevice;
    }

    std::shared_ptr<SimCore> mCore;
    int mId;
    uint16_t mVendor;
    uint16_t mProduct;
    bool mOpen = false;
};

} // namespace
} // namespace detail

using detail::SimCore;
using detail::SimEvent;

// The handles reported as present, so a removal hands over the object of the arrival.
struct SimContext::Presence {
    std::map<int, std::shared_ptr<Device>> devices;
};

SimContext::SimContext()
    : mCore(std::make_shared<SimCore>()), mPresence(std::make_unique<Presence>()) {}

SimContext::~SimContext() = default;

Status SimContext::watch(uint16_t vendorId, uint16_t productId, Listener& listener) {
    std::lock_guard lock(mCore->mutex);
    if (mCore->watchFailure != kSuccess) {
        // run() will not come: let settle() return.
        mCore->finished = true;
        mCore->changed.notify_all();
        return mCore->watchFailure;
    }
    if (mCore->listener) return kErrorBusy;
    mCore->listener = &listener;
    mCore->watching = true;
    mCore->vendorId = vendorId;
    mCore->productId = productId;
    for (const auto& [id, device] : mCore->devices)
        if (device.plugged && mCore->matches(device))
            mCore->push({SimEvent::Kind::Arrival, id, 0, kSuccess, {}});
    return kSuccess;
}

void SimContext::unwatch() {
    std::lock_guard lock(mCore->mutex);
    mCore->watching = false;
    std::erase_if(mCore->queue,
                  [](const SimEvent& e) { return e.kind != SimEvent::Kind::ReadDone; });
}

void SimContext::run() {
    std::unique_lock lock(mCore->mutex);
    mCore->running = true;
    while (!mCore->stopRequested) {
        if (mCore->queue.empty()) {
            mCore->idle = true;
            mCore->changed.notify_all();
            mCore->wake.wait(lock, [&] { return mCore->stopRequested || !mCore->queue.empty(); });
            mCore->idle = false;
            continue;
        }
        SimEvent event = std::move(mCore->queue.front());
        mCore->queue.pop_front();
        switch (event.kind) {
        case SimEvent::Kind::Arrival:
            lock.unlock();
            dispatchArrival(event.device);
            break;
        case SimEvent::Kind::Removal:
            lock.unlock();
            dispatchRemoval(event.device);
            break;
        case SimEvent::Kind::ReadDone: {
            auto it = mCore->interfaces.find(event.interface);
            if (it == mCore->interfaces.end() || !it->second.open || !it->second.readArmed)
                continue; // closed meanwhile: the read ended without its completion
            auto& itf = it->second;
            itf.readArmed = false;
            itf.completionQueued = false;
            const std::size_t count = std::min(event.bytes.size(), itf.buffer.size());
            if (count) std::memcpy(itf.buffer.data(), event.bytes.data(), count);
            const Status status = event.status == kSuccess && event.bytes.size() > count
                                      ? kErrorOverflow
                                      : event.status;
            const ReadCompletion completion = itf.completion;
            void* refCon = itf.refCon;
            lock.unlock();
            completion(refCon, status, static_cast<uint32_t>(count));
            break;
        }
        }
        lock.lock();
    }

    // Every read still armed ends with kErrorAborted, delivered here, so its owner sees it.
    mCore->queue.clear();
    for (;;) {
        auto it =
            std::find_if(mCore->interfaces.begin(), mCore->interfaces.end(), [](const auto& entry) {
                return entry.second.open && entry.second.readArmed;
            });
        if (it == mCore->interfaces.end()) break;
        it->second.readArmed = false;
        it->second.completionQueued = false;
        const ReadCompletion completion = it->second.completion;
        void* refCon = it->second.refCon;
        lock.unlock();
        completion(refCon, kErrorAborted, 0);
        lock.lock();
    }
    mCore->running = false;
    mCore->finished = true;
    mCore->changed.notify_all();
    lock.unlock();
    mPresence->devices.clear();
}

void SimContext::stop() {
    std::lock_guard lock(mCore->mutex);
    mCore->stopRequested = true;
    mCore->wake.notify_all();
}

void SimContext::dispatchArrival(int id) {
    std::shared_ptr<Device> handle;
    Listener* listener = nullptr;
    {
        std::lock_guard lock(mCore->mutex);
        const auto& device = mCore->devices.at(id);
        if (!mCore->matches(device) || mPresence->devices.contains(id)) return;
        handle = std::make_shared<detail::SimDeviceHandle>(mCore, id, device.spec.vendorId,
                                                           device.spec.productId);
        listener = mCore->listener;
    }
    mPresence->devices[id] = handle;
    listener->deviceArrived(handle);
}

void SimContext::dispatchRemoval(int id) {
    auto it = mPresence->devices.find(id);
    if (it == mPresence->devices.end()) return;
    std::shared_ptr<Device> handle = std::move(it->second);
    mPresence->devices.erase(it);
    Listener* listener = nullptr;
    {
        std::lock_guard lock(mCore->mutex);
        if (!mCore->watching) return;
        listener = mCore->listener;
    }
    listener->deviceRemoved(handle);
}

void SimContext::failWatch(Status status) {
    std::lock_guard lock(mCore->mutex);
    mCore->watchFailure = status;
}

SimDevice SimContext::plugIn(SimDeviceSpec spec) {
    std::lock_guard lock(mCore->mutex);
    const int id = mCore->nextDevice++;
    auto& device = mCore->devices[id];
    device.spec = std::move(spec);
    if (device.spec.configured && device.spec.configurationCount > 0)
        device.configuration = device.spec.configurationValue;
    if (mCore->matches(device)) mCore->push({SimEvent::Kind::Arrival, id, 0, kSuccess, {}});
    return SimDevice(mCore, id);
}

void SimContext::unplug(const SimDevice& handle) {
    std::lock_guard lock(mCore->mutex);
    auto& device = mCore->devices.at(handle.mId);
    if (!device.plugged) return;
    if (mCore->matches(device)) mCore->push({SimEvent::Kind::Removal, handle.mId, 0, kSuccess, {}});
    device.inbox.clear();
    mCore->deliver(handle.mId, kErrorNoDevice, {});
    device.inbox.clear(); // no read was pending: nothing is left for a later one
    device.plugged = false;
}

bool SimContext::settle() {
    std::unique_lock lock(mCore->mutex);
    return mCore->changed.wait_for(lock, std::chrono::seconds(10), [&] {
        return mCore->finished || (mCore->running && mCore->idle && mCore->queue.empty());
    });
}

void SimDevice::sendReport(std::span<const uint8_t> bytes) const {
    std::lock_guard lock(mCore->mutex);
    if (!mCore->devices.at(mId).plugged) return;
    mCore->deliver(mId, kSuccess, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void SimDevice::failRead(Status status) const {
    std::lock_guard lock(mCore->mutex);
    mCore->deliver(mId, status, {});
}

std::vector<std::vector<uint8_t>> SimDevice::writes() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).writes;
}

bool SimDevice::isOpen() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).openHandles > 0;
}

bool SimDevice::isInterfaceClaimed() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).interfaceClaimed;
}

bool SimDevice::isReadPending() const {
    std::lock_guard lock(mCore->mutex);
    for (const auto& [key, itf] : mCore->interfaces)
        if (itf.device == mId && itf.open && itf.readArmed) return true;
    return false;
}

int SimDevice::openCount() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).opens;
}

uint8_t SimDevice::configuration() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).configuration;
}

std::vector<std::string> SimDevice::requests() const {
    std::lock_guard lock(mCore->mutex);
    return mCore->devices.at(mId).requests;
}

} // namespace usb
