// The printing library's rules that need no device: settings texts, unit
// conversions, font fields, log number formats, the Windows version names and
// the image transfer choice. Pure functions, so they are tested natively.
#pragma once

#include "platform/clock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace printcore {

// ---- settings texts ("KEY=value,KEY=value")

// Reads a number: blanks and tabs skipped, optional sign, "$" hexadecimal,
// "%" binary, else decimal; stops at the first character that does not fit.
int32_t parseNumber(const std::string& text);

struct SettingsKey {
    const char* key;
    int field; // caller's field id
};
struct SettingsItem {
    int field;
    int32_t value;
};
// The items of `text` whose upper-cased key is in `keys`, in text order (so a
// later item for the same field wins when applied in order).
std::vector<SettingsItem> parseSettings(const std::string& text, const SettingsKey* keys, size_t keyCount);

// Device settings fields (DEVMODEA), each with its dmFields bit.
enum DevModeField {
    DmOrientation,
    DmPaperSize,
    DmPaperLength,
    DmPaperWidth,
    DmScale,
    DmCopies,
    DmDefaultSource,
    DmPrintQuality,
    DmColor,
    DmDuplex,
    DmYResolution,
    DmTTOption,
    DmCollate,
    DmFieldCount
};
extern const SettingsKey devModeKeys[DmFieldCount];
extern const uint32_t devModeBits[DmFieldCount];

// Print dialog fields (PRINTDLGA).
enum PrintDlgField {
    PdFlags,
    PdFromPage,
    PdToPage,
    PdMinPage,
    PdMaxPage,
    PdCopies,
    PdInstance,
    PdCustData,
    PdPrintHook,
    PdSetupHook,
    PdPrintTemplateName,
    PdSetupTemplateName,
    PdPrintTemplate,
    PdSetupTemplate,
    PdFieldCount
};
extern const SettingsKey printDlgKeys[PdFieldCount];

// ---- units

enum Unit { UnitDevice = 0, UnitTenthInch = 1, UnitMillimetre = 2 };

// Nearest integer, halves to the even neighbour; NaN gives 0 and values
// beyond the 32-bit range saturate.
int32_t roundHalfEven(double v);
int32_t unitToDevice(int unit, float v, int resolution);
float deviceToUnit(int unit, int32_t d, int resolution);
// Preview resolution: pixels over the printer's size in millimetres.
int32_t previewLogPixels(int imagePixels, int sizeMm);
// Preview page height for a page `width` pixels wide, keeping the printer's
// physical page proportions; 0 when any input is not positive.
int32_t previewHeight(int width, int horzRes, int vertRes, int logPixelsX, int logPixelsY);

// ---- fonts

int32_t fontHeight(int points, int logPixelsY);
int fontQuality(int flags);
struct FontFields {
    int32_t height = 0;
    int32_t escapement = 0;
    int32_t weight = 400;
    uint8_t italic = 0, underline = 0, strikeOut = 0;
    uint8_t quality = 0;
    char face[32] = {};
};
FontFields fontFields(const std::string& face, int points, int flags, int escapement, int logPixelsY);

enum class MetricKind { X, Y, Unsigned, Signed, None };
MetricKind metricKind(int index);

// ---- log formats

std::string hex(uint32_t v);
std::string dec(int64_t v);
std::string real(double v);
std::string logFileName(const clk::LocalTime& t);
std::string rasterCapsText(uint32_t caps);
std::string technologyText(int technology);

// ---- Windows versions

struct VersionInfo {
    bool ok = false;       // the version query answered
    uint32_t platform = 0; // 1 = 9x, 2 = NT
    uint32_t major = 0, minor = 0;
    bool workstation = true;
};
std::string windowsName(const VersionInfo& v);
// 95, 98, ME, NT 3.x and 4 read the default printer from Win.Ini.
bool olderThan2000(const VersionInfo& v);
// CreateDCA's driver name from GetVersion's value.
const char* driverName(uint32_t getVersionValue);

// ---- image transfer

enum class ImageMethod { None, StretchBlt, StretchDib, BitBlt };
ImageMethod chooseImageMethod(uint32_t rasterCaps);

} // namespace printcore
