#include "device/link.h"

#include "tests/doubles/gui/gui_fake.h"
#include "tests/doubles/serial/serial_fake.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct FrameSpec {
    int recordNumber = 1;
    int recordCount = 1;
    std::string op = "ANNA";
    int year = 16, month = 10, day = 21, hour = 14, minute = 30;
    uint32_t quantity = 1234;
    std::string barcode = "ABC123";
};

Bytes frame(const FrameSpec& f, bool goodChecksum = true) {
    Bytes b(device::FrameSize, 0);
    b[0] = 'z', b[1] = 'e', b[2] = 'l';
    b[3] = uint8_t(f.recordNumber >> 8), b[4] = uint8_t(f.recordNumber);
    b[5] = uint8_t(f.recordCount >> 8), b[6] = uint8_t(f.recordCount);
    for (size_t i = 0; i < f.op.size() && i < 8; ++i) b[8 + i] = uint8_t(f.op[i]);
    b[16] = uint8_t(f.year), b[17] = uint8_t(f.month), b[18] = uint8_t(f.day);
    b[19] = uint8_t(f.hour), b[20] = uint8_t(f.minute);
    for (int i = 0; i < 4; ++i) b[21 + i] = uint8_t(f.quantity >> (24 - 8 * i));
    b[25] = uint8_t(f.barcode.size());
    for (size_t i = 0; i < f.barcode.size(); ++i) b[26 + i] = uint8_t(f.barcode[i]);
    uint8_t sum = 0;
    for (int i = 0; i < 71; ++i) sum = uint8_t(sum + b[i]);
    b[71] = goodChecksum ? sum : uint8_t(sum + 1);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Waits for a condition another thread brings about; the limit only keeps a
// broken build from hanging.
bool eventually(const std::function<bool()>& done) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int rows() {
    return gui::reportRowCount(gui::MainWindow, 8);
}

std::vector<std::string> row(int r) {
    std::vector<std::string> cells;
    for (int c = 0; c < 6; ++c) cells.push_back(gui::reportCell(gui::MainWindow, 8, r, c));
    return cells;
}

class Link : public ::testing::Test {
  protected:
    void SetUp() override {
        device::StopAllListeners();
        device::ClosePort();
        serialfake::reset();
        guifake::reset();
        gui::openWindow({gui::MainWindow, "ZEL Manager", 800, 600, gui::Placement::Centred, true, -1});
        gui::createControl(gui::MainWindow, 3, gui::Kind::DropDown, 0, 0, 100, 20, "");
        gui::createControl(gui::MainWindow, 8, gui::Kind::ReportList, 0, 0, 400, 200, "");
        serialfake::addPort("COM1");
        serialfake::addPort("COM3");
        device::SetListenerAction(device::Mode::Label, nullptr);
        device::SetListenerAction(device::Mode::SendKeys, nullptr);
        device::SetListenerAction(device::Mode::DataLogger, nullptr);
        for (auto m : {device::Mode::Label, device::Mode::SendKeys, device::Mode::DataLogger})
            device::SetPassHook(m, nullptr);
        device::RecordReceived() = false;
        device::SetPortNumber(1);
    }
    void TearDown() override {
        device::StopAllListeners();
        device::ClosePort();
    }

    // Feeds part of a frame and waits until the listener has taken it all, so
    // it is blocked inside the frame.
    static void feedHalfFrame(const std::string& port, const Bytes& f, size_t n) {
        serialfake::feed(port, Bytes(f.begin(), f.begin() + long(n)));
        ASSERT_TRUE(eventually([&] { return serialfake::pending(port) == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // let it block in the read
    }
};

TEST_F(Link, DataLoggerRowCarriesTheDecodedTextsAndRaisesTheFlag) {
    device::OpenPort();
    ASSERT_TRUE(device::StartListener(device::Mode::DataLogger));
    FrameSpec f;
    f.recordNumber = 7;
    f.recordCount = 12;
    f.op = "________";
    f.year = 16, f.month = 1, f.day = 5, f.hour = 8, f.minute = 5;
    f.quantity = 0xFFFFFFFFu;
    serialfake::feed("COM1", frame(f));
    ASSERT_TRUE(eventually([] { return device::RecordReceived().load(); }));
    ASSERT_EQ(1, rows());
    EXPECT_EQ((std::vector<std::string>{"7", "        ", "2016/1/5", "8:5", "4294967295", "ABC123"}), row(0));
    EXPECT_EQ(7, device::CurrentRecord().recordNumber.load());
    EXPECT_EQ(12, device::CurrentRecord().recordCount.load());
}

TEST_F(Link, FramesBackToBackEachGiveOneRowAndTheRowIsInBeforeTheFlag) {
    device::OpenPort();
    ASSERT_TRUE(device::StartListener(device::Mode::DataLogger));
    // One at a time, as the import sees them: whoever sees the flag must find
    // the row already in the list.
    for (int k = 1; k <= 20; ++k) {
        FrameSpec f;
        f.recordNumber = k;
        serialfake::feed("COM1", frame(f));
        // Spin rather than sleep, to look at the list the moment the flag rises.
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!device::RecordReceived() && std::chrono::steady_clock::now() < limit) {}
        ASSERT_TRUE(device::RecordReceived());
        EXPECT_EQ(k, rows());
        device::RecordReceived() = false;
    }
    gui::reportClear(gui::MainWindow, 8);
    Bytes burst;
    for (int k = 1; k <= 14; ++k) {
        FrameSpec f;
        f.recordNumber = k;
        f.recordCount = 14;
        Bytes one = frame(f);
        burst.insert(burst.end(), one.begin(), one.end());
    }
    serialfake::feed("COM1", burst);
    ASSERT_TRUE(eventually([] { return rows() >= 14; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(14, rows());
    for (int k = 0; k < 14; ++k) EXPECT_EQ(std::to_string(k + 1), row(k)[0]);
}

TEST_F(Link, BadChecksumFrameIsDroppedAndTheNextFrameArrives) {
    device::OpenPort();
    ASSERT_TRUE(device::StartListener(device::Mode::DataLogger));
    FrameSpec bad, good;
    bad.recordNumber = 1;
    good.recordNumber = 2;
    serialfake::feed("COM1", concat({frame(bad, false), frame(good)}));
    ASSERT_TRUE(eventually([] { return rows() == 1; }));
    EXPECT_EQ("2", row(0)[0]);
    EXPECT_EQ(0u, serialfake::pending("COM1"));
}

// A frame cut short by a stop or a reopen must be dropped, never completed
// with the bytes that come afterwards.
TEST_F(Link, FrameInterruptedMidwayIsDropped) {
    enum class Cut { Stop, ReopenSamePort, SwitchPort };
    for (Cut cut : {Cut::Stop, Cut::ReopenSamePort, Cut::SwitchPort}) {
        SCOPED_TRACE(static_cast<int>(cut));
        SetUp();
        device::OpenPort();
        ASSERT_TRUE(device::StartListener(device::Mode::DataLogger));
        FrameSpec first, next;
        first.recordNumber = 1;
        next.recordNumber = 2;
        Bytes a = frame(first);
        feedHalfFrame("COM1", a, 30);

        std::string nextPort = "COM1";
        if (cut == Cut::Stop) {
            device::StopListener(device::Mode::DataLogger); // returns although the read was blocked
            EXPECT_FALSE(device::ListenerRunning(device::Mode::DataLogger));
            ASSERT_TRUE(device::StartListener(device::Mode::DataLogger));
        } else if (cut == Cut::ReopenSamePort) {
            int opens = device::PortOpenCount();
            device::OpenPort();
            EXPECT_EQ(opens + 1, device::PortOpenCount());
            EXPECT_TRUE(device::ListenerRunning(device::Mode::DataLogger));
        } else {
            device::SetPortNumber(3);
            device::OpenPort();
            EXPECT_FALSE(serialfake::isOpen("COM1"));
            EXPECT_TRUE(serialfake::isOpen("COM3"));
            nextPort = "COM3";
        }
        // The rest of the cut frame followed by a whole one: only the whole
        // one may become a row.
        serialfake::feed(nextPort, concat({Bytes(a.begin() + 30, a.end()), frame(next)}));
        ASSERT_TRUE(eventually([] { return rows() >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_EQ(1, rows());
        EXPECT_EQ("2", row(0)[0]);
        TearDown();
    }
}

// Wine does not refuse a second open of a port that is held, so the held
// port is only testable through the seam.
TEST_F(Link, ProbeListsThePortsThatOpenInOrderAndSelectsNothing) {
    serialfake::addPort("COM2");
    serialfake::setHeld("COM2", true);
    serialfake::addPort("COM12");
    serialfake::addPort("COM256");
    serialfake::addPort("COM257");
    device::OpenPort(); // our own open port must not hide COM1
    gui::listAdd(gui::MainWindow, 3, "stale");
    device::ProbePorts();
    std::vector<std::string> listed;
    for (int i = 0; i < gui::listCount(gui::MainWindow, 3); ++i)
        listed.push_back(gui::listItem(gui::MainWindow, 3, i));
    EXPECT_EQ((std::vector<std::string>{"COM1", "COM3", "COM12", "COM256"}), listed);
    EXPECT_EQ(-1, gui::listSelected(gui::MainWindow, 3));
    EXPECT_EQ(serial::Queues::Driver, serialfake::lastQueues("COM3"));
    for (const char* p : {"COM1", "COM3", "COM12", "COM256"}) EXPECT_FALSE(serialfake::isOpen(p)) << p;
}

TEST_F(Link, FailedOpenLeavesNoPortAndListenersPollQuietly) {
    device::OpenPort();
    ASSERT_TRUE(device::PortIsOpen());
    EXPECT_EQ(serial::Queues::Use, serialfake::lastQueues("COM1"));
    int opens = device::PortOpenCount();
    device::SetPortNumber(2); // does not exist
    device::OpenPort();
    EXPECT_FALSE(device::PortIsOpen());
    EXPECT_FALSE(serialfake::isOpen("COM1"));
    EXPECT_EQ(opens, device::PortOpenCount());
    EXPECT_TRUE(guifake::messageBoxes().empty());
    EXPECT_FALSE(device::WritePortByte(0x72));

    std::atomic<int> passes{0};
    static std::atomic<int>* counter;
    counter = &passes;
    device::SetPassHook(device::Mode::SendKeys, [] { counter->fetch_add(1); });
    ASSERT_TRUE(device::StartListener(device::Mode::SendKeys));
    EXPECT_TRUE(eventually([&] { return passes >= 3; })) << "the pass hook runs after every pass";
    serialfake::feed("COM1", frame(FrameSpec{}));
    device::StopListener(device::Mode::SendKeys);
    EXPECT_EQ(0, rows());
}

TEST_F(Link, RecordRequestIsTheLetterRAndTheNumberBigEndian) {
    struct Case {
        int number;
        Bytes bytes;
    };
    device::OpenPort();
    Bytes expected;
    for (const Case& c :
         {Case{258, {0x72, 0x01, 0x02}}, Case{1, {0x72, 0x00, 0x01}}, Case{65535, {0x72, 0xFF, 0xFF}}}) {
        device::CurrentRecord().recordNumber = c.number;
        device::SendRecordRequest();
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
    }
    EXPECT_EQ(expected, serialfake::written("COM1"));
    serialfake::setWritesFail("COM1", true);
    device::SendRecordRequest(); // fails quietly
    EXPECT_EQ(expected, serialfake::written("COM1"));
}

TEST_F(Link, OnlyOneListenerRunsAndEachModeRunsItsOwnAction) {
    static std::atomic<int> labels{0}, keys{0};
    labels = 0, keys = 0;
    device::SetListenerAction(device::Mode::Label, [](device::DeviceRecord&) { labels++; });
    device::SetListenerAction(device::Mode::SendKeys, [](device::DeviceRecord&) { keys++; });
    device::OpenPort();
    ASSERT_TRUE(device::StartListener(device::Mode::SendKeys));
    EXPECT_FALSE(device::StartListener(device::Mode::Label));
    EXPECT_FALSE(device::ListenerRunning(device::Mode::Label));
    serialfake::feed("COM1", frame(FrameSpec{}));
    ASSERT_TRUE(eventually([] { return keys == 1; }));
    device::StopAllListeners();
    ASSERT_TRUE(device::StartListener(device::Mode::Label));
    serialfake::feed("COM1", frame(FrameSpec{}));
    ASSERT_TRUE(eventually([] { return labels == 1; }));
    EXPECT_EQ(1, keys.load());
    EXPECT_EQ(0, rows());
}

// Frames tagged with sequence numbers stream onto both ports while the
// window thread switches modes and ports. Every delivered record must be a
// whole frame, delivered once, by one listener at a time.
struct Delivery {
    std::mutex mutex;
    std::vector<std::vector<std::string>> records;
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
};
Delivery* delivery;

void collect(device::DeviceRecord& r) {
    if (delivery->inside.fetch_add(1) != 0) delivery->overlap = true;
    {
        std::lock_guard<std::mutex> lock(delivery->mutex);
        delivery->records.push_back({r.position, r.operatorText, r.date, r.time, r.quantity, r.barcode});
    }
    delivery->inside.fetch_sub(1);
}

FrameSpec tagged(int seq) {
    FrameSpec f;
    f.recordNumber = seq;
    f.recordCount = 1;
    f.op = "OPERATOR";
    f.quantity = uint32_t(seq);
    f.barcode = "S" + std::to_string(seq);
    return f;
}

TEST_F(Link, StressModeAndPortSwitchesNeverDuplicateOrTearFrames) {
    Delivery d;
    delivery = &d;
    device::SetListenerAction(device::Mode::Label, collect);
    device::SetListenerAction(device::Mode::SendKeys, collect);
    device::OpenPort();

    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int seq = 1; !done && seq < 60000; ++seq) {
            Bytes f = frame(tagged(seq));
            const char* port = seq % 2 ? "COM1" : "COM3";
            serialfake::feed(port, Bytes(f.begin(), f.begin() + 40));
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            serialfake::feed(port, Bytes(f.begin() + 40, f.end()));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::mt19937 random(12345);
    const device::Mode modes[] = {device::Mode::Label, device::Mode::SendKeys, device::Mode::DataLogger};
    for (int i = 0; i < 1000; ++i) {
        switch (random() % 3) {
        case 0:
            device::StopAllListeners();
            EXPECT_TRUE(device::StartListener(modes[random() % 3]));
            break;
        case 1:
            device::SetPortNumber(random() % 2 ? 1 : 3);
            device::OpenPort();
            break;
        default:
            device::OpenPort(); // reopen the same port
            break;
        }
        int running = 0;
        for (device::Mode m : modes) running += device::ListenerRunning(m) ? 1 : 0;
        EXPECT_LE(running, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
    done = true;
    producer.join();
    device::StopAllListeners();

    std::vector<std::vector<std::string>> all = d.records;
    for (int r = 0; r < rows(); ++r) all.push_back(row(r));
    EXPECT_FALSE(d.overlap.load());
    EXPECT_GT(all.size(), 20u) << "the listeners should have received frames";
    std::set<std::string> seen;
    for (const auto& rec : all) {
        ASSERT_EQ(6u, rec.size());
        const std::string& barcode = rec[5];
        ASSERT_TRUE(barcode.size() > 1 && barcode[0] == 'S') << barcode;
        int seq = std::stoi(barcode.substr(1));
        EXPECT_TRUE(seen.insert(barcode).second) << "delivered twice: " << seq;
        FrameSpec f = tagged(seq);
        EXPECT_EQ((std::vector<std::string>{std::to_string(seq), "OPERATOR", "2016/10/21", "14:30",
                                            std::to_string(seq), f.barcode}),
                  rec);
    }
}

} // namespace
