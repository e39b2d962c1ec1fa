// The printing library over GDI and the spooler.
#include "printlib/state.h"

#include "platform/clock.h"
#include "platform/gui.h"
#include "platform/image.h"
#include "printlib/core.h"

#include <winspool.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

using printcore::dec;
using printcore::hex;
using printcore::real;

static_assert(sizeof(PRINTDLGA) == 66, "PRINTDLGA as 32-bit Windows lays it out");
static_assert(sizeof(DOCINFOA) == 20, "DOCINFOA as 32-bit Windows lays it out");

namespace {
PrinterLibState state;
int rasterCapsOverride = -1;

template <class T> std::string hexOf(T* p) {
    return hex(uint32_t(reinterpret_cast<uintptr_t>(p)));
}
template <class T> std::string decOf(T* p) {
    return dec(int32_t(reinterpret_cast<uintptr_t>(p)));
}

void deletePen(HPEN& p) {
    if (p) DeleteObject(p);
    p = nullptr;
}

// Drops the preview pages and their images.
void freePreviewPages() {
    for (int img : state.PrintLib_PreviewPages) image::release(img);
    state.PrintLib_PreviewPages.clear();
    state.PrintLib_PreviewCurrent = -1;
}

int currentPreviewImage() {
    const int i = state.PrintLib_PreviewCurrent;
    if (i < 0 || i >= int(state.PrintLib_PreviewPages.size())) return 0;
    return state.PrintLib_PreviewPages[size_t(i)];
}

printcore::VersionInfo versionInfo() {
    printcore::VersionInfo v;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        info = OSVERSIONINFOEXA{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return v;
    }
    v.ok = true;
    v.platform = info.dwPlatformId;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.workstation = info.wProductType == 0 || info.wProductType == VER_NT_WORKSTATION;
    return v;
}

int driverSettingsSize(const std::string& name) {
    return DocumentPropertiesA(nullptr, state.PrintLib_PH, const_cast<char*>(name.c_str()), nullptr, nullptr,
                               0);
}

struct GlobalBlock {
    HGLOBAL h = nullptr;
    explicit GlobalBlock(HGLOBAL b) : h(b) {}
    ~GlobalBlock() {
        if (h) GlobalFree(h);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
};
} // namespace

PrinterLibState& printLibState() {
    return state;
}
void Print_OverrideRasterCaps(int caps) {
    rasterCapsOverride = caps;
}

// ---------------------------------------------------------------------------
// Debug log

void Print_SetDebug(int on) {
    state.PrintLib_Debug = on ? 1 : 0;
}

void Print_Log(const std::string& line) {
    if (!state.PrintLib_Debug) return;
    if (!state.PrintLib_LogFile) {
        const std::string name = printcore::logFileName(clk::localNow());
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) SetEndOfFile(h);
        }
        if (h == INVALID_HANDLE_VALUE) return;
        state.PrintLib_LogFile = h;
    }
    SetFilePointer(state.PrintLib_LogFile, 0, nullptr, FILE_END);
    // Written through at once, so the trace survives a crash of the program it diagnoses.
    const std::string text = (state.PrintLib_Preview == 1 ? "  " : "") + line + "\r\n";
    DWORD written = 0;
    WriteFile(state.PrintLib_LogFile, text.data(), DWORD(text.size()), &written, nullptr);
}

void Print_WriteLogHeader() {
    Print_Log("Printer-Lib Version V1.10");
    Print_Log("Built with mingw-w64 GCC " __VERSION__);
    Print_Log(printcore::windowsName(versionInfo()));
}

// ---------------------------------------------------------------------------
// Session

void Print_Init() {
    state = PrinterLibState{};
    rasterCapsOverride = -1;
}

std::string Print_GetDefaultPrinter() {
    state.PrintLib_PrinterName.clear();
    std::string name;
    if (printcore::olderThan2000(versionInfo())) {
        char buf[1024] = {};
        GetPrivateProfileStringA("WINDOWS", "DEVICE", "", buf, sizeof buf, "Win.Ini");
        name = buf;
        name = name.substr(0, name.find(','));
    } else if (HMODULE lib = LoadLibraryA("WINSPOOL.DRV")) {
        using GetDefault = BOOL(WINAPI*)(LPSTR, LPDWORD);
        auto fn =
            reinterpret_cast<GetDefault>(reinterpret_cast<void*>(GetProcAddress(lib, "GetDefaultPrinterA")));
        DWORD size = 0;
        if (fn && !fn(nullptr, &size) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            std::vector<char> buf(size_t(size) + 2, 0);
            DWORD have = size + 2;
            if (fn(buf.data(), &have) && GetLastError() != ERROR_FILE_NOT_FOUND) name = buf.data();
        }
        FreeLibrary(lib);
    }
    state.PrintLib_PrinterName = name;
    return name;
}

