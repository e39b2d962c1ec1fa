// Shared set-up of the label tests: the main window's label controls with
// their default layout in the GUI double, and small image files on disk.
#pragma once

#include "label/layout.h"
#include "platform/gui.h"
#include "tests/doubles/gui/gui_fake.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace labeltest {

struct FieldValue {
    int control;
    const char* text;
};

// The layout as a fresh installation has it.
inline const std::vector<FieldValue>& DefaultFields() {
    static const std::vector<FieldValue> f = {
        {label::CompanyNameXField, "30"}, {label::CompanyNameYField, "30"}, {label::CompanyNameField, "ACME"},
        {label::CompanyLogoField, ""},    {label::CompanyLogoXField, "30"}, {label::CompanyLogoYField, "90"},
        {label::DateXField, "30"},        {label::DateYField, "40"},        {label::OperatorXField, "30"},
        {label::OperatorYField, "45"},    {label::QuantityXField, "30"},    {label::QuantityYField, "50"},
        {label::BarcodeQXField, "30"},    {label::BarcodeQYField, "60"},    {label::BarcodeIDXField, "30"},
        {label::BarcodeIDYField, "75"},
    };
    return f;
}

// Opens the main window with the label controls holding the default layout
// and the barcode type `type` selected.
inline void MakeMainWindow(int type = 2) {
    guifake::reset();
    gui::openWindow(
        gui::WindowSpec{gui::MainWindow, "ZEL Manager", 800, 600, gui::Placement::Centred, true, -1});
    for (const FieldValue& f : DefaultFields()) {
        gui::createControl(gui::MainWindow, f.control, gui::Kind::Field, 0, 0, 10, 10, "");
        gui::setText(gui::MainWindow, f.control, f.text);
    }
    gui::createControl(gui::MainWindow, label::CompanyLogoImage, gui::Kind::Image, 0, 0, 140, 140, "");
    gui::createControl(gui::MainWindow, label::BarcodeTypeList, gui::Kind::DropDown, 0, 0, 10, 10, "");
    for (const label::BarcodeType& t : label::kBarcodeTypes)
        gui::listAdd(gui::MainWindow, label::BarcodeTypeList, t.item);
    gui::listSelect(gui::MainWindow, label::BarcodeTypeList, type);
}

inline void SetField(int control, const std::string& text) {
    gui::setText(gui::MainWindow, control, text);
}

// A 24-bit BMP file of w x h pixels, all mid grey.
inline std::vector<uint8_t> BmpBytes(int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t imageSize = uint32_t(stride * h), fileSize = 54 + imageSize;
    std::vector<uint8_t> b(fileSize, 0x80);
    auto put16 = [&](size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B', b[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageSize);
    return b;
}

// A file in the test's temporary folder, removed at the end of the test.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& name, const std::vector<uint8_t>& bytes)
        : path((std::filesystem::temp_directory_path() / name).string()) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::remove(path.c_str()); }
};

} // namespace labeltest
