#include "barcode/barcode.h"
#include "tests/doubles/printlib/printlib_recording.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr float kTol = 1e-4f;

class BarcodeDraw : public testing::Test {
  protected:
    void SetUp() override {
        Printrec_Reset();
        Print_LoadFont("Arial", 10, PRINT_FONT_BOLD, 0);
        Print_SetLineWidth(0.3f);
        Printrec().mmPerChar = 2.0f;
        Printrec().textMetric[1] = 3.0f;
        Printrec().calls.clear();
    }
};

// The module string the boxes of a normal-orientation symbol at x stand for.
ModuleString ModulesFromBoxes(float x, float w, std::size_t n) {
    ModuleString m(n, '0');
    for (const PrintCall& b : Printrec_Calls(PrintCallKind::Box)) {
        long first = std::lround((b.x1 - x) / w) - 1;
        long run = std::lround((b.x2 - b.x1) / w);
        for (long k = first; k < first + run; ++k)
            if (k >= 0 && k < static_cast<long>(n)) m[k] = '1';
    }
    return m;
}

TEST_F(BarcodeDraw, Code128SymbolBarsTextAndWidth) {
    float width = Barcode_Code128(30, 60, "123456", 10, 0.4445f, 0, 0.6f, 0.5f, CODE128_AUTO_A);
    EXPECT_NEAR(width, 31.115f, kTol);

    std::vector<PrintCall> boxes = Printrec_Calls(PrintCallKind::Box);
    ASSERT_EQ(boxes.size(), 19u); // three bars a character, four in the stop
    EXPECT_NEAR(boxes.front().x1, 30.4445f, kTol);
    EXPECT_NEAR(boxes.front().x2 - boxes.front().x1, 2 * 0.4445f, kTol);
    EXPECT_NEAR(boxes.back().x2, 60.6705f, kTol);
    for (const PrintCall& b : boxes) {
        EXPECT_FLOAT_EQ(b.y1, 60);
        EXPECT_FLOAT_EQ(b.y2, 70);
        EXPECT_FLOAT_EQ(b.lineWidth, 0) << "line width zeroed around every bar";
    }
    EXPECT_EQ(ModulesFromBoxes(30, 0.4445f, 68), Code128_Modules(Code128_Encode("123456", 5)));
    EXPECT_FLOAT_EQ(Printrec().lineWidth, 0.3f);

    std::vector<PrintCall> texts = Printrec_Calls(PrintCallKind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "123456");
    EXPECT_NEAR(texts[0].x1, 30.6f, kTol);
    EXPECT_NEAR(texts[0].y1, 70.5f, kTol);
    EXPECT_TRUE(Printrec_Calls(PrintCallKind::LoadFont).empty()) << "normal text keeps the current font";
}

TEST_F(BarcodeDraw, EveryBoxIsWrappedInReadZeroRestoreOfTheLineWidth) {
    Barcode_Code39(0, 0, "A", 5, 0.5f, 0, 0, 0, 0);
    std::vector<PrintCallKind> kinds;
    for (const PrintCall& c : Printrec().calls)
        if (c.kind == PrintCallKind::GetLineWidth || c.kind == PrintCallKind::SetLineWidth ||
            c.kind == PrintCallKind::Box)
            kinds.push_back(c.kind);
    ASSERT_EQ(kinds.size(), 4u * 15); // 5 bars in each of three characters
    std::size_t k = 0;
    for (const PrintCall& c : Printrec().calls) {
        if (c.kind != PrintCallKind::SetLineWidth) continue;
        EXPECT_FLOAT_EQ(c.x1, k % 2 == 0 ? 0.0f : 0.3f);
        ++k;
    }
    for (std::size_t i = 0; i < kinds.size(); i += 4) {
        EXPECT_EQ(kinds[i], PrintCallKind::GetLineWidth);
        EXPECT_EQ(kinds[i + 1], PrintCallKind::SetLineWidth);
        EXPECT_EQ(kinds[i + 2], PrintCallKind::Box);
        EXPECT_EQ(kinds[i + 3], PrintCallKind::SetLineWidth);
    }
}