std::string Print_GetPrinterName() {
    return state.PrintLib_PrinterName;
}

void Print_ApplyDevModeSettings(const std::string& text, DEVMODEA* dm, size_t size) {
    if (!dm) return;
    using namespace printcore;
    for (const SettingsItem& it : parseSettings(text, devModeKeys, DmFieldCount)) {
        short* field = nullptr;
        switch (it.field) {
        case DmOrientation:
            field = &dm->dmOrientation;
            break;
        case DmPaperSize:
            field = &dm->dmPaperSize;
            break;
        case DmPaperLength:
            field = &dm->dmPaperLength;
            break;
        case DmPaperWidth:
            field = &dm->dmPaperWidth;
            break;
        case DmScale:
            field = &dm->dmScale;
            break;
        case DmCopies:
            field = &dm->dmCopies;
            break;
        case DmDefaultSource:
            field = &dm->dmDefaultSource;
            break;
        case DmPrintQuality:
            field = &dm->dmPrintQuality;
            break;
        case DmColor:
            field = &dm->dmColor;
            break;
        case DmDuplex:
            field = &dm->dmDuplex;
            break;
        case DmYResolution:
            field = &dm->dmYResolution;
            break;
        case DmTTOption:
            field = &dm->dmTTOption;
            break;
        case DmCollate:
            field = &dm->dmCollate;
            break;
        }
        const size_t end =
            size_t(reinterpret_cast<uint8_t*>(field) - reinterpret_cast<uint8_t*>(dm)) + sizeof(short);
        if (!field || end > size) continue;
        *field = short(it.value);
        dm->dmFields |= devModeBits[it.field];
    }
}

void Print_ApplyPrintDlgSettings(const std::string& text, PRINTDLGA& pd) {
    using namespace printcore;
    for (const SettingsItem& it : parseSettings(text, printDlgKeys, PdFieldCount)) {
        const uint32_t v = uint32_t(it.value);
        const uintptr_t p = v;
        switch (it.field) {
        case PdFlags:
            pd.Flags = v;
            break;
        case PdFromPage:
            pd.nFromPage = WORD(v);
            break;
        case PdToPage:
            pd.nToPage = WORD(v);
            break;
        case PdMinPage:
            pd.nMinPage = WORD(v);
            break;
        case PdMaxPage:
            pd.nMaxPage = WORD(v);
            break;
        case PdCopies:
            pd.nCopies = WORD(v);
            break;
        case PdInstance:
            pd.hInstance = reinterpret_cast<HINSTANCE>(p);
            break;
        case PdCustData:
            pd.lCustData = LPARAM(v);
            break;
        case PdPrintHook:
            pd.lpfnPrintHook = reinterpret_cast<LPPRINTHOOKPROC>(p);
            break;
        case PdSetupHook:
            pd.lpfnSetupHook = reinterpret_cast<LPSETUPHOOKPROC>(p);
            break;
        case PdPrintTemplateName:
            pd.lpPrintTemplateName = reinterpret_cast<LPCSTR>(p);
            break;
        case PdSetupTemplateName:
            pd.lpSetupTemplateName = reinterpret_cast<LPCSTR>(p);
            break;
        case PdPrintTemplate:
            pd.hPrintTemplate = reinterpret_cast<HGLOBAL>(p);
            break;
        case PdSetupTemplate:
            pd.hSetupTemplate = reinterpret_cast<HGLOBAL>(p);
            break;
        }
    }
}

