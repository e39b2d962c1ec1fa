// The device's 72-byte frame, the reception pass that finds frames in the byte
// stream, and the decoder that turns a good frame into the current record.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace device {

constexpr int FrameSize = 72;
constexpr int BarcodeMax = 45;

// Offsets of the frame's fields.
enum FrameOffset {
    OffMagic = 0,        // "zel"
    OffRecordNumber = 3, // 16-bit big-endian
    OffRecordCount = 5,  // 16-bit big-endian
    OffOperator = 8,     // 8 bytes
    OffYear = 16,        // year - 2000
    OffMonth = 17,
    OffDay = 18,
    OffHour = 19,
    OffMinute = 20,
    OffQuantity = 21, // 32-bit big-endian
    OffBarcodeLength = 25,
    OffBarcode = 26,  // up to 45 bytes
    OffChecksum = 71, // low 8 bits of the sum of bytes 0..70
};

struct FrameBuffer {
    uint8_t bytes[FrameSize] = {};
};

// The one current record. The numbers are atomics because the import writes
// them on the window thread while the listener may store a frame's values;
// the texts are written and read only on the listener thread (the record
// list rows, the keystrokes and the label are all made there).
struct DeviceRecord {
    std::atomic<int> recordNumber{0};
    std::atomic<int> recordCount{0};
    std::string position;
    std::string operatorText;
    std::string date;
    std::string time;
    std::string quantity;
    std::string barcode;
};

// Where the reader takes its bytes from: the open serial port in the program,
// a scripted stream in tests.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual bool isOpen() = 0;
    virtual int bytesWaiting() = 0;
    // Waits as long as it takes for one byte. False when the wait was given up
    // (the listener is asked to stop or pause, or the port failed): the frame
    // being read is then dropped.
    virtual bool readByte(uint8_t& byte) = 0;
};

enum class PassResult {
    Idle,        // no port, or nothing waiting
    Dropped,     // a byte (or two, or three) that broke the magic
    BadChecksum, // a whole frame whose checksum did not match
    Interrupted, // a read was given up inside a frame; the frame is lost
    Good,        // a good frame: the record holds its values
};

// One pass of the reception loop. On Good it has stored the record number and
// count and decoded the rest into `record`; the caller then runs its action.
PassResult ReadFramePass(ByteSource& source, FrameBuffer& frame, DeviceRecord& record);

// Fills the record's texts from a frame buffer (numbers are stored by the pass).
// Bytes are taken as 8-bit ANSI characters. A barcode length above BarcodeMax
// takes the whole barcode field (bytes 26..70); nothing past byte 70 is read.
void DecodeRecord(const FrameBuffer& frame, DeviceRecord& record);

// Checksum of bytes 0..70 of a complete frame image.
uint8_t FrameChecksum(const uint8_t* bytes71);

} // namespace device
