#include "platform/preffile.h"

#include "tests/unit/scratch.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class PrefFileTest : public ::testing::Test {
  protected:
    void put(const std::string& bytes) { scratch::WriteFile(path, bytes); }
    std::string get() { return scratch::ReadFile(path); }

    scratch::Dir dir{"preffile"};
    std::string path = (dir.path() / "preferences.pref").string();
};

TEST_F(PrefFileTest, WritesGroupsInTheOrderTheyFirstGetAKey) {
    preffile::PrefFile f;
    f.create(path);
    f.selectGroup("Empty"); // never receives a key: not written
    f.selectGroup("Communication Setup");
    f.writeInt("Port", -12);
    f.selectGroup("Mode");
    f.writeText("Option", "DL");
    f.selectGroup("communication setup"); // same group, any case
    f.writeText("Name", "");
    f.writeText("Line", "a\r\nb\nc");
    f.selectGroup("Mode");
    f.writeText("option", "SK");    // same key again: one line, new value
    EXPECT_FALSE(fs::exists(path)); // nothing on disk before close
    ASSERT_TRUE(f.close());
    EXPECT_EQ(get(), "[Communication Setup]\r\nPort = -12\r\nName = \r\nLine = a  b c\r\n"
                     "[Mode]\r\nOption = SK\r\n");
}