void* Print_OpenPrinter(const std::string& name, const std::string& devSettings, uint32_t desiredAccess) {
    Print_WriteLogHeader();
    // Deleting the preview page's context in place of the printer's would leave
    // the printer DC behind and the page's image with a dead context.
    if (state.PrintLib_Preview == 1) Print_StopPreview();
    if (state.PrintLib_DC) {
        DeleteDC(state.PrintLib_DC);
        state.PrintLib_DC = nullptr;
    }
    if (state.PrintLib_PH) {
        ClosePrinter(state.PrintLib_PH);
        state.PrintLib_PH = nullptr;
    }
    if (name.empty())
        Print_GetDefaultPrinter();
    else
        state.PrintLib_PrinterName = name;
    const std::string printer = state.PrintLib_PrinterName;
    Print_Log("Printer : " + printer);

    PRINTER_DEFAULTSA defaults{nullptr, nullptr, desiredAccess};
    HANDLE ph = nullptr;
    BOOL opened = OpenPrinterA(const_cast<char*>(printer.c_str()), &ph, desiredAccess ? &defaults : nullptr);
    Print_Log("OpenPrinter_()=" + hex(uint32_t(opened)));
    if (!opened) return nullptr;
    state.PrintLib_PH = ph;

    const int size = driverSettingsSize(printer);
    if (size <= 0) {
        state.PrintLib_DevMode.clear();
        state.PrintLib_DevModeSize = 0;
    } else if (state.PrintLib_DevMode.empty() || state.PrintLib_DevModeSize != size) {
        state.PrintLib_DevMode.assign(size_t(size), 0);
        state.PrintLib_DevModeSize = size;
        auto* dm = reinterpret_cast<DEVMODEA*>(state.PrintLib_DevMode.data());
        // An all-zero record would make a DC from nonsense: use the driver's defaults instead.
        if (DocumentPropertiesA(nullptr, ph, const_cast<char*>(printer.c_str()), dm, nullptr, DM_OUT_BUFFER) <
            0) {
            state.PrintLib_DevMode.clear();
            state.PrintLib_DevModeSize = 0;
        }
    }
    DEVMODEA* dm =
        state.PrintLib_DevMode.empty() ? nullptr : reinterpret_cast<DEVMODEA*>(state.PrintLib_DevMode.data());
    if (!devSettings.empty()) Print_ApplyDevModeSettings(devSettings, dm, state.PrintLib_DevMode.size());

    state.PrintLib_DC = CreateDCA(printcore::driverName(GetVersion()), printer.c_str(), nullptr, dm);
    if (state.PrintLib_DC) Print_ResetDrawingState();
    return state.PrintLib_DC;
}

int Print_PrinterDialog(int ownerWindow, const std::string& name, const std::string& devSettings,
                        const std::string& dialogSettings) {
    if (name.empty())
        Print_GetDefaultPrinter();
    else
        state.PrintLib_PrinterName = name;
    const std::string printer = state.PrintLib_PrinterName;
    if (state.PrintLib_PH) {
        ClosePrinter(state.PrintLib_PH);
        state.PrintLib_PH = nullptr;
    }
    HANDLE ph = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &ph, nullptr)) return 0;
    state.PrintLib_PH = ph;
    const int size = driverSettingsSize(printer);
    if (size <= 0) return 0;

    HGLOBAL devMode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(size));
    HGLOBAL devNames = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1032);
    if (!devMode || !devNames) {
        if (devMode) GlobalFree(devMode);
        if (devNames) GlobalFree(devNames);
        return 0;
    }
    if (auto* dm = static_cast<DEVMODEA*>(GlobalLock(devMode))) {
        DocumentPropertiesA(nullptr, ph, const_cast<char*>(printer.c_str()), dm, nullptr, DM_OUT_BUFFER);
        Print_ApplyDevModeSettings(devSettings, dm, size_t(size));
        GlobalUnlock(devMode);
    }
    PRINTDLGA& pd = state.PrintLib_PrintDlg;
    Print_ApplyPrintDlgSettings(dialogSettings, pd);
    pd.lStructSize = sizeof(PRINTDLGA);
    pd.hwndOwner = ownerWindow >= 0 ? static_cast<HWND>(gui::systemHandle(ownerWindow)) : nullptr;
    pd.hDevMode = devMode;
    pd.hDevNames = devNames;
    pd.Flags |= PD_USEDEVMODECOPIESANDCOLLATE;
    for (WORD* w : {&pd.nCopies, &pd.nFromPage, &pd.nToPage, &pd.nMinPage, &pd.nMaxPage})
        if (*w == 0) *w = 1;

    const BOOL shown = PrintDlgA(&pd);
    // The dialog may have replaced either block; free what the record holds now.
    GlobalBlock mode(pd.hDevMode), names(pd.hDevNames);
    pd.hDevMode = nullptr;
    pd.hDevNames = nullptr;
    if (!shown) return 0;

    int result = shown;
    std::string chosen;
    bool haveName = false;
    if (const auto* dn = names.h ? static_cast<const uint8_t*>(GlobalLock(names.h)) : nullptr) {
        const SIZE_T total = GlobalSize(names.h);
        const WORD offset =
            total >= sizeof(DEVNAMES) ? reinterpret_cast<const DEVNAMES*>(dn)->wDeviceOffset : 0;
        if (offset != 0 && offset < total) {
            // Bounded by the block, whatever the dialog wrote into it.
            const char* s = reinterpret_cast<const char*>(dn + offset);
            chosen.assign(s, strnlen(s, total - offset));
            haveName = true;
        }
        GlobalUnlock(names.h);
    }
    if (!haveName) return result;

    if (const auto* dm = mode.h ? static_cast<const uint8_t*>(GlobalLock(mode.h)) : nullptr) {
        size_t bytes = GlobalSize(mode.h);
        // The block may be rounded up; the record itself says how long it is,
        // and a copy of the driver's exact size is what later opens reuse.
        const auto* rec = reinterpret_cast<const DEVMODEA*>(dm);
        if (bytes >= offsetof(DEVMODEA, dmDriverExtra) + sizeof(WORD)) {
            const size_t own = size_t(rec->dmSize) + rec->dmDriverExtra;
            if (own > 0 && own < bytes) bytes = own;
        }
        state.PrintLib_DevMode.assign(dm, dm + bytes);
        state.PrintLib_DevModeSize = int32_t(bytes);
        GlobalUnlock(mode.h);
    }
    void* dc = Print_OpenPrinter(chosen, "", 0);
    result = int(reinterpret_cast<intptr_t>(dc));
    return result;
}

