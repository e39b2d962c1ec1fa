#include "label/preview.h"

#include "label/render.h"
#include "platform/gui.h"
#include "printlib/printlib.h"

namespace label {

namespace {

constexpr int ScrollMargin = 20;

void GiveInputBack() {
    gui::closeWindow(gui::PreviewWindow);
    gui::enableWindow(gui::MainWindow, true);
    gui::activateWindow(gui::MainWindow);
}

} // namespace

void BeginPreview(int zoomPercent) {
    gui::enableWindow(gui::MainWindow, false);
    gui::openWindow(gui::WindowSpec{gui::PreviewWindow, "Preview", 500, 730, gui::Placement::TopLeft, false,
                                    gui::MainWindow});
    gui::createControl(gui::PreviewWindow, PreviewPrintButton, gui::Kind::Button, 210, 700, 80, 20, "Print");
    gui::createControl(gui::PreviewWindow, PreviewScrollArea, gui::Kind::ScrollArea, 10, 10, 480, 680, "");
    gui::scrollSetInner(gui::PreviewWindow, PreviewScrollArea, 470, 670, PreviewScrollStep);
    gui::createControl(gui::PreviewWindow, PreviewPageImage, gui::Kind::Image, 10, 10, 480, 680, "",
                       PreviewScrollArea);
    Print_StartPreview(zoomPercent * PreviewPageWidth / 100);
    gui::scrollSetInner(gui::PreviewWindow, PreviewScrollArea,
                        Print_GetDeviceCaps(printcaps::HorzRes) + ScrollMargin,
                        Print_GetDeviceCaps(printcaps::VertRes) + ScrollMargin, PreviewScrollStep);
}

void EndPreview() {
    Print_StopPreview();
    const int page = Print_GetPreviewImage(0);
    if (page != 0) gui::imageShow(gui::PreviewWindow, PreviewPageImage, page);
}

void PreviewButtonClicked() {
    std::lock_guard<std::mutex> lock(RenderMutex());
    Print_OpenPrinter(PrinterName(), "", 0);
    SetPreviewZoom(100);
    RenderLabel(1, 1);
}

void PreviewPrintClicked() {
    {
        std::lock_guard<std::mutex> lock(RenderMutex());
        Print_OpenPrinter(PrinterName(), "", 0);
        SetPreviewZoom(100);
        RenderLabel(0, 1);
    }
    GiveInputBack();
}

void PreviewClosed() {
    GiveInputBack();
}

} // namespace label
