#include "label/layout.h"

#include "label/render.h"
#include "platform/gui.h"
#include "platform/image.h"
#include "printlib/core.h"

#include <cstdint>
#include <mutex>

#ifdef _WIN32
#include <direct.h>
#define ZEL_GETCWD _getcwd
#else
#include <unistd.h>
#define ZEL_GETCWD getcwd
#endif

namespace label {

const char* const kLogoDialogTitle = "Please choose a company logo image";
const char* const kLogoDialogFilter = "JPG (*.jpg)|*.jpg|BMP (*.bmp)|*.bmp|All files (*.*)|*.*";

const BarcodeType kBarcodeTypes[BarcodeTypeCount] = {
    {"Off", Symbology::None, 0.0f, 0.0f},
    {"Code 39 (Narrow)", Symbology::Code39, 0.3445f, 0.3445f},
    {"Code 39 (Normal)", Symbology::Code39, 0.4445f, 0.4445f},
    // Barcode ID gets the wider module here, not the Large Code 39 one.
    {"Code 39 (Large)", Symbology::Code39, 0.5445f, 0.6f},
    {"Code 128 (Narrow)", Symbology::Code128, 0.3445f, 0.3445f},
    {"Code 128 (Normal)", Symbology::Code128, 0.4445f, 0.4445f},
    {"Code 128 (Large)", Symbology::Code128, 0.5445f, 0.5445f},
};

const BarcodeType& BarcodeTypeAt(int index) {
    return index >= 0 && index < BarcodeTypeCount ? kBarcodeTypes[index] : kBarcodeTypes[0];
}

float PositionMm(const std::string& text) {
    // Same number rule as the printing library's settings texts.
    return float(printcore::parseNumber(text));
}

namespace {

std::string Text(int control) {
    return gui::text(gui::MainWindow, control);
}

float Mm(int control) {
    return PositionMm(Text(control));
}

std::string CurrentDirectory() {
    char buffer[4096];
    std::string dir;
    if (ZEL_GETCWD(buffer, sizeof buffer)) dir = buffer;
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

} // namespace

Layout ReadLayout() {
    Layout l;
    l.companyName = Text(CompanyNameField);
    l.companyX = Mm(CompanyNameXField);
    l.companyY = Mm(CompanyNameYField);
    l.logo = !Text(CompanyLogoField).empty();
    l.logoX = Mm(CompanyLogoXField);
    l.logoY = Mm(CompanyLogoYField);
    l.dateX = Mm(DateXField);
    l.dateY = Mm(DateYField);
    l.operatorX = Mm(OperatorXField);
    l.operatorY = Mm(OperatorYField);
    l.quantityX = Mm(QuantityXField);
    l.quantityY = Mm(QuantityYField);
    l.barcodeType = gui::listSelected(gui::MainWindow, BarcodeTypeList);
    l.barcodeQX = Mm(BarcodeQXField);
    l.barcodeQY = Mm(BarcodeQYField);
    l.barcodeIDX = Mm(BarcodeIDXField);
    l.barcodeIDY = Mm(BarcodeIDYField);
    return l;
}

Size ThumbnailSize(int width, int height) {
    if (width <= 0 || height <= 0) return {0, 0};
    Size s = width > height ? Size{ThumbnailSide, int(int64_t(height) * ThumbnailSide / width)}
                            : Size{int(int64_t(width) * ThumbnailSide / height), ThumbnailSide};
    // A very thin picture would round to no pixels at all, which no image can be.
    if (s.width < 1) s.width = 1;
    if (s.height < 1) s.height = 1;
    return s;
}

bool LoadLogo(const std::string& path, bool clearImage) {
    // Decoded outside the lock; only the swap into LogoImage waits for a
    // label that the listener may be printing from it.
    const int decoded = image::load(image::AnyNumber, path);
    bool loaded = false;
    if (decoded) {
        std::lock_guard<std::mutex> lock(RenderMutex());
        loaded = image::duplicate(decoded, LogoImage) != 0;
    }
    if (!loaded) {
        image::release(decoded);
        gui::setText(gui::MainWindow, CompanyLogoField, "");
        if (clearImage) gui::imageShow(gui::MainWindow, CompanyLogoImage, 0);
        return false;
    }
    gui::setText(gui::MainWindow, CompanyLogoField, path);
    const Size s = ThumbnailSize(image::width(decoded), image::height(decoded));
    if (image::resize(decoded, s.width, s.height) && image::duplicate(decoded, LogoThumbnail))
        gui::imageShow(gui::MainWindow, CompanyLogoImage, LogoThumbnail);
    image::release(decoded);
    return true;
}

void LoadLogoAtStartup(const std::string& path) {
    if (path.empty()) return;
    LoadLogo(path, false);
}

void ChooseLogo() {
    const std::string path =
        gui::openFileDialog(gui::MainWindow, kLogoDialogTitle, kLogoDialogFilter, CurrentDirectory());
    if (path.empty()) {
        gui::setText(gui::MainWindow, CompanyLogoField, "");
        gui::imageShow(gui::MainWindow, CompanyLogoImage, 0);
        return;
    }
    LoadLogo(path, true);
}

} // namespace label
