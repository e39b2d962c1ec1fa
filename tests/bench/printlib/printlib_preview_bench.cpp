// Times a full test page (box, 40 bars, text, logo) drawn to a 450-pixel
// preview page. Run inside the rig: wine printlib_preview_bench.exe [pages]
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
    QueryPerformanceCounter(&t0);
    for (int p = 0; p < pages; ++p) {
        Print_StartPreview(450);
        ipprint_Box(10, 20, 20, 40);
        for (int i = 0; i < 40; ++i) ipprint_Box(30 + i * 0.5f, 50, 30.25f + i * 0.5f, 65);
        Print_LoadFont("Arial", 22, 0, 0);
        ipprint_Text(10, 60, "ZEL 123");
        ipprint_Image(logo, 40, 20, 0, 0, 0);
        Print_StopPreview();
    }
    QueryPerformanceCounter(&t1);
    const double ms = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart);
    std::printf("%d preview pages: %.3f ms per page\n", pages, ms / pages);
    return 0;
}
