#include "tests/doubles/printlib/printlib_recording.h"

#include <cmath>
#include <cstddef>

namespace {

PrintRecorder g_rec;
uintptr_t g_nextHandle = 0x1000;
void* g_font = nullptr; // like the library's current font handle

void* NewHandle() {
    return reinterpret_cast<void*>(g_nextHandle += 0x10);
}

PrintCall& Record(PrintCallKind kind) {
    PrintCall c;
    c.kind = kind;
    c.lineWidth = g_rec.lineWidth;
    c.font = g_rec.font;
    g_rec.calls.push_back(std::move(c));
    return g_rec.calls.back();
}

int Caps(int index) {
    auto it = g_rec.deviceCaps.find(index);
    if (it != g_rec.deviceCaps.end()) return it->second;
    if (index == printcaps::LogPixelsX || index == printcaps::LogPixelsY) return 300;
    return 0;
}

int ToDevice(float v, int dpi) {
    return static_cast<int>(std::nearbyint(double(v) * dpi / double(25.4f)));
}

float ToUnit(int d, int dpi) {
    return dpi == 0 ? 0.0f : static_cast<float>(double(d) * double(25.4f) / dpi);
}

} // namespace

const char* PrintCallKindName(PrintCallKind kind) {
    static const char* const names[] = {
        "Init",
        "GetDefaultPrinter",
        "GetPrinterName",
        "OpenPrinter",
        "PrinterDialog",
        "StartPrinting",
        "StopPrinting",
        "StartPreview",
        "StopPreview",
        "GetPreviewImage",
        "GetDeviceCaps",
        "UnitToDeviceX",
        "UnitToDeviceY",
        "DeviceToUnitX",
        "DeviceToUnitY",
        "CreatePen",
        "SetLineWidth",
        "GetLineWidth",
        "SetLineColor",
        "CreateBrush",
        "SetBkMode",
        "SetTextAlign",
        "ResetDrawingState",
        "Box",
        "LoadFont",
        "GetFontName",
        "GetFontSize",
        "GetFontFlags",
        "GetFontEscapement",
        "Text",
        "TextWidth",
        "GetTextMetric",
        "Image",
        "SetDebug",
        "Log",
        "WriteLogHeader",
    };
    std::size_t k = static_cast<std::size_t>(kind);
    return k < sizeof names / sizeof names[0] ? names[k] : "?";
}

PrintRecorder& Printrec() {
    return g_rec;
}

void Printrec_Reset() {
    g_rec = PrintRecorder{};
    g_font = nullptr;
}

