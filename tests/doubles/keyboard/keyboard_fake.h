// In-memory keyboard for native tests: every sendKey is recorded, and
// scanChar answers from a US layout table unless a test overrides a character.
#pragma once

#include "platform/keyboard.h"

#include <cstdint>
#include <string>
#include <vector>

namespace keyboardfake {

struct KeyEvent {
    uint8_t vk;
    bool up;
    bool operator==(const KeyEvent&) const = default;
};

// Forgets the events, the overrides and the layout-call count.
void reset();
std::vector<KeyEvent> events();
// How often threadLayout() was asked since reset().
int layoutCalls();
// From now on scanChar(ch) answers `result` (e.g. 0x130, 0x131 or -1).
void overrideScan(uint8_t ch, int16_t result);
// Called after every recorded event (nullptr: none); lets a test act in the
// middle of a sequence, e.g. edit the list being played.
void onEvent(void (*hook)());

// Readable form for test failure messages: "v41 ^41" is 0x41 down and up.
std::string describe(const std::vector<KeyEvent>& events);

} // namespace keyboardfake
