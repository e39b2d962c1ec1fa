#include "sendkeys/player.h"

#include "platform/clock.h"
#include "platform/gui.h"
#include "platform/keyboard.h"
#include "sendkeys/editor.h"

#include <atomic>
#include <cstdint>

namespace sendkeys {

namespace {

constexpr uint8_t VkShift = 0x10;

enum class Modifier : uint8_t { None, Press, Release };

struct SpecialKey {
    const char* name;
    uint8_t vk;
    Modifier modifier;
};

// Names match byte for byte. F13 is offered by SpecialKeyList, so it plays the
// F13 key (0x7C) like its neighbours instead of falling through to key 0.
constexpr SpecialKey SpecialKeys[] = {
    {"ALTDOWN", 0x12, Modifier::Press},     {"ALTUP", 0x12, Modifier::Release},
    {"BACKSPACE", 0x08, Modifier::None},    {"CONTROLDOWN", 0x11, Modifier::Press},
    {"CONTROLUP", 0x11, Modifier::Release}, {"DELETE", 0x2E, Modifier::None},
    {"DOWN", 0x28, Modifier::None},         {"END", 0x23, Modifier::None},
    {"ENTER", 0x0D, Modifier::None},        {"ESCAPE", 0x1B, Modifier::None},
    {"F1", 0x70, Modifier::None},           {"F2", 0x71, Modifier::None},
    {"F3", 0x72, Modifier::None},           {"F4", 0x73, Modifier::None},
    {"F5", 0x74, Modifier::None},           {"F6", 0x75, Modifier::None},
    {"F7", 0x76, Modifier::None},           {"F8", 0x77, Modifier::None},
    {"F9", 0x78, Modifier::None},           {"F10", 0x79, Modifier::None},
    {"F11", 0x7A, Modifier::None},          {"F12", 0x7B, Modifier::None},
    {"F13", 0x7C, Modifier::None},          {"HOME", 0x24, Modifier::None},
    {"INSERT", 0x2D, Modifier::None},       {"LEFT", 0x25, Modifier::None},
    {"PAGEDOWN", 0x22, Modifier::None},     {"PAGEUP", 0x21, Modifier::None},
    {"PRINTSCREEN", 0x2C, Modifier::None},  {"RETURN", 0x0D, Modifier::None},
    {"RIGHT", 0x27, Modifier::None},        {"SHIFTDOWN", 0x10, Modifier::Press},
    {"SHIFTUP", 0x10, Modifier::Release},   {"TAB", 0x09, Modifier::None},
    {"UP", 0x26, Modifier::None},
};

struct PlayerState {
    std::atomic<TimeText> timeSource{nullptr};
    // Set by {SHIFTDOWN}, cleared by {SHIFTUP}, across entries and sequences,
    // so typed text neither presses Shift again nor releases the held key.
    std::atomic<bool> shiftHeld{false};
};

PlayerState& player() {
    static PlayerState s;
    return s;
}

std::string TimeNow() {
    TimeText source = player().timeSource.load();
    return source ? source() : clk::formatNow("%yyyy/%mm/%dd %hh:%ii:%ss");
}

void Press(uint8_t vk) {
    keyboard::sendKey(vk, false);
}
void Release(uint8_t vk) {
    keyboard::sendKey(vk, true);
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

void PlaySpecialKey(const std::string& text) {
    size_t close = text.find('}');
    std::string name = close == std::string::npos ? std::string() : text.substr(1, close - 1);

    uint8_t vk = 0;
    for (const SpecialKey& key : SpecialKeys) {
        if (name != key.name) continue;
        vk = key.vk;
        if (key.modifier == Modifier::Press) Press(vk);
        if (key.modifier == Modifier::Release) Release(vk);
        if (vk == VkShift) player().shiftHeld = key.modifier == Modifier::Press;
        break;
    }
    // Modifier names have sent their one event; SHIFT, ALTX and the like send nothing.
    if (StartsWith(name, "ALT") || StartsWith(name, "CONTROL") || StartsWith(name, "SHIFT")) return;
    Press(vk);
    Release(vk);
}

void TypeText(const std::string& text) {
    for (unsigned char ch : text) {
        // The layout is asked per character: the user may switch it mid-sequence.
        int16_t result = keyboard::scanChar(ch, keyboard::threadLayout());
        // Any non-zero shift state gets Shift (Ctrl and Alt are not acted on).
        // A bound of 0x130 would type ')' (0x130 on a US layout) as '0'.
        // -1 (no key on this layout) stays below and is sent as key 255.
        bool shift = result > 0xFF && !player().shiftHeld;
        uint8_t vk = static_cast<uint8_t>(result & 0xFF);
        if (shift) Press(VkShift);
        Press(vk);
        Release(vk);
        if (shift) Release(VkShift);
    }
}

} // namespace

void PlayKeyEntry(const std::string& entry, const device::DeviceRecord& record) {
    // A record value is data, never a key command: a barcode or operator that
    // begins with "{" is typed as it reads instead of being swallowed (or
    // leaving Alt held) as a special key.
    if (entry == "{QUANTITY}") return TypeText(record.quantity);
    if (entry == "{TIME}") return TypeText(TimeNow());
    if (entry == "{OPERATOR}") return TypeText(record.operatorText);
    if (entry == "{BARCODE}") return TypeText(record.barcode);
    if (!entry.empty() && entry[0] == '{') return PlaySpecialKey(entry);
    TypeText(entry);
}

void PlaySequence(const device::DeviceRecord& record) {
    // Count and entry are separate marshalled reads: an entry removed between
    // them reads as "" and types nothing; the loop ends once i passes the count.
    for (int i = 0; i < gui::listCount(gui::MainWindow, KeyListControl); i++)
        PlayKeyEntry(gui::listItem(gui::MainWindow, KeyListControl, i), record);
}

void SetTimeSource(TimeText source) {
    player().timeSource = source;
}

bool ShiftHeld() {
    return player().shiftHeld;
}

void ResetPlayerState() {
    player().shiftHeld = false;
}

} // namespace sendkeys
