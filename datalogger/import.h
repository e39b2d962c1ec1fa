// Request-driven import of the device's log into RecordList. The window thread
// asks for one record at a time; DataLoggerListener stores each answer in the
// current record, raises the record-received flag and appends the row.
#pragma once

#include "device/frame.h"

#include <atomic>
#include <cstdint>

namespace datalogger {

// Controls of MainWindow and ReadWindow that the import and the export use.
enum Control {
    RecordList = 8,
    ImportButton = 9,
    SaveButton = 10,
    ProgressFrame = 76,
    ProgressText = 77,
    ProgressBar = 78,
    CancelButton = 79,
};

constexpr int EventWaitMs = 10;
constexpr int RequestPauseMs = 300;
constexpr int AnswerTimeoutMs = 1000;
constexpr int FirstRequestCount = 500; // keeps the loop going until the first answer

// What the import needs from the device link and the clock; the default is the
// real link, tests hand in a scripted device and a fake clock.
struct ImportLink {
    device::DeviceRecord* record;
    std::atomic<bool>* received;
    void (*sendRequest)(); // asks for record->recordNumber
    int64_t (*nowMs)();
};

ImportLink DeviceImportLink();

// The handler of ImportButton.
void ImportRecords();
void ImportRecords(const ImportLink& link);

} // namespace datalogger
