// Any byte stream through the reader, and any 72 bytes through the decoder.
#include "device/frame.h"

#include <cstddef>
#include <cstdint>

namespace {

struct BufferSource : device::ByteSource {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    size_t giveUpAt;
    BufferSource(const uint8_t* d, size_t n, size_t stop) : data(d), size(n), giveUpAt(stop) {}
    bool isOpen() override { return true; }
    int bytesWaiting() override { return static_cast<int>(size - pos); }
    bool readByte(uint8_t& byte) override {
        if (pos == giveUpAt || pos >= size) {
            giveUpAt = size_t(-1);
            return false;
        }
        byte = data[pos++];
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks where one read is given up (255: never).
    const size_t giveUpAt = data[0] == 255 ? size_t(-1) : size_t(data[0]) * 2;
    BufferSource src(data + 1, size - 1, giveUpAt);
    device::FrameBuffer frame;
    device::DeviceRecord record;
    for (size_t passes = 0; passes <= size; ++passes)
        if (device::ReadFramePass(src, frame, record) == device::PassResult::Idle) break;

    device::FrameBuffer raw;
    for (size_t i = 0; i < size && i < size_t(device::FrameSize); ++i) raw.bytes[i] = data[i];
    device::DecodeRecord(raw, record);
    return 0;
}
