// Input reports from arbitrary bytes through the controller's read completion, as the USB
// context delivers them. Each report is a length byte followed by that many bytes (up to
// 255: short, full and oversized reports alike); the interface is a stand-in that accepts
// every re-arm and LED write.
#include "controller/Klov.h"
#include "controller/KlovPrivate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

class AcceptingInterface final : public usb::Interface {
  public:
    usb::Status numEndpoints(uint8_t& count) override {
        count = 2;
        return usb::kSuccess;
    }
    usb::Status pipeProperties(uint8_t, usb::PipeProperties&) override { return usb::kSuccess; }
    usb::Status readPipeAsync(uint8_t, std::span<uint8_t>, usb::ReadCompletion, void*) override {
        return usb::kSuccess;
    }
    usb::Status writePipe(uint8_t, std::span<const uint8_t>, std::chrono::milliseconds) override {
        return usb::kSuccess;
    }
    void close() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    klov::ResetDecoderState();
    gActive.store(true);
    klov::Connection connection;
    connection.interface = std::make_unique<AcceptingInterface>();
    connection.inPipe = 1;
    connection.outPipe = 2;
    while (size > 0 && connection.interface) {
        const std::size_t length = std::min<std::size_t>(data[0], size - 1);
        const std::size_t copied = std::min(length, connection.report.size());
        std::memcpy(connection.report.data(), data + 1, copied);
        klov::ReadCompletion(&connection, usb::kSuccess, static_cast<uint32_t>(length));
        data += 1 + length;
        size -= 1 + length;
    }
    gActive.store(false);
    return 0;
}
