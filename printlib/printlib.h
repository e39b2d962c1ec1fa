// The printing library: one process-wide printer state over the Windows
// spooler and GDI. Every coordinate and length is a float in user units
// (millimetres in this program) from the top-left corner of the printable
// area, y downwards; the library converts to device pixels of the current
// device context at each call.
//
// This header is the seam for everything above the library: it uses no
// Windows types (handles are void*), so the barcode and label code also
// build natively against a recording double of these functions.
//
// The library has no lock: callers must not use it from two threads at once.
#pragma once

#include <cstdint>
#include <string>

// GetDeviceCaps indices that callers of Print_GetDeviceCaps use.
namespace printcaps {
constexpr int HorzSize = 4;
constexpr int VertSize = 6;
constexpr int HorzRes = 8;
constexpr int VertRes = 10;
constexpr int RasterCaps = 38;
constexpr int LogPixelsX = 88;
constexpr int LogPixelsY = 90;
constexpr int PhysicalOffsetX = 112;
constexpr int PhysicalOffsetY = 113;
} // namespace printcaps

// Font style flags of Print_LoadFont.
constexpr int PRINT_FONT_BOLD = 0x100;
constexpr int PRINT_FONT_ITALIC = 0x200;
constexpr int PRINT_FONT_UNDERLINE = 0x4;
constexpr int PRINT_FONT_STRIKEOUT = 0x8;
constexpr int PRINT_FONT_HIGHQUALITY = 0x10;
constexpr int PRINT_FONT_DRAFT = 0x1;
constexpr int PRINT_FONT_CLEARTYPE = 0x2;

constexpr uint32_t PRINT_SRCCOPY = 0xCC0020;

// Session (printer, dialog, settings).
void Print_Init();
std::string Print_GetDefaultPrinter();
std::string Print_GetPrinterName();
void* Print_OpenPrinter(const std::string& name, const std::string& devSettings, uint32_t desiredAccess);
int Print_PrinterDialog(int ownerWindow, const std::string& name, const std::string& devSettings,
                        const std::string& dialogSettings);

// Jobs, pages, preview.
int Print_StartPrinting(const std::string& documentName, const std::string& outputFile);
int Print_StopPrinting();
void* Print_StartPreview(int widthPixels);
void* Print_StopPreview();
int Print_GetPreviewImage(int index); // image number of the image facility, or 0
int Print_GetDeviceCaps(int index);

// Units and drawing state.
int Print_UnitToDeviceX(float v);
int Print_UnitToDeviceY(float v);
float Print_DeviceToUnitX(int d);
float Print_DeviceToUnitY(int d);
void* Print_CreatePen(int style, float width, uint32_t colour, uint32_t styleCount, const uint32_t* styles);
void* Print_SetLineWidth(float width);
float Print_GetLineWidth();
void* Print_SetLineColor(uint32_t colour);
void* Print_CreateBrush(uint32_t colour);
int Print_SetBkMode(int mode);
uint32_t Print_SetTextAlign(uint32_t align);
void Print_ResetDrawingState();
void ipprint_Box(float x1, float y1, float x2, float y2);

// Text and fonts.
void* Print_LoadFont(const std::string& face, int size, int flags, int escapement);
std::string Print_GetFontName();
int Print_GetFontSize();
int Print_GetFontFlags();
int Print_GetFontEscapement();
void ipprint_Text(float x, float y, const std::string& text);
float Print_TextWidth(const std::string& text);
float Print_GetTextMetric(int index);

// Images.
int ipprint_Image(int image, float x, float y, float width, float height, uint32_t rop);

// Debug log.
void Print_SetDebug(int on);
void Print_Log(const std::string& line);
void Print_WriteLogHeader();
