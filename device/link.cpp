#include "device/link.h"

#include "platform/gui.h"
#include "platform/serial.h"
#include "platform/thread.h"

#include <cstdint>
#include <string>
#include <vector>

namespace device {

namespace {

constexpr int ModeCount = 3;
constexpr int PortListControl = 3;
constexpr int RecordListControl = 8;
constexpr int PortMax = 256;
constexpr int PassPauseMs = 10;

void logRecord(DeviceRecord& record);

// Everything the link shares between the window thread and the listener.
// The port is touched by the listener only between a resume and the next
// pause; the frame and the record texts only by the listener.
struct LinkState {
    serial::Port port;
    int portNumber = 1;
    int openCount = 0;
    FrameBuffer frame;
    DeviceRecord record;
    std::atomic<bool> recordReceived{false};
    std::atomic<Action> actions[ModeCount] = {nullptr, nullptr, logRecord};
    std::atomic<PassHook> hooks[ModeCount] = {nullptr, nullptr, nullptr};
    // Last, so the threads are stopped before the port is closed.
    thread::Listener listeners[ModeCount];
};

LinkState& link() {
    static LinkState state;
    return state;
}

int slot(Mode mode) {
    switch (mode) {
    case Mode::Label:
        return 0;
    case Mode::SendKeys:
        return 1;
    case Mode::DataLogger:
        return 2;
    }
    return 0;
}

std::string portName(int number) {
    return "COM" + std::to_string(number);
}

// The open port as the frame reader sees it; a read gives up as soon as the
// listener is asked to stop or pause, so a half-read frame is dropped.
class PortSource : public ByteSource {
  public:
    explicit PortSource(thread::Listener& self) : self_(self) {}
    bool isOpen() override { return link().port.isOpen(); }
    int bytesWaiting() override { return link().port.bytesWaiting(); }
    bool readByte(uint8_t& byte) override {
        if (self_.interrupted()) return false;
        return link().port.readByte(byte, self_);
    }

  private:
    thread::Listener& self_;
};

// The row goes in before the flag: whoever sees the flag (the import) may
// treat the list as complete.
void logRecord(DeviceRecord& record) {
    gui::reportAddRow(
        gui::MainWindow, RecordListControl,
        {record.position, record.operatorText, record.date, record.time, record.quantity, record.barcode});
    link().recordReceived.store(true);
}

void listen(thread::Listener& self, void* context) {
    const int i = static_cast<int>(reinterpret_cast<intptr_t>(context));
    LinkState& s = link();
    PortSource source(self);
    while (self.checkpoint()) {
        if (ReadFramePass(source, s.frame, s.record) == PassResult::Good) {
            if (Action action = s.actions[i].load()) action(s.record);
        }
        if (!self.wait(PassPauseMs)) continue; // to the checkpoint at once
        if (PassHook hook = s.hooks[i].load()) hook();
    }
}

// Pauses whichever listener runs so the window thread may touch the port.
struct PortHold {
    thread::Listener* paused[ModeCount] = {};
    PortHold() {
        for (int i = 0; i < ModeCount; ++i) {
            thread::Listener& l = link().listeners[i];
            if (l.running()) {
                l.pause();
                paused[i] = &l;
            }
        }
    }
    ~PortHold() {
        for (thread::Listener* l : paused)
            if (l) l->resume();
    }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;
};

} // namespace

void SetListenerAction(Mode mode, Action action) {
    // The DataLogger action is built in; nullptr puts it back.
    if (mode == Mode::DataLogger && !action) action = logRecord;
    link().actions[slot(mode)].store(action);
}

void SetPassHook(Mode mode, PassHook hook) {
    link().hooks[slot(mode)].store(hook);
}

DeviceRecord& CurrentRecord() {
    return link().record;
}

std::atomic<bool>& RecordReceived() {
    return link().recordReceived;
}

int PortNumber() {
    return link().portNumber;
}

void SetPortNumber(int number) {
    link().portNumber = number;
}

void ProbePorts() {
    PortHold hold;
    link().port.close(); // our own port would not open again while held
    gui::listClear(gui::MainWindow, PortListControl);
    serial::Port probe;
    for (int n = 1; n <= PortMax; ++n) {
        if (!probe.open(portName(n), serial::Queues::Driver)) continue;
        probe.close();
        gui::listAdd(gui::MainWindow, PortListControl, portName(n));
    }
}

void OpenPort() {
    PortHold hold;
    LinkState& s = link();
    s.port.close();
    if (s.port.open(portName(s.portNumber), serial::Queues::Use)) s.openCount++;
}

void ClosePort() {
    PortHold hold;
    link().port.close();
}

bool PortIsOpen() {
    return link().port.isOpen();
}

bool WritePortByte(uint8_t byte) {
    return link().port.writeByte(byte);
}

void SendRecordRequest() {
    const int n = link().record.recordNumber.load();
    const uint8_t request[3] = {0x72, static_cast<uint8_t>((n >> 8) & 0xFF), static_cast<uint8_t>(n & 0xFF)};
    // A failed byte is not retried; the rest would only garble the request.
    for (uint8_t byte : request)
        if (!WritePortByte(byte)) return;
}

int PortOpenCount() {
    return link().openCount;
}

bool StartListener(Mode mode) {
    LinkState& s = link();
    for (thread::Listener& l : s.listeners)
        if (l.running()) return false; // never two at once
    const int i = slot(mode);
    return s.listeners[i].start(listen, reinterpret_cast<void*>(static_cast<intptr_t>(i)));
}

bool ListenerRunning(Mode mode) {
    return link().listeners[slot(mode)].running();
}

void StopListener(Mode mode) {
    link().listeners[slot(mode)].stop();
}

void StopAllListeners() {
    StopListener(Mode::DataLogger);
    StopListener(Mode::SendKeys);
    StopListener(Mode::Label);
}

} // namespace device
