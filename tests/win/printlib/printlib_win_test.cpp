// The printing library against real GDI, Wine's printer driver and the rig's
// CUPS queue. Needs the rig's environment (ZEL_PRINTER ...); skips without it.
#include "platform/image.h"
#include "printlib/core.h"
#include "printlib/state.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

#define REQUIRE_PRINTER()                                                                                    \
    if (env("ZEL_PRINTER").empty())                                                                          \
    GTEST_SKIP() << "ZEL_PRINTER is not set: run inside the test rig (tools/rig/up.sh)"

// A fresh empty folder under the Windows temp folder, made current.
std::string freshCurrentDir(const char* name) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string dir = std::string(tmp) + name + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((dir + "\\" + fd.cFileName).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    SetCurrentDirectoryA(dir.c_str());
    return dir;
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string all = ss.str(), line;
    std::vector<std::string> out;
    size_t start = 0, end;
    while ((end = all.find("\r\n", start)) != std::string::npos) {
        out.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

// The lines from the last one that begins with `prefix` on.
std::vector<std::string> since(const std::vector<std::string>& ls, const std::string& prefix) {
    for (size_t i = ls.size(); i-- > 0;)
        if (ls[i].rfind(prefix, 0) == 0) return std::vector<std::string>(ls.begin() + long(i), ls.end());
    return {};
}

std::string hexOf(const void* p) {
    return printcore::hex(uint32_t(reinterpret_cast<uintptr_t>(p)));
}

bool hasLine(const std::vector<std::string>& ls, const std::string& prefix) {
    for (const auto& l : ls)
        if (l.rfind(prefix, 0) == 0) return true;
    return false;
}

// Pixel (blue, green, red) of a stored image.
const uint8_t* px(int img, int x, int y) {
    return image::pixels(img) + size_t(y) * image::stride(img) + size_t(x) * 3;
}

bool isWhite(const uint8_t* p) {
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}
bool isBlack(const uint8_t* p) {
    return p[0] < 40 && p[1] < 40 && p[2] < 40;
}

// A red image of w x h.
int redImage(int w, int h) {
    int img = image::create(image::AnyNumber, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image::pixels(img) + size_t(y) * image::stride(img) + size_t(x) * 3;
            p[0] = 0, p[1] = 0, p[2] = 255;
        }
    return img;
}

} // namespace

TEST(PrintSession, DefaultPrinterOpenAndReopen) {
    REQUIRE_PRINTER();
    Print_Init();
    EXPECT_EQ(Print_GetDefaultPrinter(), env("ZEL_PRINTER"));
    EXPECT_EQ(Print_GetPrinterName(), env("ZEL_PRINTER"));

    PrinterLibState& s = printLibState();
    HDC first = static_cast<HDC>(Print_OpenPrinter("", "", 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(s.PrintLib_PrinterName, env("ZEL_PRINTER"));
    std::printf("HORZRES %d VERTRES %d LOGPIXELSX %d LOGPIXELSY %d RASTERCAPS 0x%x TECHNOLOGY %d\n",
                GetDeviceCaps(first, HORZRES), GetDeviceCaps(first, VERTRES),
                GetDeviceCaps(first, LOGPIXELSX), GetDeviceCaps(first, LOGPIXELSY),
                GetDeviceCaps(first, RASTERCAPS), GetDeviceCaps(first, TECHNOLOGY));
    EXPECT_GT(s.PrintLib_DevModeSize, 0);
    const uint8_t* buffer = s.PrintLib_DevMode.data();
    const int32_t size = s.PrintLib_DevModeSize;
    EXPECT_NE(s.PrintLib_Pen, nullptr);
    EXPECT_NE(s.PrintLib_Brush, nullptr);
    EXPECT_EQ(GetBkMode(first), TRANSPARENT);

    HDC second = static_cast<HDC>(Print_OpenPrinter(env("ZEL_PRINTER"), "ORIENTATION=2", 0));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u) << "the first DC was not deleted";
    EXPECT_EQ(s.PrintLib_DevMode.data(), buffer) << "the settings buffer was replaced";
    EXPECT_EQ(s.PrintLib_DevModeSize, size);
    EXPECT_EQ(reinterpret_cast<DEVMODEA*>(s.PrintLib_DevMode.data())->dmOrientation, 2);
    EXPECT_GT(GetDeviceCaps(second, HORZRES), GetDeviceCaps(second, VERTRES)) << "landscape";
    EXPECT_EQ(Print_GetDeviceCaps(LOGPIXELSX), GetDeviceCaps(second, LOGPIXELSX));

    EXPECT_EQ(Print_OpenPrinter("No Such Printer 42", "", 0), nullptr);
    EXPECT_EQ(s.PrintLib_DC, nullptr);
    EXPECT_EQ(s.PrintLib_PH, nullptr);
    EXPECT_EQ(Print_GetPrinterName(), "No Such Printer 42");
    // Everything on a missing DC is a quiet no-op.
    EXPECT_EQ(Print_UnitToDeviceX(10), 0);
    EXPECT_EQ(Print_TextWidth("abc"), 0.0f);
    EXPECT_EQ(Print_GetTextMetric(1), 0.0f);
    EXPECT_EQ(Print_StartPrinting("ZEL PRINT", ""), 0);
    EXPECT_EQ(ipprint_Image(12345, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(Print_StartPreview(450), nullptr);
    EXPECT_EQ(Print_StopPreview(), nullptr);
}

TEST(PrintPreview, PageAnswersForItselfAndLivesUntilTheNext) {
    REQUIRE_PRINTER();
    Print_Init();
    HDC printer = static_cast<HDC>(Print_OpenPrinter("", "", 0));
    ASSERT_NE(printer, nullptr);
    const int horz = GetDeviceCaps(printer, HORZRES), vert = GetDeviceCaps(printer, VERTRES);
    HDC page = static_cast<HDC>(Print_StartPreview(450));
    ASSERT_NE(page, nullptr);
    const int height = 450 * vert / horz;
    EXPECT_EQ(Print_GetDeviceCaps(HORZRES), 450);
    EXPECT_EQ(Print_GetDeviceCaps(VERTRES), height);
    const int lpx = int(std::lround(450 * 25.4 / GetDeviceCaps(printer, HORZSIZE)));
    EXPECT_EQ(Print_GetDeviceCaps(LOGPIXELSX), lpx);
    EXPECT_EQ(Print_GetDeviceCaps(LOGPIXELSY),
              int(std::lround(height * 25.4 / GetDeviceCaps(printer, VERTSIZE))));
    EXPECT_EQ(Print_GetDeviceCaps(TECHNOLOGY), GetDeviceCaps(printer, TECHNOLOGY));
    EXPECT_EQ(GetBkMode(page), TRANSPARENT);

    ipprint_Box(10, 20, 30, 40);
    const int x1 = Print_UnitToDeviceX(10), y1 = Print_UnitToDeviceY(20), x2 = Print_UnitToDeviceX(30),
              y2 = Print_UnitToDeviceY(40);
    EXPECT_EQ(Print_StopPreview(), printer);
    EXPECT_EQ(printLibState().PrintLib_Preview, 0);

    const int img = Print_GetPreviewImage(0);
    ASSERT_NE(img, 0);
    EXPECT_EQ(image::width(img), 450);
    EXPECT_EQ(image::height(img), height);
    EXPECT_TRUE(isWhite(px(img, 0, 0)));
    EXPECT_TRUE(isWhite(px(img, 449, height - 1)));
    EXPECT_TRUE(isBlack(px(img, x1, y1)));
    EXPECT_TRUE(isBlack(px(img, x2 - 1, y2 - 1)));
    EXPECT_TRUE(isWhite(px(img, x2, y2))); // right and bottom edges stay out
    EXPECT_TRUE(isWhite(px(img, x1 - 1, y1)));
    EXPECT_EQ(Print_GetPreviewImage(1), 0);
    EXPECT_EQ(Print_GetPreviewImage(-1), 0);

    ASSERT_NE(Print_StartPreview(450), nullptr);
    EXPECT_FALSE(image::exists(img)) << "the first page was not freed";
    EXPECT_EQ(Print_GetPreviewImage(1), 0);
    EXPECT_NE(Print_GetPreviewImage(0), 0);
    Print_StopPreview();
}

TEST(PrintImage, MethodFollowsRasterCaps) {
    REQUIRE_PRINTER();
    const std::string dir = freshCurrentDir("zel_printlib_methods");
    Print_Init();
    ASSERT_NE(Print_OpenPrinter("", "", 0), nullptr);
    // A memory DC on a white DIB of our own stands in for the output, so each
    // method's pixels can be read back.
    PrinterLibState& s = printLibState();
    HDC printerDc = s.PrintLib_DC;
    const int target = image::create(image::AnyNumber, 400, 300);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, static_cast<HBITMAP>(image::systemHandle(target)));
    const int logo = redImage(30, 20);

    struct Case {
        int caps;
        const char* line;
        int result;
    } cases[] = {
        {0x800 | 0x2000, "Using #RC_STRETCHBLT method", 1},
        {0x2000, "Using #RC_STRETCHDIB method", 1},
        {0x80, "Using #RC_STRETCHDIB method", 1},
        {0x1, "Using #RC_BITBLT method", 1},
        {0x0, nullptr, 0},
    };
    Print_SetDebug(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caps);
        PatBlt(mem, 0, 0, 400, 300, WHITENESS);
        GdiFlush();
        s.PrintLib_DC = mem;
        Print_OverrideRasterCaps(c.caps);
        // 5 x 2.5 mm at the memory DC's resolution, placed at 2 mm, 1 mm.
        const int r = ipprint_Image(logo, 2, 1, 5, 2.5f, 0);
        const int l = Print_UnitToDeviceX(2), t = Print_UnitToDeviceY(1);
        const int w = Print_UnitToDeviceX(5), h = Print_UnitToDeviceY(2.5f);
        s.PrintLib_DC = printerDc;
        Print_OverrideRasterCaps(-1);
        EXPECT_EQ(r != 0, c.result != 0);
        GdiFlush();
        const uint8_t* inside = px(target, l + w / 2, t + h / 2);
        if (c.result) {
            EXPECT_EQ(inside[2], 255);
            EXPECT_EQ(inside[0], 0);
            EXPECT_EQ(px(target, l, t)[0], 0);
            EXPECT_EQ(px(target, l + w - 1, t + h - 1)[0], 0) << "not scaled to the destination";
            EXPECT_TRUE(isWhite(px(target, l + w, t + h)));
            EXPECT_TRUE(isWhite(px(target, l - 1, t)));
        } else {
            EXPECT_TRUE(isWhite(inside));
        }
        auto call = since(lines(dir + "\\" + filesIn(dir).at(0)), "ipprint_Image(");
        EXPECT_EQ(hasLine(call, "Using #"), c.line != nullptr);
        if (c.line) {
            EXPECT_TRUE(hasLine(call, c.line));
        }
    }
    // Two images not made by us, the memory DC and the printer DC themselves.
    s.PrintLib_DC = mem;
    EXPECT_NE(ipprint_Image(logo, 0, 0, 0, 0, 0), 0);
    s.PrintLib_DC = printerDc;
    auto log = lines(dir + "\\" + filesIn(dir).at(0));
    EXPECT_TRUE(hasLine(log, "Using #RC_STRETCHBLT method"));
    EXPECT_EQ(ipprint_Image(logo, 0, 0, 0, 0, 0) != 0, true) << "real printer DC";
    log = lines(dir + "\\" + filesIn(dir).at(0));
    EXPECT_TRUE(hasLine(log, "GetDeviceCaps_(" + hexOf(printerDc) + ",#TECHNOLOGY)=#DT_RASPRINTER"));
    EXPECT_EQ(ipprint_Image(99999, 0, 0, 0, 0, 0), 0);

    Print_SetDebug(0);
    SelectObject(mem, old);
    DeleteDC(mem);
    image::release(target);
    image::release(logo);
}

// Finds a visible dialog window of this process.
BOOL CALLBACK findOwnDialog(HWND h, LPARAM out) {
    DWORD pid = 0;
    char cls[32] = {};
    GetWindowThreadProcessId(h, &pid);
    GetClassNameA(h, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(h)) {
        *reinterpret_cast<HWND*>(out) = h;
        return FALSE;
    }
    return TRUE;
}

TEST(PrintDialog, EscapeCancels) {
    REQUIRE_PRINTER();
    Print_Init();
    std::atomic<bool> found{false}, done{false};
    std::thread watcher([&] {
        for (int i = 0; i < 300 && !done; ++i) {
            Sleep(50);
            HWND dlg = nullptr;
            EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&dlg));
            if (dlg) {
                found = true;
                PostMessageA(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageA(dlg, WM_KEYUP, VK_ESCAPE, 0);
                return;
            }
        }
    });
    printLibState().PrintLib_PrintDlg.nCopies = 0;
    const int r = Print_PrinterDialog(-1, "", "", "");
    done = true;
    watcher.join();
    EXPECT_TRUE(found) << "no print dialog appeared";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Print_GetPrinterName(), env("ZEL_PRINTER"));
    EXPECT_NE(printLibState().PrintLib_PH, nullptr);
    EXPECT_EQ(printLibState().PrintLib_PrintDlg.nCopies, 1);
    EXPECT_EQ(printLibState().PrintLib_PrintDlg.lStructSize, 66u);
    EXPECT_EQ(Print_PrinterDialog(-1, "No Such Printer 42", "", ""), 0);
}

