// Listener threads. A Listener runs one loop function on its own thread.
// Stopping and pausing are cooperative: the loop calls checkpoint() between
// frame-reader passes and wait() for its sleeps, and a blocked serial read
// wakes through wakeHandle(). stop() and pause() return only once the loop
// has reached such a point, so the caller may then close or reopen the port.
// On Win32 the waiting window thread keeps serving cross-thread GUI calls, so
// a listener that is inside one when asked to stop cannot deadlock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace thread {

struct ListenerImpl;

class Listener {
  public:
    using Loop = void (*)(Listener& self, void* context);

    Listener();
    ~Listener(); // stops the thread
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Window-thread side.
    bool start(Loop loop, void* context); // false when already running or the thread cannot start
    bool running() const;
    void stop();   // ask to stop and wait until the thread has ended
    void pause();  // ask to pause and wait until the loop is parked at a checkpoint
    void resume(); // let a paused loop go on
    bool paused() const;

    // Listener side.
    // Parks while a pause is requested; false once a stop is requested (the
    // loop should then return).
    bool checkpoint();
    // True while a stop or pause is requested: blocking work should give up.
    bool interrupted() const;
    // Sleeps up to ms milliseconds; returns early (false) when interrupted.
    bool wait(int ms);
    // Counts the pauses this loop has been through; a reader that sees it
    // change knows the port may have been reopened under it.
    uint32_t pauseGeneration() const;
    // Win32: a manual-reset event HANDLE that is signalled while interrupted,
    // for WaitForMultipleObjects in a blocking read. nullptr natively.
    void* wakeHandle() const;

  private:
    std::unique_ptr<ListenerImpl> impl_;
};

} // namespace thread
