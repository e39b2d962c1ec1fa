#include "device/link.h"
#include "platform/serial.h"
#include "platform/thread.h"
#include "tests/win/serial/gui_stub.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The rig's device end of a port, opened from inside Wine through Z:.
struct DeviceEnd {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit DeviceEnd(const char* unixPath) {
        std::string path = std::string("Z:") + unixPath;
        std::replace(path.begin(), path.end(), '/', '\\');
        h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~DeviceEnd() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    bool send(const std::vector<uint8_t>& bytes) {
        DWORD n = 0;
        return WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr) && n == bytes.size();
    }
    // Reads until the bytes end with `tail`; bytes an earlier program left in
    // the pty come first and are skipped.
    bool receiveEndingWith(const std::vector<uint8_t>& tail) {
        std::vector<uint8_t> got;
        while (got.size() < 65536) {
            uint8_t b = 0; // one at a time: a larger read waits for the whole count
            DWORD n = 0;
            if (!ReadFile(h, &b, 1, &n, nullptr) || n == 0) return false;
            got.push_back(b);
            if (got.size() >= tail.size() &&
                std::equal(tail.begin(), tail.end(), got.end() - long(tail.size())))
                return true;
        }
        return false;
    }
};

const char* rigDevice(int com) {
    return std::getenv(com == 1 ? "ZEL_COM1_DEV" : "ZEL_COM3_DEV");
}

#define NEED_RIG()                                                                                           \
    if (!rigDevice(1) || !rigDevice(3)) GTEST_SKIP() << "rig not up (ZEL_COM1_DEV/ZEL_COM3_DEV unset)"

bool waitFor(int (*value)(serial::Port&), serial::Port& port, int wanted) {
    for (int i = 0; i < 2000; ++i) {
        if (value(port) == wanted) return true;
        Sleep(1);
    }
    return false;
}

// Drops what a previous run left in the pty.
void drain(serial::Port& port, thread::Listener& idle) {
    uint8_t b;
    while (port.bytesWaiting() > 0) port.readByte(b, idle);
}

TEST(SerialWin, OpenAppliesTheLineSettings) {
    NEED_RIG();
    serial::Port port;
    ASSERT_TRUE(port.open("COM1", serial::Queues::Use));
    HANDLE h = static_cast<HANDLE>(port.systemHandle());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    EXPECT_EQ(DWORD(CBR_9600), dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(NOPARITY, dcb.Parity);
    EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
    EXPECT_EQ(0u, dcb.fOutxCtsFlow);
    // A pty has no modem lines: Wine reads RTS control back as enabled
    // whatever was set, so the check only means something on Windows.
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        EXPECT_EQ(DWORD(RTS_CONTROL_DISABLE), dcb.fRtsControl);
    }
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(0u, t.ReadIntervalTimeout);
    EXPECT_EQ(0u, t.ReadTotalTimeoutMultiplier);
    EXPECT_EQ(0u, t.ReadTotalTimeoutConstant);
    EXPECT_EQ(100u, t.WriteTotalTimeoutMultiplier);
    EXPECT_EQ(10u, t.WriteTotalTimeoutConstant);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.open("COM200", serial::Queues::Use));
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialWin, BytesWaitingThenReadInOrderAndWriteReachesTheDevice) {
    NEED_RIG();
    serial::Port port;
    thread::Listener idle; // never started: never interrupted
    ASSERT_TRUE(port.open("COM1", serial::Queues::Use));
    drain(port, idle);
    DeviceEnd device(rigDevice(1));
    ASSERT_NE(INVALID_HANDLE_VALUE, device.h);
    ASSERT_TRUE(device.send({'z', 'e', 'l', 0x00, 0xFF}));
    ASSERT_TRUE(waitFor([](serial::Port& p) { return p.bytesWaiting(); }, port, 5));
    std::vector<uint8_t> got;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = 0;
        ASSERT_TRUE(port.readByte(b, idle));
        got.push_back(b);
    }
    EXPECT_EQ((std::vector<uint8_t>{'z', 'e', 'l', 0x00, 0xFF}), got);
    EXPECT_EQ(0, port.bytesWaiting());

    for (uint8_t b : {0x72, 0x01, 0x02}) EXPECT_TRUE(port.writeByte(b));
    EXPECT_TRUE(device.receiveEndingWith({0x72, 0x01, 0x02}));
}

