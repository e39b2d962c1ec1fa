#include "tests/doubles/serial/serial_fake.h"

#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace {

struct FakePort {
    bool held = false;
    bool open = false;
    bool writesFail = false;
    int opens = 0;
    serial::Queues queues = serial::Queues::Driver;
    std::deque<uint8_t> in;
    std::vector<uint8_t> out;
};

// What a Port's handle points at: the port's name and the reset epoch it was
// opened in, so a handle that outlives reset() or removePort() just fails.
struct Token {
    std::string name;
    unsigned epoch;
};

struct FakeState {
    std::mutex mutex;
    std::condition_variable arrived;
    std::map<std::string, FakePort> ports;
    unsigned epoch = 0;
};

FakeState& state() {
    static FakeState s;
    return s;
}

// Caller holds the mutex.
FakePort* portOf(void* handle) {
    auto* t = static_cast<Token*>(handle);
    if (!t || t->epoch != state().epoch) return nullptr;
    auto it = state().ports.find(t->name);
    return it == state().ports.end() || !it->second.open ? nullptr : &it->second;
}

FakePort* named(const std::string& name) {
    auto it = state().ports.find(name);
    return it == state().ports.end() ? nullptr : &it->second;
}

} // namespace

namespace serial {

bool Port::open(const std::string& name, Queues queues) {
    close();
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    if (!p || p->held || p->open) return false;
    p->open = true;
    p->opens++;
    p->queues = queues;
    handle_ = new Token{name, state().epoch};
    return true;
}

void Port::close() {
    if (!handle_) return;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (FakePort* p = portOf(handle_)) p->open = false;
    }
    delete static_cast<Token*>(handle_);
    handle_ = nullptr;
}

int Port::bytesWaiting() {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = portOf(handle_);
    return p ? static_cast<int>(p->in.size()) : 0;
}

bool Port::readByte(uint8_t& byte, const thread::Listener& waker) {
    std::unique_lock<std::mutex> lock(state().mutex);
    for (;;) {
        if (waker.interrupted()) return false;
        FakePort* p = portOf(handle_);
        if (!p) return false;
        if (!p->in.empty()) {
            byte = p->in.front();
            p->in.pop_front();
            return true;
        }
        // The listener's interruption does not notify us: look again soon.
        state().arrived.wait_for(lock, std::chrono::milliseconds(1));
    }
}

bool Port::writeByte(uint8_t byte) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = portOf(handle_);
    if (!p || p->writesFail) return false;
    p->out.push_back(byte);
    return true;
}

} // namespace serial

namespace serialfake {

void reset() {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().ports.clear();
    state().epoch++;
    state().arrived.notify_all();
}

void addPort(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().ports[name];
}

void removePort(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().ports.erase(name);
    state().arrived.notify_all();
}

void setHeld(const std::string& name, bool held) {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (FakePort* p = named(name)) p->held = held;
}

void feed(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (FakePort* p = named(name)) p->in.insert(p->in.end(), bytes.begin(), bytes.end());
    state().arrived.notify_all();
}

size_t pending(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    return p ? p->in.size() : 0;
}

void setWritesFail(const std::string& name, bool fail) {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (FakePort* p = named(name)) p->writesFail = fail;
}

std::vector<uint8_t> written(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    return p ? p->out : std::vector<uint8_t>{};
}

bool isOpen(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    return p && p->open;
}

int openCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    return p ? p->opens : 0;
}

serial::Queues lastQueues(const std::string& name) {
    std::lock_guard<std::mutex> lock(state().mutex);
    FakePort* p = named(name);
    return p ? p->queues : serial::Queues::Driver;
}

} // namespace serialfake
