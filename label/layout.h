// The label's layout: the controls that hold its fields and positions, the
// position-text rule, the barcode type table and the company logo with its
// thumbnail. The controls are the only copy of the layout; it is read afresh
// for every label.
#pragma once

#include <string>

namespace label {

// Main-window controls the label reads (numbers fixed by the main window).
enum LabelControl {
    PrinterNameText = 26,
    CompanyNameXField = 27,
    CompanyNameYField = 28,
    CompanyNameField = 32,
    CompanyLogoField = 33,
    CompanyLogoXField = 34,
    CompanyLogoYField = 35,
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
};

// Image numbers of the logo at full size (printed) and its thumbnail (shown).
constexpr int LogoImage = 80;
constexpr int LogoThumbnail = 81;
constexpr int ThumbnailSide = 140;

// A typed position in millimetres: blanks and tabs skipped, optional sign,
// "$" hexadecimal, "%" binary, else decimal digits; 0 without digits.
float PositionMm(const std::string& text);

enum class Symbology { None, Code39, Code128 };

// One entry of BarcodeTypeList. Barcode ID is always Code 39.
struct BarcodeType {
    const char* item;
    Symbology q;
    float qModule;  // millimetres
    float idModule; // millimetres; unused when q is None
};
constexpr int BarcodeTypeCount = 7;
extern const BarcodeType kBarcodeTypes[BarcodeTypeCount];
// The entry of a selected index; anything outside the list (nothing selected)
// draws no barcode, like "Off".
const BarcodeType& BarcodeTypeAt(int index);

// Everything a label takes from the controls, read at one moment.
struct Layout {
    std::string companyName;
    float companyX = 0, companyY = 0;
    bool logo = false; // CompanyLogoField is not empty
    float logoX = 0, logoY = 0;
    float dateX = 0, dateY = 0;
    float operatorX = 0, operatorY = 0;
    float quantityX = 0, quantityY = 0;
    int barcodeType = -1;
    float barcodeQX = 0, barcodeQY = 0;
    float barcodeIDX = 0, barcodeIDY = 0;
};
Layout ReadLayout();

// The thumbnail's size for an image of w x h pixels: the longer side becomes
// 140, the other scaled with the fraction dropped (never below 1 pixel).
struct Size {
    int width;
    int height;
};
Size ThumbnailSize(int width, int height);

// Loads the logo file into LogoImage, puts the path into CompanyLogoField and
// shows the thumbnail in CompanyLogoImage. When the file cannot be loaded the
// field is emptied (and, with clearImage, the thumbnail control too); nothing
// is reported. False when the file was not loaded.
bool LoadLogo(const std::string& path, bool clearImage);
// The logo named in the preferences at startup; an empty path loads nothing.
void LoadLogoAtStartup(const std::string& path);
// CompanyLogoButton: a file dialog; cancelling it removes the logo.
void ChooseLogo();

extern const char* const kLogoDialogTitle;
extern const char* const kLogoDialogFilter;

} // namespace label
