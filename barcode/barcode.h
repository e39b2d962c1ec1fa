// Barcode symbols: Code 128 (with automatic subset choice) and Code 39
// encoders, and the drawing of a symbol as filled bars with its
// human-readable text through the printing library.
//
// The encoders are pure. The drawing operations use the printing library's
// current unit (millimetres in this program), brush, line width, font and
// text alignment, and leave the line width and font as they found them.
#pragma once

#include <string>
#include <vector>

// One character per module, "1" dark and "0" light, read from the left edge
// of the symbol. The form in which encoders hand a symbol to the drawing.
using ModuleString = std::string;

// Code 128 modes.
constexpr int CODE128_SUBSET_A = 1;
constexpr int CODE128_SUBSET_B = 2;
constexpr int CODE128_SUBSET_C = 3;
constexpr int CODE128_AUTO_B = 4; // automatic; characters 32 to 95 go to subset B
constexpr int CODE128_AUTO_A = 5; // automatic; characters 32 to 95 go to subset A

// Code 39 check option bits.
constexpr int CODE39_CHECK = 1;        // append the modulo-43 check character
constexpr int CODE39_CHECK_HIDDEN = 2; // append it, but keep it out of the printed text

// Drawing option bits.
constexpr int BARCODE_TEXT_CENTER = 1;
constexpr int BARCODE_TEXT_RIGHT = 2; // ignored with BARCODE_TEXT_CENTER
constexpr int BARCODE_TEXT_ABOVE = 4;
constexpr int BARCODE_ROTATE_90 = 16;
constexpr int BARCODE_ROTATE_180 = 32; // ignored with BARCODE_ROTATE_90
constexpr int BARCODE_ROTATE_270 = 64; // ignored with BARCODE_ROTATE_90 or BARCODE_ROTATE_180
constexpr int BARCODE_NO_TEXT = 128;
constexpr int BARCODE_NO_BARS = 256;

// Code 128 symbol values of note.
constexpr int CODE128_START_A = 103;
constexpr int CODE128_START_B = 104;
constexpr int CODE128_START_C = 105;
constexpr int CODE128_STOP = 106;

// Encoded sequence: start code, data values and subset switches (no check
// value, no stop). Codes 129 to 255 are dropped before encoding.
std::vector<int> Code128_Encode(const std::string& text, int mode);
// Check value 0 to 102 of an encoded sequence.
int Code128_Checksum(const std::vector<int>& sequence);
// Human-readable text of an encoded sequence.
std::string Code128_Text(const std::vector<int>& sequence);
// 11 modules for 0 to 105, 13 for the stop (106); empty for other values.
ModuleString Code128_Pattern(int value);
// The whole symbol: sequence, check value and stop; no quiet zone.
ModuleString Code128_Modules(const std::vector<int>& sequence);

struct Code39Symbol {
    std::vector<int> values; // data values, then the check value if asked for
    std::string text;        // human-readable text, without the asterisks
};

Code39Symbol Code39_Encode(const std::string& text, int checkOption);
// Sum of the data values modulo 43.
int Code39_Checksum(const std::vector<int>& values);
// 12 modules for 0 to 43 (43 is the asterisk); empty for other values.
ModuleString Code39_Pattern(int value);
// The whole symbol: asterisk, values, asterisk, each followed by a one-module gap.
ModuleString Code39_Modules(const std::vector<int>& values);

// Both return the symbol width, Barcode_SymbolWidth of the module count.
float Barcode_Code128(float x, float y, const std::string& text, float height, float moduleWidth, int options,
                      float textOffset, float textGap, int mode);
float Barcode_Code39(float x, float y, const std::string& text, float height, float moduleWidth, int options,
                     float textOffset, float textGap, int checkOption);

// Draws the dark runs of modules as filled boxes, p modules from the reference point.
void Barcode_DrawModules(int p, float x, float y, float height, float moduleWidth,
                         const ModuleString& modules, int options);
// Prints the human-readable text of a symbol of n modules.
void Barcode_DrawText(float x, float y, float height, float moduleWidth, int n, float textOffset,
                      float textGap, const std::string& text, int options);
// (n + 2) module widths.
float Barcode_SymbolWidth(int n, float moduleWidth);
