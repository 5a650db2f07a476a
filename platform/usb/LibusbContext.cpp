// SPDX-License-Identifier: GPL-3.0-or-later
// libusb-1.0 behind the USB layer.
//
// What libusb calls back (hot-plug, transfer completions) is only queued there, and run()
// delivers it after libusb's event handling has returned: libusb forbids synchronous
// transfers inside its callbacks, and our listeners write synchronously from completions.
// The callbacks may also run on another thread, when that thread handles events during a
// synchronous write; they then wake run() through libusb_interrupt_event_handler.
#include "platform/usb/LibusbContext.h"

#include "platform/foundation/Log.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usb {

Status statusFromLibusbError(int error) {
    switch (error) {
    case LIBUSB_SUCCESS:
        return kSuccess;
    case LIBUSB_ERROR_IO:
        return kErrorIo;
    case LIBUSB_ERROR_INVALID_PARAM:
        return kErrorInvalidParam;
    case LIBUSB_ERROR_ACCESS:
        return kErrorAccess;
    case LIBUSB_ERROR_NO_DEVICE:
        return kErrorNoDevice;
    case LIBUSB_ERROR_NOT_FOUND:
        return kErrorNotFound;
    case LIBUSB_ERROR_BUSY:
        return kErrorBusy;
    case LIBUSB_ERROR_TIMEOUT:
        return kErrorTimeout;
    case LIBUSB_ERROR_OVERFLOW:
        return kErrorOverflow;
    case LIBUSB_ERROR_PIPE:
        return kErrorPipe;
    case LIBUSB_ERROR_INTERRUPTED:
        return kErrorInterrupted;
    case LIBUSB_ERROR_NO_MEM:
        return kErrorNoMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return kErrorNotSupported;
    default:
        return kErrorOther;
    }
}

Status statusFromTransferStatus(int transferStatus) {
    switch (transferStatus) {
    case LIBUSB_TRANSFER_COMPLETED:
        return kSuccess;
    case LIBUSB_TRANSFER_ERROR:
        return kErrorIo;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return kErrorTimeout;
    case LIBUSB_TRANSFER_CANCELLED:
        return kErrorAborted;
    case LIBUSB_TRANSFER_STALL:
        return kErrorPipe;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return kErrorNoDevice;
    case LIBUSB_TRANSFER_OVERFLOW:
        return kErrorOverflow;
    default:
        return kErrorOther;
    }
}

namespace {

// One wait for events; stop() and callbacks on other threads cut it short.
constexpr timeval kEventWait{10, 0};
// A cancelled transfer comes back within one event round; 50 x 100 ms is far beyond that.
constexpr int kCancelRounds = 50;
constexpr timeval kCancelWait{0, 100000};

class LibusbInterface;
struct ReadSlot;

struct Event {
    enum class Kind { Arrived, Left, ReadDone, Reclaim } kind;
    libusb_device* device = nullptr; // holds a reference, for Arrived and Left
    LibusbInterface* interface = nullptr;
    Status status = kSuccess;
    uint32_t count = 0;
    ReadSlot* slot = nullptr; // for Reclaim: an abandoned read that libusb handed back
};

// What the context, its devices and their interfaces share; libusb_exit runs when the last
// of them is gone, so no handle outlives the libusb context.
struct Core {
    libusb_context* ctx = nullptr;
    std::atomic<std::thread::id> runThread{};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> stopping{false}; // reads are refused

    std::mutex mutex; // guards what follows
    std::deque<Event> events;
    std::vector<LibusbInterface*> interfaces; // open ones
    bool watching = false;

    ~Core() {
        for (const Event& e : events)
            if (e.device) libusb_unref_device(e.device);
        if (ctx) libusb_exit(ctx);
    }

    void wakeFromOtherThread() {
        if (runThread.load() != std::this_thread::get_id()) libusb_interrupt_event_handler(ctx);
    }
    void handleEventsFor(timeval wait) {
        libusb_handle_events_timeout_completed(ctx, &wait, nullptr);
    }
};

struct OpenHandle {
    OpenHandle(std::shared_ptr<Core> c, libusb_device_handle* h) : core(std::move(c)), handle(h) {}
    ~OpenHandle() { libusb_close(handle); }
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;

