// Recording double of printlib/printlib.h for native tests.
//
// Every printing-library call is appended to Printrec().calls with its
// arguments in user units (millimetres), together with the line width and
// font that were current when it was made. The double keeps a current font
// description, line width, text alignment and background mode like the real
// library, and answers queries from settable values.
//
//   Printrec_Reset();
//   Printrec().mmPerChar = 2.0f;           // Print_TextWidth = 2 mm a character
//   Printrec().textMetric[1] = 3.5f;       // ascent
//   ... code under test ...
//   for (const PrintCall& b : Printrec_Calls(PrintCallKind::Box)) ...
#pragma once

#include "printlib/printlib.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class PrintCallKind {
    Init,
    GetDefaultPrinter,
    GetPrinterName,
    OpenPrinter,
    PrinterDialog,
    StartPrinting,
    StopPrinting,
    StartPreview,
    StopPreview,
    GetPreviewImage,
    GetDeviceCaps,
    UnitToDeviceX,
    UnitToDeviceY,
    DeviceToUnitX,
    DeviceToUnitY,
    CreatePen,
    SetLineWidth,
    GetLineWidth,
    SetLineColor,
    CreateBrush,
    SetBkMode,
    SetTextAlign,
    ResetDrawingState,
    Box,
    LoadFont,
    GetFontName,
    GetFontSize,
    GetFontFlags,
    GetFontEscapement,
    Text,
    TextWidth,
    GetTextMetric,
    Image,
    SetDebug,
    Log,
    WriteLogHeader,
};

const char* PrintCallKindName(PrintCallKind kind);

struct PrintFont {
    std::string name;
    int size = 0;
    int flags = 0;
    int escapement = 0;
    bool operator==(const PrintFont&) const = default;
};

// Arguments by kind (unused fields stay 0 / empty):
//   Box            x1 y1 x2 y2
//   Text           x1 y1 (the point), text
//   TextWidth      text
//   Image          n[0] image, x1 y1 x2 y2 = x, y, width, height, u rop
//   LoadFont       text face, n[0] size, n[1] flags, n[2] escapement
//   SetLineWidth   x1 width;   CreatePen  n[0] style, x1 width, u colour, n[1] style count
//   SetLineColor, CreateBrush  u colour;   SetBkMode  n[0];  SetTextAlign  u
//   StartPrinting  text document name, text2 output file;  StartPreview  n[0] width pixels
//   OpenPrinter    text name, text2 device settings, u access
//   PrinterDialog  n[0] owner, text name, text2 device settings, text3 dialog settings
//   GetDeviceCaps, GetTextMetric, GetPreviewImage  n[0] index
//   UnitToDevice*  x1 value;  DeviceToUnit*  n[0] value
//   SetDebug       n[0];  Log  text
struct PrintCall {
    PrintCallKind kind{};
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int n[3] = {0, 0, 0};
    uint32_t u = 0;
    std::string text, text2, text3;
    // State at the moment of the call, before it took effect.
    float lineWidth = 0;
    PrintFont font;
};

struct PrintRecorder {
    std::vector<PrintCall> calls;

    // State kept like the real library.
    PrintFont font;         // description of the last font loaded
    float lineWidth = 0.2f; // PrintLib_LineWidth
    uint32_t lineColor = 0;
    uint32_t textAlign = 0;
    int bkMode = 1;
    std::string printerName;
    bool printing = false;
    bool previewing = false;

    // Settable answers.
    float mmPerChar = 2.0f; // Print_TextWidth without a callback: mm per byte of text
    std::function<float(const std::string& text, const PrintFont& font)> textWidth;
    std::map<int, float> textMetric; // Print_GetTextMetric by index; missing = 0
    std::map<int, int> deviceCaps;   // Print_GetDeviceCaps by index; missing = 0 (LogPixels default 300)
    std::string defaultPrinter = "Label Printer";
    bool openPrinterFails = false;
    bool loadFontFails = false;
    int startPrintingResult = 1;
    int stopPrintingResult = 1;
    int printerDialogResult = 1;
    int previewImage = 0;
    int imageResult = 1;
};

// The one recorder that the printlib functions write to.
PrintRecorder& Printrec();
// Back to a fresh recorder: no calls, default state and answers.
void Printrec_Reset();
// The calls of one kind, in order.
std::vector<PrintCall> Printrec_Calls(PrintCallKind kind);
// Device pixels of a length in mm at dpi, as the real library converts:
// round half to even of v * dpi / 25.4f, formed in double.
int Printrec_ToDevice(float mm, int dpi);
