#include "barcode/barcode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

// Modules from bar/space widths, bar first.
ModuleString FromWidths(const std::string& widths) {
    ModuleString m;
    char module = '1';
    for (char w : widths) {
        m.append(static_cast<std::size_t>(w - '0'), module);
        module = module == '1' ? '0' : '1';
    }
    return m;
}

struct Code128Case {
    std::string text;
    int mode;
    std::vector<int> sequence;
    int check;
    std::string printed;
    std::size_t modules;
};

TEST(Code128Encode, SequencesChecksTextsAndModuleCounts) {
    const Code128Case cases[] = {
        {"123456", 5, {105, 12, 34, 56}, 44, "123456", 68},
        {"123", 5, {105, 12, 101, 19}, 67, "123", 68},
        {"123", 4, {105, 12, 100, 19}, 65, "123", 68},
        {"12345", 5, {105, 12, 34, 101, 21}, 57, "12345", 79},
        {"ABC", 5, {103, 33, 34, 35}, 0, "ABC", 68},
        {"ABC", 4, {104, 33, 34, 35}, 1, "ABC", 68},
        {"A12", 5, {103, 33, 17, 18}, 18, "A12", 68},
        {"A1234", 5, {103, 33, 99, 12, 34}, 94, "A1234", 79},
        {"AB1234", 5, {103, 33, 34, 99, 12, 34}, 101, "AB1234", 90},
        {"AB12345", 5, {103, 33, 34, 99, 12, 34, 101, 21}, 30, "AB12345", 112},
        {"12AB", 5, {105, 12, 101, 33, 34}, 39, "12AB", 79},
        {"ab1234cd", 4, {104, 65, 66, 99, 12, 34, 100, 67, 68}, 60, "ab1234cd", 123},
        {"1", 5, {103, 17}, 17, "1", 46},
        {"12", 5, {105, 12}, 14, "12", 46},
        {"Hello", 5, {103, 40, 100, 69, 76, 76, 79}, 60, "Hello", 101},
        {"A B", 5, {103, 33, 0, 34}, 32, "A B", 68},
        {"A\tB", 4, {104, 33, 101, 73, 100, 34}, 98, "AB", 90},
        {"\x80"
         "A",
         5,
         {103, 0, 33},
         66,
         " A",
         57},
        {"A\xc8"
         "B",
         5,
         {103, 33, 34},
         101,
         "AB",
         57},
        {"", 5, {105}, 2, "", 35},
        {"\xff\x81", 4, {105}, 2, "", 35},
        {"", 1, {103}, 0, "", 35},
        {"", 2, {104}, 1, "", 35},
        {"A1", 3, {105, 1}, 3, "01", 46},
        {"12345", 3, {105, 1, 23, 45}, 81, "012345", 68},
        {"A\tB", 2, {104, 33, 34}, 102, "AB", 57},
        {"\x7f", 2, {104, 95}, 96, "", 46},
        {"A\x7f", 1, {103, 33}, 33, "A", 46},
        {"Ab", 1, {103, 33, 98}, 23, "A", 57}, // forced A: "b" is the SHIFT value
        {"ABC", 9, {103, 33, 34, 35}, 0, "ABC", 68},
    };
    for (const Code128Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\" mode " + std::to_string(c.mode));
        const std::vector<int> seq = Code128_Encode(c.text, c.mode);
        EXPECT_EQ(seq, c.sequence);
        EXPECT_EQ(Code128_Checksum(seq), c.check);
        EXPECT_EQ(Code128_Text(seq), c.printed);
        EXPECT_EQ(Code128_Modules(seq).size(), c.modules);
    }
}

TEST(Code128Pattern, TableIsTheStandardOne) {
    EXPECT_EQ(Code128_Pattern(0), FromWidths("212222"));
    EXPECT_EQ(Code128_Pattern(103), FromWidths("211412"));
    EXPECT_EQ(Code128_Pattern(104), FromWidths("211214"));
    EXPECT_EQ(Code128_Pattern(105), FromWidths("211232"));
    EXPECT_EQ(Code128_Pattern(106), FromWidths("2331112"));
    EXPECT_EQ(Code128_Pattern(-1), "");
    EXPECT_EQ(Code128_Pattern(107), "");

    // Every symbol character: three bars and three spaces over 11 modules,
    // an even number of dark modules, and no two alike.
    std::set<ModuleString> seen;
    for (int v = 0; v <= 105; ++v) {
        SCOPED_TRACE(v);
        const ModuleString m = Code128_Pattern(v);
        ASSERT_EQ(m.size(), 11u);
        EXPECT_EQ(m.front(), '1');
        EXPECT_EQ(m.back(), '0');
        int runs = 0, dark = 0;
        for (std::size_t k = 0; k < m.size(); ++k) {
            if (m[k] == '1') ++dark;
            if (k == 0 || m[k] != m[k - 1]) ++runs;
        }
        EXPECT_EQ(runs, 6);
        EXPECT_EQ(dark % 2, 0);
        EXPECT_TRUE(seen.insert(m).second);
    }
}

