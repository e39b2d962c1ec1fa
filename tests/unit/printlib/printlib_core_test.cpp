// The device-free rules of the printing library.
#include "printlib/core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace printcore;

TEST(PrintSettings, NumbersReadSignBaseAndStopAtJunk) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"42", 42},  {" \t7", 7},   {"-3", -3},        {"+5", 5},         {"$1F", 31}, {"$ff", 255},
        {"%101", 5}, {"-$10", -16}, {"12abc", 12},     {"%102", 2},       {"", 0},     {"x1", 0},
        {" 1 2", 1}, {"$", 0},      {"4294967297", 1}, {"$FFFFFFFF", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(parseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(PrintSettings, ItemsMatchUpperCasedKeysInOrder) {
    auto items = parseSettings("copies=3,Foo=1,,COLLATE=1", devModeKeys, DmFieldCount);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].field, DmCopies);
    EXPECT_EQ(items[0].value, 3);
    EXPECT_EQ(items[1].field, DmCollate);
    EXPECT_EQ(items[1].value, 1);
    EXPECT_EQ(devModeBits[DmCopies] | devModeBits[DmCollate], 0x8100u);

    // Value runs to the second "="; keys are not trimmed; later items come later.
    items = parseSettings("ORIENTATION=2=9, COPIES=4,orientation=1,PAPERSIZE", devModeKeys, DmFieldCount);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].value, 2);
    EXPECT_EQ(items[1].field, DmOrientation);
    EXPECT_EQ(items[1].value, 1);
    EXPECT_EQ(items[2].field, DmPaperSize);
    EXPECT_EQ(items[2].value, 0);

    items = parseSettings("FLAGS=$40000,NCOPIES=2,lpfnPrintHook=%11", printDlgKeys, PdFieldCount);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].field, PdFlags);
    EXPECT_EQ(items[0].value, 0x40000);
    EXPECT_EQ(items[2].field, PdPrintHook);
    EXPECT_EQ(items[2].value, 3);
    EXPECT_TRUE(parseSettings("", devModeKeys, DmFieldCount).empty());
    EXPECT_TRUE(parseSettings(",,,", devModeKeys, DmFieldCount).empty());
}

