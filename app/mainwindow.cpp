#include "app/mainwindow.h"

namespace app {

namespace {

using gui::Kind;
constexpr Group A = Group::Always, D = Group::DataLogger, S = Group::SendKeys, L = Group::Label;

const std::vector<ControlSpec> kControls = {
    {SerialPortLabel, Kind::TextRight, 470, 32, 100, 20, "Serial Port: ", A},
    {PortList, Kind::DropDown, 570, 30, 90, 20, "", A},
    {ModeFrame, Kind::Frame, 10, 10, 155, 110, "Mode", A},
    {LabelModeOption, Kind::Option, 30, 30, 125, 20, "Custom Printer Label", A},
    {SendKeysModeOption, Kind::Option, 30, 60, 125, 20, "SendKeys", A},
    {DataLoggerModeOption, Kind::Option, 30, 90, 125, 20, "DataLogger", A},
    {OperationsFrame, Kind::Frame, 10, 125, 720, 270, "Operations", A},
    {RecordList, Kind::ReportList, 30, 150, 580, 230, "", D},
    {ImportButton, Kind::Button, 630, 150, 80, 20, "Import", D},
    {SaveButton, Kind::Button, 630, 360, 80, 20, "Save", D},
    {KeyListControl, Kind::ListBox, 300, 150, 270, 220, "", S},
    {MoveUpButton, Kind::Button, 600, 150, 110, 20, "Move Up", S},
    {MoveDownButton, Kind::Button, 600, 190, 110, 20, "Move Down", S},
    {ClearLineButton, Kind::Button, 600, 310, 110, 20, "Clear Line", S},
    {ClearAllButton, Kind::Button, 600, 350, 110, 20, "Clear All", S},
    {AddQuantityButton, Kind::Button, 150, 150, 110, 20, "Add Quantity", S},
    {AddTimeButton, Kind::Button, 150, 190, 110, 20, "Add Time", S},
    {AddOperatorButton, Kind::Button, 150, 230, 110, 20, "Add Operator", S},
    {AddBarcodeButton, Kind::Button, 150, 270, 110, 20, "Add Barcode", S},
    {AddTextButton, Kind::Button, 150, 310, 110, 20, "Add Text", S},
    {TextFieldControl, Kind::Field, 30, 310, 100, 20, "Type here the text", S},
    {AddSpecialKeyButton, Kind::Button, 150, 350, 110, 20, "Add special key", S},
    {SpecialKeyListControl, Kind::DropDown, 30, 350, 100, 20, "", S},
    {TextFrame, Kind::Frame, 20, 297, 250, 41, "", S},
    {SpecialKeyFrame, Kind::Frame, 20, 337, 250, 41, "", S},
    {PrinterNameText, Kind::TextRight, 250, 62, 320, 20, "", L},
    {ChangePrinterButton, Kind::Button, 570, 60, 90, 20, "Change Printer", L},
    {PreviewButton, Kind::Button, 570, 90, 90, 20, "Preview", L},
    {64, Kind::Text, 30, 155, 100, 20, "Company Name:", L},
    {CompanyNameField, Kind::Field, 130, 155, 230, 20, "Verdani Trading S.r.l.", L},
    {65, Kind::TextRight, 360, 155, 20, 20, "x=", L},
    {CompanyNameXField, Kind::NumericField, 380, 155, 30, 20, "150", L},
    {66, Kind::TextRight, 410, 155, 20, 20, "y=", L},
    {CompanyNameYField, Kind::NumericField, 430, 155, 30, 20, "150", L},
    {CompanyLogoButton, Kind::Button, 30, 200, 90, 20, "Company Logo", L},
    {CompanyLogoField, Kind::ReadOnlyField, 130, 200, 230, 20, "", L},
    {CompanyLogoImage, Kind::Image, 130, 230, 140, 140, "", L},
    {67, Kind::TextRight, 360, 200, 20, 20, "x=", L},
    {CompanyLogoXField, Kind::NumericField, 380, 200, 30, 20, "150", L},
    {68, Kind::TextRight, 410, 200, 20, 20, "y=", L},
    {CompanyLogoYField, Kind::NumericField, 430, 200, 30, 20, "150", L},
    {CompanyFrame, Kind::Frame, 20, 142, 455, 238, "", L},
    {BarcodeTypeList, Kind::DropDown, 500, 290, 150, 20, "", L},
    {49, Kind::Text, 500, 155, 100, 20, "Date and Time:", L},
    {50, Kind::TextRight, 600, 155, 20, 20, "x=", L},
    {DateXField, Kind::NumericField, 620, 155, 30, 20, "150", L},
    {51, Kind::TextRight, 650, 155, 20, 20, "y=", L},
    {DateYField, Kind::NumericField, 670, 155, 30, 20, "150", L},
    {69, Kind::Frame, 490, 142, 225, 41, "", L},
    {52, Kind::Text, 500, 200, 100, 20, "Operator:", L},
    {53, Kind::TextRight, 600, 200, 20, 20, "x=", L},
    {OperatorXField, Kind::NumericField, 620, 200, 30, 20, "150", L},
    {54, Kind::TextRight, 650, 200, 20, 20, "y=", L},
    {OperatorYField, Kind::NumericField, 670, 200, 30, 20, "150", L},
    {70, Kind::Frame, 490, 187, 225, 41, "", L},
    {55, Kind::Text, 500, 245, 100, 20, "Quantity:", L},
    {56, Kind::TextRight, 600, 245, 20, 20, "x=", L},
    {QuantityXField, Kind::NumericField, 620, 245, 30, 20, "150", L},
    {57, Kind::TextRight, 650, 245, 20, 20, "y=", L},
    {QuantityYField, Kind::NumericField, 670, 245, 30, 20, "150", L},
    {71, Kind::Frame, 490, 232, 225, 41, "", L},
    {58, Kind::Text, 500, 320, 100, 20, "Barcode Q:", L},
    {59, Kind::TextRight, 600, 320, 20, 20, "x=", L},
    {BarcodeQXField, Kind::NumericField, 620, 320, 30, 20, "150", L},
    {60, Kind::TextRight, 650, 320, 20, 20, "y=", L},
    {BarcodeQYField, Kind::NumericField, 670, 320, 30, 20, "150", L},
    {61, Kind::Text, 500, 350, 100, 20, "Barcode ID:", L},
    {62, Kind::TextRight, 600, 350, 20, 20, "x=", L},
    {BarcodeIDXField, Kind::NumericField, 620, 350, 30, 20, "150", L},
    {63, Kind::TextRight, 650, 350, 20, 20, "y=", L},
    {BarcodeIDYField, Kind::NumericField, 670, 350, 30, 20, "150", L},
    {72, Kind::Frame, 490, 277, 225, 101, "", L},
};

const std::vector<gui::MenuItem> kMenu = {
    {"File", "Exit", MenuExit},
    {"Help", "Custom Printer Label", MenuHelpLabel},
    {"Help", "SendKeys", MenuHelpSendKeys},
    {"Help", "DataLogger", MenuHelpDataLogger},
    {"Help", "About...", MenuAbout},
};

struct Column {
    const char* title;
    int width;
};
const Column kRecordColumns[] = {{"Pos", 40},  {"Operator", 80}, {"Date", 80},
                                 {"Time", 80}, {"Quantity", 80}, {"Barcode", 210}};

const char* const kBarcodeTypes[] = {"Off",
                                     "Code 39 (Narrow)",
                                     "Code 39 (Normal)",
                                     "Code 39 (Large)",
                                     "Code 128 (Narrow)",
                                     "Code 128 (Normal)",
                                     "Code 128 (Large)"};
constexpr int kDefaultBarcodeType = 2;

} // namespace

const std::vector<ControlSpec>& MainWindowControls() {
    return kControls;
}
const std::vector<gui::MenuItem>& MainWindowMenu() {
    return kMenu;
}

bool BuildMainWindow(void (*probePorts)()) {
    gui::WindowSpec ws{gui::MainWindow, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1};
    if (!gui::openWindow(ws)) return false;
    gui::setMenu(gui::MainWindow, kMenu);
    for (const ControlSpec& c : kControls) {
        gui::createControl(gui::MainWindow, c.number, c.kind, c.x, c.y, c.w, c.h, c.text);
        switch (c.number) {
        case PortList:
            if (probePorts) probePorts();
            break;
        case RecordList:
            for (const Column& col : kRecordColumns)
                gui::reportAddColumn(gui::MainWindow, RecordList, col.title, col.width);
            break;
        case SpecialKeyListControl:
            sendkeys::FillSpecialKeyList();
            break;
        case BarcodeTypeList:
            for (const char* t : kBarcodeTypes) gui::listAdd(gui::MainWindow, BarcodeTypeList, t);
            gui::listSelect(gui::MainWindow, BarcodeTypeList, kDefaultBarcodeType);
            break;
        }
    }
    return true;
}

void ShowGroup(Group group) {
    for (const ControlSpec& c : kControls)
        if (c.group != Group::Always) gui::showControl(gui::MainWindow, c.number, c.group == group);
}

} // namespace app
