// The import loop against a scripted device and a fake clock: the GUI double's
// idle hook advances time by each wait and delivers answers when they are due.
#include "datalogger/import.h"

#include "platform/gui.h"
#include "tests/doubles/gui/gui_fake.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using datalogger::CancelButton;
using datalogger::ProgressText;
using datalogger::RecordList;

const char* const FailureText =
    "Imported failed: \nyour Marlo/Marlo-S ZEL has no record logged or there is a communication problem.";

constexpr int AnswerLatencyMs = 80; // a frame's time on the line, about

struct Request {
    int number;
    int64_t at;
};

struct FakeDevice {
    int logged = 0;                   // answers requests 1..logged with count `logged`
    std::map<int, int> answerAs;      // request -> record number answered instead
    std::map<int, int> countFor;      // record number -> record count it reports
    std::vector<int> lost;            // requests whose answer fails its checksum
    std::optional<gui::Event> script; // sent when the clock reaches scriptAt
    int64_t scriptAt = 0;

    int64_t now = 0;
    std::vector<Request> requests;
    std::vector<int64_t> answeredAt;
    std::optional<int> pending;
    int64_t dueAt = 0;
    std::vector<std::string> progress; // each new ProgressText seen while waiting
    bool mainDisabledMeanwhile = false;
};

FakeDevice dev;
device::DeviceRecord record;
std::atomic<bool> received{false};

void SendRequest() {
    const int n = record.recordNumber.load();
    dev.requests.push_back({n, dev.now});
    bool lost = false;
    for (int l : dev.lost) lost = lost || l == n;
    if (n >= 1 && n <= dev.logged && !lost) {
        dev.pending = dev.answerAs.count(n) ? dev.answerAs[n] : n;
        dev.dueAt = dev.now + AnswerLatencyMs;
    }
}

int64_t Now() {
    return dev.now;
}

// What DataLoggerListener does with a good frame.
void Deliver(int number) {
    record.recordNumber.store(number);
    record.recordCount.store(dev.countFor.count(number) ? dev.countFor[number] : dev.logged);
    const std::string pos = std::to_string(number);
    gui::reportAddRow(gui::MainWindow, RecordList, {pos, "OP" + pos, "2016/10/21", "9:5", "15", "BC" + pos});
    received.store(true);
    dev.answeredAt.push_back(dev.now);
}

void Idle(int timeoutMs) {
    const std::string p = gui::text(gui::ReadWindow, ProgressText);
    if (!p.empty() && (dev.progress.empty() || dev.progress.back() != p)) dev.progress.push_back(p);
    if (!guifake::windowEnabled(gui::MainWindow)) dev.mainDisabledMeanwhile = true;

    dev.now += timeoutMs > 0 ? timeoutMs : 1;
    if (dev.pending && dev.now >= dev.dueAt) {
        const int n = *dev.pending;
        dev.pending.reset();
        Deliver(n);
    }
    if (dev.script && dev.now >= dev.scriptAt) {
        guifake::pushEvent(*dev.script);
        dev.script.reset();
    }
}

class Import : public ::testing::Test {
  protected:
    void SetUp() override {
        guifake::reset();
        dev = FakeDevice{};
        record.recordNumber = 0;
        record.recordCount = 0;
        received = false;
        gui::openWindow({gui::MainWindow, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1});
        gui::createControl(gui::MainWindow, RecordList, gui::Kind::ReportList, 30, 150, 580, 230, "");
        // A row from an earlier Print press: an import always starts afresh.
        gui::reportAddRow(gui::MainWindow, RecordList, {"99", "OLD", "2016/1/1", "1:1", "1", "OLD"});
        guifake::setIdleHook(Idle);
    }
    void TearDown() override { guifake::setIdleHook(nullptr); }

    void Run() { datalogger::ImportRecords({&record, &received, &SendRequest, &Now}); }

