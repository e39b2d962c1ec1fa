// zelcapture: a plain window that takes the keyboard focus and writes every
// key message it receives to a log file, one flushed line each, so a test can
// see exactly what another program typed.
//
// usage: zelcapture.exe LOGFILE
// Lines: "<unix ms> <what> <hex>", where what is ready (hex: window handle),
// down/up (virtual key of WM_KEYDOWN/WM_KEYUP), sysdown/sysup (the WM_SYS
// variants, e.g. with Alt held), char (WM_CHAR character code), focus/blur
// (WM_SETFOCUS/WM_KILLFOCUS).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

FILE* logFile = nullptr;

// Wall-clock milliseconds since 1970, comparable with the test's own clock.
long long UnixMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<long long>(t.QuadPart / 10000ULL) - 11644473600000LL;
}

void Log(const char* what, unsigned long long value) {
    if (!logFile) return;
    std::fprintf(logFile, "%lld %s %llx\n", UnixMs(), what, value);
    std::fflush(logFile);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_KEYDOWN:
        Log("down", wp & 0xFF);
        return 0;
    case WM_KEYUP:
        Log("up", wp & 0xFF);
        return 0;
    case WM_SYSKEYDOWN:
        Log("sysdown", wp & 0xFF);
        break;
    case WM_SYSKEYUP:
        Log("sysup", wp & 0xFF);
        break;
    case WM_CHAR:
        Log("char", wp & 0xFF);
        return 0;
    case WM_SETFOCUS:
        Log("focus", 0);
        return 0;
    case WM_KILLFOCUS:
        Log("blur", 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    // The whole command line is the log path (quotes stripped), so paths
    // with blanks need no further parsing.
    char path[MAX_PATH * 2] = {};
    const char* p = cmdLine;
    while (*p == ' ') p++;
    size_t n = 0;
    for (; *p && n + 1 < sizeof path; p++)
        if (*p != '"') path[n++] = *p;
    while (n > 0 && path[n - 1] == ' ') path[--n] = 0;
    if (n == 0) return 2;
    logFile = std::fopen(path, "w");
    if (!logFile) return 3;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "ZelCaptureWindow";
    if (!RegisterClassA(&wc)) return 4;
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "ZEL Capture", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                400, 200, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 5;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    SetFocus(hwnd);
    Log("ready", reinterpret_cast<uintptr_t>(hwnd));

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    std::fclose(logFile);
    return 0;
}
