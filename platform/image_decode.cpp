// Portable decoders (BMP by hand; JPEG, PNG, JPEG 2000 through their libraries)
// and smooth scaling. Every size is checked against the pixel cap before any
// pixel memory is allocated.
#include "platform/image.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <openjpeg.h>
#include <png.h>

namespace image {

bool sizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= MaxSide && height <= MaxSide && width * height <= MaxPixels;
}

static bool fail(Raster& out) {
    out = Raster{};
    return false;
}

static void allocate(Raster& out, int w, int h) {
    out.width = w;
    out.height = h;
    out.bgr.assign(size_t(w) * size_t(h) * 3, 0);
}

Format sniff(const uint8_t* d, size_t n) {
    static const uint8_t jp2[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    static const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (!d) return Format::Unknown;
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') return Format::Bmp;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Format::Jpeg;
    if (n >= sizeof png && std::memcmp(d, png, sizeof png) == 0) return Format::Png;
    if (n >= sizeof jp2 && std::memcmp(d, jp2, sizeof jp2) == 0) return Format::Jpeg2000;
    if (n >= 4 && d[0] == 0xFF && d[1] == 0x4F && d[2] == 0xFF && d[3] == 0x51) return Format::Jpeg2000;
    return Format::Unknown;
}

bool decode(const uint8_t* data, size_t size, Raster& out) {
    switch (sniff(data, size)) {
    case Format::Bmp:
        return decodeBmp(data, size, out);
    case Format::Jpeg:
        return decodeJpeg(data, size, out);
    case Format::Png:
        return decodePng(data, size, out);
    case Format::Jpeg2000:
        return decodeJpeg2000(data, size, out);
    default:
        return fail(out);
    }
}

// ---------------------------------------------------------------------------
// BMP

static uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
static uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
};

static Channel channelOf(uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    c.max = mask >> c.shift;
    return c;
}

static uint8_t channelValue(const Channel& c, uint32_t v) {
    if (!c.max) return 0;
    return uint8_t(uint64_t((v & c.mask) >> c.shift) * 255 / c.max);
}

// Runs of RLE8/RLE4 into a palette-index plane (bottom-up rows as stored).
static bool bmpRle(const uint8_t* p, size_t n, int bpp, int w, int h, std::vector<uint8_t>& idx) {
    idx.assign(size_t(w) * size_t(h), 0);
    size_t i = 0;
    int x = 0, y = 0;
    auto put = [&](uint8_t v) {
        if (x < w && y < h) idx[size_t(y) * size_t(w) + size_t(x)] = v;
        ++x;
    };
    while (i + 1 < n) {
        uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count) {
            for (int k = 0; k < count; ++k) put(bpp == 8 ? value : (k & 1) ? (value & 0x0F) : (value >> 4));
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // delta
            if (i + 1 >= n) return false;
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else { // absolute run of `value` pixels, padded to 16 bits
            size_t bytes = bpp == 8 ? value : (size_t(value) + 1) / 2;
            if (i + bytes > n) return false;
            for (int k = 0; k < value; ++k)
                put(bpp == 8 ? p[i + k] : (k & 1) ? (p[i + k / 2] & 0x0F) : (p[i + k / 2] >> 4));
            i += (bytes + 1) & ~size_t(1);
        }
        if (y >= h) return true;
    }
    return true; // a missing end marker leaves the rest at index 0
}

