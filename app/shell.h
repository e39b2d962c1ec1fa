// The application shell: startup, the event loop with its dispatch table, the
// mode switch, the help and about boxes, and shutdown.
#pragma once

#include "device/link.h"
#include "platform/gui.h"

#include <string>

namespace app {

// State held by the window thread for the whole run.
struct AppState {
    bool quit = false;
    std::string labelPrinterName; // the label's copy is kept in step (label::SetPrinterName)
    std::string aboutText;
};

AppState& State();

extern const char* const kAboutText;
extern const char* const kHelpDataLogger;
extern const char* const kHelpLabel;
extern const char* const kHelpSendKeys;
extern const char* const kPreferencesFile;

// Startup, in order: printing library, about text, image decoders, the main
// window (probing the ports), preferences (which start the saved mode), the
// serial port. False when the main window cannot be made.
bool Startup();
void RunEventLoop();
// Saves the preferences, stops the listener, closes the port, releases the
// windows. The process then ends with exit code 0.
void Shutdown();
int Run();

// One event of the loop, by window, kind and item.
void Dispatch(const gui::Event& event);

// Stops whichever listener runs, shows the mode's group, starts its listener.
void SwitchMode(device::Mode mode);
// The port chosen in PortList: reopened only when its number differs.
void ChangePort();

// Handlers of the label controls and of the preview window.
void ChangePrinter();
void ShowPreview();
void PrintFromPreview();
void ClosePreview();
void ChooseCompanyLogo();

} // namespace app
