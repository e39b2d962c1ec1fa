#include "label/layout.h"
#include "platform/image.h"
#include "tests/unit/label/label_fixture.h"

#include <gtest/gtest.h>

using namespace labeltest;

namespace {

TEST(LabelPosition, TextToNumberRule) {
    struct Case {
        const char* text;
        float mm;
    } cases[] = {
        {"30", 30},   {" \t 42", 42}, {"-5", -5}, {"+7", 7},    {"$1F", 31},   {"%101", 5},
        {"12mm", 12}, {"", 0},        {"abc", 0}, {"-", 0},     {"$", 0},      {" $g1", 0},
        {"%2", 0},    {"1 2", 1},     {"007", 7}, {"$ff", 255}, {"-$10", -16},
    };
    for (const Case& c : cases) EXPECT_EQ(label::PositionMm(c.text), c.mm) << "'" << c.text << "'";
}

TEST(LabelBarcodeTypes, TableAndOutOfRangeIndex) {
    // Barcode ID is Code 39 in every row; only the Large Code 39 row widens it.
    const float q[] = {0, 0.3445f, 0.4445f, 0.5445f, 0.3445f, 0.4445f, 0.5445f};
    const float id[] = {0, 0.3445f, 0.4445f, 0.6f, 0.3445f, 0.4445f, 0.5445f};
    for (int i = 1; i < label::BarcodeTypeCount; ++i) {
        EXPECT_EQ(label::kBarcodeTypes[i].qModule, q[i]) << i;
        EXPECT_EQ(label::kBarcodeTypes[i].idModule, id[i]) << i;
        EXPECT_EQ(label::kBarcodeTypes[i].q, i <= 3 ? label::Symbology::Code39 : label::Symbology::Code128)
            << i;
    }
    EXPECT_EQ(label::BarcodeTypeAt(0).q, label::Symbology::None);
    EXPECT_EQ(label::BarcodeTypeAt(-1).q, label::Symbology::None);
    EXPECT_EQ(label::BarcodeTypeAt(7).q, label::Symbology::None);
}

class LabelLogo : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeMainWindow();
        image::release(label::LogoImage);
        image::release(label::LogoThumbnail);
    }
    // The store keeps images for the whole process; free them so the leak
    // check at exit sees only real leaks.
    void TearDown() override {
        image::release(label::LogoImage);
        image::release(label::LogoThumbnail);
    }
    std::string Field() { return gui::text(gui::MainWindow, label::CompanyLogoField); }
    int Shown() { return guifake::shownImage(gui::MainWindow, label::CompanyLogoImage); }
};

TEST_F(LabelLogo, LoadKeepsFullSizeAndFitsThumbnailInto140) {
    struct Case {
        int w, h, tw, th;
    } cases[] = {
        {300, 100, 140, 46},
        {100, 300, 46, 140},
        {50, 50, 140, 140},
        {1000, 3, 140, 1}, // would round to no rows at all
    };
    for (const Case& c : cases) {
        TempFile file("label_logo.bmp", BmpBytes(c.w, c.h));
        ASSERT_TRUE(label::LoadLogo(file.path, true)) << c.w << "x" << c.h;
        EXPECT_EQ(Field(), file.path);
        EXPECT_EQ(image::width(label::LogoImage), c.w);
        EXPECT_EQ(image::height(label::LogoImage), c.h);
        EXPECT_EQ(image::width(label::LogoThumbnail), c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(image::height(label::LogoThumbnail), c.th) << c.w << "x" << c.h;
        EXPECT_EQ(Shown(), label::LogoThumbnail);
    }
}

TEST_F(LabelLogo, UnloadableFileEmptiesFieldSilently) {
    TempFile good("label_good.bmp", BmpBytes(20, 10));
    TempFile bad("label_bad.bmp", {'B', 'M', 1, 2, 3, 4, 5});
    const std::string missing = good.path + ".missing";

    ASSERT_TRUE(label::LoadLogo(good.path, true));
    EXPECT_FALSE(label::LoadLogo(bad.path, true));
    EXPECT_EQ(Field(), "");
    EXPECT_EQ(Shown(), 0);

    // At startup the field is emptied too, so the logo is neither printed
    // nor saved back.
    SetField(label::CompanyLogoField, missing);
    label::LoadLogoAtStartup(missing);
    EXPECT_EQ(Field(), "");
    SetField(label::CompanyLogoField, bad.path);
    label::LoadLogoAtStartup(bad.path);
    EXPECT_EQ(Field(), "");
    EXPECT_TRUE(guifake::messageBoxes().empty());
}

TEST_F(LabelLogo, ChooseOpensImageDialogAndCancelRemovesLogo) {
    TempFile file("label_choose.bmp", BmpBytes(30, 60));
    guifake::setFileDialogAnswer(file.path);
    label::ChooseLogo();
    EXPECT_EQ(Field(), file.path);
    EXPECT_EQ(Shown(), label::LogoThumbnail);
    EXPECT_EQ(image::width(label::LogoThumbnail), 70);

    const auto dialogs = guifake::fileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].owner, gui::MainWindow);
    EXPECT_EQ(dialogs[0].filter, "JPG (*.jpg)|*.jpg|BMP (*.bmp)|*.bmp|All files (*.*)|*.*");
    ASSERT_FALSE(dialogs[0].startDir.empty());
    EXPECT_EQ(dialogs[0].startDir.back(), '\\');

    guifake::setFileDialogAnswer("");
    label::ChooseLogo();
    EXPECT_EQ(Field(), "");
    EXPECT_EQ(Shown(), 0);
}

} // namespace
