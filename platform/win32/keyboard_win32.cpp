#include "platform/keyboard.h"

#include <windows.h>

namespace keyboard {

void sendKey(uint8_t vk, bool up) {
    // Scan code 0 and no KEYEVENTF_EXTENDEDKEY, even for arrows and the page
    // keys: receivers see exactly the virtual key we name.
    keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

Layout threadLayout() {
    return reinterpret_cast<Layout>(GetKeyboardLayout(0));
}

int16_t scanChar(uint8_t ch, Layout layout) {
    return static_cast<int16_t>(VkKeyScanExA(static_cast<CHAR>(ch), reinterpret_cast<HKL>(layout)));
}

} // namespace keyboard