TEST(PrintLog, OffWritesNoFile) {
    REQUIRE_PRINTER();
    const std::string dir = freshCurrentDir("zel_printlib_logoff");
    Print_Init();
    ASSERT_NE(Print_OpenPrinter("", "", 0), nullptr);
    const int logo = redImage(10, 10);
    Print_StartPreview(450);
    ipprint_Image(logo, 1, 1, 0, 0, 0);
    Print_StopPreview();
    Print_Log("anything");
    EXPECT_TRUE(filesIn(dir).empty());
    image::release(logo);
}

TEST(PrintLog, OnTracesOpenJobPensAndImages) {
    REQUIRE_PRINTER();
    const std::string dir = freshCurrentDir("zel_printlib_logon");
    Print_Init();
    Print_SetDebug(1);
    SYSTEMTIME before;
    GetLocalTime(&before);
    HDC dc = static_cast<HDC>(Print_OpenPrinter("", "", 0));
    ASSERT_NE(dc, nullptr);
    ASSERT_GT(Print_StartPrinting("ZEL PRINT", ""), 0);
    Print_SetLineWidth(1.5f);
    Print_CreateBrush(0xFF);
    const int logo = redImage(10, 10);
    ASSERT_NE(Print_StartPreview(450), nullptr);
    ipprint_Image(logo, 1.5f, 2, 0, 0, 0);
    Print_StopPreview();
    Print_StopPrinting();
    image::release(logo);

    auto files = filesIn(dir);
    ASSERT_EQ(files.size(), 1u);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d", before.wYear, before.wMonth, before.wDay,
                  before.wHour);
    EXPECT_EQ(files[0].rfind(std::string("Printer_Lib_debugfile ") + stamp, 0), 0u) << files[0];
    EXPECT_EQ(files[0].size(), std::string("Printer_Lib_debugfile 20160303_140509.txt").size());

    const auto log = lines(dir + "\\" + files[0]);
    ASSERT_GE(log.size(), 10u);
    EXPECT_EQ(log[0], "Printer-Lib Version V1.10");
    EXPECT_NE(log[1].find("GCC"), std::string::npos);
    EXPECT_EQ(log[2].rfind("Windows_", 0), 0u);
    EXPECT_EQ(log[3], "Printer : " + env("ZEL_PRINTER"));
    EXPECT_EQ(log[4], "OpenPrinter_()=1");
    const std::string h = hexOf(dc);
    const std::vector<std::string> expected = {
        "Print_SetTextAlign(0)",
        "SetTextAlign_(" + h + ",0)=0",
        "Print_SetBkMode(1)",
        "Print_SetLineColor(0)",
        "Print_CreatePen(12200,0,0,0,0)",
        "Print_CreateBrush(0)",
        "Print_StartPrinting(ZEL PRINT,)",
        "Print_CreatePen(12200,2,0,0,0)", // 1.5 rounds to even
        "Print_CreateBrush(FF)",
        "Print_StartPreview(450)",
        "  Print_SetTextAlign(0)",
        "  Print_CreatePen(",
        "  ipprint_Image(",
        "  image::exists(",
        "  GetDeviceCaps_(",
        "  Width=10",
        "  Height=10",
        "  Depth=24",
        "  Using #RC_STRETCHBLT method",
        "  CreateCompatibleDC_(0)=",
        "  StretchBlt_(",
        "Print_StopPreview()",
    };
    size_t at = 5;
    for (const std::string& e : expected) {
        while (at < log.size() && log[at].rfind(e, 0) != 0) ++at;
        EXPECT_LT(at, log.size()) << "missing, or out of order: " << e;
    }
    const int dev = Print_UnitToDeviceX(1.5f);
    EXPECT_TRUE(hasLine(log, "ExtCreatePen_(12200," + printcore::hex(uint32_t(dev)) + ","));
    EXPECT_TRUE(hasLine(log, "StartDoc_(" + h + ","));
    EXPECT_TRUE(hasLine(log, "CreateSolidBrush_(FF)="));
    EXPECT_TRUE(hasLine(log, "SetBkMode_(" + h + ",1)="));
    EXPECT_TRUE(hasLine(log, "  ipprint_Image(" + printcore::hex(uint32_t(logo)) + ",1.5,2,"));
    Print_SetDebug(0);
}

