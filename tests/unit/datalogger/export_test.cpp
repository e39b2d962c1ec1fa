#include "datalogger/export.h"

#include "datalogger/import.h"
#include "platform/gui.h"
#include "tests/doubles/gui/gui_fake.h"
#include "tests/unit/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using datalogger::RecordList;

const std::string Header = "PosOperator      Date TimeQuantity" + std::string(38, ' ') + "Barcode\r\n";
const std::string ExampleLine = " 12   SMITH2016/10/21  9:5    1500" + std::string(39, ' ') + "ABC123\r\n";

TEST(ExportFormat, FieldsAreRightAlignedAndCutToTheirWidth) {
    struct Case {
        const char* name;
        std::vector<std::string> texts;
        std::string line;
    } const cases[] = {
        {"example row", {"12", "SMITH", "2016/10/21", "9:5", "1500", "ABC123"}, ExampleLine.substr(0, 79)},
        {"long texts keep their first characters",
         {"1234", "ABCDEFGHIJ", "2016/10/210", "12:345", "123456789", std::string(40, 'x') + "yyyyyzzz"},
         "123ABCDEFGH2016/10/2112:3412345678" + std::string(40, 'x') + "yyyyy"},
        {"empty operator of spaces, empty barcode",
         {"1", "        ", "2000/1/1", "0:0", "0", ""},
         "  1        " + std::string(2, ' ') + "2000/1/1" + "  0:0" + std::string(7, ' ') + "0" +
             std::string(45, ' ')},
        {"8-bit bytes are kept",
         {"7", "JOS\xC9", "", "", "", "\xE9\x01"},
         "  7    JOS\xC9" + std::string(23, ' ') + std::string(43, ' ') + "\xE9\x01"},
        {"missing texts are blank", {}, std::string(79, ' ')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string line = datalogger::FormatExportLine(c.texts);
        EXPECT_EQ(line.size(), 79u);
        EXPECT_EQ(line, c.line);
    }
    EXPECT_EQ(datalogger::ExportHeaderLine() + "\r\n", Header);
}

TEST(ExportFormat, FileNameEndsInOneTxt) {
    struct Case {
        const char* chosen;
        const char* saved;
    } const cases[] = {
        {"report", "report.txt"},
        {"report.TXT", "report.txt"},
        {"a.txt.txt", "a.txt"},
        {"data.txt.old", "data.old.txt"},
        {"C:\\out\\Log.Txt", "C:\\out\\Log.txt"},
        {".txt", ".txt"},
        // A folder's name is not the file's: renaming it would write elsewhere.
        {"C:\\logs.txt\\day", "C:\\logs.txt\\day.txt"},
        {"/tmp/x.TXT/y.txt", "/tmp/x.TXT/y.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(datalogger::ExportFileName(c.chosen), c.saved) << c.chosen;
}

class Save : public ::testing::Test {
  protected:
    void SetUp() override {
        guifake::reset();
        gui::openWindow({gui::MainWindow, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1});
        gui::createControl(gui::MainWindow, RecordList, gui::Kind::ReportList, 30, 150, 580, 230, "");
    }
    void AddRow(const std::vector<std::string>& cells) {
        gui::reportAddRow(gui::MainWindow, RecordList, cells);
    }
    std::vector<fs::path> Files() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) out.push_back(e.path());
        return out;
    }

    scratch::Dir dir{"zel-export"};
};

TEST_F(Save, WritesHeaderAndRowsOverAnExistingFile) {
    AddRow({"12", "SMITH", "2016/10/21", "9:5", "1500", "ABC123"});
    AddRow({"1000", "________", "2016/1/5", "14:30", "4294967295", "X"});
    scratch::WriteFile(dir.path() / "report.txt", std::string(1000, 'o'));
    guifake::setFileDialogAnswer((dir.path() / "report.TXT").string());

    datalogger::SaveRecords();

    const auto dialogs = guifake::fileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].owner, gui::MainWindow);
    EXPECT_EQ(dialogs[0].title, "Please choose file to save data");
    EXPECT_EQ(dialogs[0].filter, "Fixed Width Text (*.txt)|*.txt");

    const std::string second = "100________  2016/1/514:3042949672" + std::string(44, ' ') + "X\r\n";
    EXPECT_EQ(scratch::ReadFile(dir.path() / "report.txt"), Header + ExampleLine + second);
    EXPECT_EQ(Files().size(), 1u);
    EXPECT_TRUE(guifake::messageBoxes().empty());
}

TEST_F(Save, EmptyListGivesTheHeaderAlone) {
    guifake::setFileDialogAnswer((dir.path() / "empty").string());
    datalogger::SaveRecords();
    EXPECT_EQ(scratch::ReadFile(dir.path() / "empty.txt"), Header);
}

TEST_F(Save, CancelOrAnUncreatableFileWritesNothingAndSaysNothing) {
    AddRow({"1", "A", "2016/1/1", "1:1", "1", "B"});
    for (const std::string& answer : {std::string(), (dir.path() / "missing" / "report").string()}) {
        SCOPED_TRACE(answer);
        guifake::setFileDialogAnswer(answer);
        datalogger::SaveRecords();
        EXPECT_TRUE(Files().empty());
        EXPECT_TRUE(guifake::messageBoxes().empty());
    }
}

} // namespace