TEST_F(PrefFileTest, CloseReplacesTheOldFileWholeAndLeavesNoTemporary) {
    put("[Old]\r\nKey = 1\r\n");
    preffile::PrefFile f;
    f.create(path);
    EXPECT_EQ(get(), "[Old]\r\nKey = 1\r\n"); // create does not empty it yet
    f.selectGroup("New");
    f.writeText("Key", "2");
    ASSERT_TRUE(f.close());
    EXPECT_EQ(get(), "[New]\r\nKey = 2\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    preffile::PrefFile none;
    none.create(path);
    ASSERT_TRUE(none.close());
    EXPECT_EQ(get(), ""); // no keys at all: an empty file
}

TEST_F(PrefFileTest, FailedSaveKeepsTheOldSettings) {
    put("[Old]\r\nKey = 1\r\n");
    fs::create_directory(path + ".tmp"); // the temporary cannot be created
    preffile::PrefFile f;
    f.create(path);
    f.selectGroup("New");
    f.writeText("Key", "2");
    EXPECT_FALSE(f.close());
    EXPECT_EQ(get(), "[Old]\r\nKey = 1\r\n");

    preffile::PrefFile nowhere;
    nowhere.create((dir.path() / "missing" / "preferences.pref").string());
    nowhere.selectGroup("G");
    nowhere.writeText("K", "v");
    EXPECT_FALSE(nowhere.close());
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST_F(PrefFileTest, MissingFileGivesEveryDefault) {
    preffile::PrefFile f;
    EXPECT_FALSE(f.open(path));
    f.selectGroup("Communication Setup");
    EXPECT_EQ(f.readInt("Port", 1), 1);
    EXPECT_EQ(f.readText("Option", "DL"), "DL");
    f.close();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(PrefFileTest, WrittenFileReadsBack) {
    preffile::PrefFile w;
    w.create(path);
    w.selectGroup("Communication Setup");
    w.writeInt("Port", 256);
    w.selectGroup("SendKeys");
    w.writeText("Rules1", "<QUANTITY>");
    w.writeText("Rules2", "x = y");
    w.writeText("Rules3", " ");
    w.writeText("Rules4", "\t kg ");
    ASSERT_TRUE(w.close());
    preffile::PrefFile r;
    ASSERT_TRUE(r.open(path));
    r.selectGroup("Communication Setup");
    EXPECT_EQ(r.readInt("Port", 1), 256);
    r.selectGroup("SendKeys");
    EXPECT_EQ(r.readText("Rules1", ""), "<QUANTITY>");
    EXPECT_EQ(r.readText("Rules2", ""), "x = y"); // the key ends at the first "="
    EXPECT_EQ(r.readText("Rules3", "none"), "");
    EXPECT_EQ(r.readText("Rules4", ""), "kg");
    // Blanks kept where the caller asks for the value as written.
    EXPECT_EQ(r.readTextExact("Rules3", "none"), " ");
    EXPECT_EQ(r.readTextExact("Rules4", ""), "\t kg ");
    EXPECT_EQ(r.readTextExact("Rules5", "none"), "none");
    EXPECT_EQ(r.readText("Rules5", "none"), "none");
}

TEST_F(PrefFileTest, ExactValuesOfHandMadeLines) {
    put("[G]\nA=v\nB =\tv\nC =   v \nD =\n");
    preffile::PrefFile f;
    ASSERT_TRUE(f.open(path));
    f.selectGroup("g");
    EXPECT_EQ(f.readTextExact("A", "-"), "v");
    EXPECT_EQ(f.readTextExact("B", "-"), "\tv");
    EXPECT_EQ(f.readTextExact("C", "-"), "  v ");
    EXPECT_EQ(f.readTextExact("D", "-"), "");
}

// One hand-made file per case; a lookup of `key` in `group`, default "dflt".
TEST_F(PrefFileTest, ReadingRules) {
    struct Case {
        const char* name;
        std::string file;
        const char* group;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"CR LF", "[G]\r\nK = v\r\n", "G", "K", "v"},
        {"LF only", "[G]\nA = 1\nK = v\n", "G", "K", "v"},
        {"CR only", "[G]\rA = 1\rK = v\r", "G", "K", "v"},
        {"no line end at the end", "[G]\r\nK = v", "G", "K", "v"},
        {"empty lines", "\r\n\r\n[G]\r\n\r\n\nK = v\r\n", "G", "K", "v"},
        {"byte-order mark", "\xEF\xBB\xBF[G]\r\nK = v\r\n", "G", "K", "v"},
        {"UTF-8 to the code page", "\xEF\xBB\xBF[G]\r\nK = S.r.l. \xE2\x82\xAC \xC3\xA8 \xE4\xB8\xAD\r\n",
         "G", "K", "S.r.l. \x80 \xE8 ?"},
        {"malformed UTF-8", "\xEF\xBB\xBF[G]\r\nK = a\xC3\xFF\xE2\x82\r\n", "G", "K", "a????"},
        {"no mark: bytes as they are", "[G]\r\nK = \xC3\xA8\r\n", "G", "K", "\xC3\xA8"},
        {"leading blanks and tabs", "  \t[G]\r\n \t K = v\r\n", "G", "K", "v"},
        {"comment", "[G]\r\n; K = no\r\n  ;K = no\r\nK = v\r\n", "G", "K", "v"},
        {"only a comment", "[G]\r\n;K = no\r\n", "G", "K", "dflt"},
        {"names ignore case", "[communication SETUP]\r\npORT = 3\r\n", "Communication Setup", "Port", "3"},
        {"value trimmed", "[G]\r\nK =  \t v w \t \r\n", "G", "K", "v w"},
        {"blank-only value is empty", "[G]\r\nK =    \r\n", "G", "K", ""},
        {"key trimmed, no blanks around =", "[G]\r\nK \t=v\r\n", "G", "K", "v"},
        {"value keeps later =", "[G]\r\nK = a=b\r\n", "G", "K", "a=b"},
        {"only the selected group", "[G]\r\nA = 1\r\n[H]\r\nK = v\r\n", "G", "K", "dflt"},
        {"group ends at next group line", "[H]\r\nK = v\r\n[G]\r\n", "G", "K", "dflt"},
        {"first of a repeated key", "[G]\r\nK = 1\r\nK = 2\r\n", "G", "K", "1"},
        {"group seen twice", "[G]\r\nA = 1\r\n[H]\r\n[G]\r\nK = v\r\n", "G", "K", "v"},
        {"group line without ]", "[G\r\nK = v\r\n", "G", "K", "v"},
        {"blanks in group brackets", "[ G ]\r\nK = v\r\n", "G", "K", "v"},
        {"line without =", "[G]\r\nK\r\nK v\r\n", "G", "K", "dflt"},
        {"empty key name", "[G]\r\n = v\r\n", "G", "", "dflt"},
        {"key above any group", "K = v\r\n[G]\r\n", "G", "K", "dflt"},
        {"missing group: no fallback to the last one", "[G]\r\nK = v\r\n", "Absent", "K", "dflt"},
        {"zero byte in a value", std::string("[G]\r\nK = a\0b\r\n", 13), "G", "K", std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        preffile::PrefFile f;
        put(c.file);
        ASSERT_TRUE(f.open(path));
        f.selectGroup("G"); // a group the file lacks must not leave this one in force
        f.selectGroup(c.group);
        EXPECT_EQ(f.readText(c.key, "dflt"), c.expected) << c.name;
    }
}

TEST_F(PrefFileTest, IntegersAreTheLeadingNumber) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"  -5  ", -5},
        {"+7", 7},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"1.9", 1},
        {"0x10", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"-2147483648", INT_MIN},
    };
    for (const Case& c : cases) {
        put(std::string("[G]\r\nK = ") + c.value + "\r\n");
        preffile::PrefFile f;
        ASSERT_TRUE(f.open(path));
        f.selectGroup("G");
        EXPECT_EQ(f.readInt("K", 42), c.expected) << c.value;
        EXPECT_EQ(f.readInt("Missing", 42), 42);
    }
}

} // namespace
