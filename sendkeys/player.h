// The keystroke player: turns one key-sequence entry into synthetic keyboard
// events, and plays the whole KeyList for one device record.
#pragma once

#include "device/frame.h"

#include <string>

namespace sendkeys {

// Plays one entry completely: a data token ({QUANTITY}, {TIME}, {OPERATOR},
// {BARCODE}) types the record's value, "{NAME}..." plays a special key, any
// other text is typed character by character. Never fails, reports nothing.
void PlayKeyEntry(const std::string& entry, const device::DeviceRecord& record);

// The SendKeys listener's action: PlayKeyEntry for every KeyList entry, first
// to last, back to back. The count is read again before each entry, so an
// editor change during the run affects only the entries not yet played.
void PlaySequence(const device::DeviceRecord& record);

// Where {TIME} gets its text ("2016/10/21 09:05:07"): the PC's local clock,
// read when the entry is played. Tests install their own; nullptr restores
// the clock.
using TimeText = std::string (*)();
void SetTimeSource(TimeText source);

// Whether Shift is held down by a {SHIFTDOWN} that no {SHIFTUP} has released
// yet. Forgotten with ResetPlayerState (tests, and a fresh program start).
bool ShiftHeld();
void ResetPlayerState();

} // namespace sendkeys
