// Decoding (files of each format made with ImageMagick at test time), damaged
// files, the numbered store and scaling.
#include "platform/image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 16 x 8 picture: red top-left, green top-right, blue bottom-left, a white and
// grey checker bottom-right, so orientation and channel order both show.
struct Rgb {
    int r, g, b;
};
Rgb expected(int x, int y) {
    if (y < 4) return x < 8 ? Rgb{255, 0, 0} : Rgb{0, 255, 0};
    if (x < 8) return Rgb{0, 0, 255};
    return ((x + y) & 1) ? Rgb{255, 255, 255} : Rgb{128, 128, 128};
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ImageFiles : public ::testing::Test {
  protected:
    static fs::path dir;
    static void SetUpTestSuite() {
        dir = fs::temp_directory_path() / ("zel_image_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        std::ofstream ppm(dir / "source.ppm", std::ios::binary);
        ppm << "P6\n16 8\n255\n";
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                Rgb c = expected(x, y);
                ppm.put(char(c.r)).put(char(c.g)).put(char(c.b));
            }
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
    // Converts the source picture with ImageMagick; skips the test without it.
    static fs::path make(const std::string& options, const std::string& target) {
        fs::path out = dir / target.substr(target.find(':') + 1);
        std::string cmd = "convert '" + (dir / "source.ppm").string() + "' " + options + " '" +
                          target.substr(0, target.find(':') + 1) + out.string() + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0 || !fs::exists(out)) return {};
        return out;
    }
};
fs::path ImageFiles::dir;

struct FormatCase {
    const char* options;
    const char* target;
    image::Format format;
    int tolerance; // per channel; 0 for lossless formats
};

const FormatCase formatCases[] = {
    {"", "BMP3:rgb24.bmp", image::Format::Bmp, 0},
    {"-alpha on", "BMP:bgra32.bmp", image::Format::Bmp, 0},
    {"-type Palette", "BMP3:pal8.bmp", image::Format::Bmp, 0},
    {"-type Palette -compress RLE", "BMP3:rle8.bmp", image::Format::Bmp, 0},
    {"-define bmp:format=bmp2 -type Palette -colors 16", "BMP2:pal4.bmp", image::Format::Bmp, 0},
    {"", "PNG24:rgb.png", image::Format::Png, 0},
    {"", "PNG8:pal.png", image::Format::Png, 0},
    {"", "PNG48:deep.png", image::Format::Png, 0},
    {"-quality 100 -sampling-factor 1x1", "JPEG:base.jpg", image::Format::Jpeg, 12},
    {"-quality 100 -sampling-factor 1x1 -interlace Plane", "JPEG:progressive.jpg", image::Format::Jpeg, 12},
    {"-quality 100", "JP2:lossless.jp2", image::Format::Jpeg2000, 0},
    {"-quality 100", "J2K:codestream.j2k", image::Format::Jpeg2000, 0},
};

TEST_F(ImageFiles, EachFormatDecodesWithItsSizeAndPixels) {
    for (const FormatCase& c : formatCases) {
        SCOPED_TRACE(c.target);
        fs::path p = make(c.options, c.target);
        if (p.empty()) GTEST_SKIP() << "ImageMagick could not write " << c.target;
        std::vector<uint8_t> bytes = readFile(p);
        EXPECT_EQ(image::sniff(bytes.data(), bytes.size()), c.format);
        image::Raster r;
        ASSERT_TRUE(image::decode(bytes.data(), bytes.size(), r));
        ASSERT_EQ(r.width, 16);
        ASSERT_EQ(r.height, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                // Lossy formats only need to hold the colour inside each block.
                if (c.tolerance &&
                    (x % 8 == 0 || x % 8 == 7 || y % 4 == 0 || y % 4 == 3 || (x >= 8 && y >= 4)))
                    continue;
                Rgb e = expected(x, y);
                const uint8_t* px = &r.bgr[size_t(y * 16 + x) * 3];
                EXPECT_NEAR(px[2], e.r, c.tolerance) << x << "," << y;
                EXPECT_NEAR(px[1], e.g, c.tolerance) << x << "," << y;
                EXPECT_NEAR(px[0], e.b, c.tolerance) << x << "," << y;
            }
    }
}

TEST_F(ImageFiles, TransparentPngPartsTurnWhite) {
    fs::path p = make("-alpha set -channel A -evaluate set 0 +channel", "PNG32:clear.png");
    if (p.empty()) GTEST_SKIP();
    std::vector<uint8_t> bytes = readFile(p);
    image::Raster r;
    ASSERT_TRUE(image::decodePng(bytes.data(), bytes.size(), r));
    for (uint8_t v : r.bgr) ASSERT_EQ(v, 255);
}

// Rewrites a PNG's IHDR size and fixes the chunk's CRC.
std::vector<uint8_t> pngWithSize(std::vector<uint8_t> png, uint32_t w, uint32_t h) {
    auto be = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
    };
    be(16, w);
    be(20, h);
    be(29, uint32_t(crc32(0, png.data() + 12, 17)));
    return png;
}