// Prints the page that check_page.py finds in the queue's PDF, and writes
// where everything should land, in pixels of the page at the printer's dpi.
TEST(PrintJob, TestPageForTheQueue) {
    REQUIRE_PRINTER();
    Print_Init();
    HDC dc = static_cast<HDC>(Print_OpenPrinter("", "", 0));
    ASSERT_NE(dc, nullptr);
    ASSERT_GT(Print_StartPrinting("ZEL PRINT", ""), 0);
    ipprint_Box(10, 20, 20, 40); // 10 x 20 mm
    ASSERT_NE(Print_LoadFont("Arial", 22, 0, 0), nullptr);
    ipprint_Text(10, 60, "ZEL 123");
    const int logo = redImage(60, 30);
    EXPECT_NE(ipprint_Image(logo, 40, 20, 0, 0, 0), 0);
    const float ascent = Print_GetTextMetric(1), height = Print_GetTextMetric(0);
    EXPECT_GT(ascent, 0.0f);
    EXPECT_GT(Print_TextWidth("ZEL 123"), 10.0f);
    EXPECT_EQ(Print_TextWidth(""), 0.0f);
    EXPECT_EQ(Print_StopPrinting(), 1);
    image::release(logo);

    const int ox = GetDeviceCaps(dc, PHYSICALOFFSETX), oy = GetDeviceCaps(dc, PHYSICALOFFSETY);
    const std::string out = env("ZEL_PAGE_EXPECT");
    if (out.empty()) return;
    std::ofstream f(out);
    f << "dpi " << GetDeviceCaps(dc, LOGPIXELSX) << "\n";
    f << "box " << ox + Print_UnitToDeviceX(10) << " " << oy + Print_UnitToDeviceY(20) << " "
      << ox + Print_UnitToDeviceX(20) << " " << oy + Print_UnitToDeviceY(40) << "\n";
    f << "text " << ox + Print_UnitToDeviceX(10) << " " << oy + Print_UnitToDeviceY(60) << " "
      << Print_UnitToDeviceY(height) << "\n";
    f << "image " << ox + Print_UnitToDeviceX(40) << " " << oy + Print_UnitToDeviceY(20) << " " << 60 << " "
      << 30 << "\n";
}
