// Listener threads over std::thread. One mutex guards the request flags; one
// condition variable carries every change in either direction.
#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace thread {

struct ListenerImpl {
    std::mutex mutex;
    std::condition_variable changed;
    std::thread worker;
    bool started = false; // a thread was started and not yet joined
    bool ended = false;   // its loop has returned
    bool stopRequested = false;
    bool pauseRequested = false;
    bool parked = false;
    std::atomic<bool> interrupted{false};
    std::atomic<uint32_t> generation{0};
};

Listener::Listener() : impl_(std::make_unique<ListenerImpl>()) {}

Listener::~Listener() {
    stop();
}

bool Listener::start(Loop loop, void* context) {
    if (!loop || running()) return false;
    stop(); // joins a thread whose loop returned by itself
    ListenerImpl& s = *impl_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.ended = false;
        s.stopRequested = false;
        s.pauseRequested = false;
        s.parked = false;
        s.interrupted = false;
        s.started = true;
    }
    try {
        s.worker = std::thread([this, loop, context] {
            loop(*this, context);
            std::lock_guard<std::mutex> lock(impl_->mutex);
            impl_->ended = true;
            impl_->changed.notify_all();
        });
    } catch (...) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.started = false;
        return false;
    }
    return true;
}

bool Listener::running() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->started && !impl_->ended;
}

void Listener::stop() {
    ListenerImpl& s = *impl_;
    if (!s.worker.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stopRequested = true;
        s.interrupted = true;
        s.changed.notify_all();
    }
    if (s.worker.get_id() == std::this_thread::get_id()) return; // the loop ends on its own
    s.worker.join();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.started = false;
    s.pauseRequested = false;
    s.parked = false;
}

void Listener::pause() {
    ListenerImpl& s = *impl_;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (!s.started || s.ended || s.pauseRequested) return;
    s.pauseRequested = true;
    s.interrupted = true;
    s.generation.fetch_add(1);
    s.changed.notify_all();
    if (s.worker.get_id() == std::this_thread::get_id()) return;
    s.changed.wait(lock, [&] { return s.parked || s.ended; });
}

void Listener::resume() {
    ListenerImpl& s = *impl_;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.pauseRequested) return;
    s.pauseRequested = false;
    s.interrupted = s.stopRequested;
    s.changed.notify_all();
}

bool Listener::paused() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->pauseRequested && impl_->parked;
}

bool Listener::checkpoint() {
    ListenerImpl& s = *impl_;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.pauseRequested && !s.stopRequested) {
        s.parked = true;
        s.changed.notify_all();
        s.changed.wait(lock, [&] { return !s.pauseRequested || s.stopRequested; });
        s.parked = false;
    }
    return !s.stopRequested;
}

bool Listener::interrupted() const {
    return impl_->interrupted.load();
}

bool Listener::wait(int ms) {
    ListenerImpl& s = *impl_;
    std::unique_lock<std::mutex> lock(s.mutex);
    auto asked = [&] { return s.stopRequested || s.pauseRequested; };
    return !s.changed.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), asked);
}

uint32_t Listener::pauseGeneration() const {
    return impl_->generation.load();
}

void* Listener::wakeHandle() const {
    return nullptr;
}

} // namespace thread
