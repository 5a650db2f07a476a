// SPDX-License-Identifier: GPL-3.0-or-later
// The libusb entry points the USB layer calls, over one controller (14c7:0001, one interface
// with an interrupt IN and OUT pipe, which a kernel driver may hold). Only the event loop's long
// waits block, until the test acts; a cancel's short waits return at once, so a test never sleeps.
#include "FakeLibusb.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

struct libusb_context {};
struct libusb_device {};
struct libusb_device_handle {};

namespace fake_libusb {
namespace {

libusb_context gContext;
libusb_device gDevice;
libusb_device_handle gHandle;

// Descriptors name only the fields the USB layer reads.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
libusb_endpoint_descriptor gEndpoints[] = {
    {.bEndpointAddress = 0x81, .bmAttributes = LIBUSB_TRANSFER_TYPE_INTERRUPT, .wMaxPacketSize = 8},
    {.bEndpointAddress = 0x02,
     .bmAttributes = LIBUSB_TRANSFER_TYPE_INTERRUPT,
     .wMaxPacketSize = 8}};
libusb_interface_descriptor gAltSetting = {.bNumEndpoints = 2, .endpoint = gEndpoints};
libusb_interface gInterface = {&gAltSetting, 1};
libusb_config_descriptor gConfig = {
    .bNumInterfaces = 1, .bConfigurationValue = 1, .interface = &gInterface};

std::mutex gMutex;
std::condition_variable gChanged;
Counts gCounts;
Setup gSetup;
bool gKernelDriver = false;
bool gClaimed = false;
bool gInterrupted = false;
libusb_transfer* gSubmitted = nullptr;
struct Ending {
    libusb_transfer* transfer;
    libusb_transfer_status status;
    std::vector<uint8_t> bytes;
};
std::vector<Ending> gEndings; // delivered by the next event handling

// Counts one more of what `field` counts, under the lock, and wakes the waiters.
void count(int Counts::*field) {
    std::lock_guard lock(gMutex);
    ++(gCounts.*field);
    gChanged.notify_all();
}

} // namespace

void reset(const Setup& setup) {
    std::lock_guard lock(gMutex);
    gCounts = {};
    gSetup = setup;
    gKernelDriver = setup.kernelDriver;
    gClaimed = false;
    gInterrupted = false;
    gSubmitted = nullptr;
    gEndings.clear();
}

void completeSubmitted(std::span<const uint8_t> bytes, libusb_transfer_status status) {
    std::lock_guard lock(gMutex);
    gEndings.push_back({gSubmitted, status, {bytes.begin(), bytes.end()}});
    gSubmitted = nullptr;
    gChanged.notify_all();
}

bool kernelDriverAttached() {
    std::lock_guard lock(gMutex);
    return gKernelDriver;
}

Counts counts() {
    std::lock_guard lock(gMutex);
    return gCounts;
}

bool waitFor(const std::function<bool(const Counts&)>& done) {
    std::unique_lock lock(gMutex);
    return gChanged.wait_for(lock, std::chrono::seconds(10), [&] { return done(gCounts); });
}

} // namespace fake_libusb

using namespace fake_libusb;

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx) {
    *ctx = &gContext;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context*) {
    count(&Counts::exits);
}

int LIBUSB_CALL libusb_has_capability(uint32_t) {
    return 1;
}

const char* LIBUSB_CALL libusb_error_name(int) {
    return "fake error";
}

