// The printing library's one process-wide state record and the operations
// that take Windows types. Win32 only; callers above the library use
// printlib.h.
#pragma once

#include "printlib/printlib.h"

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

struct PrinterLibState {
    HANDLE PrintLib_PH = nullptr;
    std::string PrintLib_PrinterName;
    HDC PrintLib_DC = nullptr;
    HDC PrintLib_SavedDC = nullptr;
    int PrintLib_Preview = 0;
    int32_t PrintLib_PreviewWidth = 0;
    int32_t PrintLib_PreviewHeight = 0;
    std::vector<int> PrintLib_PreviewPages; // image numbers
    int PrintLib_PreviewCurrent = -1;       // index into PrintLib_PreviewPages
    std::vector<uint8_t> PrintLib_DevMode;
    int32_t PrintLib_DevModeSize = 0;
    PRINTDLGA PrintLib_PrintDlg{};
    HPEN PrintLib_Pen = nullptr;
    HBRUSH PrintLib_Brush = nullptr;
    HFONT PrintLib_Font = nullptr;
    float PrintLib_LineWidth = 0.2f;
    int32_t PrintLib_PenStyle = 0x12200; // geometric, flat ends, mitred joins, solid
    COLORREF PrintLib_LineColor = 0;
    COLORREF PrintLib_BrushColor = 0;
    int PrintLib_BkMode = TRANSPARENT;
    UINT PrintLib_TextAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    int PrintLib_Unit = 2; // millimetres
    std::string PrintLib_FontName;
    int PrintLib_FontSize = 0;
    int PrintLib_FontFlags = 0;
    int PrintLib_FontEscapement = 0;
    int PrintLib_Debug = 0;
    HANDLE PrintLib_LogFile = nullptr;
};

PrinterLibState& printLibState();

// `size` is the byte size of the buffer behind `dm`; fields beyond it are left alone.
void Print_ApplyDevModeSettings(const std::string& text, DEVMODEA* dm, size_t size);
void Print_ApplyPrintDlgSettings(const std::string& text, PRINTDLGA& pd);

// For tests of the transfer choice: answer this RASTERCAPS in ipprint_Image
// instead of asking the DC (-1 asks the DC again).
void Print_OverrideRasterCaps(int caps);