    std::shared_ptr<Core> core; // declared first: destroyed after the handle is closed
    libusb_device_handle* const handle;
};

struct Endpoint {
    PipeProperties properties;
    uint8_t address;
};

void LIBUSB_CALL onTransfer(libusb_transfer* transfer);

// An interface's transfer and the buffer libusb reads into. Normally it lives and dies with
// its interface. When a read cannot be cancelled, libusb still owns the transfer and will
// write into this buffer, so the slot (with the device handle the transfer names) outlives
// the interface until libusb hands the transfer back, and is reclaimed then.
struct ReadSlot {
    ReadSlot(std::shared_ptr<Core> c, libusb_transfer* t) : core(std::move(c)), transfer(t) {}
    ~ReadSlot() { libusb_free_transfer(transfer); }
    ReadSlot(const ReadSlot&) = delete;
    ReadSlot& operator=(const ReadSlot&) = delete;

    const std::shared_ptr<Core> core;
    libusb_transfer* const transfer;    // reused by every read: the read loop allocates nothing
    std::vector<uint8_t> buffer;        // grown only when a read asks for more than before
    LibusbInterface* owner = nullptr;   // under Core::mutex; null once abandoned
    std::shared_ptr<OpenHandle> handle; // held once abandoned
};

class LibusbInterface final : public Interface {
  public:
    LibusbInterface(std::shared_ptr<OpenHandle> handle, uint8_t number, bool reattach,
                    std::vector<Endpoint> endpoints, libusb_transfer* transfer)
        : mCore(handle->core), mHandle(std::move(handle)), mNumber(number), mReattach(reattach),
          mEndpoints(std::move(endpoints)), mSlot(std::make_unique<ReadSlot>(mCore, transfer)) {
        std::lock_guard lock(mCore->mutex);
        mSlot->owner = this;
        mCore->interfaces.push_back(this);
    }

    ~LibusbInterface() override { close(); }

    Status numEndpoints(uint8_t& count) override {
        count = static_cast<uint8_t>(mEndpoints.size());
        return kSuccess;
    }

    Status pipeProperties(uint8_t pipe, PipeProperties& properties) override {
        if (pipe == 0 || pipe > mEndpoints.size()) return kErrorInvalidParam;
        properties = mEndpoints[pipe - 1].properties;
        return kSuccess;
    }

    Status readPipeAsync(uint8_t pipe, std::span<uint8_t> buffer, ReadCompletion completion,
                         void* refCon) override {
        const Endpoint* ep = endpoint(pipe, Direction::In);
        if (!ep || buffer.size() > INT_MAX) return kErrorInvalidParam;
        const auto type = ep->properties.transferType;
        if (type != TransferType::Interrupt && type != TransferType::Bulk)
            return kErrorNotSupported;
        {
            std::lock_guard lock(mCore->mutex);
            if (mClosing) return kErrorNotOpen;
            if (mCore->stopping.load()) return kErrorAborted;
            if (mArmed) return kErrorBusy;
            mArmed = mSubmitted = true;
            mCompletion = completion;
            mRefCon = refCon;
            mTarget = buffer;
        }
        // libusb fills the slot's buffer, never the caller's: a read that outlives its
        // interface then cannot write into memory its owner has freed.
        std::vector<uint8_t>& bytes = mSlot->buffer;
        if (bytes.size() < buffer.size()) bytes.resize(buffer.size());
        const int length = static_cast<int>(buffer.size());
        if (type == TransferType::Interrupt)
            libusb_fill_interrupt_transfer(mSlot->transfer, mHandle->handle, ep->address,
                                           bytes.data(), length, onTransfer, mSlot.get(), 0);
        else
            libusb_fill_bulk_transfer(mSlot->transfer, mHandle->handle, ep->address, bytes.data(),
                                      length, onTransfer, mSlot.get(), 0);
        const int r = libusb_submit_transfer(mSlot->transfer);
        if (r != LIBUSB_SUCCESS) {
            std::lock_guard lock(mCore->mutex);
            mArmed = mSubmitted = false;
            return statusFromLibusbError(r);
        }
        return kSuccess;
    }

