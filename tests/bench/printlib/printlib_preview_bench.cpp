// Times a full test page (box, 40 bars, text, logo) drawn to a 450-pixel
// preview page, and the same page printed on the printer's own device context
// (spooled to a file, so the figure is the drawing and the driver, not CUPS).
// Run inside the rig: wine printlib_preview_bench.exe [pages]
#include "platform/image.h"
#include "printlib/printlib.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
    Print_Init();
    if (!Print_OpenPrinter("", "", 0)) {
        std::printf("no printer\n");
        return 1;
    }
    const int logo = image::create(image::AnyNumber, 300, 150);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    auto page = [&] {
        ipprint_Box(10, 20, 20, 40);
        for (int i = 0; i < 40; ++i) ipprint_Box(30 + i * 0.5f, 50, 30.25f + i * 0.5f, 65);
        Print_LoadFont("Arial", 22, 0, 0);
        ipprint_Text(10, 60, "ZEL 123");
        ipprint_Image(logo, 40, 20, 0, 0, 0);
    };
    auto elapsedMs = [&] { return double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart); };

    QueryPerformanceCounter(&t0);
    for (int p = 0; p < pages; ++p) {
        Print_StartPreview(450);
        page();
        Print_StopPreview();
    }
    QueryPerformanceCounter(&t1);
    std::printf("%d preview pages: %.3f ms per page\n", pages, elapsedMs() / pages);

    char out[MAX_PATH];
    GetTempPathA(sizeof out, out);
    lstrcatA(out, "zel-bench-page.prn");
    const int printed = pages < 20 ? pages : 20;
    QueryPerformanceCounter(&t0);
    for (int p = 0; p < printed; ++p) {
        Print_OpenPrinter("", "", 0);
        Print_StartPrinting("ZEL BENCH", out);
        page();
        Print_StopPrinting();
    }
    QueryPerformanceCounter(&t1);
    DeleteFileA(out);
    std::printf("%d printer pages (open, job, page, end): %.3f ms per page\n", printed,
                elapsedMs() / printed);
    return 0;
}