TEST(PrintUnits, MillimetresToDevicePixels) {
    const struct {
        float mm;
        int dpi;
        int32_t pixels;
    } cases[] = {
        {0.2f, 600, 5},    {0.2f, 300, 2},  {0.2f, 203, 2},    {10.0f, 300, 118},
        {25.4f, 600, 600}, {10.0f, 56, 22}, {12.0f, 300, 142}, {-10.0f, 300, -118},
        {0.0f, 300, 0},    {10.0f, 0, 0},   {30.0f, 300, 354},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unitToDevice(UnitMillimetre, c.mm, c.dpi), c.pixels) << c.mm << " mm at " << c.dpi;
    EXPECT_EQ(unitToDevice(UnitTenthInch, 10.0f, 300), 300);
    EXPECT_EQ(unitToDevice(UnitDevice, 2.5f, 300), 2); // halves go to the even neighbour
    EXPECT_EQ(unitToDevice(UnitDevice, 3.5f, 300), 4);
    EXPECT_EQ(unitToDevice(UnitDevice, std::nanf(""), 300), 0);
    EXPECT_EQ(unitToDevice(UnitMillimetre, 1e30f, 600), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(unitToDevice(UnitMillimetre, -1e30f, 600), std::numeric_limits<int32_t>::min());
}

TEST(PrintUnits, DevicePixelsBackToUnits) {
    EXPECT_EQ(deviceToUnit(UnitMillimetre, 118, 300), 9.990666f);
    EXPECT_EQ(deviceToUnit(UnitMillimetre, 600, 600), 25.4f);
    EXPECT_EQ(deviceToUnit(UnitTenthInch, 30, 300), 1.0f);
    EXPECT_EQ(deviceToUnit(UnitDevice, 7, 0), 7.0f);
    EXPECT_EQ(deviceToUnit(UnitMillimetre, 118, 0), 0.0f);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
}

TEST(PrintPreview, PageSizeAndResolution) {
    EXPECT_EQ(previewHeight(450, 4960, 7016, 600, 600), 636);
    EXPECT_EQ(previewHeight(450, 2400, 3300, 1200, 600), 1237); // twice as many dots across
    EXPECT_EQ(previewHeight(450, 1200, 6600, 600, 1200), 1237); // the other way round still previews
    EXPECT_EQ(previewHeight(450, 0, 7016, 600, 600), 0);
    EXPECT_EQ(previewHeight(0, 4960, 7016, 600, 600), 0);
    EXPECT_EQ(previewHeight(2000000000, 1, 7016, 600, 600), 0); // would not fit 32 bits
    EXPECT_EQ(previewLogPixels(450, 203), 56);
    EXPECT_EQ(previewLogPixels(450, 0), 0);
}

TEST(PrintFonts, HeightQualityAndFields) {
    EXPECT_EQ(fontHeight(22, 600), 183);
    EXPECT_EQ(fontHeight(22, 300), 91);
    EXPECT_EQ(fontHeight(22, 203), 62);
    EXPECT_EQ(fontHeight(22, 56), 17);
    EXPECT_EQ(fontHeight(22, 0), 0);
    EXPECT_EQ(fontHeight(std::numeric_limits<int>::max(), 600), std::numeric_limits<int32_t>::max());

    const struct {
        int flags, quality;
    } q[] = {{0x10 | 0x2, 5}, {0x10 | 0x3, 4}, {0x10 | 0x1, 4}, {0x10, 2},
             {0x1, 1},        {0x2, 0},        {0, 0},          {0x100, 0}};
    for (const auto& c : q) EXPECT_EQ(fontQuality(c.flags), c.quality) << std::hex << c.flags;

    FontFields f = fontFields(std::string(40, 'A'), 10, 0x100 | 0x200 | 0x4 | 0x8, 900, 300);
    EXPECT_EQ(std::string(f.face), std::string(31, 'A'));
    EXPECT_EQ(f.height, 41);
    EXPECT_EQ(f.escapement, 900);
    EXPECT_EQ(f.weight, 700);
    EXPECT_EQ(f.italic + f.underline + f.strikeOut, 3);
    f = fontFields("Arial", 10, 0, 0, 300);
    EXPECT_STREQ(f.face, "Arial");
    EXPECT_EQ(f.weight, 400);
    EXPECT_EQ(f.italic + f.underline + f.strikeOut, 0);
}

TEST(PrintFonts, MetricIndexKinds) {
    for (int i : {0, 1, 2, 3, 4, 7, 8, 10}) EXPECT_EQ(metricKind(i), MetricKind::Y) << i;
    for (int i : {5, 6, 9}) EXPECT_EQ(metricKind(i), MetricKind::X) << i;
    for (int i = 11; i <= 14; ++i) EXPECT_EQ(metricKind(i), MetricKind::Unsigned) << i;
    for (int i = 15; i <= 19; ++i) EXPECT_EQ(metricKind(i), MetricKind::Signed) << i;
    for (int i : {-1, 20, 1000}) EXPECT_EQ(metricKind(i), MetricKind::None) << i;
}

TEST(PrintLogFormats, NumbersNamesAndFileName) {
    EXPECT_EQ(hex(0), "0");
    EXPECT_EQ(hex(255), "FF");
    EXPECT_EQ(hex(uint32_t(-1)), "FFFFFFFF");
    EXPECT_EQ(dec(-12), "-12");
    EXPECT_EQ(real(0.5), "0.5");
    EXPECT_EQ(real(2.0), "2");
    EXPECT_EQ(real(0.0), "0");
    EXPECT_EQ(real(double(9.990666f)), "9.9906663895");
    EXPECT_EQ(real(-1.25), "-1.25");
    EXPECT_EQ(logFileName({2016, 3, 3, 14, 5, 9}), "Printer_Lib_debugfile 20160303_140509.txt");

    EXPECT_EQ(rasterCapsText(0x2a19), "#RC_BITBLT,#RC_BITMAP64,#RC_DIBTODEV,#RC_STRETCHBLT,#RC_STRETCHDIB");
    EXPECT_EQ(rasterCapsText(0x3 | 0x4), "#RC_BANDING,#RC_BITBLT,#RC_SCALING");
    EXPECT_EQ(rasterCapsText(0), "");
    EXPECT_EQ(technologyText(2), "#DT_RASPRINTER");
    EXPECT_EQ(technologyText(0), "#DT_PLOTTER");
    EXPECT_EQ(technologyText(6), "#DT_DISPFILE");
}

TEST(PrintVersions, NamesAndDefaultPrinterSource) {
    const struct {
        VersionInfo v;
        const char* name;
        bool old;
    } cases[] = {
        {{true, 2, 3, 51, true}, "Windows_NT3_51", true},
        {{true, 1, 4, 0, true}, "Windows_95", true},
        {{true, 2, 4, 0, true}, "Windows_NT_4", true},
        {{true, 1, 4, 10, true}, "Windows_98", true},
        {{true, 1, 4, 90, true}, "Windows_ME", true},
        {{true, 2, 5, 0, true}, "Windows_2000", false},
        {{true, 2, 5, 1, false}, "Windows_XP", false},
        {{true, 2, 5, 2, true}, "Windows_XP", false},
        {{true, 2, 5, 2, false}, "Windows_Server_2003", false},
        {{true, 2, 6, 0, true}, "Windows_Vista", false},
        {{true, 2, 6, 0, false}, "Windows_Server_2008", false},
        {{true, 2, 6, 1, true}, "Windows_7", false},
        {{true, 2, 6, 1, false}, "Windows_Server_2008_R2", false},
        {{true, 2, 6, 2, true}, "Windows_8", false},
        {{true, 2, 6, 2, false}, "Windows_Server_2012", false},
        {{true, 2, 10, 0, true}, "Windows_Future", false},
        {{true, 1, 4, 50, true}, "Windows_Future", false},
        {{false, 2, 6, 1, true}, "Windows_Future", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(windowsName(c.v), c.name) << c.v.platform << " " << c.v.major << "." << c.v.minor;
        EXPECT_EQ(olderThan2000(c.v), c.old) << c.name;
    }
    EXPECT_STREQ(driverName(0x1DB10106), "WINSPOOL");
    EXPECT_STREQ(driverName(0x00000106), "");
    EXPECT_STREQ(driverName(0xC0000A04), ""); // 9x: high bit only
}

TEST(PrintImages, TransferMethodByRasterCaps) {
    const struct {
        uint32_t caps;
        ImageMethod method;
    } cases[] = {
        {0x800 | 0x2000, ImageMethod::StretchBlt},
        {0x2a19, ImageMethod::StretchBlt},
        {0x2000, ImageMethod::StretchDib},
        {0x80 | 0x1, ImageMethod::StretchDib},
        {0x1, ImageMethod::BitBlt},
        {0x0, ImageMethod::None},
        {0x2 | 0x4 | 0x200, ImageMethod::None},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseImageMethod(c.caps), c.method) << std::hex << c.caps;
}