// ---------------------------------------------------------------------------
// Jobs and preview

int Print_StartPrinting(const std::string& documentName, const std::string& outputFile) {
    Print_Log("Print_StartPrinting(" + documentName + "," + outputFile + ")");
    DOCINFOA di{};
    di.cbSize = sizeof di;
    di.lpszDocName = documentName.empty() ? nullptr : documentName.c_str();
    di.lpszOutput = outputFile.empty() ? nullptr : outputFile.c_str();
    const int job = state.PrintLib_DC ? StartDocA(state.PrintLib_DC, &di) : 0;
    Print_Log("StartDoc_(" + hexOf(state.PrintLib_DC) + "," + hexOf(&di) + ")=" + hex(uint32_t(job)));
    if (job > 0 && StartPage(state.PrintLib_DC) > 0) return job;
    return 0;
}

int Print_StopPrinting() {
    if (!state.PrintLib_DC) return 0;
    EndPage(state.PrintLib_DC);
    return EndDoc(state.PrintLib_DC) != 0 ? 1 : 0;
}

void* Print_StartPreview(int widthPixels) {
    // A second start would set the page's own context aside as the printer's.
    if (state.PrintLib_Preview == 1) Print_StopPreview();
    Print_Log("Print_StartPreview(" + dec(widthPixels) + ")");
    state.PrintLib_SavedDC = state.PrintLib_DC;
    freePreviewPages();
    HDC saved = state.PrintLib_SavedDC;
    const int horz = saved ? GetDeviceCaps(saved, HORZRES) : 0,
              vert = saved ? GetDeviceCaps(saved, VERTRES) : 0;
    const int lpx = saved ? GetDeviceCaps(saved, LOGPIXELSX) : 0,
              lpy = saved ? GetDeviceCaps(saved, LOGPIXELSY) : 0;
    state.PrintLib_DC = nullptr;
    if (horz && vert && lpx && lpy) {
        state.PrintLib_PreviewWidth = widthPixels;
        state.PrintLib_PreviewHeight = printcore::previewHeight(widthPixels, horz, vert, lpx, lpy);
        if (int img =
                image::create(image::AnyNumber, state.PrintLib_PreviewWidth, state.PrintLib_PreviewHeight)) {
            state.PrintLib_PreviewPages.push_back(img);
            state.PrintLib_PreviewCurrent = 0;
            state.PrintLib_DC = static_cast<HDC>(image::openDrawing(img));
            if (!state.PrintLib_DC) freePreviewPages();
        }
    }
    if (!state.PrintLib_DC) {
        state.PrintLib_DC = state.PrintLib_SavedDC;
        state.PrintLib_SavedDC = nullptr;
        state.PrintLib_Preview = 0;
        return nullptr;
    }
    HBRUSH white = CreateSolidBrush(0xFFFFFF);
    HGDIOBJ previous = SelectObject(state.PrintLib_DC, white);
    RECT all{0, 0, state.PrintLib_PreviewWidth, state.PrintLib_PreviewHeight};
    FillRect(state.PrintLib_DC, &all, white);
    SelectObject(state.PrintLib_DC, previous);
    DeleteObject(white);
    state.PrintLib_Preview = 1;
    Print_ResetDrawingState();
    return state.PrintLib_DC;
}

