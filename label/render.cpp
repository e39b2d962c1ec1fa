#include "label/render.h"

#include "barcode/barcode.h"
#include "device/link.h"
#include "label/preview.h"
#include "platform/clock.h"
#include "printlib/printlib.h"

#include <atomic>

namespace label {

namespace {

struct RenderState {
    std::mutex render;
    std::mutex nameLock;
    std::string printerName;
    std::atomic<int> zoom{0};
};

RenderState& R() {
    static RenderState r;
    return r;
}

constexpr float BarHeight = 10.0f;
constexpr int BarOptions = 0;
constexpr float BarTextOffset = 0.6f;
constexpr float BarTextGap = 0.5f;
constexpr int Code39NoCheck = 0;

// True for "" too: a device sends blanks when no barcode was scanned.
bool AllBlanks(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

void DrawBarcode(Symbology symbology, float x, float y, const std::string& text, float module) {
    if (symbology == Symbology::Code39)
        Barcode_Code39(x, y, text, BarHeight, module, BarOptions, BarTextOffset, BarTextGap, Code39NoCheck);
    else if (symbology == Symbology::Code128)
        Barcode_Code128(x, y, text, BarHeight, module, BarOptions, BarTextOffset, BarTextGap, CODE128_AUTO_A);
}

} // namespace

std::mutex& RenderMutex() {
    return R().render;
}

void SetPrinterName(const std::string& name) {
    std::lock_guard<std::mutex> g(R().nameLock);
    R().printerName = name;
}

std::string PrinterName() {
    std::lock_guard<std::mutex> g(R().nameLock);
    return R().printerName;
}

std::string ChoosePrinter(int owner, const std::string& current) {
    std::string chosen;
    {
        std::lock_guard<std::mutex> lock(RenderMutex());
        Print_PrinterDialog(owner, current, "", "");
        chosen = Print_GetPrinterName();
    }
    SetPrinterName(chosen);
    return chosen;
}

void SetPreviewZoom(int percent) {
    R().zoom = percent;
}

int PreviewZoom() {
    return R().zoom;
}

LabelTexts SampleTexts() {
    return {"Smith J.", "123456", "ABCDEFGHIJKLMNO"};
}

LabelTexts RecordTexts(const device::DeviceRecord& record) {
    return {record.operatorText, record.quantity, record.barcode};
}

void DrawLabel(const Layout& l, const LabelTexts& t, bool preview) {
    if (preview) {
        Print_StartPrinting("TEST", "");
        BeginPreview(PreviewZoom());
    } else {
        Print_StartPrinting("ZEL PRINT", "");
    }

    if (!l.companyName.empty()) {
        Print_LoadFont("Arial", 22, 0, 0);
        ipprint_Text(l.companyX, l.companyY, l.companyName);
    }
    // Copied opaquely: it hides the company name where they overlap.
    if (l.logo) ipprint_Image(LogoImage, l.logoX, l.logoY, 0.0f, 0.0f, PRINT_SRCCOPY);

    Print_LoadFont("Arial", 16, PRINT_FONT_BOLD, 0);
    ipprint_Text(l.dateX, l.dateY, clk::formatNow("%yyyy/%mm/%dd %hh:%ii"));

    Print_LoadFont("Arial", 12, PRINT_FONT_BOLD, 0);
    ipprint_Text(l.operatorX, l.operatorY, t.operatorText);

    Print_LoadFont("Arial", 22, 0, 0);
    ipprint_Text(l.quantityX, l.quantityY, "Quantity:");
    const float captionWidth = Print_TextWidth("Quantity:");
    Print_LoadFont("Arial", 26, PRINT_FONT_BOLD, 0);
    ipprint_Text(l.quantityX + captionWidth, l.quantityY, t.quantity);

    // The barcodes' human-readable font, loaded even when they are off.
    Print_LoadFont("Arial", 10, PRINT_FONT_BOLD, 0);
    const BarcodeType& type = BarcodeTypeAt(l.barcodeType);
    DrawBarcode(type.q, l.barcodeQX, l.barcodeQY, t.quantity, type.qModule);
    if (type.q != Symbology::None && !AllBlanks(t.barcode))
        DrawBarcode(Symbology::Code39, l.barcodeIDX, l.barcodeIDY, t.barcode, type.idModule);

    if (preview)
        EndPreview();
    else
        Print_StopPrinting();
}

void RenderLabel(int preview, int sample) {
    const LabelTexts texts = sample == 1 ? SampleTexts() : RecordTexts(device::CurrentRecord());
    DrawLabel(ReadLayout(), texts, preview == 1);
}

void LabelListenerAction(device::DeviceRecord& record) {
    // Controls first: reading them is a call into the window thread, which
    // may itself be waiting for the lock below.
    const Layout layout = ReadLayout();
    const LabelTexts texts = RecordTexts(record);
    std::lock_guard<std::mutex> lock(RenderMutex());
    Print_OpenPrinter(PrinterName(), "", 0);
    DrawLabel(layout, texts, false);
}

} // namespace label
