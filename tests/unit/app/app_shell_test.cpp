// The main window, the dispatch table and the mode switch, driven through the
// GUI test double.
#include "app/mainwindow.h"
#include "app/shell.h"
#include "device/link.h"
#include "tests/doubles/gui/gui_fake.h"
#include "tests/doubles/serial/serial_fake.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using app::Group;

class Shell : public ::testing::Test {
  protected:
    void SetUp() override {
        guifake::reset();
        serialfake::reset();
        app::State() = app::AppState{};
        app::State().aboutText = app::kAboutText;
        ASSERT_TRUE(app::BuildMainWindow(device::ProbePorts));
    }
    void TearDown() override {
        device::StopAllListeners();
        device::ClosePort();
    }
    static std::set<int> visibleOf(Group g) {
        std::set<int> out;
        for (const auto& c : app::MainWindowControls())
            if (c.group == g && gui::isControlVisible(gui::MainWindow, c.number)) out.insert(c.number);
        return out;
    }
    static std::set<int> membersOf(Group g) {
        std::set<int> out;
        for (const auto& c : app::MainWindowControls())
            if (c.group == g) out.insert(c.number);
        return out;
    }
};

TEST_F(Shell, ControlsMatchTheTableAndAreAllVisibleBeforeAModeStarts) {
    struct Row {
        int number;
        gui::Kind kind;
        int x, y, w, h;
        const char* text;
    };
    // A sample across kinds and groups; the whole table is checked by number below.
    const Row rows[] = {
        {app::PortList, gui::Kind::DropDown, 570, 30, 90, 20, ""},
        {app::LabelModeOption, gui::Kind::Option, 30, 30, 125, 20, "Custom Printer Label"},
        {app::RecordList, gui::Kind::ReportList, 30, 150, 580, 230, ""},
        {app::TextFieldControl, gui::Kind::Field, 30, 310, 100, 20, "Type here the text"},
        {app::CompanyNameField, gui::Kind::Field, 130, 155, 230, 20, "Verdani Trading S.r.l."},
        {app::CompanyLogoField, gui::Kind::ReadOnlyField, 130, 200, 230, 20, ""},
        {app::BarcodeIDYField, gui::Kind::NumericField, 670, 350, 30, 20, "150"},
        {app::OperationsFrame, gui::Kind::Frame, 10, 125, 720, 270, "Operations"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.number);
        guifake::ControlInfo c = guifake::control(gui::MainWindow, r.number);
        ASSERT_TRUE(c.exists);
        EXPECT_EQ(c.kind, r.kind);
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.w, c.h}), (std::vector<int>{r.x, r.y, r.w, r.h}));
        if (r.kind != gui::Kind::DropDown) {
            EXPECT_EQ(gui::text(gui::MainWindow, r.number), r.text);
        }
    }
    std::set<int> numbers;
    for (const auto& c : app::MainWindowControls()) {
        EXPECT_TRUE(numbers.insert(c.number).second) << "duplicate control " << c.number;
        EXPECT_TRUE(gui::isControlVisible(gui::MainWindow, c.number)) << c.number;
    }
    std::set<int> label;
    for (int n = 26; n <= 73; ++n)
        if (n != 31) label.insert(n);
    EXPECT_EQ(membersOf(Group::DataLogger), (std::set<int>{8, 9, 10}));
    std::set<int> sendKeys;
    for (int n = 11; n <= 25; ++n) sendKeys.insert(n);
    EXPECT_EQ(membersOf(Group::SendKeys), sendKeys);
    EXPECT_EQ(membersOf(Group::Label), label);

    EXPECT_EQ(gui::text(gui::MainWindow, app::BarcodeTypeList), "Code 39 (Normal)");
    EXPECT_EQ(gui::listCount(gui::MainWindow, app::BarcodeTypeList), 7);
    EXPECT_EQ(gui::text(gui::MainWindow, app::SpecialKeyListControl), "ENTER");
    EXPECT_EQ(gui::listCount(gui::MainWindow, app::SpecialKeyListControl), 35);

    auto menu = guifake::menu(gui::MainWindow);
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(std::string(menu[0].menu) + "/" + menu[0].text, "File/Exit");
    EXPECT_EQ(menu[0].number, 83);
    EXPECT_EQ(std::string(menu[4].text), "About...");
    EXPECT_EQ(menu[4].number, 84);
}

