// The main window: its menu and every control, with their fixed numbers, and
// the three groups of controls that the mode switch shows and hides.
#pragma once

#include "platform/gui.h"

#include <vector>

namespace app {

// Control numbers of the main window.
enum Control {
    SerialPortLabel = -1, // the one control without a number of its own
    PortList = 3,
    DataLoggerModeOption = 4,
    LabelModeOption = 5,
    SendKeysModeOption = 6,
    ModeFrame = 7,
    RecordList = 8,
    ImportButton = 9,
    SaveButton = 10,
    KeyList = 11,
    ClearAllButton = 12,
    ClearLineButton = 13,
    MoveUpButton = 14,
    MoveDownButton = 15,
    AddQuantityButton = 16,
    AddTimeButton = 17,
    AddOperatorButton = 18,
    AddBarcodeButton = 19,
    AddTextButton = 20,
    TextField = 21,
    AddSpecialKeyButton = 22,
    SpecialKeyList = 23,
    TextFrame = 24,
    SpecialKeyFrame = 25,
    PrinterNameText = 26,
    CompanyNameXField = 27,
    CompanyNameYField = 28,
    ChangePrinterButton = 29,
    PreviewButton = 30,
    CompanyNameField = 32,
    CompanyLogoField = 33,
    CompanyLogoXField = 34,
    CompanyLogoYField = 35,
    CompanyLogoButton = 36,
    CompanyLogoImage = 37,
    DateXField = 38,
    DateYField = 39,
    OperatorXField = 40,
    OperatorYField = 41,
    QuantityXField = 42,
    QuantityYField = 43,
    BarcodeTypeList = 44,
    BarcodeQXField = 45,
    BarcodeQYField = 46,
    BarcodeIDXField = 47,
    BarcodeIDYField = 48,
    CompanyFrame = 73,
    OperationsFrame = 88,
};

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