void* Print_StopPreview() {
    if (state.PrintLib_Preview != 1) return nullptr;
    state.PrintLib_Preview = 0;
    Print_Log("Print_StopPreview()");
    image::closeDrawing();
    state.PrintLib_DC = state.PrintLib_SavedDC;
    state.PrintLib_SavedDC = nullptr;
    return state.PrintLib_DC;
}

int Print_GetPreviewImage(int index) {
    if (index < 0 || index >= int(state.PrintLib_PreviewPages.size())) return 0;
    state.PrintLib_PreviewCurrent = index;
    return state.PrintLib_PreviewPages[size_t(index)];
}

int Print_GetDeviceCaps(int index) {
    if (state.PrintLib_Preview != 1) return state.PrintLib_DC ? GetDeviceCaps(state.PrintLib_DC, index) : 0;
    const int img = currentPreviewImage();
    HDC printer = state.PrintLib_SavedDC;
    switch (index) {
    case HORZRES:
        return img ? image::width(img) : 0;
    case VERTRES:
        return img ? image::height(img) : 0;
    case LOGPIXELSX:
        return img && printer
                   ? printcore::previewLogPixels(image::width(img), GetDeviceCaps(printer, HORZSIZE))
                   : 0;
    case LOGPIXELSY:
        return img && printer
                   ? printcore::previewLogPixels(image::height(img), GetDeviceCaps(printer, VERTSIZE))
                   : 0;
    default:
        return printer ? GetDeviceCaps(printer, index) : 0;
    }
}

// ---------------------------------------------------------------------------
// Units and drawing state

int Print_UnitToDeviceX(float v) {
    return printcore::unitToDevice(state.PrintLib_Unit, v, Print_GetDeviceCaps(LOGPIXELSX));
}
int Print_UnitToDeviceY(float v) {
    return printcore::unitToDevice(state.PrintLib_Unit, v, Print_GetDeviceCaps(LOGPIXELSY));
}
float Print_DeviceToUnitX(int d) {
    return printcore::deviceToUnit(state.PrintLib_Unit, d, Print_GetDeviceCaps(LOGPIXELSX));
}
float Print_DeviceToUnitY(int d) {
    return printcore::deviceToUnit(state.PrintLib_Unit, d, Print_GetDeviceCaps(LOGPIXELSY));
}

void* Print_CreatePen(int style, float width, uint32_t colour, uint32_t styleCount, const uint32_t* styles) {
    Print_Log("Print_CreatePen(" + hex(uint32_t(state.PrintLib_PenStyle)) + "," +
              hex(uint32_t(printcore::roundHalfEven(state.PrintLib_LineWidth))) + "," +
              hex(state.PrintLib_LineColor) + ",0,0)");
    int deviceWidth = width == 0.0f ? 1 : Print_UnitToDeviceX(width);
    if ((uint32_t(style) & 0xF0000) == 0) deviceWidth = 1; // cosmetic pens are one pixel
    LOGBRUSH lb{BS_SOLID, colour, 0};
    HPEN pen = ExtCreatePen(DWORD(style), DWORD(deviceWidth), &lb, styleCount,
                            reinterpret_cast<const DWORD*>(styles));
    Print_Log("ExtCreatePen_(" + hex(uint32_t(style)) + "," + hex(uint32_t(deviceWidth)) + "," + hexOf(&lb) +
              "," + hex(styleCount) + "," + hexOf(styles) + ")=" + hexOf(pen));
    if (pen) {
        if (state.PrintLib_DC) SelectObject(state.PrintLib_DC, pen);
        deletePen(state.PrintLib_Pen);
        state.PrintLib_Pen = pen;
    }
    return pen;
}

