#include "barcode/barcode.h"
#include "label/preview.h"
#include "label/render.h"
#include "tests/doubles/printlib/printlib_recording.h"
#include "tests/unit/label/label_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

using namespace labeltest;

namespace {

constexpr const char* Printer = "Shelf Printer";

// One call as a line: kind, the arguments that matter, the text. Dates are
// folded into "<date>" after their form is checked.
std::string Line(const PrintCall& c) {
    std::ostringstream s;
    s << PrintCallKindName(c.kind);
    switch (c.kind) {
    case PrintCallKind::OpenPrinter:
        s << " " << c.text << "|" << c.text2 << "|" << c.u;
        break;
    case PrintCallKind::StartPrinting:
        s << " " << c.text << "|" << c.text2;
        break;
    case PrintCallKind::StartPreview:
    case PrintCallKind::GetPreviewImage:
        s << " " << c.n[0];
        break;
    case PrintCallKind::LoadFont:
        s << " " << c.text << " " << c.n[0] << " " << c.n[1] << " " << c.n[2];
        break;
    case PrintCallKind::Text: {
        static const std::regex date(R"(\d{4}/\d\d/\d\d \d\d:\d\d)");
        s << " " << c.x1 << "," << c.y1 << " " << (std::regex_match(c.text, date) ? "<date>" : c.text);
        break;
    }
    case PrintCallKind::TextWidth:
        s << " " << c.text;
        break;
    case PrintCallKind::Box:
        s << " " << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        break;
    case PrintCallKind::Image:
        s << " " << c.n[0] << " " << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2 << " " << c.u;
        break;
    default:
        break;
    }
    return s.str();
}

// The calls that put something on the page or start and end it; queries the
// barcode drawing makes along the way are left out.
std::vector<std::string> Drawn(const std::vector<PrintCall>& calls) {
    std::vector<std::string> out;
    for (const PrintCall& c : calls) {
        switch (c.kind) {
        case PrintCallKind::OpenPrinter:
        case PrintCallKind::StartPrinting:
        case PrintCallKind::StopPrinting:
        case PrintCallKind::StartPreview:
        case PrintCallKind::StopPreview:
        case PrintCallKind::GetPreviewImage:
        case PrintCallKind::LoadFont:
        case PrintCallKind::Text:
        case PrintCallKind::TextWidth:
        case PrintCallKind::Box:
        case PrintCallKind::Image:
            out.push_back(Line(c));
            break;
        default:
            break;
        }
    }
    return out;
}

void FreshRecorder() {
    Printrec_Reset();
    Printrec().deviceCaps[printcaps::HorzRes] = 450;
    Printrec().deviceCaps[printcaps::VertRes] = 636;
}

// What the barcode operations themselves draw for the given calls, after the
// label's barcode font.
std::vector<std::string> Reference(const std::function<void()>& barcodes) {
    FreshRecorder();
    Print_LoadFont("Arial", 10, PRINT_FONT_BOLD, 0);
    Printrec().calls.clear();
    barcodes();
    return Drawn(Printrec().calls);
}

// The part of a label's drawing after its barcode font load, without the end.
std::vector<std::string> BarcodePart(const std::vector<std::string>& drawn) {
    auto font = std::find(drawn.begin(), drawn.end(), "LoadFont Arial 10 256 0");
    EXPECT_NE(font, drawn.end());
    if (font == drawn.end()) return {};
    auto end = drawn.end();
    if (end != font + 1 && (end[-1] == "StopPrinting" || end[-1] == "GetPreviewImage 0")) --end;
    if (end != font + 1 && end[-1] == "StopPreview") --end;
    return {font + 1, end};
}

class LabelRender : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeMainWindow();
        // Distinct values, so a swapped x and y or a wrong field shows.
        const FieldValue place[] = {
            {label::CompanyNameXField, "11"}, {label::CompanyNameYField, "12"},
            {label::DateXField, "13"},        {label::DateYField, "14"},
            {label::OperatorXField, "15"},    {label::OperatorYField, "16"},
            {label::QuantityXField, "$11"},   {label::QuantityYField, "18"},
            {label::BarcodeQXField, "19"},    {label::BarcodeQYField, " 20"},
            {label::BarcodeIDXField, "21"},   {label::BarcodeIDYField, "22"},
            {label::CompanyLogoXField, "23"}, {label::CompanyLogoYField, "24"},
        };
        for (const FieldValue& f : place) SetField(f.control, f.text);
        label::SetPrinterName(Printer);
        FreshRecorder();
        record.operatorText = "Jones K.";
        record.quantity = "1200";
        record.barcode = "A-15";
    }

    std::vector<std::string> PrintRecord() {
        FreshRecorder();
        label::LabelListenerAction(record);
        return Drawn(Printrec().calls);
    }

    device::DeviceRecord record;
};

