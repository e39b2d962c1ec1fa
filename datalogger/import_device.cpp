// Binds the import to the real device link. Kept apart from import.cpp so that
// tests of the import loop do not pull in the serial port.
#include "datalogger/import.h"

#include "device/link.h"

#include <chrono>

namespace datalogger {

namespace {

int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

ImportLink DeviceImportLink() {
    return ImportLink{&device::CurrentRecord(), &device::RecordReceived(), &device::SendRecordRequest,
                      &SteadyNowMs};
}

void ImportRecords() {
    ImportRecords(DeviceImportLink());
}

} // namespace datalogger