void* Print_SetLineWidth(float width) {
    state.PrintLib_LineWidth = width;
    return Print_CreatePen(state.PrintLib_PenStyle, width, state.PrintLib_LineColor, 0, nullptr);
}

float Print_GetLineWidth() {
    return state.PrintLib_LineWidth;
}

void* Print_SetLineColor(uint32_t colour) {
    Print_Log("Print_SetLineColor(" + hex(state.PrintLib_LineColor) + ")");
    state.PrintLib_LineColor = colour;
    return Print_CreatePen(state.PrintLib_PenStyle, state.PrintLib_LineWidth, colour, 0, nullptr);
}

void* Print_CreateBrush(uint32_t colour) {
    Print_Log("Print_CreateBrush(" + hex(colour) + ")");
    HBRUSH brush = CreateSolidBrush(colour);
    Print_Log("CreateSolidBrush_(" + hex(colour) + ")=" + hexOf(brush));
    if (brush) {
        if (state.PrintLib_DC) SelectObject(state.PrintLib_DC, brush);
        if (state.PrintLib_Brush) DeleteObject(state.PrintLib_Brush);
        state.PrintLib_Brush = brush;
    }
    return brush;
}

int Print_SetBkMode(int mode) {
    Print_Log("Print_SetBkMode(" + hex(uint32_t(state.PrintLib_BkMode)) + ")");
    const int previous = state.PrintLib_DC ? SetBkMode(state.PrintLib_DC, mode) : 0;
    Print_Log("SetBkMode_(" + hexOf(state.PrintLib_DC) + "," + hex(uint32_t(mode)) + ")=" + dec(previous));
    return previous;
}

uint32_t Print_SetTextAlign(uint32_t align) {
    Print_Log("Print_SetTextAlign(" + hex(state.PrintLib_TextAlign) + ")");
    const UINT previous = state.PrintLib_DC ? SetTextAlign(state.PrintLib_DC, align) : GDI_ERROR;
    Print_Log("SetTextAlign_(" + hexOf(state.PrintLib_DC) + "," + hex(align) + ")=" + hex(previous));
    return previous;
}

void Print_ResetDrawingState() {
    Print_SetTextAlign(state.PrintLib_TextAlign);
    Print_SetBkMode(state.PrintLib_BkMode);
    Print_SetLineColor(state.PrintLib_LineColor);
    Print_CreateBrush(state.PrintLib_BrushColor);
    Print_CreatePen(state.PrintLib_PenStyle, state.PrintLib_LineWidth, state.PrintLib_LineColor, 0, nullptr);
}

void ipprint_Box(float x1, float y1, float x2, float y2) {
    RECT r{Print_UnitToDeviceX(x1), Print_UnitToDeviceY(y1), Print_UnitToDeviceX(x2),
           Print_UnitToDeviceY(y2)};
    if (state.PrintLib_DC && state.PrintLib_Brush) FillRect(state.PrintLib_DC, &r, state.PrintLib_Brush);
}

// ---------------------------------------------------------------------------
// Text and fonts

void* Print_LoadFont(const std::string& face, int size, int flags, int escapement) {
    const printcore::FontFields f =
        printcore::fontFields(face, size, flags, escapement, Print_GetDeviceCaps(LOGPIXELSY));
    LOGFONTA lf{};
    lf.lfHeight = f.height;
    lf.lfWidth = 0;
    lf.lfEscapement = f.escapement;
    lf.lfOrientation = f.escapement;
    lf.lfWeight = f.weight;
    lf.lfItalic = f.italic;
    lf.lfUnderline = f.underline;
    lf.lfStrikeOut = f.strikeOut;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = f.quality;
    lf.lfPitchAndFamily = 0;
    std::memcpy(lf.lfFaceName, f.face, sizeof lf.lfFaceName);
    HFONT font = CreateFontIndirectA(&lf);
    if (font) {
        state.PrintLib_FontName = face;
        state.PrintLib_FontSize = size;
        state.PrintLib_FontFlags = flags;
        state.PrintLib_FontEscapement = escapement;
        if (state.PrintLib_DC) SelectObject(state.PrintLib_DC, font);
        if (state.PrintLib_Font) DeleteObject(state.PrintLib_Font);
        state.PrintLib_Font = font;
    }
    return state.PrintLib_Font;
}

