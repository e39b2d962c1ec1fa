// Listener threads over Win32 threads and events. The window thread may be
// the target of a listener's SendMessage (platform/gui.h marshals listener
// calls that way), so every wait on the window-thread side also serves sent
// messages; a plain WaitForSingleObject there would deadlock.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

namespace thread {

struct ListenerImpl {
    CRITICAL_SECTION lock;
    Listener* self = nullptr;
    Listener::Loop loop = nullptr;
    void* context = nullptr;
    HANDLE worker = nullptr;
    DWORD workerId = 0;
    HANDLE wake = nullptr;    // manual reset: signalled while a stop or pause is requested
    HANDLE go = nullptr;      // manual reset: signalled while no pause holds the loop
    HANDLE changed = nullptr; // manual reset: the loop parked or ended
    bool ended = false;
    bool stopRequested = false;
    bool pauseRequested = false;
    bool parked = false;
    std::atomic<bool> interrupted{false};
    std::atomic<uint32_t> generation{0};

    ListenerImpl() {
        InitializeCriticalSection(&lock);
        wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        go = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        changed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~ListenerImpl() {
        if (wake) CloseHandle(wake);
        if (go) CloseHandle(go);
        if (changed) CloseHandle(changed);
        DeleteCriticalSection(&lock);
    }
};

namespace {

struct Locked {
    CRITICAL_SECTION& cs;
    explicit Locked(CRITICAL_SECTION& c) : cs(c) { EnterCriticalSection(&cs); }
    ~Locked() { LeaveCriticalSection(&cs); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Waits for the handle while dispatching messages sent to this thread.
void waitServingSentMessages(HANDLE handle) {
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // runs pending sent messages
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
    }
}

unsigned __stdcall threadMain(void* arg) {
    ListenerImpl& s = *static_cast<ListenerImpl*>(arg);
    s.loop(*s.self, s.context);
    Locked held(s.lock);
    s.ended = true;
    SetEvent(s.changed);
    return 0;
}

void reap(ListenerImpl& s) {
    if (!s.worker) return;
    waitServingSentMessages(s.worker);
    CloseHandle(s.worker);
    s.worker = nullptr;
    s.workerId = 0;
}

} // namespace

Listener::Listener() : impl_(std::make_unique<ListenerImpl>()) {
    impl_->self = this;
}

Listener::~Listener() {
    stop();
}

bool Listener::start(Loop loop, void* context) {
    ListenerImpl& s = *impl_;
    if (!loop || !s.wake || !s.go || !s.changed || running()) return false;
    reap(s);
    {
        Locked held(s.lock);
        s.loop = loop;
        s.context = context;
        s.ended = false;
        s.stopRequested = false;
        s.pauseRequested = false;
        s.parked = false;
        s.interrupted = false;
        ResetEvent(s.wake);
        ResetEvent(s.changed);
        SetEvent(s.go);
    }
    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, 0, threadMain, &s, 0, &id);
    if (!h) return false;
    s.worker = reinterpret_cast<HANDLE>(h);
    s.workerId = id;
    return true;
}

bool Listener::running() const {
    ListenerImpl& s = *impl_;
    Locked held(s.lock);
    return s.worker && !s.ended;
}

void Listener::stop() {
    ListenerImpl& s = *impl_;
    if (!s.worker) return;
    {
        Locked held(s.lock);
        s.stopRequested = true;
        s.interrupted = true;
        SetEvent(s.wake);
        SetEvent(s.go);
    }
    if (GetCurrentThreadId() == s.workerId) return; // the loop ends on its own
    reap(s);
    Locked held(s.lock);
    s.pauseRequested = false;
    s.parked = false;
}

void Listener::pause() {
    ListenerImpl& s = *impl_;
    {
        Locked held(s.lock);
        if (!s.worker || s.ended || s.pauseRequested) return;
        s.pauseRequested = true;
        s.interrupted = true;
        s.generation.fetch_add(1);
        ResetEvent(s.go);
        SetEvent(s.wake);
    }
    if (GetCurrentThreadId() == s.workerId) return;
    for (;;) {
        {
            Locked held(s.lock);
            if (s.parked || s.ended) return;
            ResetEvent(s.changed);
        }
        waitServingSentMessages(s.changed);
    }
}

void Listener::resume() {
    ListenerImpl& s = *impl_;
    Locked held(s.lock);
    if (!s.pauseRequested) return;
    s.pauseRequested = false;
    s.interrupted = s.stopRequested;
    if (!s.stopRequested) ResetEvent(s.wake);
    SetEvent(s.go);
}

bool Listener::paused() const {
    ListenerImpl& s = *impl_;
    Locked held(s.lock);
    return s.pauseRequested && s.parked;
}

bool Listener::checkpoint() {
    ListenerImpl& s = *impl_;
    {
        Locked held(s.lock);
        if (s.stopRequested) return false;
        if (!s.pauseRequested) return true;
        s.parked = true;
        SetEvent(s.changed);
    }
    for (;;) {
        WaitForSingleObject(s.go, INFINITE);
        Locked held(s.lock);
        if (!s.pauseRequested || s.stopRequested) {
            s.parked = false;
            return !s.stopRequested;
        }
    }
}

bool Listener::interrupted() const {
    return impl_->interrupted.load();
}

bool Listener::wait(int ms) {
    if (interrupted()) return false;
    return WaitForSingleObject(impl_->wake, ms < 0 ? 0 : static_cast<DWORD>(ms)) == WAIT_TIMEOUT;
}

uint32_t Listener::pauseGeneration() const {
    return impl_->generation.load();
}

void* Listener::wakeHandle() const {
    return impl_->wake;
}

} // namespace thread
