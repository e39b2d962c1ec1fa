// The drawn symbols, rasterised the way the printer conversion places the
// bars, must read back through an independent decoder (zbarimg).
#include "barcode/barcode.h"
#include "tests/doubles/printlib/printlib_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool HaveZbar() {
    return std::system("command -v zbarimg >/dev/null 2>&1") == 0;
}

// Fills the recorded boxes like FillRect: right and bottom edges left out.
// Returns the path of a binary PGM with `quiet` device pixels beyond the last bar.
std::string WriteBars(const std::string& name, int dpi, float quietMm, float heightMm) {
    std::vector<PrintCall> boxes = Printrec_Calls(PrintCallKind::Box);
    int width = 0;
    for (const PrintCall& b : boxes) width = std::max(width, Printrec_ToDevice(std::max(b.x1, b.x2), dpi));
    width += Printrec_ToDevice(quietMm, dpi);
    const int height = Printrec_ToDevice(heightMm, dpi);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height, 255);
    for (const PrintCall& b : boxes) {
        int l = Printrec_ToDevice(std::min(b.x1, b.x2), dpi),
            r = Printrec_ToDevice(std::max(b.x1, b.x2), dpi);
        int t = Printrec_ToDevice(std::min(b.y1, b.y2), dpi),
            btm = Printrec_ToDevice(std::max(b.y1, b.y2), dpi);
        for (int y = std::max(t, 0); y < std::min(btm, height); ++y)
            for (int x = std::max(l, 0); x < std::min(r, width); ++x)
                pixels[static_cast<std::size_t>(y) * width + x] = 0;
    }
    const std::string path = testing::TempDir() + "zel_barcode_" + name + ".pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return path;
}

std::string Scan(const std::string& path, const std::string& symbology) {
    const std::string cmd =
        "zbarimg -q --raw -Sdisable -S" + symbology + ".enable '" + path + "' 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        std::size_t got;
        while ((got = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
        pclose(p);
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

const int kDpis[] = {300, 600};
const float kModules[] = {0.3445f, 0.4445f, 0.5445f, 0.6f};

std::string AllPrintable() {
    std::string s;
    for (int c = 32; c < 127; ++c) s += static_cast<char>(c);
    return s;
}

std::string DigitPairs(int from, int to) {
    std::string s;
    for (int v = from; v <= to; ++v) s += std::to_string(v / 10) + std::to_string(v % 10);
    return s;
}

TEST(BarcodeScan, Code128ReadsBackTheText) {
    if (!HaveZbar()) GTEST_SKIP() << "zbarimg not installed (Debian zbar-tools): symbols not verified";
    struct Case {
        std::string text;
        int mode;
    };
    const Case cases[] = {
        {"123456", 5},
        {"1234567", 5},
        {"7", 5},
        {"Hello", 5},
        {"ABCDEFGHIJKLMNO", 5},
        {"AB12345", 5},
        {"12AB", 5},
        {"a1b2c3d4e5", 5},
        {"lower case text", 4},
        {"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", 5},
        {"A B C", 5},
        {AllPrintable(), 5},
        {AllPrintable(), 4},
        {DigitPairs(0, 49), 5},
        {DigitPairs(50, 99), 4},
        {"X" + DigitPairs(0, 10) + "Y", 5},
    };
    int index = 0;
    for (const Case& c : cases) {
        for (int dpi : kDpis) {
            for (float w : kModules) {
                SCOPED_TRACE("\"" + c.text + "\" mode " + std::to_string(c.mode) + " at " +
                             std::to_string(dpi) + " dpi, module " + std::to_string(w));
                Printrec_Reset();
                Barcode_Code128(9 * w, 1, c.text, 10, w, BARCODE_NO_TEXT, 0, 0, c.mode);
                const std::string path = WriteBars("c128_" + std::to_string(index++), dpi, 10 * w, 12);
                EXPECT_EQ(Scan(path, "code128"), c.text);
                std::remove(path.c_str());
            }
        }
    }
}

TEST(BarcodeScan, Code39ReadsBackTheEncodableCharacters) {
    if (!HaveZbar()) GTEST_SKIP() << "zbarimg not installed (Debian zbar-tools): symbols not verified";
    struct Case {
        std::string text;
        int check;
        std::string decoded;
    };
    const Case cases[] = {
        {"ABC", 0, "ABC"},
        {"ABC", CODE39_CHECK, "ABCX"},
        {"123456", 0, "123456"},
        {"1234567", 0, "1234567"},
        {"ABCDEFGHIJKLMNO", 0, "ABCDEFGHIJKLMNO"},
        {"0123456789", 0, "0123456789"},
        {"PQRSTUVWXYZ", 0, "PQRSTUVWXYZ"},
        {"A-B.C D$E/F+G%H", 0, "A-B.C D$E/F+G%H"},
        {"Hello", 0, "H"},
        {"a1b2c3", 0, "123"},
        {"A*B", 0, "AB"},
    };
    int index = 0;
    for (const Case& c : cases) {
        for (int dpi : kDpis) {
            for (float w : kModules) {
                SCOPED_TRACE("\"" + c.text + "\" at " + std::to_string(dpi) + " dpi, module " +
                             std::to_string(w));
                Printrec_Reset();
                Barcode_Code39(9 * w, 1, c.text, 10, w, BARCODE_NO_TEXT, 0, 0, c.check);
                const std::string path = WriteBars("c39_" + std::to_string(index++), dpi, 10 * w, 12);
                EXPECT_EQ(Scan(path, "code39"), c.decoded);
                std::remove(path.c_str());
            }
        }
    }
}

} // namespace
