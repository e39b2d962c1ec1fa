// The device link: the serial port, the frame buffer, the current record, the
// record-received flag and the three mode listeners, kept in one state record
// inside device/. The window thread owns the port; at most one listener runs.
#pragma once

#include "device/frame.h"

#include <atomic>
#include <cstdint>

namespace device {

enum class Mode { Label, SendKeys, DataLogger };

// Runs on the listener thread after every good frame, with the current record
// filled. app/ installs the label and SendKeys actions at startup; the
// DataLogger action (raise the flag, append the row) is built in.
using Action = void (*)(DeviceRecord& record);
void SetListenerAction(Mode mode, Action action);
// Runs on the listener thread after the pause of every pass of that mode's
// listener (the SendKeys editor's button rule).
using PassHook = void (*)();
void SetPassHook(Mode mode, PassHook hook);

DeviceRecord& CurrentRecord();
std::atomic<bool>& RecordReceived();

// Port.
int PortNumber();
void SetPortNumber(int number);
void ProbePorts(); // fills PortList (window 0, control 3) with the ports that open
void OpenPort();   // pauses the listener, (re)opens "COM" + PortNumber(), resumes
void ClosePort();
bool PortIsOpen();
bool WritePortByte(uint8_t byte);
void SendRecordRequest(); // 'r' and CurrentRecord().recordNumber, big-endian
int PortOpenCount();      // how many opens succeeded so far (observable for tests)

// Listeners (window thread only).
bool StartListener(Mode mode);
bool ListenerRunning(Mode mode);
void StopListener(Mode mode);
void StopAllListeners(); // in the order DataLogger, SendKeys, Label

} // namespace device