int LIBUSB_CALL libusb_hotplug_register_callback(libusb_context* ctx, int, int flags, int, int, int,
                                                 libusb_hotplug_callback_fn callback, void* user,
                                                 libusb_hotplug_callback_handle* handle) {
    *handle = 1;
    if (flags & LIBUSB_HOTPLUG_ENUMERATE)
        callback(ctx, &gDevice, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, user);
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_hotplug_deregister_callback(libusb_context*,
                                                    libusb_hotplug_callback_handle) {}

void LIBUSB_CALL libusb_interrupt_event_handler(libusb_context*) {
    std::lock_guard lock(gMutex);
    gInterrupted = true;
    gChanged.notify_all();
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context*, timeval* tv, int*) {
    std::vector<Ending> endings;
    {
        std::unique_lock lock(gMutex);
        if (tv->tv_sec >= 1)
            gChanged.wait_for(lock, std::chrono::seconds(tv->tv_sec),
                              [] { return gInterrupted || !gEndings.empty(); });
        gInterrupted = false;
        endings.swap(gEndings);
    }
    for (Ending& e : endings) {
        const std::size_t n = std::min<std::size_t>(e.bytes.size(), e.transfer->length);
        if (n) std::memcpy(e.transfer->buffer, e.bytes.data(), n);
        e.transfer->actual_length = static_cast<int>(n);
        e.transfer->status = e.status;
        e.transfer->callback(e.transfer);
    }
    return LIBUSB_SUCCESS;
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* device) {
    return device;
}

void LIBUSB_CALL libusb_unref_device(libusb_device*) {}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* d) {
    *d = {.idVendor = 0x14C7, .idProduct = 0x0001, .bNumConfigurations = 1};
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device*, uint8_t,
                                             libusb_config_descriptor** config) {
    *config = &gConfig;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_active_config_descriptor(libusb_device*,
                                                    libusb_config_descriptor** config) {
    *config = &gConfig;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(libusb_config_descriptor*) {}

int LIBUSB_CALL libusb_open(libusb_device*, libusb_device_handle** handle) {
    count(&Counts::opens);
    *handle = &gHandle;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle*) {
    count(&Counts::closes);
}

libusb_device* LIBUSB_CALL libusb_get_device(libusb_device_handle*) {
    return &gDevice;
}

int LIBUSB_CALL libusb_get_configuration(libusb_device_handle*, int* config) {
    *config = 1;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_set_configuration(libusb_device_handle*, int) {
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle*, int) {
    std::lock_guard lock(gMutex);
    return gKernelDriver ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle*, int) {
    std::lock_guard lock(gMutex);
    if (!gKernelDriver) return LIBUSB_ERROR_NOT_FOUND;
    if (gSetup.detachResult == LIBUSB_SUCCESS) gKernelDriver = false;
    return gSetup.detachResult;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle*, int) {
    std::lock_guard lock(gMutex);
    if (gClaimed) return LIBUSB_ERROR_BUSY;
    if (gKernelDriver) return LIBUSB_ERROR_NOT_FOUND;
    gKernelDriver = true;
    ++gCounts.attaches;
    gChanged.notify_all();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle*, int) {
    std::lock_guard lock(gMutex);
    if (gKernelDriver) return LIBUSB_ERROR_BUSY;
    gClaimed = gSetup.claimResult == LIBUSB_SUCCESS;
    return gSetup.claimResult;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle*, int) {
    std::lock_guard lock(gMutex);
    gClaimed = false;
    ++gCounts.interfacesReleased;
    gChanged.notify_all();
    return LIBUSB_SUCCESS;
}

libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int) {
    count(&Counts::transfersAllocated);
    return static_cast<libusb_transfer*>(std::calloc(1, sizeof(libusb_transfer)));
}

void LIBUSB_CALL libusb_free_transfer(libusb_transfer* transfer) {
    std::free(transfer);
    count(&Counts::transfersFreed);
}

int LIBUSB_CALL libusb_submit_transfer(libusb_transfer* transfer) {
    std::lock_guard lock(gMutex);
    if (gSubmitted) return LIBUSB_ERROR_BUSY;
    gSubmitted = transfer;
    ++gCounts.submitted;
    gChanged.notify_all();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer* transfer) {
    std::lock_guard lock(gMutex);
    if (gSetup.refuseCancels || gSubmitted != transfer) return LIBUSB_ERROR_NOT_FOUND;
    gEndings.push_back({transfer, LIBUSB_TRANSFER_CANCELLED, {}});
    gSubmitted = nullptr;
    gChanged.notify_all();
    return LIBUSB_SUCCESS;
}

// Writes (the LEDs) are not part of what the tests watch: every byte goes out at once.
int LIBUSB_CALL libusb_interrupt_transfer(libusb_device_handle*, unsigned char, unsigned char*,
                                          int length, int* transferred, unsigned int) {
    *transferred = length;
    return LIBUSB_SUCCESS;
}
int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle*, unsigned char, unsigned char*,
                                     int length, int* transferred, unsigned int) {
    *transferred = length;
    return LIBUSB_SUCCESS;
}

} // extern "C"