    std::vector<int> RequestedNumbers() const {
        std::vector<int> out;
        for (const auto& r : dev.requests) out.push_back(r.number);
        return out;
    }
    std::vector<std::string> Positions() const {
        std::vector<std::string> out;
        for (int r = 0; r < gui::reportRowCount(gui::MainWindow, RecordList); ++r)
            out.push_back(gui::reportCell(gui::MainWindow, RecordList, r, 0));
        return out;
    }
    static void ExpectOneImportBox(const std::string& text) {
        const auto boxes = guifake::messageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Import");
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].icon, gui::Icon::Information);
    }
    void ExpectMainWindowBack() const {
        EXPECT_TRUE(dev.mainDisabledMeanwhile);
        EXPECT_TRUE(guifake::windowEnabled(gui::MainWindow));
        EXPECT_EQ(guifake::activeWindow(), gui::MainWindow);
        EXPECT_FALSE(gui::windowExists(gui::ReadWindow));
        EXPECT_TRUE(gui::windowExists(gui::MainWindow));
    }
};

struct SuccessCase {
    const char* name;
    int logged;
    std::map<int, int> answerAs;
    std::map<int, int> countFor;
    std::vector<int> requests;
    std::vector<std::string> progress; // the last answer closes ReadWindow at once, unseen here
    std::vector<std::string> rows;
    const char* box;
};

