#include "device/frame.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using device::PassResult;
using Bytes = std::vector<uint8_t>;

// A byte stream as the port would deliver it. A read at one of the positions
// in giveUpAt fails once, as a stop or pause request would make it; a read past
// the end fails too (the real port would wait until the listener is stopped).
struct ScriptedSource : device::ByteSource {
    Bytes bytes;
    size_t pos = 0;
    std::set<size_t> giveUpAt;
    bool open = true;

    bool isOpen() override { return open; }
    int bytesWaiting() override { return static_cast<int>(bytes.size() - pos); }
    bool readByte(uint8_t& byte) override {
        if (giveUpAt.erase(pos) || pos >= bytes.size()) return false;
        byte = bytes[pos++];
        return true;
    }
};

struct FrameFields {
    int number = 7;
    int count = 12;
    Bytes op = {'A', 'N', 'N', 'A', 0, 0, 0, 0};
    Bytes when = {16, 10, 21, 14, 30};
    Bytes quantity = {0, 0, 0x04, 0xD2};
    int length = -1; // -1: the barcode's size
    Bytes barcode = {'1', '2', '3'};
};

Bytes makeFrame(const FrameFields& f) {
    Bytes b(device::FrameSize, 0);
    b[0] = 'z', b[1] = 'e', b[2] = 'l';
    b[3] = uint8_t(f.number >> 8), b[4] = uint8_t(f.number);
    b[5] = uint8_t(f.count >> 8), b[6] = uint8_t(f.count);
    for (size_t i = 0; i < 8; ++i) b[8 + i] = f.op[i];
    for (size_t i = 0; i < 5; ++i) b[16 + i] = f.when[i];
    for (size_t i = 0; i < 4; ++i) b[21 + i] = f.quantity[i];
    b[25] = uint8_t(f.length < 0 ? f.barcode.size() : f.length);
    for (size_t i = 0; i < f.barcode.size() && 26 + i < 71; ++i) b[26 + i] = f.barcode[i];
    b[71] = device::FrameChecksum(b.data());
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Passes {
    std::vector<PassResult> results;
    std::vector<std::string> goodPositions; // position text of each good frame
};

// Passes until the stream is used up or a pass stalls (interrupted).
Passes runPasses(ScriptedSource& src, device::DeviceRecord& record) {
    device::FrameBuffer frame;
    Passes run;
    for (int guard = 0; guard < 10000; ++guard) {
        PassResult r = device::ReadFramePass(src, frame, record);
        if (r == PassResult::Idle) break;
        run.results.push_back(r);
        if (r == PassResult::Good) run.goodPositions.push_back(record.position);
    }
    return run;
}

Passes runPasses(ScriptedSource& src) {
    device::DeviceRecord record;
    return runPasses(src, record);
}

TEST(FramePass, GoodFrameFillsTheRecord) {
    ScriptedSource src;
    FrameFields f;
    f.number = 0x0102;
    f.count = 0xFFFF;
    src.bytes = makeFrame(f);
    device::FrameBuffer frame;
    device::DeviceRecord record;
    ASSERT_EQ(device::ReadFramePass(src, frame, record), PassResult::Good);
    EXPECT_EQ(src.pos, 72u);
    EXPECT_EQ(record.recordNumber.load(), 258);
    EXPECT_EQ(record.recordCount.load(), 65535);
    EXPECT_EQ(record.position, "258");
    EXPECT_EQ(record.operatorText, "ANNA");
    EXPECT_EQ(record.date, "2016/10/21");
    EXPECT_EQ(record.time, "14:30");
    EXPECT_EQ(record.quantity, "1234");
    EXPECT_EQ(record.barcode, "123");
}

TEST(FramePass, IdleWithoutPortOrBytes) {
    ScriptedSource src;
    src.bytes = makeFrame({});
    src.open = false;
    EXPECT_TRUE(runPasses(src).results.empty());
    EXPECT_EQ(src.pos, 0u);
    ScriptedSource empty;
    EXPECT_TRUE(runPasses(empty).results.empty());
}

// A checksum is the low 8 bits: a body summing to a multiple of 256 is good
// only with checksum byte 0.
TEST(FramePass, ChecksumIsTheLow8BitsOfTheSum) {
    Bytes frame = makeFrame({});
    // Byte 7 is not decoded: use it to bring the sum of bytes 0..70 to 0 mod 256.
    frame[7] = uint8_t(frame[7] - frame[71]);
    ASSERT_EQ(device::FrameChecksum(frame.data()), 0);
    for (int check : {0, 1, 0xFF}) {
        ScriptedSource src;
        src.bytes = frame;
        src.bytes[71] = uint8_t(check);
        Passes run = runPasses(src);
        ASSERT_EQ(run.results.size(), 1u) << check;
        EXPECT_EQ(run.results[0], check == 0 ? PassResult::Good : PassResult::BadChecksum) << check;
    }
}

TEST(FramePass, BadFrameConsumesExactly72BytesAndKeepsTheRecord) {
    FrameFields first, second;
    first.number = 1;
    second.number = 2;
    Bytes bad = makeFrame(first);
    bad[71] ^= 0x01;
    ScriptedSource src;
    src.bytes = concat({makeFrame({}), bad, makeFrame(second)});
    device::DeviceRecord record;
    device::FrameBuffer frame;
    ASSERT_EQ(device::ReadFramePass(src, frame, record), PassResult::Good);
    ASSERT_EQ(device::ReadFramePass(src, frame, record), PassResult::BadChecksum);
    EXPECT_EQ(src.pos, 144u);
    EXPECT_EQ(record.position, "7");
    EXPECT_EQ(record.recordNumber.load(), 7);
    EXPECT_EQ(frame.bytes[4], 1); // the buffer does hold the dropped frame
    ASSERT_EQ(device::ReadFramePass(src, frame, record), PassResult::Good);
    EXPECT_EQ(record.position, "2");
}

// Streams in front of two good frames (numbers 9 and 10).
TEST(FramePass, HuntingTheMagic) {
    FrameFields nine, ten;
    nine.number = 9, ten.number = 10;
    struct Case {
        const char* name;
        Bytes before;
        size_t firstPassBytes;
        std::vector<std::string> good;
    };
    const Case cases[] = {
        {"nothing", {}, 72, {"9", "10"}},
        {"noise one byte per pass", {0x00, 'x', 'e', 'l'}, 1, {"9", "10"}},
        {"broken second letter drops two", {'z', 'x'}, 2, {"9", "10"}},
        {"broken third letter drops three", {'z', 'e', 'z', 'e'}, 3, {"9", "10"}},
        // The second 'z' broke the magic and is not tried again as a first
        // letter, so the frame behind the doubled letter is lost.
        {"double first letter", {'z'}, 2, {"10"}},
    };
    for (const Case& c : cases) {
        ScriptedSource src;
        src.bytes = concat({c.before, makeFrame(nine), makeFrame(ten)});
        device::DeviceRecord record;
        device::FrameBuffer frame;
        device::ReadFramePass(src, frame, record);
        EXPECT_EQ(src.pos, c.firstPassBytes) << c.name;
        src.pos = 0;
        Passes run = runPasses(src, record);
        EXPECT_EQ(run.goodPositions, c.good) << c.name;
        for (PassResult r : run.results)
            EXPECT_TRUE(r == PassResult::Dropped || r == PassResult::Good) << c.name;
    }
}

TEST(FramePass, PartialFrameIsCompletedByTheNextOne) {
    FrameFields a, b, c;
    a.number = 1, b.number = 2, c.number = 3;
    Bytes partial = makeFrame(a);
    partial.resize(30);
    ScriptedSource src;
    src.bytes = concat({partial, makeFrame(b), makeFrame(c)});
    Passes run = runPasses(src);
    ASSERT_FALSE(run.results.empty());
    // The first pass takes 30 bytes of A and 42 of B; B's tail is then noise.
    EXPECT_EQ(run.results.front(), PassResult::BadChecksum);
    EXPECT_EQ(run.goodPositions, std::vector<std::string>{"3"});
}

TEST(FramePass, GivenUpReadLosesTheFrame) {
    FrameFields a, b;
    a.number = 1, b.number = 2;
    for (size_t at : {1u, 2u, 3u, 40u, 71u}) {
        ScriptedSource src;
        src.bytes = concat({makeFrame(a), makeFrame(b)});
        src.giveUpAt = {at};
        device::DeviceRecord record;
        Passes run = runPasses(src, record);
        ASSERT_FALSE(run.results.empty()) << at;
        EXPECT_EQ(run.results[0], PassResult::Interrupted) << at;
        EXPECT_EQ(src.pos >= 72u, true) << at;
        EXPECT_EQ(run.goodPositions, std::vector<std::string>{"2"}) << at;
        EXPECT_EQ(record.recordNumber.load(), 2) << at;
    }
}

TEST(FramePass, StreamEndingInsideAFrameIsInterrupted) {
    Bytes frame = makeFrame({});
    frame.resize(50);
    ScriptedSource src;
    src.bytes = frame;
    device::DeviceRecord record;
    Passes run = runPasses(src, record);
    EXPECT_EQ(run.results, std::vector<PassResult>{PassResult::Interrupted});
    EXPECT_EQ(record.position, "");
}

struct DecodeCase {
    const char* name;
    FrameFields fields;
    const char* op;
    const char* date;
    const char* time;
    const char* quantity;
    std::string barcode;
};

template <class Edit> FrameFields with(Edit edit) {
    FrameFields f;
    edit(f);
    return f;
}

TEST(DecodeRecord, Texts) {
    Bytes full45(45);
    for (int i = 0; i < 45; ++i) full45[i] = uint8_t('A' + i % 26);
    const std::string full45Text(full45.begin(), full45.end());
    const DecodeCase cases[] = {
        {"underscores are no operator", with([](FrameFields& f) { f.op = Bytes(8, '_'); }), "        ",
         "2016/10/21", "14:30", "1234", "123"},
        {"seven underscores stay",
         with([](FrameFields& f) { f.op = {'_', '_', '_', '_', '_', '_', '_', 0}; }), "_______", "2016/10/21",
         "14:30", "1234", "123"},
        {"zero ends operator", with([](FrameFields& f) { f.op = {'A', 'B', 0, 'C', 'D', 'E', 'F', 'G'}; }),
         "AB", "2016/10/21", "14:30", "1234", "123"},
        {"full operator", with([](FrameFields& f) { f.op = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 0xE9}; }),
         "ABCDEFG\xE9", "2016/10/21", "14:30", "1234", "123"},
        {"no leading zeros", with([](FrameFields& f) {
             f.when = {16, 1, 5, 8, 5};
         }),
         "ANNA", "2016/1/5", "8:5", "1234", "123"},
        {"year 0, no range checks", with([](FrameFields& f) {
             f.when = {0, 12, 31, 0, 0};
         }),
         "ANNA", "2000/12/31", "0:0", "1234", "123"},
        {"bytes at 255", with([](FrameFields& f) {
             f.when = {255, 255, 255, 255, 255};
         }),
         "ANNA", "2255/255/255", "255:255", "1234", "123"},
        {"quantity unsigned", with([](FrameFields& f) {
             f.quantity = {0xFF, 0xFF, 0xFF, 0xFF};
         }),
         "ANNA", "2016/10/21", "14:30", "4294967295", "123"},
        {"quantity big-endian", with([](FrameFields& f) {
             f.quantity = {0x80, 0, 0, 1};
         }),
         "ANNA", "2016/10/21", "14:30", "2147483649", "123"},
        {"quantity zero", with([](FrameFields& f) {
             f.quantity = {0, 0, 0, 0};
         }),
         "ANNA", "2016/10/21", "14:30", "0", "123"},
        {"empty barcode", with([](FrameFields& f) { f.length = 0; }), "ANNA", "2016/10/21", "14:30", "1234",
         ""},
        {"length counts, not the bytes", with([](FrameFields& f) { f.length = 2; }), "ANNA", "2016/10/21",
         "14:30", "1234", "12"},
        {"zero bytes skipped", with([](FrameFields& f) { f.barcode = {'A', 0, 'B', 0, 0, 'C'}; }), "ANNA",
         "2016/10/21", "14:30", "1234", "ABC"},
        {"length 45", with([&](FrameFields& f) { f.barcode = full45; }), "ANNA", "2016/10/21", "14:30",
         "1234", full45Text},
        // Beyond the field: bytes 26..70 and no further (byte 71 is the checksum).
        {"length above 45", with([&](FrameFields& f) { f.barcode = full45, f.length = 46; }), "ANNA",
         "2016/10/21", "14:30", "1234", full45Text},
        {"length 255", with([&](FrameFields& f) { f.barcode = full45, f.length = 255; }), "ANNA",
         "2016/10/21", "14:30", "1234", full45Text},
    };
    for (const DecodeCase& c : cases) {
        Bytes bytes = makeFrame(c.fields);
        device::FrameBuffer frame;
        for (int i = 0; i < device::FrameSize; ++i) frame.bytes[i] = bytes[i];
        device::DeviceRecord record;
        record.barcode = "stale";
        device::DecodeRecord(frame, record);
        EXPECT_EQ(record.position, "7") << c.name;
        EXPECT_EQ(record.operatorText, c.op) << c.name;
        EXPECT_EQ(record.date, c.date) << c.name;
        EXPECT_EQ(record.time, c.time) << c.name;
        EXPECT_EQ(record.quantity, c.quantity) << c.name;
        EXPECT_EQ(record.barcode, c.barcode) << c.name;
    }
}

} // namespace