struct Reader {
    serial::Port* port;
    std::atomic<int> reads{0};
    std::atomic<bool> blocked{false};
    std::atomic<bool> lastResult{true};
};

void readUntilStopped(thread::Listener& self, void* context) {
    auto& r = *static_cast<Reader*>(context);
    while (self.checkpoint()) {
        uint8_t b;
        r.blocked = true;
        r.lastResult = r.port->readByte(b, self);
        r.blocked = false;
        r.reads++;
    }
}

// A read blocked on an empty line must end when the listener is stopped or
// paused, and the cancelled read must not swallow the next byte.
TEST(SerialWin, BlockedReadWakesOnStopAndPauseWithoutLosingAByte) {
    NEED_RIG();
    serial::Port port;
    thread::Listener idle;
    ASSERT_TRUE(port.open("COM3", serial::Queues::Use));
    drain(port, idle);
    Reader reader{&port};
    thread::Listener listener;
    ASSERT_TRUE(listener.start(readUntilStopped, &reader));
    while (!reader.blocked) Sleep(1);
    Sleep(50);
    listener.pause();
    EXPECT_TRUE(listener.paused());
    EXPECT_FALSE(reader.lastResult.load());
    listener.resume();
    Sleep(50);
    listener.stop();
    EXPECT_FALSE(listener.running());
    EXPECT_FALSE(reader.lastResult.load());

    DeviceEnd device(rigDevice(3));
    ASSERT_TRUE(device.send({0x5A}));
    ASSERT_TRUE(waitFor([](serial::Port& p) { return p.bytesWaiting(); }, port, 1));
    uint8_t b = 0;
    ASSERT_TRUE(port.readByte(b, idle));
    EXPECT_EQ(0x5A, b);
}

TEST(SerialWin, ProbeFindsTheRigPorts) {
    NEED_RIG();
    device::ProbePorts();
    std::vector<std::string> ports = stubPortList();
    // Wine also maps the machine's own /dev/ttyS* to free COM numbers, so
    // look for ours rather than the whole list.
    EXPECT_NE(ports.end(), std::find(ports.begin(), ports.end(), "COM1"));
    EXPECT_NE(ports.end(), std::find(ports.begin(), ports.end(), "COM3"));
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
        return std::atoi(a.c_str() + 3) < std::atoi(b.c_str() + 3);
    }));
    EXPECT_FALSE(device::PortIsOpen());
}

// The listener makes SendMessage calls into the window thread, as the GUI
// marshalling does. Pausing and stopping from the window thread must keep
// serving those calls, or both threads wait for each other for ever.
LRESULT CALLBACK answer(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP) return 42;
    return DefWindowProcA(w, m, wp, lp);
}

struct Caller {
    HWND window;
    std::atomic<int> answered{0};
};

void callWindowThread(thread::Listener& self, void* context) {
    auto& c = *static_cast<Caller*>(context);
    while (self.checkpoint()) {
        if (SendMessageA(c.window, WM_APP, 0, 0) == 42) c.answered++;
        Sleep(0);
    }
}

TEST(ListenerWin, PauseAndStopServeSentMessagesWhileWaiting) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = answer;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelListenerTest";
    RegisterClassA(&wc);
    HWND window =
        CreateWindowA("ZelListenerTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    Caller caller{window};
    thread::Listener listener;
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(listener.start(callWindowThread, &caller));
        for (int i = 0; i < 20; ++i) {
            // Let the listener get its calls going, so a pause meets it inside one.
            int before = caller.answered;
            while (caller.answered == before) {
                MSG msg;
                PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
                Sleep(0);
            }
            listener.pause();
            EXPECT_TRUE(listener.paused());
            listener.resume();
        }
        listener.stop();
        EXPECT_FALSE(listener.running());
    }
    DestroyWindow(window);
}

} // namespace
