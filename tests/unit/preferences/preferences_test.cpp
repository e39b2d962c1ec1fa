#include "app/preferences.h"

#include "platform/gui.h"
#include "tests/doubles/gui/gui_fake.h"
#include "tests/unit/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int W = gui::MainWindow;

// What the hooks saw.
struct Seen {
    std::vector<device::Mode> modes;
    std::vector<std::string> logos;
    int port = 0;
    std::string printer;
};
Seen seen;

app::PrefsHooks Hooks() {
    app::PrefsHooks h;
    h.switchMode = [](device::Mode m) { seen.modes.push_back(m); };
    h.defaultPrinter = [] { return std::string("Office Laser"); };
    h.loadLogo = [](const std::string& path) { seen.logos.push_back(path); };
    h.portNumber = [] { return seen.port; };
    h.setPortNumber = [](int n) { seen.port = n; };
    h.labelPrinterName = &seen.printer;
    return h;
}

// The main window's controls that the settings touch, with their starting
// texts, and the probed ports COM1 and COM3.
void BuildWindow() {
    guifake::reset();
    gui::openWindow({W, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1});
    gui::createControl(W, 3, gui::Kind::DropDown, 570, 30, 90, 20, "");
    gui::listAdd(W, 3, "COM1");
    gui::listAdd(W, 3, "COM3");
    for (int option : {5, 6, 4}) gui::createControl(W, option, gui::Kind::Option, 30, 30, 125, 20, "");
    gui::createControl(W, 11, gui::Kind::ListBox, 300, 150, 270, 220, "");
    gui::createControl(W, 26, gui::Kind::TextRight, 250, 62, 320, 20, "");
    gui::createControl(W, 32, gui::Kind::Field, 130, 155, 230, 20, "Verdani Trading S.r.l.");
    gui::createControl(W, 33, gui::Kind::ReadOnlyField, 130, 200, 230, 20, "");
    for (int n : {27, 28, 34, 35, 38, 39, 40, 41, 42, 43, 45, 46, 47, 48})
        gui::createControl(W, n, gui::Kind::NumericField, 0, 0, 30, 20, "150");
    gui::createControl(W, 44, gui::Kind::DropDown, 500, 290, 150, 20, "");
    for (const char* t : {"Off", "Code 39 (Narrow)", "Code 39 (Normal)", "Code 39 (Large)",
                          "Code 128 (Narrow)", "Code 128 (Normal)", "Code 128 (Large)"})
        gui::listAdd(W, 44, t);
    gui::listSelect(W, 44, 2);
    seen = Seen{};
}

std::vector<std::string> KeyList() {
    std::vector<std::string> items;
    for (int i = 0; i < gui::listCount(W, 11); ++i) items.push_back(gui::listItem(W, 11, i));
    return items;
}

int CheckedOption() {
    for (int option : {4, 5, 6})
        if (gui::isChecked(W, option)) return option;
    return -1;
}

class Preferences : public ::testing::Test {
  protected:
    void SetUp() override { BuildWindow(); }

    void put(const std::string& bytes) { scratch::WriteFile(path, bytes); }
    std::string get() { return scratch::ReadFile(path); }

    scratch::Dir dir{"preferences"};
    std::string path = (dir.path() / "preferences.pref").string();
};

const char* const DefaultLabel = "[CustomPrinterLabel]\r\n"
                                 "PrinterName = Office Laser\r\n"
                                 "CompanyName = Verdani Trading Srl\r\n"
                                 "CompanyNameX = 30\r\n"
                                 "CompanyNameY = 30\r\n"
                                 "CompanyLogo = \r\n"
                                 "CompanyLogoX = 30\r\n"
                                 "CompanyLogoY = 90\r\n"
                                 "DateX = 30\r\n"
                                 "DateY = 40\r\n"
                                 "OperatorX = 30\r\n"
                                 "OperatorY = 45\r\n"
                                 "QuantityX = 30\r\n"
                                 "QuantityY = 50\r\n"
                                 "BarcodeQX = 30\r\n"
                                 "BarcodeQY = 60\r\n"
                                 "BarcodeIDX = 30\r\n"
                                 "BarcodeIDY = 75\r\n"
                                 "BarcodeType = 2\r\n";

