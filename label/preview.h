// The label preview window (window 2): the sample label drawn on a preview
// page, with a "Print" button that prints the sample label for real. The main
// window is disabled while it is open.
#pragma once

namespace label {

enum PreviewControl { PreviewPrintButton = 31, PreviewScrollArea = 74, PreviewPageImage = 75 };
constexpr int PreviewPageWidth = 450; // pixels at zoom 100
constexpr int PreviewScrollStep = 30;

// Called by RenderLabel: disables the main window, opens the preview window
// with its controls, starts the preview page and sizes the scroll area.
void BeginPreview(int zoomPercent);
// Called by RenderLabel after drawing: ends the page and shows it.
void EndPreview();

// Event handlers for the application's dispatch.
void PreviewButtonClicked(); // main window's PreviewButton
void PreviewPrintClicked();  // preview window's "Print"
void PreviewClosed();        // preview window's close box

} // namespace label