    Status writePipe(uint8_t pipe, std::span<const uint8_t> data,
                     std::chrono::milliseconds timeout) override {
        const Endpoint* ep = endpoint(pipe, Direction::Out);
        if (!ep || data.size() > INT_MAX) return kErrorInvalidParam;
        std::lock_guard lock(mWriteMutex);
        if (mClosed) return kErrorNotOpen;
        // libusb takes a non-const pointer for both directions; an OUT transfer only reads.
        auto* bytes = const_cast<unsigned char*>(data.data());
        const int length = static_cast<int>(data.size());
        const auto ms = static_cast<unsigned>(
            std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, UINT_MAX));
        int transferred = 0;
        int r = LIBUSB_ERROR_NOT_SUPPORTED;
        if (ep->properties.transferType == TransferType::Interrupt)
            r = libusb_interrupt_transfer(mHandle->handle, ep->address, bytes, length, &transferred,
                                          ms);
        else if (ep->properties.transferType == TransferType::Bulk)
            r = libusb_bulk_transfer(mHandle->handle, ep->address, bytes, length, &transferred, ms);
        if (r != LIBUSB_SUCCESS) return statusFromLibusbError(r);
        return transferred == length ? kSuccess : kErrorIo;
    }

    void close() override {
        {
            // Waits for a write in progress; later writes see the interface closed.
            std::lock_guard lock(mWriteMutex);
            if (mClosed) return;
            mClosed = true;
        }
        bool submitted = false;
        {
            std::lock_guard lock(mCore->mutex);
            mClosing = true;
            mArmed = false;
            std::erase_if(mCore->events, [this](const Event& e) { return e.interface == this; });
            submitted = mSubmitted;
        }
        if (submitted) {
            libusb_cancel_transfer(mSlot->transfer);
            for (int round = 0; round < kCancelRounds && readSubmitted(); ++round)
                mCore->handleEventsFor(kCancelWait);
            if (abandonReadIfStillSubmitted())
                fnd::log(fnd::LogLevel::Error,
                         "USB read could not be cancelled; keeping its buffer until it ends");
        }
        libusb_release_interface(mHandle->handle, mNumber);
        if (mReattach) libusb_attach_kernel_driver(mHandle->handle, mNumber);
        std::lock_guard lock(mCore->mutex);
        std::erase(mCore->interfaces, this);
    }

    // For the context, under Core::mutex.
    bool inFlightLocked() const { return mSubmitted; }
    libusb_device* deviceLocked() const { return libusb_get_device(mHandle->handle); }
    libusb_transfer* transfer() const { return mSlot->transfer; }

    // For the context's delivery, under Core::mutex: hands over the read's bytes.
    bool takeCompletion(ReadCompletion& completion, void*& refCon, uint32_t count) {
        if (mClosing) return false;
        mArmed = false;
        const std::size_t n = std::min<std::size_t>(count, mTarget.size());
        std::copy_n(mSlot->buffer.begin(), n, mTarget.begin());
        completion = mCompletion;
        refCon = mRefCon;
        return true;
    }

    // From onTransfer, under Core::mutex, on whichever thread handled the event.
    void transferEndedLocked(const libusb_transfer& transfer) {
        mSubmitted = false;
        if (!mClosing)
            mCore->events.push_back({Event::Kind::ReadDone, nullptr, this,
                                     statusFromTransferStatus(transfer.status),
                                     static_cast<uint32_t>(std::max(transfer.actual_length, 0))});
    }

  private:
    const Endpoint* endpoint(uint8_t pipe, Direction direction) const {
        if (pipe == 0 || pipe > mEndpoints.size()) return nullptr;
        const Endpoint& ep = mEndpoints[pipe - 1];
        return ep.properties.direction == direction ? &ep : nullptr;
    }
    bool readSubmitted() {
        std::lock_guard lock(mCore->mutex);
        return mSubmitted;
    }
    // libusb still owns the transfer: the slot goes on without this interface.
    bool abandonReadIfStillSubmitted() {
        std::lock_guard lock(mCore->mutex);
        if (!mSubmitted) return false;
        mSlot->owner = nullptr;
        mSlot->handle = mHandle;
        mSlot.release(); // reclaimed when libusb hands the transfer back (onTransfer)
        return true;
    }

