#include "device/frame.h"

namespace device {

namespace {

constexpr uint8_t Magic[3] = {'z', 'e', 'l'};

std::string decimal(uint32_t value) {
    return std::to_string(value);
}

} // namespace

uint8_t FrameChecksum(const uint8_t* bytes71) {
    uint8_t sum = 0;
    for (int i = 0; i < OffChecksum; ++i) sum = static_cast<uint8_t>(sum + bytes71[i]);
    return sum;
}

PassResult ReadFramePass(ByteSource& source, FrameBuffer& frame, DeviceRecord& record) {
    if (!source.isOpen() || source.bytesWaiting() <= 0) return PassResult::Idle;

    // The magic is compared as it arrives and never stored. A byte that breaks
    // it is dropped with the ones before it; the hunt goes on with the next
    // byte at the next pass, so that byte is not retried as a first letter.
    uint8_t sum = 0;
    for (int i = 0; i < 3; ++i) {
        uint8_t byte = 0;
        if (!source.readByte(byte)) return PassResult::Interrupted;
        if (byte != Magic[i]) return PassResult::Dropped;
        sum = static_cast<uint8_t>(sum + byte);
    }

    // No time-out inside a frame: the reads wait for as long as the source
    // lets them. A given-up read loses the frame; what was stored stays.
    for (int i = OffRecordNumber; i < OffChecksum; ++i) {
        uint8_t byte = 0;
        if (!source.readByte(byte)) return PassResult::Interrupted;
        frame.bytes[i] = byte;
        sum = static_cast<uint8_t>(sum + byte);
    }
    uint8_t check = 0;
    if (!source.readByte(check)) return PassResult::Interrupted;
    if (check != sum) return PassResult::BadChecksum;

    const uint8_t* b = frame.bytes;
    record.recordNumber.store(b[OffRecordNumber] * 256 + b[OffRecordNumber + 1]);
    record.recordCount.store(b[OffRecordCount] * 256 + b[OffRecordCount + 1]);
    DecodeRecord(frame, record);
    return PassResult::Good;
}

void DecodeRecord(const FrameBuffer& frame, DeviceRecord& record) {
    const uint8_t* b = frame.bytes;

    // From the frame rather than the record's number: the import may be
    // writing that from the window thread.
    record.position = decimal(b[OffRecordNumber] * 256u + b[OffRecordNumber + 1]);

    std::string op;
    for (int i = OffOperator; i < OffOperator + 8 && b[i] != 0; ++i) op += static_cast<char>(b[i]);
    // Eight underscores is how the device sends "no operator".
    if (op == "________") op = "        ";
    record.operatorText = op;

    record.date = decimal(2000u + b[OffYear]) + "/" + decimal(b[OffMonth]) + "/" + decimal(b[OffDay]);
    record.time = decimal(b[OffHour]) + ":" + decimal(b[OffMinute]);

    const uint32_t quantity = (uint32_t(b[OffQuantity]) << 24) | (uint32_t(b[OffQuantity + 1]) << 16) |
                              (uint32_t(b[OffQuantity + 2]) << 8) | uint32_t(b[OffQuantity + 3]);
    record.quantity = decimal(quantity);

    // A length beyond the field is taken as "the whole field": the device's
    // bytes are kept and nothing past byte 70 is ever read.
    int length = b[OffBarcodeLength];
    if (length > BarcodeMax) length = BarcodeMax;
    std::string barcode;
    for (int i = OffBarcode; i < OffBarcode + length; ++i)
        if (b[i] != 0) barcode += static_cast<char>(b[i]);
    record.barcode = barcode;
}

} // namespace device
