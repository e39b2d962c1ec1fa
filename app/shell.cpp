#include "app/shell.h"

#include "app/mainwindow.h"
#include "app/preferences.h"
#include "datalogger/export.h"
#include "datalogger/import.h"
#include "label/layout.h"
#include "label/preview.h"
#include "label/render.h"
#include "printlib/printlib.h"
#include "sendkeys/editor.h"
#include "sendkeys/player.h"

#include <cstdlib>

namespace app {

const char* const kAboutText =
    "ZEL Manager 1.3 (October 2016)\n\n\nContact your Marlo/Marlo-S ZEL distributor For:  \n"
    "- special version of this software\n- new upgrade\n\n";
const char* const kHelpDataLogger =
    "Turn on your Marlo/Marlo-S ZEL While pressing 'Print' button\n- If a Marlo/S ZEL is connected the "
    "display "
    "show:\n 'PC communication active'\n- If a Marlo ZEL is  connected the display show:\n 'Year' and you "
    "are in "
    "the parameters setup\n\nPress 'Import' To Import all records from Marlo/Marlo-S ZEL";
const char* const kHelpLabel =
    "Press 'Print' button on your Maro/Marlo-S ZEL to print a label on a printer connected to this PC";
const char* const kHelpSendKeys =
    "Open the target program (for example Excel) and put the cursor in the right position.\n\nPress 'Print' "
    "button on your Maro/Marlo-S ZEL to send key to the target program: the target program will receive "
    "input "
    "like from a keyboard.";
const char* const kPreferencesFile = "preferences.pref";

AppState& State() {
    static AppState s;
    return s;
}

namespace {

Group GroupOf(device::Mode mode) {
    switch (mode) {
    case device::Mode::Label:
        return Group::Label;
    case device::Mode::SendKeys:
        return Group::SendKeys;
    case device::Mode::DataLogger:
        break;
    }
    return Group::DataLogger;
}

int OptionOf(device::Mode mode) {
    switch (mode) {
    case device::Mode::Label:
        return LabelModeOption;
    case device::Mode::SendKeys:
        return SendKeysModeOption;
    case device::Mode::DataLogger:
        break;
    }
    return DataLoggerModeOption;
}

void PlayRecord(device::DeviceRecord& record) {
    sendkeys::PlaySequence(record);
}

void InstallListenerActions() {
    device::SetListenerAction(device::Mode::Label, label::LabelListenerAction);
    device::SetListenerAction(device::Mode::SendKeys, PlayRecord);
    device::SetPassHook(device::Mode::SendKeys, sendkeys::UpdateEditorButtons);
}

PrefsHooks Hooks() {
    PrefsHooks h{};
    h.switchMode = SwitchMode;
    h.defaultPrinter = Print_GetDefaultPrinter;
    h.loadLogo = label::LoadLogoAtStartup;
    h.portNumber = device::PortNumber;
    h.setPortNumber = device::SetPortNumber;
    h.labelPrinterName = &State().labelPrinterName;
    return h;
}

void MessageInfo(const char* title, const std::string& text) {
    gui::messageBox(gui::MainWindow, title, text, gui::Icon::Information);
}

void DispatchMainControl(int control) {
    switch (control) {
    case DataLoggerModeOption:
        SwitchMode(device::Mode::DataLogger);
        return;
    case LabelModeOption:
        SwitchMode(device::Mode::Label);
        return;
    case SendKeysModeOption:
        SwitchMode(device::Mode::SendKeys);
        return;
    case PortList:
        ChangePort();
        return;
    case ImportButton:
        datalogger::ImportRecords();
        return;
    case SaveButton:
        datalogger::SaveRecords();
        return;
    case ChangePrinterButton:
        ChangePrinter();
        return;
    case PreviewButton:
        ShowPreview();
        return;
    case CompanyLogoButton:
        ChooseCompanyLogo();
        return;
    }
    if ((control >= ClearAllButton && control <= AddTextButton) || control == AddSpecialKeyButton)
        sendkeys::EditorHandleControl(control);
}

void DispatchMainMenu(int item) {
    switch (item) {
    case MenuExit:
        State().quit = true;
        return;
    case MenuAbout:
        MessageInfo("Information", State().aboutText);
        return;
    case MenuHelpDataLogger:
        MessageInfo("DataLogger", kHelpDataLogger);
        return;
    case MenuHelpLabel:
        MessageInfo("Custom Printer Label", kHelpLabel);
        return;
    case MenuHelpSendKeys:
        MessageInfo("SendKeys", kHelpSendKeys);
        return;
    }
}

} // namespace

void SwitchMode(device::Mode mode) {
    device::StopAllListeners();
    gui::setChecked(gui::MainWindow, OptionOf(mode), true);
    ShowGroup(GroupOf(mode));
    device::StartListener(mode);
}

void ChangePort() {
    std::string text = gui::text(gui::MainWindow, PortList);
    std::string digits;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 3, "COM") == 0) {
            i += 3;
            continue;
        }
        digits += text[i++];
    }
    int number = std::atoi(digits.c_str());
    if (number == device::PortNumber()) return;
    device::SetPortNumber(number);
    device::OpenPort();
}

void ChangePrinter() {
    AppState& s = State();
    // Under the label's lock: the dialog must not overlap a label being printed.
    s.labelPrinterName = label::ChoosePrinter(gui::MainWindow, s.labelPrinterName);
    gui::setText(gui::MainWindow, PrinterNameText, s.labelPrinterName + " ");
}

void ShowPreview() {
    label::PreviewButtonClicked();
}
void PrintFromPreview() {
    label::PreviewPrintClicked();
}
void ClosePreview() {
    label::PreviewClosed();
}
void ChooseCompanyLogo() {
    label::ChooseLogo();
}

void Dispatch(const gui::Event& e) {
    if (e.window == gui::PreviewWindow) {
        if (e.kind == gui::EventKind::Close)
            ClosePreview();
        else if (e.kind == gui::EventKind::Control && e.item == 31)
            PrintFromPreview();
        return;
    }
    if (e.window != gui::MainWindow) return;
    switch (e.kind) {
    case gui::EventKind::Close:
        State().quit = true;
        break;
    case gui::EventKind::Menu:
        DispatchMainMenu(e.item);
        break;
    case gui::EventKind::Control:
        DispatchMainControl(e.item);
        break;
    case gui::EventKind::None:
        break;
    }
}

bool Startup() {
    Print_Init();
    State().aboutText = kAboutText;
    InstallListenerActions();
    if (!BuildMainWindow(device::ProbePorts)) return false;
    LoadPreferences(kPreferencesFile, Hooks());
    label::SetPrinterName(State().labelPrinterName);
    device::OpenPort();
    return true;
}

void RunEventLoop() {
    while (!State().quit) Dispatch(gui::waitEvent(-1));
}

void Shutdown() {
    SavePreferences(kPreferencesFile, Hooks());
    device::StopAllListeners();
    device::ClosePort();
    gui::shutdown();
}

int Run() {
    if (!Startup()) return 1;
    RunEventLoop();
    Shutdown();
    return 0;
}

} // namespace app