    std::shared_ptr<Core> mCore;
    std::shared_ptr<OpenHandle> mHandle;
    const uint8_t mNumber;
    const bool mReattach; // a kernel driver was detached to claim the interface
    const std::vector<Endpoint> mEndpoints;
    std::unique_ptr<ReadSlot> mSlot; // null once abandoned

    std::mutex mWriteMutex;
    bool mClosed = false; // under mWriteMutex

    // Under Core::mutex.
    bool mClosing = false;
    bool mArmed = false;     // a read was started and its completion not yet delivered
    bool mSubmitted = false; // libusb owns the transfer
    std::span<uint8_t> mTarget;
    ReadCompletion mCompletion = nullptr;
    void* mRefCon = nullptr;
};

void LIBUSB_CALL onTransfer(libusb_transfer* transfer) {
    auto* slot = static_cast<ReadSlot*>(transfer->user_data);
    // Held here: once the lock is released the slot, or the interface, may be gone.
    const std::shared_ptr<Core> core = slot->core;
    {
        std::lock_guard lock(core->mutex);
        if (slot->owner)
            slot->owner->transferEndedLocked(*transfer);
        else
            core->events.push_back({Event::Kind::Reclaim, nullptr, nullptr, kSuccess, 0, slot});
    }
    core->wakeFromOtherThread();
}

class LibusbDevice final : public Device {
  public:
    LibusbDevice(std::shared_ptr<Core> core, libusb_device* device, uint16_t vendor,
                 uint16_t product)
        : mCore(std::move(core)), mDevice(libusb_ref_device(device)), mVendor(vendor),
          mProduct(product) {}
    ~LibusbDevice() override {
        close();
        libusb_unref_device(mDevice);
    }

    uint16_t vendorId() const override { return mVendor; }
    uint16_t productId() const override { return mProduct; }

    Status open() override {
        if (mHandle) return kSuccess;
        libusb_device_handle* handle = nullptr;
        if (int r = libusb_open(mDevice, &handle); r != LIBUSB_SUCCESS)
            return statusFromLibusbError(r);
        mHandle = std::make_shared<OpenHandle>(mCore, handle);
        return kSuccess;
    }

    Status numberOfConfigurations(uint8_t& count) override {
        libusb_device_descriptor descriptor{};
        if (int r = libusb_get_device_descriptor(mDevice, &descriptor); r != LIBUSB_SUCCESS)
            return statusFromLibusbError(r);
        count = descriptor.bNumConfigurations;
        return kSuccess;
    }

    Status configurationValue(uint8_t index, uint8_t& value) override {
        libusb_config_descriptor* config = nullptr;
        if (int r = libusb_get_config_descriptor(mDevice, index, &config); r != LIBUSB_SUCCESS)
            return statusFromLibusbError(r);
        value = config->bConfigurationValue;
        libusb_free_config_descriptor(config);
        return kSuccess;
    }

    Status setConfiguration(uint8_t value) override {
        if (!mHandle) return kErrorNotOpen;
        // Selecting the active configuration again would make Linux reset it under whoever
        // uses the device (or refuse as busy while an interface is claimed): send nothing.
        int current = -1;
        if (libusb_get_configuration(mHandle->handle, &current) == LIBUSB_SUCCESS &&
            current == value)
            return kSuccess;
        return statusFromLibusbError(libusb_set_configuration(mHandle->handle, value));
    }