TEST_F(BarcodeDraw, Code39LastBarAndWidth) {
    struct Case {
        std::string text;
        float w;
        std::size_t n;
        float lastEnd, width;
    };
    const Case cases[] = {
        {"ABCDEFGHIJKLMNO", 0.6f, 221, 132.6f, 133.8f},
        {"ABC", 0.4445f, 65, 28.8925f, 29.7815f},
        {"", 0.5f, 26, 13.0f, 14.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Printrec().calls.clear();
        float width = Barcode_Code39(10, 20, c.text, 10, c.w, 0, 0.6f, 0.5f, 0);
        EXPECT_NEAR(width, c.width, kTol);
        std::vector<PrintCall> boxes = Printrec_Calls(PrintCallKind::Box);
        ASSERT_FALSE(boxes.empty());
        EXPECT_NEAR(boxes.back().x2 - 10, c.lastEnd, 2 * kTol);
        EXPECT_EQ(ModulesFromBoxes(10, c.w, c.n), Code39_Modules(Code39_Encode(c.text, 0).values));
    }
}

TEST_F(BarcodeDraw, EmptyCode128DrawsStartCCheckAndStop) {
    float width = Barcode_Code128(0, 0, "", 10, 0.5f, 0, 0, 0, CODE128_AUTO_A);
    EXPECT_NEAR(width, 37 * 0.5f, kTol);
    EXPECT_EQ(ModulesFromBoxes(0, 0.5f, 35),
              Code128_Pattern(105) + Code128_Pattern(2) + Code128_Pattern(106));
    std::vector<PrintCall> texts = Printrec_Calls(PrintCallKind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "");
}

TEST_F(BarcodeDraw, NoBarsAndNoText) {
    struct Case {
        int options;
        bool boxes, text;
    };
    const Case cases[] = {
        {BARCODE_NO_BARS | BARCODE_NO_TEXT, false, false},
        {BARCODE_NO_BARS, false, true},
        {BARCODE_NO_TEXT | BARCODE_ROTATE_90, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Printrec().calls.clear();
        EXPECT_NEAR(Barcode_Code128(5, 5, "123456", 10, 0.4445f, c.options, 0.6f, 0.5f, 5), 70 * 0.4445f,
                    kTol);
        EXPECT_NEAR(Barcode_Code39(5, 5, "ABC", 10, 0.4445f, c.options, 0.6f, 0.5f, 0), 67 * 0.4445f, kTol);
        EXPECT_EQ(Printrec_Calls(PrintCallKind::Box).empty(), !c.boxes);
        EXPECT_EQ(Printrec_Calls(PrintCallKind::Text).size(), c.text ? 2u : 0u);
        if (!c.text) {
            EXPECT_TRUE(Printrec_Calls(PrintCallKind::LoadFont).empty());
            EXPECT_TRUE(Printrec_Calls(PrintCallKind::GetTextMetric).empty());
        }
    }
}

// Text of "ABCDEF" (12 mm) for a symbol of 68 modules of 0.5 mm at (30, 60),
// height 10, offset 0.6, gap 0.5, ascent 3: the symbol runs 34.5 mm along.
TEST_F(BarcodeDraw, TextPlacementInEveryOrientation) {
    struct Case {
        int options;
        int escapement; // of the font the text is measured and printed with
        float x, y;
    };
    const Case cases[] = {
        {0, 0, 30.6f, 70.5f},
        {BARCODE_TEXT_CENTER, 0, 41.85f, 70.5f},
        {BARCODE_TEXT_RIGHT, 0, 53.1f, 70.5f},
        {BARCODE_TEXT_CENTER | BARCODE_TEXT_RIGHT, 0, 41.85f, 70.5f},
        {BARCODE_TEXT_ABOVE, 0, 30.6f, 56.5f},
        {BARCODE_ROTATE_90, 900, 40.5f, 59.4f},
        {BARCODE_ROTATE_90 | BARCODE_TEXT_CENTER, 900, 40.5f, 48.15f},
        {BARCODE_ROTATE_90 | BARCODE_TEXT_RIGHT, 900, 40.5f, 36.9f},
        {BARCODE_ROTATE_90 | BARCODE_TEXT_ABOVE, 900, 26.5f, 59.4f},
        {BARCODE_ROTATE_90 | BARCODE_ROTATE_270, 900, 40.5f, 59.4f},
        {BARCODE_ROTATE_90 | BARCODE_ROTATE_180 | BARCODE_ROTATE_270, 900, 40.5f, 59.4f},
        {BARCODE_ROTATE_180, 1800, 29.4f, 49.5f},
        {BARCODE_ROTATE_180 | BARCODE_TEXT_CENTER, 1800, 18.15f, 49.5f},
        {BARCODE_ROTATE_180 | BARCODE_TEXT_RIGHT, 1800, 6.9f, 49.5f},
        {BARCODE_ROTATE_180 | BARCODE_TEXT_ABOVE, 1800, 29.4f, 63.5f},
        {BARCODE_ROTATE_180 | BARCODE_ROTATE_270, 1800, 29.4f, 49.5f},
        {BARCODE_ROTATE_270, 2700, 19.5f, 60.6f},
        {BARCODE_ROTATE_270 | BARCODE_TEXT_CENTER, 2700, 19.5f, 71.85f},
        {BARCODE_ROTATE_270 | BARCODE_TEXT_RIGHT, 2700, 19.5f, 83.1f},
        {BARCODE_ROTATE_270 | BARCODE_TEXT_ABOVE, 2700, 33.5f, 60.6f},
    };
    for (int before : {0, 450}) {
        for (const Case& c : cases) {
            SCOPED_TRACE("options " + std::to_string(c.options) + " font escapement " +
                         std::to_string(before));
            Print_LoadFont("Arial", 10, PRINT_FONT_BOLD, before);
            const int want = c.escapement == 0 ? before : c.escapement;
            // A width measured with any other font would move the text far off.
            Printrec().textWidth = [want](const std::string& t, const PrintFont& f) {
                return f.escapement == want ? 2.0f * t.size() : 1000.0f;
            };
            Printrec().calls.clear();

            Barcode_DrawText(30, 60, 10, 0.5f, 68, 0.6f, 0.5f, "ABCDEF", c.options);

            std::vector<PrintCall> texts = Printrec_Calls(PrintCallKind::Text);
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_NEAR(texts[0].x1, c.x, kTol);
            EXPECT_NEAR(texts[0].y1, c.y, kTol);
            EXPECT_EQ(texts[0].font, (PrintFont{"Arial", 10, PRINT_FONT_BOLD, want}));
            EXPECT_EQ(Printrec().font, (PrintFont{"Arial", 10, PRINT_FONT_BOLD, before})) << "font restored";
            EXPECT_EQ(Printrec_Calls(PrintCallKind::LoadFont).size(), c.escapement == 0 ? 0u : 2u);
        }
    }
}

TEST_F(BarcodeDraw, AscentIsReadBeforeTheRotatedFontIsLoaded) {
    Barcode_DrawText(0, 0, 10, 0.5f, 68, 0, 0, "X", BARCODE_ROTATE_90 | BARCODE_TEXT_ABOVE);
    bool fontChanged = false;
    for (const PrintCall& c : Printrec().calls) {
        if (c.kind == PrintCallKind::LoadFont) fontChanged = true;
        if (c.kind == PrintCallKind::GetTextMetric) {
            EXPECT_FALSE(fontChanged);
            EXPECT_EQ(c.n[0], 1);
        }
    }
    EXPECT_TRUE(fontChanged);
}

TEST_F(BarcodeDraw, BarCornersInEveryOrientation) {
    const float x = 50, y = 40, h = 10, w = 0.5f;
    Barcode_Code128(x, y, "A1", h, w, 0, 0, 0, CODE128_AUTO_A);
    const std::vector<PrintCall> normal = Printrec_Calls(PrintCallKind::Box);

    struct Case {
        int options;
        float (*corners)(float s, float t, int k); // k: x1 y1 x2 y2
    };
    // s, t: start and length of the bar along the symbol, from the normal drawing.
    const Case cases[] = {
        {BARCODE_ROTATE_90,
         [](float s, float t, int k) {
             const float c[] = {50, 40 - s, 50 + 10, 40 - s - t};
             return c[k];
         }},
        {BARCODE_ROTATE_180,
         [](float s, float t, int k) {
             const float c[] = {50 - s, 40, 50 - s - t, 40 - 10};
             return c[k];
         }},
        {BARCODE_ROTATE_270,
         [](float s, float t, int k) {
             const float c[] = {50, 40 + s, 50 - 10, 40 + s + t};
             return c[k];
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Printrec().calls.clear();
        Barcode_Code128(x, y, "A1", h, w, c.options, 0, 0, CODE128_AUTO_A);
        const std::vector<PrintCall> boxes = Printrec_Calls(PrintCallKind::Box);
        ASSERT_EQ(boxes.size(), normal.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const float s = normal[i].x1 - x, t = normal[i].x2 - normal[i].x1;
            EXPECT_NEAR(boxes[i].x1, c.corners(s, t, 0), kTol);
            EXPECT_NEAR(boxes[i].y1, c.corners(s, t, 1), kTol);
            EXPECT_NEAR(boxes[i].x2, c.corners(s, t, 2), kTol);
            EXPECT_NEAR(boxes[i].y2, c.corners(s, t, 3), kTol);
        }
    }
}

TEST_F(BarcodeDraw, RunEndingTheModuleStringIsDrawn) {
    Barcode_DrawModules(3, 0, 0, 1, 1.0f, "0110111", 0);
    std::vector<PrintCall> boxes = Printrec_Calls(PrintCallKind::Box);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FLOAT_EQ(boxes[0].x1, 5);
    EXPECT_FLOAT_EQ(boxes[0].x2, 7);
    EXPECT_FLOAT_EQ(boxes[1].x1, 8);
    EXPECT_FLOAT_EQ(boxes[1].x2, 11);
}

} // namespace
