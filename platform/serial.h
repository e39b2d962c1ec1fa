// Serial port seam. A Port is opened by name ("COM3") with the device's fixed
// line settings: 9600 baud, 8 data bits, no parity, 1 stop bit, no handshake,
// no read time-outs and a write time-out of 100 ms per byte plus 10 ms. Win32
// implements it over overlapped I/O; native tests link an in-memory double.
#pragma once

#include <cstdint>
#include <string>

namespace thread {
class Listener;
}

namespace serial {

enum class Queues {
    Driver, // probing: leave the queue sizes to the driver
    Use,    // 1024-byte input and output queues
};

class Port {
  public:
    Port() = default;
    ~Port() { close(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Closes any port held, then opens `name` exclusively. False (and no port)
    // when it cannot be opened or configured.
    bool open(const std::string& name, Queues queues);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // Received bytes in the input queue; 0 when none or on failure.
    int bytesWaiting();
    // Waits as long as it takes for one byte, but gives up (false) as soon as
    // `waker` is interrupted, or when the port fails.
    bool readByte(uint8_t& byte, const thread::Listener& waker);
    // Writes one byte within the write time-out; false when it did not go out.
    bool writeByte(uint8_t byte);

    void* systemHandle() const { return handle_; } // HANDLE on Win32

  private:
    void* handle_ = nullptr;
};

} // namespace serial
