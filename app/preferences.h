// Loading the settings into the main window's controls at startup and saving
// them back at the end, through the preferences file.
#pragma once

#include "device/link.h"

#include <string>

namespace app {

// What the load and save need from the rest of the program. Any hook may be
// left empty: a missing switchMode starts no mode, a missing defaultPrinter
// gives "", a missing loadLogo leaves the path in CompanyLogoField, missing
// port hooks read and write port 1.
struct PrefsHooks {
    void (*switchMode)(device::Mode mode) = nullptr; // stop, show the mode's group, start
    std::string (*defaultPrinter)() = nullptr;
    void (*loadLogo)(const std::string& path) = nullptr; // empties CompanyLogoField when it cannot load
    int (*portNumber)() = nullptr;
    void (*setPortNumber)(int number) = nullptr;
    std::string* labelPrinterName = nullptr;
};

// Reads the file (missing keys and a missing file give the defaults) and fills
// the port number, PortList, the mode, KeyList, LabelPrinterName,
// PrinterNameText, the label fields, BarcodeTypeList and the logo.
// - PortList: the entry "COM<n>" is selected when the list has it; otherwise
//   nothing is selected.
// - KeyList entries come back exactly as saved, blanks included; the list
//   ends at the first missing or empty "Rules<n>".
// - A BarcodeType index outside the list selects nothing.
void LoadPreferences(const std::string& path, const PrefsHooks& hooks);

// Rewrites the file from the controls and variables. False when it could not
// be written; the old file is then left as it was.
bool SavePreferences(const std::string& path, const PrefsHooks& hooks);

} // namespace app
