#include "printlib/core.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace printcore {

int32_t parseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i < text.size() && text[i] == '$')
        base = 16, ++i;
    else if (i < text.size() && text[i] == '%')
        base = 2, ++i;
    uint32_t v = 0; // wraps like the 32-bit field it ends up in
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            break;
        if (digit >= base) break;
        v = v * base + digit;
    }
    if (negative) v = 0u - v;
    return int32_t(v);
}

std::vector<SettingsItem> parseSettings(const std::string& text, const SettingsKey* keys, size_t keyCount) {
    std::vector<SettingsItem> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        const size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        for (char& c : key)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        std::string value;
        if (eq != std::string::npos) {
            const size_t eq2 = item.find('=', eq + 1);
            value = item.substr(eq + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq - 1);
        }
        for (size_t k = 0; k < keyCount; ++k)
            if (key == keys[k].key) {
                items.push_back({keys[k].field, parseNumber(value)});
                break;
            }
    }
    return items;
}

const SettingsKey devModeKeys[DmFieldCount] = {
    {"ORIENTATION", DmOrientation},
    {"PAPERSIZE", DmPaperSize},
    {"PAPERLENGTH", DmPaperLength},
    {"PAPERWIDTH", DmPaperWidth},
    {"SCALE", DmScale},
    {"COPIES", DmCopies},
    {"DEFAULTSOURCE", DmDefaultSource},
    {"PRINTQUALITY", DmPrintQuality},
    {"COLOR", DmColor},
    {"DUPLEX", DmDuplex},
    {"YRESOLUTION", DmYResolution},
    {"TTOPTION", DmTTOption},
    {"COLLATE", DmCollate},
};
const uint32_t devModeBits[DmFieldCount] = {0x1,   0x2,   0x4,    0x8,    0x10,   0x100, 0x200,
                                            0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};

const SettingsKey printDlgKeys[PdFieldCount] = {
    {"FLAGS", PdFlags},
    {"NFROMPAGE", PdFromPage},
    {"NTOPAGE", PdToPage},
    {"NMINPAGE", PdMinPage},
    {"NMAXPAGE", PdMaxPage},
    {"NCOPIES", PdCopies},
    {"HINSTANCE", PdInstance},
    {"LCUSTDATA", PdCustData},
    {"LPFNPRINTHOOK", PdPrintHook},
    {"LPFNSETUPHOOK", PdSetupHook},
    {"LPPRINTTEMPLATENAME", PdPrintTemplateName},
    {"LPSETUPTEMPLATENAME", PdSetupTemplateName},
    {"HPRINTTEMPLATE", PdPrintTemplate},
    {"HSETUPTEMPLATE", PdSetupTemplate},
};

// ---- units

// The single-precision constant, widened: 25.399999618530273.
static const double mmPerInch = double(25.4f);

int32_t roundHalfEven(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(std::nearbyint(v)); // default rounding mode: halves to even
}

static double divisor(int unit) {
    return unit == UnitTenthInch ? double(10.0f) : mmPerInch;
}

int32_t unitToDevice(int unit, float v, int resolution) {
    if (unit == UnitDevice) return roundHalfEven(double(v));
    return roundHalfEven(double(v) * resolution / divisor(unit));
}

float deviceToUnit(int unit, int32_t d, int resolution) {
    if (unit == UnitDevice) return float(d);
    if (resolution == 0) return 0.0f;
    return float(double(d) * divisor(unit) / resolution);
}

int32_t previewLogPixels(int imagePixels, int sizeMm) {
    if (sizeMm == 0) return 0;
    return roundHalfEven(double(imagePixels) * 25.4 / sizeMm);
}

int32_t previewHeight(int width, int horzRes, int vertRes, int logPixelsX, int logPixelsY) {
    if (width <= 0 || horzRes <= 0 || vertRes <= 0 || logPixelsX <= 0 || logPixelsY <= 0) return 0;
    // 64-bit, and the resolution ratio inside the one division, so neither a
    // wide page overflows nor a printer with the lower horizontal resolution
    // loses its preview.
    const int64_t h = int64_t(width) * vertRes * logPixelsX / (int64_t(horzRes) * logPixelsY);
    return h > std::numeric_limits<int32_t>::max() ? 0 : int32_t(h);
}

// ---- fonts

