// The main window: its menu and every control, with their fixed numbers, and
// the three groups of controls that the mode switch shows and hides.
#pragma once

#include "datalogger/import.h"
#include "label/layout.h"
#include "platform/gui.h"
#include "sendkeys/editor.h"

#include <vector>

namespace app {

// Control numbers of the main window. The subsystems that handle a group of
// controls name their own numbers; the shell names the rest.
enum Control {
    SerialPortLabel = -1, // the one control without a number of its own
    PortList = 3,
    DataLoggerModeOption = 4,
    LabelModeOption = 5,
    SendKeysModeOption = 6,
    ModeFrame = 7,
    TextFrame = 24,
    SpecialKeyFrame = 25,
    ChangePrinterButton = 29,
    PreviewButton = 30,
    CompanyLogoButton = 36,
    CompanyFrame = 73,
    OperationsFrame = 88,
};
using enum datalogger::Control;
using enum sendkeys::EditorControl;
using enum label::LabelControl;

// Menu item numbers.
enum MenuItemNumber {
    MenuExit = 83,
    MenuAbout = 84,
    MenuHelpDataLogger = 85,
    MenuHelpLabel = 86,
    MenuHelpSendKeys = 87
};

enum class Group { Always, DataLogger, SendKeys, Label };

struct ControlSpec {
    int number;
    gui::Kind kind;
    int x, y, w, h;
    const char* text;
    Group group;
};

// Every control of the main window in the order of creation.
const std::vector<ControlSpec>& MainWindowControls();
const std::vector<gui::MenuItem>& MainWindowMenu();

// Opens the main window with its menu and creates every control, all visible;
// `probePorts` fills PortList right after it is created.
bool BuildMainWindow(void (*probePorts)());

// Shows the controls of one group and hides those of the other two.
void ShowGroup(Group group);

} // namespace app