TEST_F(Preferences, FirstStartThenSaveWritesTheDefaults) {
    app::LoadPreferences(path, Hooks());
    EXPECT_EQ(seen.port, 1);
    EXPECT_EQ(gui::listSelected(W, 3), 0); // COM1
    EXPECT_EQ(seen.modes, std::vector<device::Mode>{device::Mode::DataLogger});
    EXPECT_EQ(CheckedOption(), 4);
    EXPECT_TRUE(KeyList().empty());
    EXPECT_EQ(seen.printer, "Office Laser");
    EXPECT_EQ(gui::text(W, 26), "Office Laser ");
    EXPECT_EQ(gui::text(W, 32), "Verdani Trading Srl");
    EXPECT_EQ(gui::text(W, 35), "90");
    EXPECT_TRUE(seen.logos.empty()); // an empty path loads nothing
    EXPECT_FALSE(fs::exists(path));

    ASSERT_TRUE(app::SavePreferences(path, Hooks()));
    EXPECT_EQ(get(),
              std::string("[Communication Setup]\r\nPort = 1\r\n[Mode]\r\nOption = DL\r\n") + DefaultLabel);
}

TEST_F(Preferences, SavedSettingsComeBackAndAreWrittenByteForByte) {
    const std::string file = "[Communication Setup]\r\nPort = 3\r\n"
                             "[Mode]\r\nOption = SK\r\n"
                             "[SendKeys]\r\nRules1 = {QUANTITY}\r\nRules2 =  \r\nRules3 =  kg\r\n"
                             "[CustomPrinterLabel]\r\n"
                             "PrinterName = Label Printer 2\r\n"
                             "CompanyName = ACME\r\n"
                             "CompanyNameX = 1\r\nCompanyNameY = 2\r\n"
                             "CompanyLogo = C:\\logos\\acme.png\r\n"
                             "CompanyLogoX = 3\r\nCompanyLogoY = 4\r\n"
                             "DateX = 5\r\nDateY = 6\r\nOperatorX = 7\r\nOperatorY = 8\r\n"
                             "QuantityX = 9\r\nQuantityY = 10\r\nBarcodeQX = 11\r\nBarcodeQY = 12\r\n"
                             "BarcodeIDX = abc\r\nBarcodeIDY = 14\r\nBarcodeType = 6\r\n";
    put(file);
    app::LoadPreferences(path, Hooks());
    EXPECT_EQ(seen.port, 3);
    EXPECT_EQ(gui::listSelected(W, 3), 1);
    EXPECT_EQ(seen.modes, std::vector<device::Mode>{device::Mode::SendKeys});
    EXPECT_EQ(CheckedOption(), 6);
    EXPECT_EQ(KeyList(), (std::vector<std::string>{"{QUANTITY}", " ", " kg"}));
    EXPECT_EQ(gui::text(W, 26), "Label Printer 2 ");
    EXPECT_EQ(gui::text(W, 47), "abc"); // not validated
    EXPECT_EQ(gui::listSelected(W, 44), 6);
    EXPECT_EQ(seen.logos, std::vector<std::string>{"C:\\logos\\acme.png"});

    fs::remove(path);
    ASSERT_TRUE(app::SavePreferences(path, Hooks()));
    EXPECT_EQ(get(), file);
}

TEST_F(Preferences, NoModeAndNoEntriesWriteNoGroupForThem) {
    // No load ran: the controls hold their starting texts.
    seen.port = -2;
    ASSERT_TRUE(app::SavePreferences(path, Hooks()));
    std::string expected = "[Communication Setup]\r\nPort = -2\r\n[CustomPrinterLabel]\r\nPrinterName = \r\n"
                           "CompanyName = Verdani Trading S.r.l.\r\n";
    for (const char* key : {"CompanyNameX", "CompanyNameY"}) expected += std::string(key) + " = 150\r\n";
    expected += "CompanyLogo = \r\n";
    for (const char* key : {"CompanyLogoX", "CompanyLogoY", "DateX", "DateY", "OperatorX", "OperatorY",
                            "QuantityX", "QuantityY", "BarcodeQX", "BarcodeQY", "BarcodeIDX", "BarcodeIDY"})
        expected += std::string(key) + " = 150\r\n";
    expected += "BarcodeType = 2\r\n";
    EXPECT_EQ(get(), expected);
}