bool decodeBmp(const uint8_t* d, size_t n, Raster& out) {
    if (!d || n < 26 || d[0] != 'B' || d[1] != 'M') return fail(out);
    const uint32_t offBits = le32(d + 10);
    const uint32_t hsize = le32(d + 14);
    int64_t w, h;
    uint32_t bpp, compression = 0, clrUsed = 0;
    size_t palEntry = 4;
    if (hsize == 12) {
        w = le16(d + 18);
        h = int16_t(le16(d + 20));
        bpp = le16(d + 24);
        palEntry = 3;
    } else if (hsize >= 40 && hsize <= 1024 && n >= 14 + size_t(hsize)) {
        w = int32_t(le32(d + 18));
        h = int32_t(le32(d + 22));
        bpp = le16(d + 28);
        compression = le32(d + 30);
        clrUsed = le32(d + 46);
    } else {
        return fail(out);
    }
    const bool topDown = h < 0;
    if (topDown) h = -h;
    if (!sizeAllowed(w, h)) return fail(out);
    const int W = int(w), H = int(h);

    const bool rle = (compression == 1 && bpp == 8) || (compression == 2 && bpp == 4);
    const bool fields = compression == 3 || compression == 6;
    if (!(compression == 0 || rle || (fields && (bpp == 16 || bpp == 32)))) return fail(out);
    if (rle && topDown) return fail(out);

    Channel red, green, blue;
    if (bpp == 16 || bpp == 32) {
        uint32_t rm = bpp == 16 ? 0x7C00 : 0xFF0000, gm = bpp == 16 ? 0x03E0 : 0xFF00,
                 bm = bpp == 16 ? 0x1F : 0xFF;
        if (fields) {
            if (n < 14 + 40 + 12) return fail(out);
            rm = le32(d + 54);
            gm = le32(d + 58);
            bm = le32(d + 62);
        }
        red = channelOf(rm);
        green = channelOf(gm);
        blue = channelOf(bm);
    }

    uint8_t pal[256][3] = {};
    if (bpp <= 8) {
        if (bpp != 1 && bpp != 4 && bpp != 8) return fail(out);
        size_t count = clrUsed ? clrUsed : (size_t(1) << bpp);
        if (count > 256) count = 256;
        size_t at = 14 + size_t(hsize);
        if (at + count * palEntry > n) count = at < n ? (n - at) / palEntry : 0;
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < 3; ++c) pal[i][c] = d[at + i * palEntry + c]; // stored blue, green, red
    } else if (bpp != 16 && bpp != 24 && bpp != 32) {
        return fail(out);
    }
    if (offBits >= n) return fail(out);
    const uint8_t* bits = d + offBits;
    const size_t avail = n - offBits;

    if (rle) {
        std::vector<uint8_t> idx;
        if (!bmpRle(bits, avail, int(bpp), W, H, idx)) return fail(out);
        allocate(out, W, H);
        for (int y = 0; y < H; ++y) {
            uint8_t* dst = &out.bgr[size_t(H - 1 - y) * size_t(W) * 3];
            for (int x = 0; x < W; ++x, dst += 3)
                std::memcpy(dst, pal[idx[size_t(y) * size_t(W) + size_t(x)]], 3);
        }
        return true;
    }

    const size_t rowBytes = (size_t(W) * bpp + 31) / 32 * 4;
    if (rowBytes * size_t(H) > avail) return fail(out);
    allocate(out, W, H);
    for (int y = 0; y < H; ++y) {
        const uint8_t* src = bits + size_t(topDown ? y : H - 1 - y) * rowBytes;
        uint8_t* dst = &out.bgr[size_t(y) * size_t(W) * 3];
        for (int x = 0; x < W; ++x, dst += 3) {
            switch (bpp) {
            case 1:
                std::memcpy(dst, pal[(src[x >> 3] >> (7 - (x & 7))) & 1], 3);
                break;
            case 4:
                std::memcpy(dst, pal[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F], 3);
                break;
            case 8:
                std::memcpy(dst, pal[src[x]], 3);
                break;
            case 24:
                std::memcpy(dst, src + size_t(x) * 3, 3);
                break;
            default: { // 16 or 32 with channel masks
                uint32_t v = bpp == 16 ? le16(src + size_t(x) * 2) : le32(src + size_t(x) * 4);
                dst[0] = channelValue(blue, v);
                dst[1] = channelValue(green, v);
                dst[2] = channelValue(red, v);
            }
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// JPEG

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    bool truncated;
};
struct JpegProgress {
    jpeg_progress_mgr mgr;
};
} // namespace

extern "C" {
static void jpegFail(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
static void jpegMessage(j_common_ptr cinfo, int level) {
    // A premature end of data makes libjpeg pad the picture with grey; treat it
    // as the broken file it is.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegError*>(cinfo->err)->truncated = true;
}
static void jpegProgress(j_common_ptr cinfo) {
    // Crafted progressive files can carry thousands of tiny scans, each costing
    // a pass over the whole picture.
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 256) jpegFail(cinfo);
}
}

// Only trivially destructible locals here: libjpeg leaves through longjmp.
static bool jpegRun(jpeg_decompress_struct& cinfo, JpegError& err, const uint8_t* d, size_t n, Raster& out,
                    std::vector<uint8_t>& row) {
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo); // zeroes all but err and client_data
    cinfo.progress = static_cast<jpeg_progress_mgr*>(cinfo.client_data);
    jpeg_mem_src(&cinfo, d, static_cast<unsigned long>(n));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height)) return false;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    if (!sizeAllowed(w, h) || cinfo.output_components != (cmyk ? 4 : 3)) return false;
    allocate(out, w, h);
    row.assign(size_t(w) * 4, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* dst = &out.bgr[size_t(cinfo.output_scanline) * size_t(w) * 3];
        JSAMPROW rows[1] = {cmyk ? row.data() : dst};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
        if (cmyk) { // Adobe files store inverted CMYK
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = &row[size_t(x) * 4];
                dst[x * 3 + 0] = uint8_t(s[2] * s[3] / 255);
                dst[x * 3 + 1] = uint8_t(s[1] * s[3] / 255);
                dst[x * 3 + 2] = uint8_t(s[0] * s[3] / 255);
            }
        }
        if (err.truncated) return false;
    }
    jpeg_finish_decompress(&cinfo);
    return !err.truncated;
}