int32_t fontHeight(int points, int logPixelsY) {
    const int64_t h = int64_t(points) * logPixelsY / 72;
    if (h > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (h < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(h);
}

int fontQuality(int flags) {
    if (flags & 0x10) return (flags & 0x1) ? 4 : (flags & 0x2) ? 5 : 2; // antialiased, cleartype, proof
    return (flags & 0x1) ? 1 : 0;                                       // draft, default
}

FontFields fontFields(const std::string& face, int points, int flags, int escapement, int logPixelsY) {
    FontFields f;
    f.height = fontHeight(points, logPixelsY);
    f.escapement = escapement;
    f.weight = (flags & 0x100) ? 700 : 400;
    f.italic = (flags & 0x200) ? 1 : 0;
    f.underline = (flags & 0x4) ? 1 : 0;
    f.strikeOut = (flags & 0x8) ? 1 : 0;
    f.quality = uint8_t(fontQuality(flags));
    std::strncpy(f.face, face.c_str(), 31);
    f.face[31] = 0;
    return f;
}

MetricKind metricKind(int index) {
    switch (index) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 7:
    case 8:
    case 10:
        return MetricKind::Y;
    case 5:
    case 6:
    case 9:
        return MetricKind::X;
    case 11:
    case 12:
    case 13:
    case 14:
        return MetricKind::Unsigned;
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
        return MetricKind::Signed;
    default:
        return MetricKind::None;
    }
}

// ---- log formats

std::string hex(uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%X", unsigned(v));
    return b;
}

std::string dec(int64_t v) {
    return std::to_string(v);
}

std::string real(double v) {
    char b[400];
    std::snprintf(b, sizeof b, "%.10f", v);
    std::string s = b;
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    return s;
}

std::string logFileName(const clk::LocalTime& t) {
    return "Printer_Lib_debugfile " + clk::formatDate("%yyyy%mm%dd_%hh%ii%ss", t) + ".txt";
}

std::string rasterCapsText(uint32_t caps) {
    static const struct {
        uint32_t bit;
        const char* name;
    } names[] = {{0x2, "#RC_BANDING"},      {0x1, "#RC_BITBLT"},     {0x8, "#RC_BITMAP64"},
                 {0x80, "#RC_DI_BITMAP"},   {0x200, "#RC_DIBTODEV"}, {0x1000, "#RC_FLOODFILL"},
                 {0x100, "#RC_PALETTE"},    {0x4, "#RC_SCALING"},    {0x800, "#RC_STRETCHBLT"},
                 {0x2000, "#RC_STRETCHDIB"}};
    std::string s;
    for (const auto& n : names)
        if (caps & n.bit) {
            if (!s.empty()) s += ',';
            s += n.name;
        }
    return s;
}

std::string technologyText(int technology) {
    static const char* const names[] = {"#DT_PLOTTER",    "#DT_RASDISPLAY", "#DT_RASPRINTER", "#DT_RASCAMERA",
                                        "#DT_CHARSTREAM", "#DT_METAFILE",   "#DT_DISPFILE"};
    if (technology >= 0 && technology <= 6) return names[technology];
    return dec(technology);
}

// ---- Windows versions

std::string windowsName(const VersionInfo& v) {
    if (!v.ok) return "Windows_Future";
    if (v.platform == 1) { // 95, 98, ME
        if (v.major == 4 && v.minor == 0) return "Windows_95";
        if (v.major == 4 && v.minor == 10) return "Windows_98";
        if (v.major == 4 && v.minor == 90) return "Windows_ME";
        return "Windows_Future";
    }
    if (v.platform != 2) return "Windows_Future";
    if (v.major == 3) return "Windows_NT3_51";
    if (v.major == 4) return "Windows_NT_4";
    if (v.major == 5) {
        if (v.minor == 0) return "Windows_2000";
        if (v.minor == 1) return "Windows_XP";
        if (v.minor == 2) return v.workstation ? "Windows_XP" : "Windows_Server_2003";
    }
    if (v.major == 6) {
        if (v.minor == 0) return v.workstation ? "Windows_Vista" : "Windows_Server_2008";
        if (v.minor == 1) return v.workstation ? "Windows_7" : "Windows_Server_2008_R2";
        if (v.minor == 2) return v.workstation ? "Windows_8" : "Windows_Server_2012";
    }
    return "Windows_Future";
}

bool olderThan2000(const VersionInfo& v) {
    const std::string n = windowsName(v);
    return n == "Windows_NT3_51" || n == "Windows_95" || n == "Windows_NT_4" || n == "Windows_98" ||
           n == "Windows_ME";
}

const char* driverName(uint32_t getVersionValue) {
    return (getVersionValue >> 16) & 0xFF ? "WINSPOOL" : "";
}

// ---- image transfer

ImageMethod chooseImageMethod(uint32_t caps) {
    if (caps & 0x800) return ImageMethod::StretchBlt;
    if (caps & (0x2000 | 0x80)) return ImageMethod::StretchDib;
    if (caps & 0x1) return ImageMethod::BitBlt;
    return ImageMethod::None;
}

} // namespace printcore
