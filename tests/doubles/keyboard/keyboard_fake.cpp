#include "tests/doubles/keyboard/keyboard_fake.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <optional>

namespace {

struct FakeState {
    std::mutex lock;
    std::vector<keyboardfake::KeyEvent> events;
    std::array<std::optional<int16_t>, 256> overrides;
    int layoutCalls = 0;
    void (*hook)() = nullptr;
};

FakeState& state() {
    static FakeState s;
    return s;
}

// VkKeyScanA on the US layout, for the printable ASCII range and the few
// control characters that have a key of their own.
int16_t usLayout(uint8_t ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<int16_t>(0x41 + (ch - 'a'));
    if (ch >= 'A' && ch <= 'Z') return static_cast<int16_t>(0x141 + (ch - 'A'));
    if (ch >= '0' && ch <= '9') return static_cast<int16_t>(ch);
    static const char shiftedDigits[] = ")!@#$%^&*(";
    for (int i = 0; i < 10; i++)
        if (ch == static_cast<uint8_t>(shiftedDigits[i])) return static_cast<int16_t>(0x130 + i);
    struct Punct {
        char plain, shifted;
        uint8_t vk;
    };
    static const Punct punct[] = {{';', ':', 0xBA},  {'=', '+', 0xBB}, {',', '<', 0xBC}, {'-', '_', 0xBD},
                                  {'.', '>', 0xBE},  {'/', '?', 0xBF}, {'`', '~', 0xC0}, {'[', '{', 0xDB},
                                  {'\\', '|', 0xDC}, {']', '}', 0xDD}, {'\'', '"', 0xDE}};
    for (const Punct& p : punct) {
        if (ch == static_cast<uint8_t>(p.plain)) return p.vk;
        if (ch == static_cast<uint8_t>(p.shifted)) return static_cast<int16_t>(0x100 | p.vk);
    }
    switch (ch) {
    case ' ':
        return 0x20;
    case '\t':
        return 0x09;
    case '\r':
        return 0x0D;
    case '\b':
        return 0x08;
    default:
        return -1;
    }
}

} // namespace

namespace keyboard {

void sendKey(uint8_t vk, bool up) {
    void (*hook)() = nullptr;
    {
        std::lock_guard<std::mutex> g(state().lock);
        state().events.push_back({vk, up});
        hook = state().hook;
    }
    if (hook) hook();
}

Layout threadLayout() {
    std::lock_guard<std::mutex> g(state().lock);
    state().layoutCalls++;
    return reinterpret_cast<Layout>(0x04090409);
}

int16_t scanChar(uint8_t ch, Layout) {
    std::lock_guard<std::mutex> g(state().lock);
    if (state().overrides[ch]) return *state().overrides[ch];
    return usLayout(ch);
}

} // namespace keyboard

namespace keyboardfake {

void reset() {
    std::lock_guard<std::mutex> g(state().lock);
    state().events.clear();
    state().overrides.fill(std::nullopt);
    state().layoutCalls = 0;
    state().hook = nullptr;
}

std::vector<KeyEvent> events() {
    std::lock_guard<std::mutex> g(state().lock);
    return state().events;
}

int layoutCalls() {
    std::lock_guard<std::mutex> g(state().lock);
    return state().layoutCalls;
}

void overrideScan(uint8_t ch, int16_t result) {
    std::lock_guard<std::mutex> g(state().lock);
    state().overrides[ch] = result;
}

void onEvent(void (*hook)()) {
    std::lock_guard<std::mutex> g(state().lock);
    state().hook = hook;
}

std::string describe(const std::vector<KeyEvent>& events) {
    std::string out;
    for (const KeyEvent& e : events) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s%02X", e.up ? "^" : "v", e.vk);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

} // namespace keyboardfake