std::string Print_GetFontName() {
    return state.PrintLib_FontName;
}
int Print_GetFontSize() {
    return state.PrintLib_FontSize;
}
int Print_GetFontFlags() {
    return state.PrintLib_FontFlags;
}
int Print_GetFontEscapement() {
    return state.PrintLib_FontEscapement;
}

void ipprint_Text(float x, float y, const std::string& text) {
    const int dx = Print_UnitToDeviceX(x), dy = Print_UnitToDeviceY(y);
    if (state.PrintLib_DC) TextOutA(state.PrintLib_DC, dx, dy, text.data(), int(text.size()));
}

float Print_TextWidth(const std::string& text) {
    SIZE size{};
    if (!state.PrintLib_DC || !GetTextExtentPoint32A(state.PrintLib_DC, text.data(), int(text.size()), &size))
        return 0.0f;
    return Print_DeviceToUnitX(size.cx);
}

float Print_GetTextMetric(int index) {
    TEXTMETRICA tm{};
    if (!state.PrintLib_DC || !GetTextMetricsA(state.PrintLib_DC, &tm)) return 0.0f;
    const LONG longs[] = {tm.tmHeight,           tm.tmAscent,          tm.tmDescent,
                          tm.tmInternalLeading,  tm.tmExternalLeading, tm.tmAveCharWidth,
                          tm.tmMaxCharWidth,     tm.tmWeight,          tm.tmOverhang,
                          tm.tmDigitizedAspectX, tm.tmDigitizedAspectY};
    const BYTE bytes[] = {BYTE(tm.tmFirstChar), BYTE(tm.tmLastChar), BYTE(tm.tmDefaultChar),
                          BYTE(tm.tmBreakChar), tm.tmItalic,         tm.tmUnderlined,
                          tm.tmStruckOut,       tm.tmPitchAndFamily, tm.tmCharSet};
    switch (printcore::metricKind(index)) {
    case printcore::MetricKind::X:
        return Print_DeviceToUnitX(int(longs[index]));
    case printcore::MetricKind::Y:
        return Print_DeviceToUnitY(int(longs[index]));
    case printcore::MetricKind::Unsigned:
        return float(bytes[index - 11]);
    case printcore::MetricKind::Signed:
        return float(int8_t(bytes[index - 11]));
    default:
        return 0.0f;
    }
}

// ---------------------------------------------------------------------------
// Images