TEST_F(LabelRender, RecordLabelDrawsEveryFieldInOrder) {
    gui::listSelect(gui::MainWindow, label::BarcodeTypeList, 5); // Code 128 (Normal)
    const std::vector<std::string> drawn = PrintRecord();
    const std::vector<std::string> head = {
        "OpenPrinter Shelf Printer||0",
        "StartPrinting ZEL PRINT|",
        "LoadFont Arial 22 0 0",
        "Text 11,12 ACME",
        "LoadFont Arial 16 256 0",
        "Text 13,14 <date>",
        "LoadFont Arial 12 256 0",
        "Text 15,16 Jones K.",
        "LoadFont Arial 22 0 0",
        "Text 17,18 Quantity:",
        "TextWidth Quantity:",
        "LoadFont Arial 26 256 0",
        "Text 35,18 1200", // 17 + 9 characters at 2 mm
        "LoadFont Arial 10 256 0",
    };
    ASSERT_GT(drawn.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(drawn.begin(), drawn.begin() + head.size()), head);
    EXPECT_EQ(drawn.back(), "StopPrinting");
    EXPECT_EQ(BarcodePart(drawn), Reference([] {
                  Barcode_Code128(19, 20, "1200", 10.0f, 0.4445f, 0, 0.6f, 0.5f, CODE128_AUTO_A);
                  Barcode_Code39(21, 22, "A-15", 10.0f, 0.4445f, 0, 0.6f, 0.5f, 0);
              }));
}

TEST_F(LabelRender, QuantityValueStartsWhereMeasuredCaptionEnds) {
    // Width measured in the 22-point caption font, not the value's font.
    Printrec_Reset();
    Printrec().textWidth = [](const std::string& t, const PrintFont& f) {
        return t == "Quantity:" && f == PrintFont{"Arial", 22, 0, 0} ? 21.25f : 99.0f;
    };
    label::LabelListenerAction(record);
    const auto texts = Printrec_Calls(PrintCallKind::Text);
    auto value =
        std::find_if(texts.begin(), texts.end(), [](const PrintCall& c) { return c.text == "1200"; });
    ASSERT_NE(value, texts.end());
    EXPECT_FLOAT_EQ(value->x1, 17 + 21.25f);
    EXPECT_EQ(value->y1, 18);
    EXPECT_EQ(value->font, (PrintFont{"Arial", 26, PRINT_FONT_BOLD, 0}));
}

TEST_F(LabelRender, EachBarcodeTypeGivesItsSymbologiesAndModules) {
    struct Case {
        int index;
        bool q128;    // Barcode Q in Code 128, else Code 39
        float qm, im; // module widths; 0 = no barcodes
    } cases[] = {
        {-1, false, 0, 0},
        {0, false, 0, 0},
        {1, false, 0.3445f, 0.3445f},
        {2, false, 0.4445f, 0.4445f},
        {3, false, 0.5445f, 0.6f},
        {4, true, 0.3445f, 0.3445f},
        {5, true, 0.4445f, 0.4445f},
        {6, true, 0.5445f, 0.5445f},
    };
    for (const Case& c : cases) {
        gui::listSelect(gui::MainWindow, label::BarcodeTypeList, c.index);
        const std::vector<std::string> drawn = PrintRecord();
        const auto expected = Reference([&] {
            if (c.qm == 0) return;
            if (c.q128)
                Barcode_Code128(19, 20, "1200", 10.0f, c.qm, 0, 0.6f, 0.5f, CODE128_AUTO_A);
            else
                Barcode_Code39(19, 20, "1200", 10.0f, c.qm, 0, 0.6f, 0.5f, 0);
            Barcode_Code39(21, 22, "A-15", 10.0f, c.im, 0, 0.6f, 0.5f, 0);
        });
        EXPECT_EQ(BarcodePart(drawn), expected) << "type " << c.index;
        EXPECT_EQ(drawn.back(), "StopPrinting") << "type " << c.index;
    }
}

