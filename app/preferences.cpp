#include "app/preferences.h"

#include "app/mainwindow.h"

#include "platform/gui.h"
#include "platform/preffile.h"

namespace app {

namespace {

constexpr int Main = gui::MainWindow;

const char* const GroupPort = "Communication Setup";
const char* const GroupMode = "Mode";
const char* const GroupSendKeys = "SendKeys";
const char* const GroupLabel = "CustomPrinterLabel";

struct TextSetting {
    const char* key;
    int control;
    const char* fallback;
};

// The label's text controls in file order (PrinterName comes before them,
// BarcodeType after).
const TextSetting LabelTexts[] = {
    {"CompanyName", CompanyNameField, "Verdani Trading Srl"},
    {"CompanyNameX", CompanyNameXField, "30"},
    {"CompanyNameY", CompanyNameYField, "30"},
    {"CompanyLogo", CompanyLogoField, ""},
    {"CompanyLogoX", CompanyLogoXField, "30"},
    {"CompanyLogoY", CompanyLogoYField, "90"},
    {"DateX", DateXField, "30"},
    {"DateY", DateYField, "40"},
    {"OperatorX", OperatorXField, "30"},
    {"OperatorY", OperatorYField, "45"},
    {"QuantityX", QuantityXField, "30"},
    {"QuantityY", QuantityYField, "50"},
    {"BarcodeQX", BarcodeQXField, "30"},
    {"BarcodeQY", BarcodeQYField, "60"},
    {"BarcodeIDX", BarcodeIDXField, "30"},
    {"BarcodeIDY", BarcodeIDYField, "75"},
};

struct ModeSetting {
    const char* name;
    int option;
    device::Mode mode;
};

// In the order the save tests the options.
const ModeSetting Modes[] = {
    {"CPL", LabelModeOption, device::Mode::Label},
    {"DL", DataLoggerModeOption, device::Mode::DataLogger},
    {"SK", SendKeysModeOption, device::Mode::SendKeys},
};

void selectPort(int number) {
    const std::string wanted = "COM" + std::to_string(number);
    int found = -1;
    for (int i = 0; i < gui::listCount(Main, PortList) && found < 0; ++i)
        if (gui::listItem(Main, PortList, i) == wanted) found = i;
    gui::listSelect(Main, PortList, found);
}

} // namespace

void LoadPreferences(const std::string& path, const PrefsHooks& hooks) {
    preffile::PrefFile file;
    file.open(path); // a missing file: every key takes its default

    file.selectGroup(GroupPort);
    const int port = file.readInt("Port", 1);
    if (hooks.setPortNumber) hooks.setPortNumber(port);
    selectPort(port);

    file.selectGroup(GroupMode);
    const std::string option = file.readText("Option", "DL");
    for (const ModeSetting& m : Modes)
        if (option == m.name) {
            gui::setChecked(Main, m.option, true);
            if (hooks.switchMode) hooks.switchMode(m.mode);
        }

    // Entries are read as written: a typed " " is a real entry, and trimming
    // it to nothing would end the list there and lose every entry after it.
    file.selectGroup(GroupSendKeys);
    gui::listClear(Main, KeyListControl);
    for (int n = 1;; ++n) {
        const std::string entry = file.readTextExact("Rules" + std::to_string(n), "");
        if (entry.empty()) break;
        gui::listAdd(Main, KeyListControl, entry);
    }

    file.selectGroup(GroupLabel);
    const std::string printer =
        file.readText("PrinterName", hooks.defaultPrinter ? hooks.defaultPrinter() : "");
    if (hooks.labelPrinterName) *hooks.labelPrinterName = printer;
    gui::setText(Main, PrinterNameText, printer + " ");
    for (const TextSetting& t : LabelTexts) gui::setText(Main, t.control, file.readText(t.key, t.fallback));
    const int type = file.readInt("BarcodeType", 2);
    gui::listSelect(Main, BarcodeTypeList,
                    type >= 0 && type < gui::listCount(Main, BarcodeTypeList) ? type : -1);

    const std::string logo = gui::text(Main, CompanyLogoField);
    if (hooks.loadLogo && !logo.empty()) hooks.loadLogo(logo);

    file.close();
}

bool SavePreferences(const std::string& path, const PrefsHooks& hooks) {
    preffile::PrefFile file;
    file.create(path);

    file.selectGroup(GroupPort);
    file.writeInt("Port", hooks.portNumber ? hooks.portNumber() : 1);

    file.selectGroup(GroupMode);
    for (const ModeSetting& m : Modes)
        if (gui::isChecked(Main, m.option)) {
            file.writeText("Option", m.name);
            break;
        }

    file.selectGroup(GroupSendKeys);
    const int entries = gui::listCount(Main, KeyListControl);
    for (int i = 0; i < entries; ++i)
        file.writeText("Rules" + std::to_string(i + 1), gui::listItem(Main, KeyListControl, i));

    file.selectGroup(GroupLabel);
    file.writeText("PrinterName", hooks.labelPrinterName ? *hooks.labelPrinterName : "");
    for (const TextSetting& t : LabelTexts) file.writeText(t.key, gui::text(Main, t.control));
    file.writeInt("BarcodeType", gui::listSelected(Main, BarcodeTypeList));

    return file.close();
}

} // namespace app