// Rewrites the size in a JPEG's first frame header.
std::vector<uint8_t> jpegWithSize(std::vector<uint8_t> jpg, uint16_t w, uint16_t h) {
    for (size_t i = 2; i + 9 < jpg.size(); ++i)
        if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) {
            jpg[i + 5] = uint8_t(h >> 8), jpg[i + 6] = uint8_t(h);
            jpg[i + 7] = uint8_t(w >> 8), jpg[i + 8] = uint8_t(w);
            break;
        }
    return jpg;
}

// Rewrites the image and tile size of a JPEG 2000 codestream's SIZ segment.
std::vector<uint8_t> j2kWithSize(std::vector<uint8_t> j2k, uint32_t side) {
    auto be = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) j2k[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
    };
    for (size_t at : {8u, 12u, 24u, 28u}) be(at, side);
    return j2k;
}

std::vector<uint8_t> bmpHeader(int32_t w, int32_t h, uint16_t bpp) {
    std::vector<uint8_t> b(54 + 64, 0);
    auto le = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    le(2, uint32_t(b.size()), 4);
    le(10, 54, 4);
    le(14, 40, 4);
    le(18, uint32_t(w), 4);
    le(22, uint32_t(h), 4);
    le(26, 1, 2);
    le(28, bpp, 2);
    return b;
}

TEST_F(ImageFiles, DamagedFilesFailCleanly) {
    fs::path bmp = make("", "BMP3:ok.bmp"), png = make("", "PNG24:ok.png"),
             jpg = make("-quality 90", "JPEG:ok.jpg"), jp2 = make("", "JP2:ok.jp2"),
             j2k = make("", "J2K:ok.j2k");
    if (bmp.empty() || png.empty() || jpg.empty() || jp2.empty() || j2k.empty()) GTEST_SKIP();
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    for (const fs::path& p : {bmp, png, jpg, jp2, j2k}) {
        std::vector<uint8_t> whole = readFile(p);
        cases.push_back(
            {"truncated half", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2))});
        cases.push_back({"header only", std::vector<uint8_t>(whole.begin(), whole.begin() + 20)});
        std::vector<uint8_t> magic = whole;
        magic[1] ^= 0x55;
        cases.push_back({"wrong magic", magic});
    }
    cases.push_back({"empty", {}});
    cases.push_back({"bmp absurd width", bmpHeader(100000, 10, 24)});
    cases.push_back({"bmp beyond pixel cap", bmpHeader(40000, 40000, 24)});
    cases.push_back({"bmp negative width", bmpHeader(-16, 8, 24)});
    cases.push_back({"bmp minimum height", bmpHeader(16, INT32_MIN, 24)});
    cases.push_back({"bmp zero size", bmpHeader(0, 0, 24)});
    cases.push_back({"bmp odd depth", bmpHeader(4, 4, 7)});
    cases.push_back({"bmp pixels missing", bmpHeader(64, 64, 24)});
    cases.push_back({"png bomb", pngWithSize(readFile(png), 30000, 30000)});
    cases.push_back({"png zero width", pngWithSize(readFile(png), 0, 8)});
    cases.push_back({"jpeg bomb", jpegWithSize(readFile(jpg), 60000, 60000)});
    cases.push_back({"j2k bomb", j2kWithSize(readFile(j2k), 60000)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        image::Raster r;
        EXPECT_FALSE(image::decode(c.bytes.data(), c.bytes.size(), r));
        EXPECT_EQ(r.width, 0);
        EXPECT_TRUE(r.bgr.empty());
        EXPECT_EQ(image::loadMemory(image::AnyNumber, c.bytes.data(), c.bytes.size()), 0);
    }
}

