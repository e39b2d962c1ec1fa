// Drawing of a symbol as filled boxes and of its human-readable text.
#include "barcode/barcode.h"

#include "printlib/printlib.h"

#include <cstddef>

namespace {

enum Orientation { Normal, Rotate90, Rotate180, Rotate270 };

Orientation OrientationOf(int options) {
    if (options & BARCODE_ROTATE_90) return Rotate90;
    if (options & BARCODE_ROTATE_180) return Rotate180;
    if (options & BARCODE_ROTATE_270) return Rotate270;
    return Normal;
}

// Bars are brush fills only: no pen width may widen them, whatever the caller set.
void FillBox(float x1, float y1, float x2, float y2) {
    float lineWidth = Print_GetLineWidth();
    Print_SetLineWidth(0.0f);
    ipprint_Box(x1, y1, x2, y2);
    Print_SetLineWidth(lineWidth);
}

} // namespace

void Barcode_DrawModules(int p, float x, float y, float height, float moduleWidth,
                         const ModuleString& modules, int options) {
    if (options & BARCODE_NO_BARS) return;
    const Orientation o = OrientationOf(options);
    const std::size_t len = modules.size();
    std::size_t k = 0;
    while (k < len) {
        if (modules[k] != '1') {
            ++k;
            continue;
        }
        const std::size_t first = k + 1; // 1-based: a symbol starts one module from its reference point
        while (k < len && modules[k] == '1') ++k;
        const std::size_t run = k + 1 - first;
        const float s = static_cast<float>(p + static_cast<long>(first)) * moduleWidth;
        const float t = static_cast<float>(run) * moduleWidth;
        switch (o) {
        case Normal:
            FillBox(x + s, y, x + s + t, y + height);
            break;
        case Rotate90:
            FillBox(x, y - s, x + height, y - s - t);
            break;
        case Rotate180:
            FillBox(x - s, y, x - s - t, y - height);
            break;
        case Rotate270:
            FillBox(x, y + s, x - height, y + s + t);
            break;
        }
    }
}

void Barcode_DrawText(float x, float y, float height, float moduleWidth, int n, float textOffset,
                      float textGap, const std::string& text, int options) {
    if (options & BARCODE_NO_TEXT) return;
    const std::string fontName = Print_GetFontName();
    const int fontSize = Print_GetFontSize();
    const int fontFlags = Print_GetFontFlags();
    const int fontEscapement = Print_GetFontEscapement();
    const float ascent = Print_GetTextMetric(1);

    const Orientation o = OrientationOf(options);
    const bool center = (options & BARCODE_TEXT_CENTER) != 0;
    const bool right = !center && (options & BARCODE_TEXT_RIGHT) != 0;
    const bool above = (options & BARCODE_TEXT_ABOVE) != 0;
    const float w = moduleWidth, off = textOffset, gap = textGap, h = height;
    const float length = static_cast<float>(n + 1) * w;

    static const int kEscapement[4] = {0, 900, 1800, 2700};
    if (o != Normal) Print_LoadFont(fontName, fontSize, fontFlags, kEscapement[o]);
    const float tw = Print_TextWidth(text);

    float tx = 0, ty = 0;
    switch (o) {
    case Normal: {
        const float e = x + length;
        tx = center ? x + off + (e - x) / 2 - tw / 2 : right ? e - tw + off : x + off;
        ty = above ? y - gap - ascent : y + h + gap;
        break;
    }
    case Rotate90: {
        const float e = y - length;
        ty = center ? y + (e - y) / 2 + tw / 2 - off : right ? e + tw - off : y - off;
        tx = above ? x - gap - ascent : x + h + gap;
        break;
    }
    case Rotate180: {
        const float e = x - length;
        tx = center ? x - (x - e) / 2 + tw / 2 - off : right ? e + tw - off : x - off;
        ty = above ? y + gap + ascent : y - h - gap;
        break;
    }
    case Rotate270: {
        const float e = y + length;
        ty = center ? y + (e - y) / 2 - tw / 2 + off : right ? e - tw + off : y + off;
        tx = above ? x + gap + ascent : x - h - gap;
        break;
    }
    }
    ipprint_Text(tx, ty, text);
    if (o != Normal) Print_LoadFont(fontName, fontSize, fontFlags, fontEscapement);
}

float Barcode_SymbolWidth(int n, float moduleWidth) {
    return static_cast<float>(n + 2) * moduleWidth;
}

float Barcode_Code128(float x, float y, const std::string& text, float height, float moduleWidth, int options,
                      float textOffset, float textGap, int mode) {
    const std::vector<int> sequence = Code128_Encode(text, mode);
    int p = 0;
    for (int v : sequence) {
        Barcode_DrawModules(p, x, y, height, moduleWidth, Code128_Pattern(v), options);
        p += 11;
    }
    Barcode_DrawModules(p, x, y, height, moduleWidth, Code128_Pattern(Code128_Checksum(sequence)), options);
    p += 11;
    Barcode_DrawModules(p, x, y, height, moduleWidth, Code128_Pattern(CODE128_STOP), options);
    p += 13;
    Barcode_DrawText(x, y, height, moduleWidth, p, textOffset, textGap, Code128_Text(sequence), options);
    return Barcode_SymbolWidth(p, moduleWidth);
}

float Barcode_Code39(float x, float y, const std::string& text, float height, float moduleWidth, int options,
                     float textOffset, float textGap, int checkOption) {
    const Code39Symbol sym = Code39_Encode(text, checkOption);
    const ModuleString asterisk = Code39_Pattern(43);
    int p = 0;
    Barcode_DrawModules(p, x, y, height, moduleWidth, asterisk, options);
    p += 13;
    for (int v : sym.values) {
        Barcode_DrawModules(p, x, y, height, moduleWidth, Code39_Pattern(v), options);
        p += 13;
    }
    Barcode_DrawModules(p, x, y, height, moduleWidth, asterisk, options);
    p += 13;
    Barcode_DrawText(x, y, height, moduleWidth, p, textOffset, textGap, sym.text, options);
    return Barcode_SymbolWidth(p, moduleWidth);
}