    Status openFirstInterface(std::unique_ptr<Interface>& interface) override {
        if (!mHandle) return kErrorNotOpen;
        libusb_config_descriptor* config = nullptr;
        if (int r = libusb_get_active_config_descriptor(mDevice, &config); r != LIBUSB_SUCCESS)
            return statusFromLibusbError(r);
        if (config->bNumInterfaces == 0 || config->interface[0].num_altsetting < 1) {
            libusb_free_config_descriptor(config);
            return kErrorNotFound;
        }
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        const uint8_t number = alt.bInterfaceNumber;
        std::vector<Endpoint> endpoints;
        for (int i = 0; i < alt.bNumEndpoints; ++i) {
            const libusb_endpoint_descriptor& e = alt.endpoint[i];
            endpoints.push_back(
                {{(e.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? Direction::In : Direction::Out,
                  static_cast<uint8_t>(e.bEndpointAddress & LIBUSB_ENDPOINT_ADDRESS_MASK),
                  static_cast<TransferType>(e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK),
                  e.wMaxPacketSize, e.bInterval},
                 e.bEndpointAddress});
        }
        libusb_free_config_descriptor(config);

        libusb_device_handle* handle = mHandle->handle;
        bool detached = false;
        // Only a kernel driver is detached (and given back on close). An interface that
        // another process has claimed is never taken from it: libusb reports no kernel
        // driver for it and refuses to detach it, and the claim below fails as busy.
        if (libusb_kernel_driver_active(handle, number) == 1) {
            const int r = libusb_detach_kernel_driver(handle, number);
            if (r != LIBUSB_SUCCESS && r != LIBUSB_ERROR_NOT_FOUND) return statusFromLibusbError(r);
            detached = r == LIBUSB_SUCCESS;
        }
        if (int r = libusb_claim_interface(handle, number); r != LIBUSB_SUCCESS) {
            if (detached) libusb_attach_kernel_driver(handle, number);
            return statusFromLibusbError(r);
        }
        libusb_transfer* transfer = libusb_alloc_transfer(0);
        if (!transfer) {
            libusb_release_interface(handle, number);
            if (detached) libusb_attach_kernel_driver(handle, number);
            return kErrorNoMemory;
        }
        interface = std::make_unique<LibusbInterface>(mHandle, number, detached,
                                                      std::move(endpoints), transfer);
        return kSuccess;
    }

    void close() override { mHandle.reset(); }

  private:
    std::shared_ptr<Core> mCore;
    libusb_device* const mDevice;
    const uint16_t mVendor;
    const uint16_t mProduct;
    std::shared_ptr<OpenHandle> mHandle;
};

int LIBUSB_CALL onHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                          void* user) {
    auto* core = static_cast<Core*>(user);
    {
        std::lock_guard lock(core->mutex);
        if (!core->watching) return 0;
        core->events.push_back({event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? Event::Kind::Arrived
                                                                             : Event::Kind::Left,
                                libusb_ref_device(device), nullptr, kSuccess, 0});
    }
    core->wakeFromOtherThread();
    return 0;
}

class LibusbContext final : public Context {
  public:
    explicit LibusbContext(std::shared_ptr<Core> core) : mCore(std::move(core)) {}

    ~LibusbContext() override {
        unwatch();
        mPresent.clear();
    }

    Status watch(uint16_t vendorId, uint16_t productId, Listener& listener) override {
        {
            std::lock_guard lock(mCore->mutex);
            if (mListener) return kErrorBusy;
            mListener = &listener;
            mVendor = vendorId;
            mProduct = productId;
            mCore->watching = true;
        }
        // With ENUMERATE the devices present now are reported from inside this call.
        libusb_hotplug_callback_handle handle{};
        const int r = libusb_hotplug_register_callback(
            mCore->ctx,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE, vendorId, productId, LIBUSB_HOTPLUG_MATCH_ANY, onHotplug,
            mCore.get(), &handle);
        std::lock_guard lock(mCore->mutex);
        if (r != LIBUSB_SUCCESS) {
            mCore->watching = false;
            return statusFromLibusbError(r);
        }
        mHotplug = handle;
        mRegistered = true;
        return kSuccess;
    }

    void unwatch() override {
        libusb_hotplug_callback_handle handle{};
        {
            std::lock_guard lock(mCore->mutex);
            mCore->watching = false;
            std::erase_if(mCore->events, [](const Event& e) {
                if (!e.device) return false;
                libusb_unref_device(e.device);
                return true;
            });
            if (!mRegistered) return;
            mRegistered = false;
            handle = mHotplug;
        }
        libusb_hotplug_deregister_callback(mCore->ctx, handle);
    }

    void run() override {
        mCore->runThread.store(std::this_thread::get_id());
        bool reported = false;
        while (!mCore->stopRequested.load()) {
            deliver();
            if (mCore->stopRequested.load()) break;
            timeval wait = kEventWait;
            const int r = libusb_handle_events_timeout_completed(mCore->ctx, &wait, nullptr);
            if (r != LIBUSB_SUCCESS && r != LIBUSB_ERROR_INTERRUPTED && !reported) {
                reported = true;
                fnd::log(fnd::LogLevel::Warning,
                         std::string("USB event handling failed: ") + libusb_error_name(r));
            }
        }
        mCore->stopping.store(true);
        endReads();
        unwatch();
        mPresent.clear();
    }

