// Drawing one label through the printing library: as a one-page print job, or
// on the preview page of the preview window.
//
// The printing library has no lock, and a label record may arrive on the
// listener thread while the window thread draws a preview or a sample print.
// Every open-printer-and-draw sequence therefore runs under RenderMutex().
// Whoever holds it makes no GUI call that needs the other thread: the
// listener reads the controls before it takes the lock, so the window thread
// may wait for the lock without stalling the listener's marshalled GUI calls.
#pragma once

#include "device/frame.h"
#include "label/layout.h"

#include <mutex>
#include <string>

namespace label {

std::mutex& RenderMutex();

// The printer that labels, previews and sample prints go to. Set by the
// application at startup and after "Change Printer"; read by the listener.
void SetPrinterName(const std::string& name);
std::string PrinterName();

// "Change Printer": the print dialog for `owner` under the render lock (it
// uses the printing library too), then the chosen printer becomes the label
// printer. Returns its name.
std::string ChoosePrinter(int owner, const std::string& current);

// Percentage for the preview page width (zoom x 450 / 100 pixels).
void SetPreviewZoom(int percent);
int PreviewZoom();

// Operator, quantity and barcode texts of one label.
struct LabelTexts {
    std::string operatorText;
    std::string quantity;
    std::string barcode;
};
LabelTexts SampleTexts();
LabelTexts RecordTexts(const device::DeviceRecord& record);

// The label's drawing steps from start to end of the job or preview.
void DrawLabel(const Layout& layout, const LabelTexts& texts, bool preview);

// preview 1 draws the preview window, anything else prints; sample 1 uses the
// sample texts, anything else the current device record. Reads the controls
// now. The caller holds RenderMutex() and has just opened the printer.
void RenderLabel(int preview, int sample);

// Listener action of Custom Printer Label mode: one label for the record on a
// freshly opened label printer.
void LabelListenerAction(device::DeviceRecord& record);

} // namespace label