bool decodeJpeg(const uint8_t* d, size_t n, Raster& out) {
    out = Raster{};
    if (!d || n < 4 || n > ULONG_MAX) return false;
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegMessage;
    JpegProgress progress{};
    progress.mgr.progress_monitor = jpegProgress;
    cinfo.client_data = &progress.mgr;
    std::vector<uint8_t> row;
    bool ok = jpegRun(cinfo, err, d, n, out, row);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) return fail(out);
    return true;
}

// ---------------------------------------------------------------------------
// PNG

bool decodePng(const uint8_t* d, size_t n, Raster& out) {
    out = Raster{};
    if (!d || n < 8) return false;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, d, n)) return fail(out);
    if (!sizeAllowed(img.width, img.height)) {
        png_image_free(&img);
        return fail(out);
    }
    img.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&img);
        return fail(out);
    }
    const int w = int(img.width), h = int(img.height);
    allocate(out, w, h);
    // Transparent parts become white: logos go on white labels.
    for (size_t i = 0, count = size_t(w) * size_t(h); i < count; ++i) {
        const uint8_t* s = &rgba[i * 4];
        const unsigned a = s[3];
        for (int c = 0; c < 3; ++c) out.bgr[i * 3 + c] = uint8_t((s[c] * a + 255 * (255 - a) + 127) / 255);
    }
    png_image_free(&img);
    return true;
}

// ---------------------------------------------------------------------------
// JPEG 2000

namespace {
struct MemStream {
    const uint8_t* data;
    size_t size;
    size_t pos;
};
} // namespace

extern "C" {
static OPJ_SIZE_T opjRead(void* buf, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<MemStream*>(user);
    if (s->pos >= s->size) return OPJ_SIZE_T(-1);
    size_t k = std::min<size_t>(n, s->size - s->pos);
    std::memcpy(buf, s->data + s->pos, k);
    s->pos += k;
    return k;
}
static OPJ_OFF_T opjSkip(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<MemStream*>(user);
    if (n < 0) {
        OPJ_OFF_T back = std::min<OPJ_OFF_T>(-n, OPJ_OFF_T(s->pos));
        s->pos -= size_t(back);
        return -back;
    }
    OPJ_OFF_T k = std::min<OPJ_OFF_T>(n, OPJ_OFF_T(s->size - std::min(s->pos, s->size)));
    s->pos += size_t(k);
    return k;
}
static OPJ_BOOL opjSeek(OPJ_OFF_T to, void* user) {
    auto* s = static_cast<MemStream*>(user);
    if (to < 0 || uint64_t(to) > s->size) return OPJ_FALSE;
    s->pos = size_t(to);
    return OPJ_TRUE;
}
static void opjQuiet(const char*, void*) {}
}

// One component sample scaled to 0..255.
static int opjSample(const opj_image_comp_t& c, int x, int y) {
    int cx = std::min<int>(int(c.w) - 1, x / int(c.dx));
    int cy = std::min<int>(int(c.h) - 1, y / int(c.dy));
    int64_t v = c.data[size_t(cy) * c.w + size_t(cx)];
    const int prec = int(c.prec);
    if (c.sgnd) v += int64_t(1) << (prec - 1);
    if (prec > 8)
        v >>= (prec - 8);
    else if (prec < 8)
        v = v * 255 / ((int64_t(1) << prec) - 1);
    return int(std::clamp<int64_t>(v, 0, 255));
}