namespace {
void logImageSize(int img) {
    Print_Log("Width=" + dec(image::width(img)));
    Print_Log("Height=" + dec(image::height(img)));
    Print_Log("Depth=" + dec(image::depth(img)));
}

// A memory DC with `bitmap` selected, logged; nullptr when either step fails.
HDC memoryDcWith(HBITMAP bitmap) {
    HDC mem = CreateCompatibleDC(nullptr);
    Print_Log("CreateCompatibleDC_(0)=" + decOf(mem));
    if (!mem) return nullptr;
    HGDIOBJ previous = SelectObject(mem, bitmap);
    Print_Log("SelectObject_(" + decOf(mem) + "," + decOf(bitmap) + ")=" + decOf(previous));
    if (!previous || previous == HGDI_ERROR) {
        DeleteDC(mem);
        return nullptr;
    }
    return mem;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
} // namespace

int ipprint_Image(int img, float x, float y, float width, float height, uint32_t rop) {
    if (width == 0.0f) width = Print_DeviceToUnitX(image::width(img));
    if (height == 0.0f) height = Print_DeviceToUnitY(image::height(img));
    Print_Log("ipprint_Image(" + hex(uint32_t(img)) + "," + real(x) + "," + real(y) + "," + real(width) +
              "," + dec(printcore::roundHalfEven(height)) + "," + hex(rop) + ")");
    const bool exists = image::exists(img);
    Print_Log("image::exists(" + hex(uint32_t(img)) + ")=" + hex(exists ? 1u : 0u));
    if (!exists) return 0;
    HBITMAP bitmap = static_cast<HBITMAP>(image::systemHandle(img));
    Print_Log("image::systemHandle(" + dec(img) + ")=" + decOf(bitmap));
    if (rop == 0) rop = SRCCOPY;
    const int left = Print_UnitToDeviceX(x), top = Print_UnitToDeviceY(y);
    const int w = Print_UnitToDeviceX(width), h = Print_UnitToDeviceY(height);
    HDC dc = state.PrintLib_DC;
    const uint32_t caps = rasterCapsOverride >= 0 ? uint32_t(rasterCapsOverride)
                          : dc                    ? uint32_t(GetDeviceCaps(dc, RASTERCAPS))
                                                  : 0;
    Print_Log("GetDeviceCaps_(" + hexOf(dc) + ",#RASTERCAPS)=" + printcore::rasterCapsText(caps));
    const int technology = dc ? GetDeviceCaps(dc, TECHNOLOGY) : 0;
    Print_Log("GetDeviceCaps_(" + hexOf(dc) + ",#TECHNOLOGY)=" + printcore::technologyText(technology));
    const int iw = image::width(img), ih = image::height(img);
    logImageSize(img);

    int result = 0;
    switch (printcore::chooseImageMethod(caps)) {
    case printcore::ImageMethod::StretchBlt: {
        Print_Log("Using #RC_STRETCHBLT method");
        HDC mem = memoryDcWith(bitmap);
        if (!mem) break;
        result = StretchBlt(dc, left, top, w, h, mem, 0, 0, iw, ih, rop);
        Print_Log("StretchBlt_(" + hexOf(dc) + "," + dec(left) + "," + dec(top) + "," + dec(w) + "," +
                  dec(h) + "," + decOf(mem) + ",0,0," + dec(iw) + "," + dec(ih) + "," + dec(int32_t(rop)) +
                  ")=" + dec(result));
        DeleteDC(mem);
        break;
    }
    case printcore::ImageMethod::StretchDib: {
        Print_Log("Using #RC_STRETCHDIB method");
        // Rows of 24-bit pixels padded to 4 bytes never need more than 4 bytes a pixel.
        std::unique_ptr<void, FreeDeleter> buffer(std::malloc(size_t(iw) * size_t(ih) * 4));
        if (!buffer) break;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = 40;
        bi.bmiHeader.biWidth = iw;
        bi.bmiHeader.biHeight = -ih;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        bi.bmiHeader.biCompression = BI_RGB;
        HDC source = static_cast<HDC>(image::openDrawing(img));
        if (!source) break;
        Print_Log("image::openDrawing(" + dec(img) + ")=" + decOf(source));
        const int lines = GetDIBits(source, bitmap, 0, UINT(ih), buffer.get(), &bi, DIB_RGB_COLORS);
        result = lines;
        Print_Log("GetDIBits_(" + decOf(source) + "," + decOf(bitmap) + ",0," + dec(ih) + "," +
                  decOf(buffer.get()) + "," + decOf(&bi) + "," + dec(0) + ")=" + dec(lines));
        image::closeDrawing();
        if (lines > 0) {
            result = StretchDIBits(dc, left, top, w, h, 0, 0, iw, ih, buffer.get(), &bi, DIB_RGB_COLORS, rop);
            Print_Log("StretchDIBits_(" + decOf(dc) + "," + dec(left) + "," + dec(top) + "," + dec(w) + "," +
                      dec(h) + ",0,0," + dec(iw) + "," + dec(ih) + "," + decOf(buffer.get()) + "," +
                      decOf(&bi) + "," + dec(0) + "," + dec(int32_t(rop)) + ")=" + dec(result));
        } else {
            result = 0;
        }
        break;
    }
    case printcore::ImageMethod::BitBlt: {
        Print_Log("Using #RC_BITBLT method");
        const int copy = image::duplicate(img, image::AnyNumber);
        Print_Log("image::duplicate(" + dec(img) + ",-1)=" + dec(copy));
        if (!copy) break;
        image::resize(copy, w, h);
        HBITMAP scaled = static_cast<HBITMAP>(image::systemHandle(copy));
        Print_Log("image::resize(" + dec(copy) + "," + dec(w) + "," + dec(h) + ")=" + decOf(scaled));
        logImageSize(copy);
        const int cw = image::width(copy), ch = image::height(copy);
        if (HDC mem = memoryDcWith(scaled)) {
            result = BitBlt(dc, left, top, cw, ch, mem, 0, 0, rop);
            Print_Log("BitBlt_(" + decOf(dc) + "," + dec(left) + "," + dec(top) + "," + dec(cw) + "," +
                      dec(ch) + "," + decOf(mem) + ",0,0," + dec(int32_t(rop)) + ")=" + dec(result));
            DeleteDC(mem);
        }
        image::release(copy);
        break;
    }
    case printcore::ImageMethod::None:
        break;
    }
    return result;
}
