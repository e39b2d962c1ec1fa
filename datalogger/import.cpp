#include "datalogger/import.h"

#include "platform/gui.h"

#include <algorithm>
#include <string>

namespace datalogger {

namespace {

const char* const FailureText =
    "Imported failed: \nyour Marlo/Marlo-S ZEL has no record logged or there is a communication problem.";

void OpenReadWindow() {
    gui::openWindow(
        gui::WindowSpec{gui::ReadWindow, "Read", 420, 180, gui::Placement::Centred, false, gui::MainWindow});
    gui::createControl(gui::ReadWindow, ProgressFrame, gui::Kind::Frame, 10, 10, 400, 110, "Progress");
    gui::createControl(gui::ReadWindow, ProgressText, gui::Kind::TextCentre, 20, 30, 380, 40, "");
    gui::createControl(gui::ReadWindow, ProgressBar, gui::Kind::Progress, 20, 70, 380, 30, "");
    gui::progressSet(gui::ReadWindow, ProgressBar, 0, 0);
    gui::createControl(gui::ReadWindow, CancelButton, gui::Kind::Button, 170, 140, 80, 20, "Cancel");
}

// A close of any window (MainWindow's included, so the program does not end)
// or the Cancel button stops the import; every other event is dropped.
bool IsCancel(const gui::Event& e) {
    if (e.kind == gui::EventKind::Close) return true;
    return e.kind == gui::EventKind::Control && e.window == gui::ReadWindow && e.item == CancelButton;
}

// The pause before the next request. Events are still taken meanwhile, so a
// cancel made during the pause is honoured before another request goes out
// (its answer would otherwise add a row to the list that was just emptied).
// False when cancelled.
bool PauseBeforeRequest(const ImportLink& link) {
    const int64_t end = link.nowMs() + RequestPauseMs;
    for (;;) {
        const int64_t left = end - link.nowMs();
        if (left <= 0) return true;
        if (IsCancel(gui::waitEvent(static_cast<int>(std::min<int64_t>(left, RequestPauseMs))))) return false;
    }
}

// After a cancel, an answer already on its way would add a row to the list
// about to be emptied; so wait for it, or for the time-out the loop itself
// keeps, first. Events are taken and dropped meanwhile.
void AwaitAnswerInFlight(const ImportLink& link, int64_t lastActivity) {
    while (!link.received->load() && link.nowMs() - lastActivity <= AnswerTimeoutMs)
        gui::waitEvent(EventWaitMs);
}

void RequestRecord(const ImportLink& link, int number) {
    // Cleared just before the request, so an early answer is never missed and a
    // frame that came during the pause is not taken for this record's answer.
    link.received->store(false);
    link.record->recordNumber.store(number);
    link.sendRequest();
}

} // namespace

void ImportRecords(const ImportLink& link) {
    link.record->recordNumber.store(1);
    link.record->recordCount.store(FirstRequestCount);
    link.received->store(false);

    OpenReadWindow();
    gui::enableWindow(gui::MainWindow, false);
    gui::reportClear(gui::MainWindow, RecordList);

    bool cancelled = false;
    int count = FirstRequestCount;
    int64_t lastActivity = link.nowMs();
    RequestRecord(link, 1);

    // Runs until an answer's record number reaches its record count, so the
    // last record has arrived before success is reported.
    for (;;) {
        if (IsCancel(gui::waitEvent(EventWaitMs))) {
            // Here a request is always out with its answer not yet taken.
            AwaitAnswerInFlight(link, lastActivity);
            cancelled = true;
            break;
        }
        if (link.received->load()) {
            lastActivity = link.nowMs();
            const int number = link.record->recordNumber.load();
            count = link.record->recordCount.load();
            gui::setText(gui::ReadWindow, ProgressText, std::to_string(number) + "/" + std::to_string(count));
            gui::progressSet(gui::ReadWindow, ProgressBar, number, count);
            link.received->store(false);
            if (number >= count) break;
            if (!PauseBeforeRequest(link)) {
                cancelled = true;
                break;
            }
            RequestRecord(link, number + 1);
        }
        if (link.nowMs() - lastActivity > AnswerTimeoutMs) {
            cancelled = true;
            gui::messageBox(gui::ReadWindow, "Import", FailureText, gui::Icon::Information);
            break;
        }
    }

    if (cancelled) gui::reportClear(gui::MainWindow, RecordList);
    gui::enableWindow(gui::MainWindow, true);
    gui::activateWindow(gui::MainWindow);
    gui::closeWindow(gui::ReadWindow);
    if (!cancelled) {
        gui::messageBox(gui::MainWindow, "Import",
                        "Imported successfully " + std::to_string(count) + " records",
                        gui::Icon::Information);
    }
}

} // namespace datalogger