static bool opjCompsUsable(const opj_image_t* img, int w, int h) {
    if (img->numcomps < 1 || img->numcomps > 4) return false;
    for (OPJ_UINT32 i = 0; i < img->numcomps; ++i) {
        const opj_image_comp_t& c = img->comps[i];
        if (c.dx < 1 || c.dy < 1 || c.dx > 255 || c.dy > 255 || c.prec < 1 || c.prec > 31) return false;
        if (int64_t(c.w) * c.dx < w - int64_t(c.dx) || int64_t(c.h) * c.dy < h - int64_t(c.dy)) return false;
        if (c.w < 1 || c.h < 1) return false;
    }
    return true;
}

bool decodeJpeg2000(const uint8_t* d, size_t n, Raster& out) {
    out = Raster{};
    if (sniff(d, n) != Format::Jpeg2000) return false;
    const bool jp2 = d[0] == 0;
    MemStream ms{d, n, 0};
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    if (!stream) return false;
    opj_stream_set_user_data(stream, &ms, nullptr);
    opj_stream_set_user_data_length(stream, n);
    opj_stream_set_read_function(stream, opjRead);
    opj_stream_set_skip_function(stream, opjSkip);
    opj_stream_set_seek_function(stream, opjSeek);
    opj_codec_t* codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_image_t* img = nullptr;
    bool ok = false;
    if (codec) {
        opj_set_error_handler(codec, opjQuiet, nullptr);
        opj_set_warning_handler(codec, opjQuiet, nullptr);
        opj_set_info_handler(codec, opjQuiet, nullptr);
        opj_dparameters_t params;
        opj_set_default_decoder_parameters(&params);
        if (opj_setup_decoder(codec, &params) && opj_read_header(stream, codec, &img) && img) {
            const int64_t w = int64_t(img->x1) - int64_t(img->x0), h = int64_t(img->y1) - int64_t(img->y0);
            // The library keeps 32-bit samples per component and tile buffers
            // besides: cap the samples, not just the pixels.
            if (sizeAllowed(w, h) && img->numcomps >= 1 && img->numcomps <= 4 &&
                w * h * int64_t(img->numcomps) <= MaxPixels && opj_decode(codec, stream, img) &&
                opj_end_decompress(codec, stream)) {
                const int W = int(w), H = int(h);
                bool data = opjCompsUsable(img, W, H);
                for (OPJ_UINT32 i = 0; data && i < img->numcomps; ++i) data = img->comps[i].data != nullptr;
                if (data) {
                    allocate(out, W, H);
                    const bool colour = img->numcomps >= 3;
                    const bool ycc = colour && img->color_space == OPJ_CLRSPC_SYCC;
                    for (int y = 0; y < H; ++y) {
                        uint8_t* dst = &out.bgr[size_t(y) * size_t(W) * 3];
                        for (int x = 0; x < W; ++x, dst += 3) {
                            int r = opjSample(img->comps[0], x, y), g = r, b = r;
                            if (colour) {
                                g = opjSample(img->comps[1], x, y);
                                b = opjSample(img->comps[2], x, y);
                                if (ycc) {
                                    const double Y = r, cb = g - 128.0, cr = b - 128.0;
                                    r = int(std::lround(std::clamp(Y + 1.402 * cr, 0.0, 255.0)));
                                    g = int(std::lround(
                                        std::clamp(Y - 0.344136 * cb - 0.714136 * cr, 0.0, 255.0)));
                                    b = int(std::lround(std::clamp(Y + 1.772 * cb, 0.0, 255.0)));
                                }
                            }
                            dst[0] = uint8_t(b);
                            dst[1] = uint8_t(g);
                            dst[2] = uint8_t(r);
                        }
                    }
                    ok = true;
                }
            }
        }
    }
    if (img) opj_image_destroy(img);
    if (codec) opj_destroy_codec(codec);
    opj_stream_destroy(stream);
    if (!ok) return fail(out);
    return true;
}

// ---------------------------------------------------------------------------
// Scaling: separable triangle filter whose support widens with the reduction,
// so shrinking averages every source pixel and enlarging interpolates.

