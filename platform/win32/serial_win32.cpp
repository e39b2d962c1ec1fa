// Serial port over Win32 overlapped I/O. Reads are overlapped so that the
// listener's wake event can end a wait for a byte: under Wine a blocked
// synchronous ReadFile cannot be woken at all.
#include "platform/serial.h"

#include "platform/thread.h"

#include <windows.h>

#include <climits>

namespace serial {

namespace {

struct Event {
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Event() {
        if (h) CloseHandle(h);
    }
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
};

bool configure(HANDLE h, Queues queues) {
    if (queues == Queues::Use && !SetupComm(h, 1024, 1024)) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = TRUE; // the parity check is on; without parity it has no effect
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // DSR, DTR and XON/XOFF stay as the driver reports them.
    if (!SetCommState(h, &dcb)) return false;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 0; // all zero: a read waits until its byte arrives
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 100;
    t.WriteTotalTimeoutConstant = 10;
    return SetCommTimeouts(h, &t) != 0;
}

} // namespace

bool Port::open(const std::string& name, Queues queues) {
    close();
    if (name.empty()) return false;
    std::string path = "\\\\.\\" + name; // the device path, so COM10 and above work
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (!configure(h, queues)) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    return true;
}

void Port::close() {
    if (!handle_) return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

int Port::bytesWaiting() {
    if (!handle_) return 0;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(static_cast<HANDLE>(handle_), &errors, &stat)) return 0;
    return stat.cbInQue > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(stat.cbInQue);
}

bool Port::readByte(uint8_t& byte, const thread::Listener& waker) {
    HANDLE h = static_cast<HANDLE>(handle_);
    if (!h) return false;
    Event done;
    if (!done.h) return false;
    HANDLE wake = static_cast<HANDLE>(waker.wakeHandle());
    if (waker.interrupted()) return false;
    uint8_t buffer = 0;
    DWORD got = 0;
    OVERLAPPED ov{};
    ov.hEvent = done.h;
    if (!ReadFile(h, &buffer, 1, &got, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        HANDLE waits[2] = {done.h, wake};
        DWORD r = WaitForMultipleObjects(wake ? 2 : 1, waits, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0) {
            // Cancel and wait for the cancellation, so the read never lands in
            // this stack buffer after we have returned. A byte that made it in
            // before the cancel is kept.
            CancelIo(h);
            got = 0;
            GetOverlappedResult(h, &ov, &got, TRUE);
        } else if (!GetOverlappedResult(h, &ov, &got, FALSE)) {
            return false;
        }
    }
    if (got != 1) return false;
    byte = buffer;
    return true;
}

bool Port::writeByte(uint8_t byte) {
    HANDLE h = static_cast<HANDLE>(handle_);
    if (!h) return false;
    Event done;
    if (!done.h) return false;
    OVERLAPPED ov{};
    ov.hEvent = done.h;
    DWORD sent = 0;
    if (!WriteFile(h, &byte, 1, &sent, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        // The write time-out bounds this wait.
        if (!GetOverlappedResult(h, &ov, &sent, TRUE)) return false;
    }
    return sent == 1;
}

} // namespace serial
