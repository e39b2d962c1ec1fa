// Times the label as the listener prints it: open the printer afresh, draw the
// label (a "ZEL PRINT" job to the default queue), end the job. Run inside the
// rig: wine label_print_bench.exe [labels]
#include "label/layout.h"
#include "label/render.h"
#include "printlib/printlib.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int labels = argc > 1 ? std::atoi(argv[1]) : 10;
    Print_Init();
    const std::string printer = Print_GetDefaultPrinter();
    if (printer.empty()) {
        std::printf("no printer\n");
        return 1;
    }
    label::Layout l;
    l.companyName = "Verdani Trading Srl";
    l.companyX = l.dateX = l.operatorX = l.quantityX = l.barcodeQX = l.barcodeIDX = 30;
    l.companyY = 30, l.dateY = 40, l.operatorY = 45, l.quantityY = 50, l.barcodeQY = 60, l.barcodeIDY = 75;
    l.barcodeType = 5;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < labels; ++i) {
        Print_OpenPrinter(printer, "", 0);
        label::DrawLabel(l, label::SampleTexts(), false);
    }
    QueryPerformanceCounter(&t1);
    const double ms = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(f.QuadPart);
    std::printf("%d labels to %s: %.2f ms per label (until the spooler has the job)\n", labels,
                printer.c_str(), ms / labels);
    return 0;
}