std::vector<PrintCall> Printrec_Calls(PrintCallKind kind) {
    std::vector<PrintCall> out;
    for (const PrintCall& c : g_rec.calls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

int Printrec_ToDevice(float mm, int dpi) {
    return ToDevice(mm, dpi);
}

// Session.

void Print_Init() {
    Record(PrintCallKind::Init);
    g_rec.font = PrintFont{};
    g_font = nullptr;
    g_rec.lineWidth = 0.2f;
    g_rec.lineColor = 0;
    g_rec.textAlign = 0;
    g_rec.bkMode = 1;
    g_rec.printing = g_rec.previewing = false;
}

std::string Print_GetDefaultPrinter() {
    Record(PrintCallKind::GetDefaultPrinter);
    return g_rec.defaultPrinter;
}

std::string Print_GetPrinterName() {
    Record(PrintCallKind::GetPrinterName);
    return g_rec.printerName;
}

void* Print_OpenPrinter(const std::string& name, const std::string& devSettings, uint32_t desiredAccess) {
    PrintCall& c = Record(PrintCallKind::OpenPrinter);
    c.text = name;
    c.text2 = devSettings;
    c.u = desiredAccess;
    if (g_rec.openPrinterFails) return nullptr;
    g_rec.printerName = name;
    return NewHandle();
}

int Print_PrinterDialog(int ownerWindow, const std::string& name, const std::string& devSettings,
                        const std::string& dialogSettings) {
    PrintCall& c = Record(PrintCallKind::PrinterDialog);
    c.n[0] = ownerWindow;
    c.text = name;
    c.text2 = devSettings;
    c.text3 = dialogSettings;
    return g_rec.printerDialogResult;
}

// Jobs, pages, preview.

int Print_StartPrinting(const std::string& documentName, const std::string& outputFile) {
    PrintCall& c = Record(PrintCallKind::StartPrinting);
    c.text = documentName;
    c.text2 = outputFile;
    if (g_rec.startPrintingResult) g_rec.printing = true;
    return g_rec.startPrintingResult;
}

int Print_StopPrinting() {
    Record(PrintCallKind::StopPrinting);
    g_rec.printing = false;
    return g_rec.stopPrintingResult;
}

void* Print_StartPreview(int widthPixels) {
    Record(PrintCallKind::StartPreview).n[0] = widthPixels;
    g_rec.previewing = true;
    return NewHandle();
}

void* Print_StopPreview() {
    Record(PrintCallKind::StopPreview);
    g_rec.previewing = false;
    return NewHandle();
}

int Print_GetPreviewImage(int index) {
    Record(PrintCallKind::GetPreviewImage).n[0] = index;
    return g_rec.previewImage;
}

int Print_GetDeviceCaps(int index) {
    Record(PrintCallKind::GetDeviceCaps).n[0] = index;
    return Caps(index);
}

// Units and drawing state.

int Print_UnitToDeviceX(float v) {
    Record(PrintCallKind::UnitToDeviceX).x1 = v;
    return ToDevice(v, Caps(printcaps::LogPixelsX));
}

int Print_UnitToDeviceY(float v) {
    Record(PrintCallKind::UnitToDeviceY).x1 = v;
    return ToDevice(v, Caps(printcaps::LogPixelsY));
}

float Print_DeviceToUnitX(int d) {
    Record(PrintCallKind::DeviceToUnitX).n[0] = d;
    return ToUnit(d, Caps(printcaps::LogPixelsX));
}

float Print_DeviceToUnitY(int d) {
    Record(PrintCallKind::DeviceToUnitY).n[0] = d;
    return ToUnit(d, Caps(printcaps::LogPixelsY));
}

void* Print_CreatePen(int style, float width, uint32_t colour, uint32_t styleCount, const uint32_t*) {
    PrintCall& c = Record(PrintCallKind::CreatePen);
    c.n[0] = style;
    c.x1 = width;
    c.u = colour;
    c.n[1] = static_cast<int>(styleCount);
    return NewHandle();
}

void* Print_SetLineWidth(float width) {
    Record(PrintCallKind::SetLineWidth).x1 = width;
    g_rec.lineWidth = width;
    return NewHandle();
}

float Print_GetLineWidth() {
    Record(PrintCallKind::GetLineWidth);
    return g_rec.lineWidth;
}

void* Print_SetLineColor(uint32_t colour) {
    Record(PrintCallKind::SetLineColor).u = colour;
    g_rec.lineColor = colour;
    return NewHandle();
}

void* Print_CreateBrush(uint32_t colour) {
    Record(PrintCallKind::CreateBrush).u = colour;
    return NewHandle();
}

int Print_SetBkMode(int mode) {
    Record(PrintCallKind::SetBkMode).n[0] = mode;
    int previous = g_rec.bkMode;
    g_rec.bkMode = mode;
    return previous;
}

uint32_t Print_SetTextAlign(uint32_t align) {
    Record(PrintCallKind::SetTextAlign).u = align;
    uint32_t previous = g_rec.textAlign;
    g_rec.textAlign = align;
    return previous;
}

void Print_ResetDrawingState() {
    Record(PrintCallKind::ResetDrawingState);
}

void ipprint_Box(float x1, float y1, float x2, float y2) {
    PrintCall& c = Record(PrintCallKind::Box);
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
}

// Text and fonts.

void* Print_LoadFont(const std::string& face, int size, int flags, int escapement) {
    PrintCall& c = Record(PrintCallKind::LoadFont);
    c.text = face;
    c.n[0] = size;
    c.n[1] = flags;
    c.n[2] = escapement;
    if (g_rec.loadFontFails) return g_font;
    g_rec.font = PrintFont{face, size, flags, escapement};
    return g_font = NewHandle();
}

std::string Print_GetFontName() {
    Record(PrintCallKind::GetFontName);
    return g_rec.font.name;
}

int Print_GetFontSize() {
    Record(PrintCallKind::GetFontSize);
    return g_rec.font.size;
}

int Print_GetFontFlags() {
    Record(PrintCallKind::GetFontFlags);
    return g_rec.font.flags;
}

int Print_GetFontEscapement() {
    Record(PrintCallKind::GetFontEscapement);
    return g_rec.font.escapement;
}

void ipprint_Text(float x, float y, const std::string& text) {
    PrintCall& c = Record(PrintCallKind::Text);
    c.x1 = x;
    c.y1 = y;
    c.text = text;
}

float Print_TextWidth(const std::string& text) {
    Record(PrintCallKind::TextWidth).text = text;
    if (g_rec.textWidth) return g_rec.textWidth(text, g_rec.font);
    return g_rec.mmPerChar * static_cast<float>(text.size());
}

float Print_GetTextMetric(int index) {
    Record(PrintCallKind::GetTextMetric).n[0] = index;
    auto it = g_rec.textMetric.find(index);
    return it != g_rec.textMetric.end() ? it->second : 0.0f;
}

// Images.

int ipprint_Image(int image, float x, float y, float width, float height, uint32_t rop) {
    PrintCall& c = Record(PrintCallKind::Image);
    c.n[0] = image;
    c.x1 = x;
    c.y1 = y;
    c.x2 = width;
    c.y2 = height;
    c.u = rop;
    return g_rec.imageResult;
}

// Debug log.

void Print_SetDebug(int on) {
    Record(PrintCallKind::SetDebug).n[0] = on;
}

void Print_Log(const std::string& line) {
    Record(PrintCallKind::Log).text = line;
}

void Print_WriteLogHeader() {
    Record(PrintCallKind::WriteLogHeader);
}