namespace {
struct Taps {
    std::vector<int> start;
    std::vector<int> count;
    std::vector<float> weight; // `width` weights per output sample
    int width = 0;
};
} // namespace

static Taps makeTaps(int src, int dst) {
    Taps t;
    const double ratio = double(src) / dst;
    const double support = std::max(1.0, ratio);
    t.width = int(std::ceil(support)) * 2 + 1;
    t.start.resize(size_t(dst));
    t.count.resize(size_t(dst));
    t.weight.assign(size_t(dst) * size_t(t.width), 0.0f);
    for (int i = 0; i < dst; ++i) {
        const double centre = (i + 0.5) * ratio - 0.5;
        int lo = std::max(0, int(std::floor(centre - support)) + 1);
        int hi = std::min(src - 1, int(std::ceil(centre + support)) - 1);
        if (hi - lo + 1 > t.width) hi = lo + t.width - 1;
        if (hi < lo) lo = hi = std::clamp(int(std::lround(centre)), 0, src - 1);
        double sum = 0;
        float* w = &t.weight[size_t(i) * size_t(t.width)];
        for (int j = lo; j <= hi; ++j) {
            double v = std::max(0.0, 1.0 - std::fabs(j - centre) / support);
            w[j - lo] = float(v);
            sum += v;
        }
        if (sum <= 0) {
            w[0] = 1.0f;
            hi = lo;
            sum = 1;
        }
        for (int j = 0; j <= hi - lo; ++j) w[j] = float(w[j] / sum);
        t.start[size_t(i)] = lo;
        t.count[size_t(i)] = hi - lo + 1;
    }
    return t;
}

// Resamples `lines` lines of `src` samples (3 channels, element step `step`
// pixels, line step `lineStep` pixels) into `dst` samples.
static void resampleLines(const uint8_t* in, uint8_t* out, int lines, int src, int dst, size_t inStep,
                          size_t inLine, size_t outStep, size_t outLine) {
    const Taps t = makeTaps(src, dst);
    for (int l = 0; l < lines; ++l) {
        const uint8_t* line = in + size_t(l) * inLine * 3;
        uint8_t* o = out + size_t(l) * outLine * 3;
        for (int i = 0; i < dst; ++i) {
            const float* w = &t.weight[size_t(i) * size_t(t.width)];
            float acc[3] = {0, 0, 0};
            for (int k = 0; k < t.count[size_t(i)]; ++k) {
                const uint8_t* p = line + size_t(t.start[size_t(i)] + k) * inStep * 3;
                acc[0] += w[k] * p[0];
                acc[1] += w[k] * p[1];
                acc[2] += w[k] * p[2];
            }
            uint8_t* q = o + size_t(i) * outStep * 3;
            for (int c = 0; c < 3; ++c) q[c] = uint8_t(std::clamp(acc[c] + 0.5f, 0.0f, 255.0f));
        }
    }
}

bool scale(const Raster& in, int width, int height, Raster& out) {
    if (!sizeAllowed(in.width, in.height) || in.bgr.size() != size_t(in.width) * size_t(in.height) * 3 ||
        !sizeAllowed(width, height))
        return fail(out);
    Raster result;
    // Do the pass that leaves the smaller intermediate picture first.
    const bool rowsFirst = int64_t(width) * in.height <= int64_t(in.width) * height;
    const int midW = rowsFirst ? width : in.width, midH = rowsFirst ? in.height : height;
    if (!sizeAllowed(midW, midH)) return fail(out);
    std::vector<uint8_t> mid(size_t(midW) * size_t(midH) * 3);
    allocate(result, width, height);
    if (rowsFirst) {
        resampleLines(in.bgr.data(), mid.data(), in.height, in.width, width, 1, size_t(in.width), 1,
                      size_t(width));
        resampleLines(mid.data(), result.bgr.data(), width, in.height, height, size_t(width), 1,
                      size_t(width), 1);
    } else {
        resampleLines(in.bgr.data(), mid.data(), in.width, in.height, height, size_t(in.width), 1,
                      size_t(in.width), 1);
        resampleLines(mid.data(), result.bgr.data(), height, in.width, width, 1, size_t(in.width), 1,
                      size_t(width));
    }
    out = std::move(result);
    return true;
}

} // namespace image