TEST_F(Preferences, SaveThatCannotWriteReportsIt) {
    put("[Mode]\r\nOption = CPL\r\n");
    fs::create_directory(path + ".tmp");
    EXPECT_FALSE(app::SavePreferences(path, Hooks()));
    EXPECT_EQ(get(), "[Mode]\r\nOption = CPL\r\n");
    EXPECT_FALSE(app::SavePreferences((dir.path() / "none" / "preferences.pref").string(), Hooks()));
}

TEST_F(Preferences, ReadingHandMadeFiles) {
    struct Case {
        const char* name;
        std::string file;
        std::optional<device::Mode> mode; // the one mode started, if any
        std::vector<std::string> keys;
        int port;
        int portSelected;
        int barcodeType;
        const char* company;
    };
    using M = device::Mode;
    const Case cases[] = {
        {"byte-order mark, LF only",
         "\xEF\xBB\xBF[Mode]\nOption = CPL\n[SendKeys]\nRules1 = a\n",
         M::Label,
         {"a"},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"comments and odd case",
         "; saved by hand\r\n[MODE]\r\noPTION = SK\r\n[sendkeys]\r\n  RULES1 = {TAB}\r\n",
         M::SendKeys,
         {"{TAB}"},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"lower-case mode starts none",
         "[Mode]\r\nOption = sk\r\n",
         std::nullopt,
         {},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"unknown mode starts none",
         "[Mode]\r\nOption = \r\n",
         std::nullopt,
         {},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"a missing Rules key ends the list",
         "[SendKeys]\r\nRules1 = a\r\nRules3 = c\r\n",
         M::DataLogger,
         {"a"},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"an empty Rules value ends the list",
         "[SendKeys]\r\nRules1 = a\r\nRules2 = \r\nRules3 = c\r\n",
         M::DataLogger,
         {"a"},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"blank-only entries do not end the list",
         "[SendKeys]\r\nRules1 = a\r\nRules2 =    \r\nRules3 = c\r\n",
         M::DataLogger,
         {"a", "   ", "c"},
         1,
         0,
         2,
         "Verdani Trading Srl"},
        {"port not probed",
         "[Communication Setup]\r\nPort = 7\r\n",
         M::DataLogger,
         {},
         7,
         -1,
         2,
         "Verdani Trading Srl"},
        {"port with junk",
         "[Communication Setup]\r\nPort = 3rd\r\n",
         M::DataLogger,
         {},
         3,
         1,
         2,
         "Verdani Trading Srl"},
        {"other values trimmed",
         "[CustomPrinterLabel]\r\nCompanyName =  ACME \t\r\nBarcodeType = 5x\r\n",
         M::DataLogger,
         {},
         1,
         0,
         5,
         "ACME"},
        {"barcode type out of range",
         "[CustomPrinterLabel]\r\nBarcodeType = 9\r\n",
         M::DataLogger,
         {},
         1,
         0,
         -1,
         "Verdani Trading Srl"},
        {"keys in the wrong group",
         "[Mode]\r\nPort = 3\r\nCompanyName = X\r\n",
         M::DataLogger,
         {},
         1,
         0,
         2,
         "Verdani Trading Srl"},
    };
    for (const Case& c : cases) {
        BuildWindow();
        put(c.file);
        app::LoadPreferences(path, Hooks());
        std::vector<device::Mode> modes;
        if (c.mode) modes.push_back(*c.mode);
        EXPECT_EQ(seen.modes, modes) << c.name;
        const int option = !c.mode ? -1 : *c.mode == M::Label ? 5 : *c.mode == M::SendKeys ? 6 : 4;
        EXPECT_EQ(CheckedOption(), option) << c.name;
        EXPECT_EQ(KeyList(), c.keys) << c.name;
        EXPECT_EQ(seen.port, c.port) << c.name;
        EXPECT_EQ(gui::listSelected(W, 3), c.portSelected) << c.name;
        EXPECT_EQ(gui::listSelected(W, 44), c.barcodeType) << c.name;
        EXPECT_EQ(gui::text(W, 32), c.company) << c.name;
    }
}

} // namespace