TEST_F(Shell, EachModeSwitchShowsOnlyItsGroupAndRunsOnlyItsListener) {
    struct Case {
        int option;
        Group group;
        device::Mode mode;
    };
    const Case cases[] = {
        {app::LabelModeOption, Group::Label, device::Mode::Label},
        {app::SendKeysModeOption, Group::SendKeys, device::Mode::SendKeys},
        {app::DataLoggerModeOption, Group::DataLogger, device::Mode::DataLogger},
        {app::DataLoggerModeOption, Group::DataLogger, device::Mode::DataLogger}, // the same mode again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        gui::setChecked(gui::MainWindow, c.option, true); // the click itself
        app::Dispatch({gui::EventKind::Control, gui::MainWindow, c.option});
        for (Group g : {Group::Label, Group::SendKeys, Group::DataLogger})
            EXPECT_EQ(visibleOf(g), g == c.group ? membersOf(g) : std::set<int>{});
        EXPECT_TRUE(gui::isControlVisible(gui::MainWindow, app::PortList));
        EXPECT_TRUE(gui::isControlVisible(gui::MainWindow, app::OperationsFrame));
        for (device::Mode m : {device::Mode::Label, device::Mode::SendKeys, device::Mode::DataLogger})
            EXPECT_EQ(device::ListenerRunning(m), m == c.mode);
        EXPECT_TRUE(gui::isChecked(gui::MainWindow, c.option));
    }
}

TEST_F(Shell, HelpAndAboutBoxesCarryTheirTitlesAndTexts) {
    struct Case {
        int item;
        const char* title;
        const char* text;
    };
    const Case cases[] = {
        {app::MenuAbout, "Information", app::kAboutText},
        {app::MenuHelpDataLogger, "DataLogger", app::kHelpDataLogger},
        {app::MenuHelpLabel, "Custom Printer Label", app::kHelpLabel},
        {app::MenuHelpSendKeys, "SendKeys", app::kHelpSendKeys},
    };
    for (const Case& c : cases) {
        guifake::clearMessageBoxes();
        app::Dispatch({gui::EventKind::Menu, gui::MainWindow, c.item});
        auto boxes = guifake::messageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.title;
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].icon, gui::Icon::Information);
        EXPECT_FALSE(app::State().quit);
    }
    EXPECT_EQ(std::string(app::kAboutText).substr(0, 32), "ZEL Manager 1.3 (October 2016)\n\n");
}

TEST_F(Shell, ExitAndTheCloseBoxEndTheLoopButOtherWindowsAndItemsDoNot) {
    app::Dispatch({gui::EventKind::Menu, gui::MainWindow, 999});
    app::Dispatch({gui::EventKind::Close, gui::ReadWindow, 0});
    app::Dispatch({gui::EventKind::Control, gui::MainWindow, app::TextFieldControl});
    EXPECT_FALSE(app::State().quit);
    app::Dispatch({gui::EventKind::Menu, gui::MainWindow, app::MenuExit});
    EXPECT_TRUE(app::State().quit);
    app::State().quit = false;
    app::Dispatch({gui::EventKind::Close, gui::MainWindow, 0});
    EXPECT_TRUE(app::State().quit);
}

TEST_F(Shell, PortChangeReopensOnlyWhenTheNumberDiffers) {
    serialfake::addPort("COM1");
    serialfake::addPort("COM3");
    guifake::reset();
    ASSERT_TRUE(app::BuildMainWindow(device::ProbePorts));
    ASSERT_EQ(gui::listCount(gui::MainWindow, app::PortList), 2);
    device::SetPortNumber(1);
    device::OpenPort();
    int opens = device::PortOpenCount();

    gui::listSelect(gui::MainWindow, app::PortList, 0); // COM1, the port in use
    app::Dispatch({gui::EventKind::Control, gui::MainWindow, app::PortList});
    EXPECT_EQ(device::PortOpenCount(), opens);

    gui::listSelect(gui::MainWindow, app::PortList, 1); // COM3
    app::Dispatch({gui::EventKind::Control, gui::MainWindow, app::PortList});
    EXPECT_EQ(device::PortNumber(), 3);
    EXPECT_EQ(device::PortOpenCount(), opens + 1);
    EXPECT_TRUE(serialfake::isOpen("COM3"));
    EXPECT_FALSE(serialfake::isOpen("COM1"));
}

} // namespace
