// Keyboard injection seam: one synthetic key event, the calling thread's
// keyboard layout, and the layout's key for a character. Win32 forwards to
// keybd_event, GetKeyboardLayout and VkKeyScanExA; the native test double
// records the events and scans with a US layout table.
#pragma once

#include <cstdint>

namespace keyboard {

using Layout = void*; // HKL on Win32

// One press (up = false) or release of a virtual key: hardware scan code 0,
// never flagged as an extended key.
void sendKey(uint8_t vk, bool up);

// The keyboard layout of the calling thread.
Layout threadLayout();

// The key for an 8-bit ANSI character on `layout`: low byte the virtual key,
// high byte the shift state (1 Shift, 2 Ctrl, 4 Alt); -1 when the layout has
// no key for it.
int16_t scanChar(uint8_t ch, Layout layout);

} // namespace keyboard