    void stop() override {
        mCore->stopRequested.store(true);
        libusb_interrupt_event_handler(mCore->ctx);
    }

  private:
    // Delivers queued events one at a time: a handler may close an interface whose
    // completion is queued behind, and close() takes that completion off the queue.
    void deliver(bool completionsOnly = false) {
        for (;;) {
            Event event;
            ReadCompletion completion = nullptr;
            void* refCon = nullptr;
            {
                std::lock_guard lock(mCore->mutex);
                if (mCore->events.empty()) return;
                event = mCore->events.front();
                mCore->events.pop_front();
                if (event.kind == Event::Kind::ReadDone &&
                    !event.interface->takeCompletion(completion, refCon, event.count))
                    continue;
            }
            switch (event.kind) {
            case Event::Kind::Arrived:
                if (!completionsOnly) arrived(event.device);
                libusb_unref_device(event.device);
                break;
            case Event::Kind::Left:
                if (!completionsOnly) left(event.device);
                libusb_unref_device(event.device);
                break;
            case Event::Kind::ReadDone:
                completion(refCon, event.status, event.count);
                break;
            case Event::Kind::Reclaim:
                delete event.slot; // outside libusb's callback, which must not free it
                break;
            }
        }
    }

    void arrived(libusb_device* device) {
        if (mPresent.contains(device)) return; // reported by both the enumeration and an event
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return;
        if (descriptor.idVendor != mVendor || descriptor.idProduct != mProduct) return;
        auto handle = std::make_shared<LibusbDevice>(mCore, device, descriptor.idVendor,
                                                     descriptor.idProduct);
        mPresent[device] = handle;
        mListener->deviceArrived(handle);
    }

    void left(libusb_device* device) {
        auto it = mPresent.find(device);
        if (it == mPresent.end()) return;
        std::shared_ptr<Device> handle = std::move(it->second);
        mPresent.erase(it);
        // The pending read of a vanished device ends now rather than whenever libusb
        // notices; it comes back with an error status like any failed read.
        cancelReads([device](LibusbInterface& itf) { return itf.deviceLocked() == device; });
        mListener->deviceRemoved(handle);
    }

    template <typename Pred> bool cancelReads(Pred which) {
        std::vector<libusb_transfer*> transfers;
        {
            std::lock_guard lock(mCore->mutex);
            for (LibusbInterface* itf : mCore->interfaces)
                if (itf->inFlightLocked() && which(*itf)) transfers.push_back(itf->transfer());
        }
        for (libusb_transfer* t : transfers)
            libusb_cancel_transfer(t);
        return !transfers.empty();
    }

    // Ends every read still in flight and delivers its completion, so each owner sees its
    // loop end and closes its interface before the context goes away.
    void endReads() {
        for (int round = 0; round < kCancelRounds; ++round) {
            deliver(true);
            if (!cancelReads([](LibusbInterface&) { return true; })) break;
            mCore->handleEventsFor(kCancelWait);
        }
        deliver(true);
    }

    std::shared_ptr<Core> mCore;
    Listener* mListener = nullptr;
    uint16_t mVendor = 0;
    uint16_t mProduct = 0;
    libusb_hotplug_callback_handle mHotplug{}; // under Core::mutex, with mRegistered
    bool mRegistered = false;
    std::map<libusb_device*, std::shared_ptr<Device>> mPresent; // run() thread only
};

} // namespace

std::shared_ptr<Context> createLibusbContext(Status* status) {
    auto report = [status](Status s) {
        if (status) *status = s;
        return nullptr;
    };
    auto core = std::make_shared<Core>();
    if (int r = libusb_init(&core->ctx); r != LIBUSB_SUCCESS) {
        core->ctx = nullptr;
        return report(statusFromLibusbError(r));
    }
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) return report(kErrorNotSupported);
    if (status) *status = kSuccess;
    return std::make_shared<LibusbContext>(std::move(core));
}

} // namespace usb
