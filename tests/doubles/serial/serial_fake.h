// In-memory stand-in for platform/serial.h in native tests: named ports that
// exist or not, can be held by "another program", receive bytes from the test
// (the device end) and record what the program writes. Thread-safe; a blocked
// readByte wakes when bytes arrive or its listener is interrupted.
#pragma once

#include "platform/serial.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace serialfake {

// Forgets every port and byte; handles still open fail from then on.
void reset();

void addPort(const std::string& name);
void removePort(const std::string& name);         // unplugged: open handles fail
void setHeld(const std::string& name, bool held); // held elsewhere: open fails

// The device sends bytes. Like a pty they queue even while the port is closed.
void feed(const std::string& name, const std::vector<uint8_t>& bytes);
size_t pending(const std::string& name); // received bytes not yet read
void setWritesFail(const std::string& name, bool fail);

std::vector<uint8_t> written(const std::string& name);
bool isOpen(const std::string& name);
int openCount(const std::string& name);
serial::Queues lastQueues(const std::string& name);

} // namespace serialfake