TEST_F(Import, ReadsEveryRecordUntilTheAnsweredNumberReachesTheCount) {
    const SuccessCase cases[] = {
        {"three", 3, {}, {}, {1, 2, 3}, {"1/3", "2/3"}, {"1", "2", "3"}, "Imported successfully 3 records"},
        {"one", 1, {}, {}, {1}, {}, {"1"}, "Imported successfully 1 records"},
        {"answer 5 to 2",
         7,
         {{2, 5}},
         {},
         {1, 2, 6, 7},
         {"1/7", "5/7", "6/7"},
         {"1", "5", "6", "7"},
         "Imported successfully 7 records"},
        {"count below number",
         4,
         {},
         {{2, 1}},
         {1, 2},
         {"1/4"},
         {"1", "2"},
         "Imported successfully 1 records"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        dev.logged = c.logged;
        dev.answerAs = c.answerAs;
        dev.countFor = c.countFor;
        Run();

        EXPECT_EQ(RequestedNumbers(), c.requests);
        EXPECT_EQ(dev.progress, c.progress);
        EXPECT_EQ(Positions(), c.rows);
        ExpectOneImportBox(c.box);
        ExpectMainWindowBack();
        // Every request after the first waits the full pause after the answer.
        for (size_t i = 1; i < dev.requests.size(); ++i)
            EXPECT_GE(dev.requests[i].at - dev.answeredAt[i - 1], datalogger::RequestPauseMs);
    }
}

TEST_F(Import, SilentDeviceFailsAfterTheTimeOutAndEmptiesTheList) {
    struct Case {
        const char* name;
        int logged;
        std::vector<int> lost;
        std::vector<int> requests;
    } const cases[] = {
        {"no device", 0, {}, {1}},
        {"second answer fails its checksum: not asked again", 3, {2}, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        dev.logged = c.logged;
        dev.lost = c.lost;
        Run();

        EXPECT_EQ(RequestedNumbers(), c.requests);
        EXPECT_EQ(gui::reportRowCount(gui::MainWindow, RecordList), 0);
        ExpectOneImportBox(FailureText);
        // Last activity is the last answer seen, or the start.
        const int64_t since = dev.answeredAt.empty() ? 0 : dev.answeredAt.back();
        EXPECT_GT(dev.now - since, datalogger::AnswerTimeoutMs);
        EXPECT_LE(dev.now - since, datalogger::AnswerTimeoutMs + 2 * datalogger::EventWaitMs);
        ExpectMainWindowBack();
    }
}

TEST_F(Import, CancelStopsRequestingAndEmptiesTheList) {
    const gui::Event button{gui::EventKind::Control, gui::ReadWindow, CancelButton};
    const gui::Event closeMain{gui::EventKind::Close, gui::MainWindow, 0};
    const gui::Event closeRead{gui::EventKind::Close, gui::ReadWindow, 0};
    // Answer 1 is seen at 80 ms; its pause runs to 380 ms; answer 2 is due at 460 ms.
    struct Case {
        const char* name;
        gui::Event event;
        int64_t at;
        int logged;
        std::vector<int> requests;
    } const cases[] = {
        {"button while waiting for an answer", button, 40, 5, {1}},
        {"button during the pause", button, 200, 5, {1}},
        {"MainWindow closed during the pause", closeMain, 200, 5, {1}},
        {"ReadWindow closed while waiting", closeRead, 420, 5, {1, 2}},
        {"button while a silent device is waited for", button, 300, 0, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        dev.logged = c.logged;
        dev.script = c.event;
        dev.scriptAt = c.at;
        Run();

        EXPECT_EQ(RequestedNumbers(), c.requests);
        // An answer still on the line at the cancel must be in before the
        // list is emptied, or its row would stay.
        EXPECT_FALSE(dev.pending.has_value());
        EXPECT_EQ(gui::reportRowCount(gui::MainWindow, RecordList), 0);
        EXPECT_LE(dev.now - dev.requests.back().at,
                  datalogger::AnswerTimeoutMs + 2 * datalogger::EventWaitMs);
        EXPECT_TRUE(guifake::messageBoxes().empty());
        ExpectMainWindowBack();
        // The close was the import's: nothing is left for the main event loop.
        guifake::setIdleHook(nullptr);
        EXPECT_EQ(gui::waitEvent(0).kind, gui::EventKind::None);
        guifake::setIdleHook(Idle);
    }
}

TEST_F(Import, OtherEventsAreDropped) {
    dev.logged = 2;
    guifake::pushEvent({gui::EventKind::Control, gui::MainWindow, datalogger::ImportButton});
    guifake::pushEvent({gui::EventKind::Menu, gui::MainWindow, 84});
    guifake::pushEvent({gui::EventKind::Control, gui::ReadWindow, datalogger::ProgressBar});
    Run();
    EXPECT_EQ(RequestedNumbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(Positions(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(Import, ReadWindowLayout) {
    std::vector<guifake::ControlInfo> seen;
    gui::WindowSpec opened{};
    dev.logged = 1;
    guifake::setIdleHook([&](int ms) {
        if (seen.empty()) {
            opened = guifake::windowSpec(gui::ReadWindow);
            for (int n : {76, 77, 78, 79}) seen.push_back(guifake::control(gui::ReadWindow, n));
            EXPECT_EQ(gui::text(gui::ReadWindow, datalogger::ProgressFrame), "Progress");
            EXPECT_EQ(gui::text(gui::ReadWindow, CancelButton), "Cancel");
        }
        Idle(ms);
    });
    Run();
    struct Want {
        gui::Kind kind;
        int x, y, w, h;
    } const want[] = {
        {gui::Kind::Frame, 10, 10, 400, 110},
        {gui::Kind::TextCentre, 20, 30, 380, 40},
        {gui::Kind::Progress, 20, 70, 380, 30},
        {gui::Kind::Button, 170, 140, 80, 20},
    };
    EXPECT_EQ(std::string(opened.title ? opened.title : ""), "Read");
    EXPECT_EQ(opened.clientWidth, 420);
    EXPECT_EQ(opened.clientHeight, 180);
    EXPECT_EQ(opened.placement, gui::Placement::Centred);
    EXPECT_FALSE(opened.minimiseBox);
    EXPECT_EQ(opened.owner, gui::MainWindow);
    ASSERT_EQ(seen.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(seen[i].exists);
        EXPECT_EQ(seen[i].kind, want[i].kind);
        EXPECT_EQ(seen[i].x, want[i].x);
        EXPECT_EQ(seen[i].y, want[i].y);
        EXPECT_EQ(seen[i].w, want[i].w);
        EXPECT_EQ(seen[i].h, want[i].h);
    }
}

} // namespace