// Reads a sequence back the way a scanner does, control characters included;
// SHIFT and FNC values show up as markers that no input text contains.
std::string ScanBack(const std::vector<int>& seq) {
    std::string out;
    int subset = seq.at(0) - CODE128_START_A;
    for (std::size_t k = 1; k < seq.size(); ++k) {
        int v = seq[k];
        if (subset != 2 && v == 99)
            subset = 2;
        else if (subset != 1 && v == 100)
            subset = 1;
        else if (subset != 0 && v == 101)
            subset = 0;
        else if (subset != 2 && v >= 96)
            out += "<function " + std::to_string(v) + ">";
        else if (subset == 2)
            out += std::string(1, char('0' + v / 10)) + char('0' + v % 10);
        else if (subset == 1)
            out += char(v + 32);
        else
            out += char(v < 64 ? v + 32 : v - 64);
    }
    return out;
}

TEST(Code128Encode, AutomaticModesEncodeEveryCharacterThatPassesTheFilter) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    // Digits are frequent so that runs into and out of subset C occur.
    const std::string digits = "0123456789";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        std::size_t len = next() % 12;
        for (std::size_t k = 0; k < len; ++k) {
            uint32_t r = next() >> 8;
            text += r % 2 ? digits[r % 10] : char(1 + r % 255);
        }
        std::string expected;
        for (char ch : text)
            if (static_cast<unsigned char>(ch) <= 128) expected += ch == '\x80' ? ' ' : ch;
        for (int mode : {CODE128_AUTO_A, CODE128_AUTO_B}) {
            SCOPED_TRACE(testing::PrintToString(text) + " mode " + std::to_string(mode));
            const std::vector<int> seq = Code128_Encode(text, mode);
            ASSERT_FALSE(seq.empty());
            ASSERT_GE(seq[0], CODE128_START_A);
            ASSERT_LE(seq[0], CODE128_START_C);
            for (std::size_t k = 1; k < seq.size(); ++k) {
                ASSERT_GE(seq[k], 0);
                ASSERT_LE(seq[k], 101);
            }
            EXPECT_EQ(ScanBack(seq), expected);
        }
    }
}

struct Code39Case {
    std::string text;
    int check;
    std::vector<int> values;
    std::string printed;
    std::size_t modules;
};

TEST(Code39Encode, ValuesTextsAndModuleCounts) {
    const Code39Case cases[] = {
        {"ABC", 0, {10, 11, 12}, "ABC", 65},
        {"ABC", 1, {10, 11, 12, 33}, "ABCX", 78},
        {"ABC", 2, {10, 11, 12, 33}, "ABC", 78},
        {"ABC", 3, {10, 11, 12, 33}, "ABC", 78},
        {"CODE39", 1, {12, 24, 13, 14, 3, 9, 32}, "CODE39W", 117},
        {"-. $/+%", 1, {36, 37, 38, 39, 40, 41, 42, 15}, "-. $/+%F", 130},
        {"ABCDEFGHIJKLMNO",
         0,
         {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24},
         "ABCDEFGHIJKLMNO",
         221},
        {"123456", 0, {1, 2, 3, 4, 5, 6}, "123456", 104},
        {"123456", 1, {1, 2, 3, 4, 5, 6, 21}, "123456L", 117},
        {"abc", 0, {}, "000", 26},
        {"A*B", 0, {10, 11}, "A0B", 52},
        {std::string("A\0\xe9", 3), 0, {10}, "A00", 39},
        {"", 0, {}, "", 26},
        {"", 1, {0}, "0", 39},
    };
    for (const Code39Case& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\" check " + std::to_string(c.check));
        const Code39Symbol sym = Code39_Encode(c.text, c.check);
        EXPECT_EQ(sym.values, c.values);
        EXPECT_EQ(sym.text, c.printed);
        EXPECT_EQ(Code39_Modules(sym.values).size(), c.modules);
    }
}

TEST(Code39Pattern, TableIsTheStandardOne) {
    EXPECT_EQ(Code39_Pattern(0), FromWidths("111221211"));
    EXPECT_EQ(Code39_Pattern(43), FromWidths("121121211"));
    EXPECT_EQ(Code39_Pattern(44), "");
    EXPECT_EQ(Code39_Pattern(-1), "");

    // Five bars and four spaces, three of them wide, over 12 modules; all distinct.
    std::set<ModuleString> seen;
    for (int v = 0; v <= 43; ++v) {
        SCOPED_TRACE(v);
        const ModuleString m = Code39_Pattern(v);
        ASSERT_EQ(m.size(), 12u);
        EXPECT_EQ(m.front(), '1');
        EXPECT_EQ(m.back(), '1');
        int runs = 0;
        for (std::size_t k = 0; k < m.size(); ++k)
            if (k == 0 || m[k] != m[k - 1]) ++runs;
        EXPECT_EQ(runs, 9); // 9 elements in 12 modules: exactly three are wide
        EXPECT_TRUE(seen.insert(m).second);
    }
    // The gap after each character, the stop's included.
    EXPECT_EQ(Code39_Modules({}), Code39_Pattern(43) + "0" + Code39_Pattern(43) + "0");
}

} // namespace