TEST_F(LabelRender, BlankBarcodeTextLeavesOutOnlyBarcodeID) {
    struct Case {
        const char* barcode;
        bool drawn;
    } cases[] = {{"", false}, {"        ", false}, {" 7 ", true}, {"\t", true}};
    gui::listSelect(gui::MainWindow, label::BarcodeTypeList, 3);
    for (const Case& c : cases) {
        record.barcode = c.barcode;
        const auto expected = Reference([&] {
            Barcode_Code39(19, 20, "1200", 10.0f, 0.5445f, 0, 0.6f, 0.5f, 0);
            if (c.drawn) Barcode_Code39(21, 22, c.barcode, 10.0f, 0.6f, 0, 0.6f, 0.5f, 0);
        });
        EXPECT_EQ(BarcodePart(PrintRecord()), expected) << "'" << c.barcode << "'";
    }
}

TEST_F(LabelRender, CompanyNameAndLogoOnlyWhenTheirFieldsHoldText) {
    SetField(label::CompanyNameField, "");
    std::vector<std::string> drawn = PrintRecord();
    EXPECT_EQ(drawn[2], "LoadFont Arial 16 256 0");
    EXPECT_TRUE(Printrec_Calls(PrintCallKind::Image).empty());

    SetField(label::CompanyNameField, "ACME");
    SetField(label::CompanyLogoField, "logo.bmp");
    drawn = PrintRecord();
    // Logo after the name, so it covers it; at its own pixel size.
    EXPECT_EQ(drawn[3], "Text 11,12 ACME");
    EXPECT_EQ(drawn[4], "Image 80 23,24 0,0 " + std::to_string(PRINT_SRCCOPY));
    EXPECT_EQ(drawn[5], "LoadFont Arial 16 256 0");
}

TEST_F(LabelRender, SamplePrintFromPreviewIsRealJobWithSampleTexts) {
    label::PreviewButtonClicked();
    FreshRecorder();
    label::PreviewPrintClicked();
    const std::vector<std::string> drawn = Drawn(Printrec().calls);
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn[0], "OpenPrinter Shelf Printer||0");
    EXPECT_EQ(drawn[1], "StartPrinting ZEL PRINT|");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "Text 15,16 Smith J."), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "Text 35,18 123456"), drawn.end());
    EXPECT_EQ(BarcodePart(drawn), Reference([] {
                  Barcode_Code39(19, 20, "123456", 10.0f, 0.4445f, 0, 0.6f, 0.5f, 0);
                  Barcode_Code39(21, 22, "ABCDEFGHIJKLMNO", 10.0f, 0.4445f, 0, 0.6f, 0.5f, 0);
              }));
    EXPECT_EQ(drawn.back(), "StopPrinting");
    EXPECT_EQ(label::PreviewZoom(), 100);

    EXPECT_FALSE(gui::windowExists(gui::PreviewWindow));
    EXPECT_TRUE(guifake::windowEnabled(gui::MainWindow));
    EXPECT_EQ(guifake::activeWindow(), gui::MainWindow);
}

class LabelPreview : public LabelRender {};