TEST_F(ImageFiles, StoreNumbersLoadDuplicateAndFree) {
    fs::path png = make("", "PNG24:store.png");
    if (png.empty()) GTEST_SKIP();
    ASSERT_EQ(image::load(80, png.string()), 80);
    EXPECT_EQ(image::width(80), 16);
    EXPECT_EQ(image::height(80), 8);
    EXPECT_EQ(image::depth(80), 24);
    EXPECT_EQ(image::stride(80), 48);
    EXPECT_EQ(image::pixels(80)[2], 255); // red top-left, stored blue-green-red

    // A failed load leaves the image under that number alone.
    EXPECT_EQ(image::load(80, (png.parent_path() / "missing.png").string()), 0);
    EXPECT_EQ(image::width(80), 16);

    int a = image::duplicate(80, image::AnyNumber);
    int b = image::create(image::AnyNumber, 3, 5);
    EXPECT_GT(a, image::MaxFixedNumber);
    EXPECT_GT(b, image::MaxFixedNumber);
    EXPECT_NE(a, b);
    image::pixels(a)[0] = 7; // the copy is independent
    EXPECT_EQ(image::pixels(80)[0], 0);
    EXPECT_EQ(image::pixels(b)[0], 0);
    EXPECT_EQ(image::stride(b), 12); // 9 bytes padded to 4

    ASSERT_TRUE(image::resize(a, 40, 20));
    EXPECT_EQ(image::width(a), 40);
    EXPECT_EQ(image::height(a), 20);
    EXPECT_FALSE(image::resize(a, 0, 20));
    EXPECT_EQ(image::width(a), 40);

    image::release(a);
    image::release(b);
    image::release(80);
    for (int n : {a, b, 80}) {
        EXPECT_FALSE(image::exists(n));
        EXPECT_EQ(image::width(n), 0);
        EXPECT_EQ(image::depth(n), 0);
        EXPECT_EQ(image::pixels(n), nullptr);
    }
    // A freed number is not handed out again at once: a stale copy of it must
    // not find someone else's image.
    int c = image::create(image::AnyNumber, 1, 1);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    image::release(c);

    for (int bad : {0, -5, image::MaxFixedNumber + 1}) {
        EXPECT_EQ(image::create(bad, 2, 2), 0) << bad;
        EXPECT_EQ(image::load(bad, png.string()), 0) << bad;
    }
    EXPECT_EQ(image::create(5, 0, 4), 0);
    EXPECT_EQ(image::create(5, 70000, 1), 0);
    EXPECT_EQ(image::duplicate(999, 5), 0);
    EXPECT_EQ(image::systemHandle(5), nullptr);
}

} // namespace

TEST(ImageScale, UniformStaysUniformAndEdgesAverage) {
    image::Raster flat{5, 3, std::vector<uint8_t>(5 * 3 * 3, 200)};
    for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {50, 30}, {3, 200}}) {
        image::Raster out;
        ASSERT_TRUE(image::scale(flat, w, h, out));
        ASSERT_EQ(out.bgr.size(), size_t(w) * size_t(h) * 3);
        for (uint8_t v : out.bgr) ASSERT_EQ(v, 200) << w << "x" << h;
    }
    // Black | white halves: shrinking to one pixel averages, enlarging ramps.
    image::Raster halves{2, 1, {0, 0, 0, 255, 255, 255}};
    image::Raster one, wide;
    ASSERT_TRUE(image::scale(halves, 1, 1, one));
    EXPECT_NEAR(one.bgr[0], 128, 1);
    ASSERT_TRUE(image::scale(halves, 8, 1, wide));
    EXPECT_EQ(wide.bgr[0], 0);
    EXPECT_EQ(wide.bgr[7 * 3], 255);
    for (int x = 1; x < 8; ++x) EXPECT_GE(wide.bgr[size_t(x) * 3], wide.bgr[size_t(x - 1) * 3]);
    EXPECT_GT(wide.bgr[3 * 3], 0);
    EXPECT_LT(wide.bgr[4 * 3], 255);

    image::Raster out;
    EXPECT_FALSE(image::scale(halves, 0, 1, out));
    EXPECT_FALSE(image::scale(halves, 60000, 60000, out));
    EXPECT_FALSE(image::scale(image::Raster{2, 2, {1, 2, 3}}, 4, 4, out)); // buffer shorter than its size
}