TEST_F(LabelPreview, WindowGeometryAndPageShownWhileMainWindowWaits) {
    Printrec().previewImage = 42;
    label::PreviewButtonClicked();

    const gui::WindowSpec ws = guifake::windowSpec(gui::PreviewWindow);
    EXPECT_EQ(std::string(ws.title), "Preview");
    EXPECT_EQ(ws.clientWidth, 500);
    EXPECT_EQ(ws.clientHeight, 730);
    EXPECT_EQ(ws.placement, gui::Placement::TopLeft);
    EXPECT_FALSE(ws.minimiseBox);

    struct Place {
        int number;
        gui::Kind kind;
        int x, y, w, h, parent;
    } places[] = {
        {label::PreviewPrintButton, gui::Kind::Button, 210, 700, 80, 20, -1},
        // The double keeps the scroll area's inner size as its size: page + 20.
        {label::PreviewScrollArea, gui::Kind::ScrollArea, 10, 10, 470, 656, -1},
        {label::PreviewPageImage, gui::Kind::Image, 10, 10, 480, 680, label::PreviewScrollArea},
    };
    for (const Place& p : places) {
        const guifake::ControlInfo c = guifake::control(gui::PreviewWindow, p.number);
        ASSERT_TRUE(c.exists) << p.number;
        EXPECT_EQ(c.kind, p.kind) << p.number;
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.w, c.h, c.parent}),
                  (std::vector<int>{p.x, p.y, p.w, p.h, p.parent}))
            << p.number;
    }
    EXPECT_EQ(gui::text(gui::PreviewWindow, label::PreviewPrintButton), "Print");
    EXPECT_EQ(guifake::shownImage(gui::PreviewWindow, label::PreviewPageImage), 42);
    EXPECT_FALSE(guifake::windowEnabled(gui::MainWindow));

    // A "TEST" job that stays open, drawn on a 450-pixel page.
    const std::vector<std::string> drawn = Drawn(Printrec().calls);
    EXPECT_EQ(drawn[0], "OpenPrinter Shelf Printer||0");
    EXPECT_EQ(drawn[1], "StartPrinting TEST|");
    EXPECT_EQ(drawn[2], "StartPreview 450");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "Text 15,16 Smith J."), drawn.end());
    EXPECT_EQ(std::vector<std::string>(drawn.end() - 2, drawn.end()),
              (std::vector<std::string>{"StopPreview", "GetPreviewImage 0"}));
    EXPECT_TRUE(Printrec_Calls(PrintCallKind::StopPrinting).empty());

    label::PreviewClosed();
    EXPECT_FALSE(gui::windowExists(gui::PreviewWindow));
    EXPECT_TRUE(guifake::windowEnabled(gui::MainWindow));
    EXPECT_EQ(guifake::activeWindow(), gui::MainWindow);
}

TEST_F(LabelPreview, NoPageImageLeavesImageControlEmpty) {
    Printrec().previewImage = 0;
    label::PreviewButtonClicked();
    EXPECT_EQ(guifake::shownImage(gui::PreviewWindow, label::PreviewPageImage), 0);
    label::PreviewClosed();
}

} // namespace

namespace {

// Splits a recording into the runs that each start with an OpenPrinter.
std::vector<std::vector<std::string>> Runs(const std::vector<std::string>& drawn) {
    std::vector<std::vector<std::string>> runs;
    for (const std::string& line : drawn) {
        if (line.rfind("OpenPrinter", 0) == 0 || runs.empty()) runs.emplace_back();
        runs.back().push_back(line);
    }
    return runs;
}

TEST_F(LabelRender, RecordArrivingDuringPreviewWaitsForIt) {
    // Many rounds: without the lock the two drawings interleave (or race on
    // the recorder) in some of them.
    for (int round = 0; round < 40; ++round) {
        FreshRecorder();
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::thread listener([&] {
            ++ready;
            while (!go) std::this_thread::yield();
            label::LabelListenerAction(record);
        });
        while (ready == 0) std::this_thread::yield();
        go = true;
        label::PreviewButtonClicked();
        listener.join();
        label::PreviewClosed();

        const auto runs = Runs(Drawn(Printrec().calls));
        ASSERT_EQ(runs.size(), 2u) << "round " << round;
        for (const auto& run : runs) {
            ASSERT_GE(run.size(), 3u);
            const bool preview = run[1] == "StartPrinting TEST|";
            EXPECT_EQ(run.back(), preview ? "GetPreviewImage 0" : "StopPrinting") << "round " << round;
            const char* mine = preview ? "Text 15,16 Smith J." : "Text 15,16 Jones K.";
            const char* theirs = preview ? "Text 15,16 Jones K." : "Text 15,16 Smith J.";
            EXPECT_NE(std::find(run.begin(), run.end(), mine), run.end()) << "round " << round;
            EXPECT_EQ(std::find(run.begin(), run.end(), theirs), run.end()) << "round " << round;
        }
        if (HasFailure()) return;
    }
}

} // namespace

namespace {

TEST(LabelPrinter, ChosenPrinterBecomesLabelPrinter) {
    Printrec_Reset();
    label::SetPrinterName("Old");
    Printrec().printerName = "New Queue";
    EXPECT_EQ(label::ChoosePrinter(gui::MainWindow, "Old"), "New Queue");
    const auto dialogs = Printrec_Calls(PrintCallKind::PrinterDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].n[0], gui::MainWindow);
    EXPECT_EQ(dialogs[0].text, "Old");
    EXPECT_EQ(label::PrinterName(), "New Queue");
}

} // namespace
