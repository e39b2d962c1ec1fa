// Image facility: numbered 24-bit images.
//
// Every image is 24 bits per pixel, rows top-down, each pixel blue, green, red
// (the layout of a top-down Windows DIB), each row padded to a multiple of 4
// bytes. On Win32 the pixels live in a DIB section, so GDI can draw on an image
// and the image can be shown or blitted through its HBITMAP.
//
// Numbers: callers pick fixed numbers from 1 to MaxFixedNumber (the label uses
// 80 and 81), or pass AnyNumber to get a free number above that range, which
// the call returns. Operations on a number that holds no image do nothing and
// answer 0 / false / nullptr. The store is safe to use from two threads; an
// image's pixels must not be used while another thread frees it.
//
// Decoding accepts BMP, JPEG, PNG and JPEG 2000 (codestream or JP2 box file),
// recognised by their first bytes. Untrusted files never crash: anything that
// is not a valid image, or has more than MaxPixels pixels, fails before any
// pixel memory is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image {

constexpr int AnyNumber = -1;
constexpr int MaxFixedNumber = 0xFFFF;
constexpr int64_t MaxPixels = 64LL * 1024 * 1024;
constexpr int MaxSide = 65535;

// A decoded picture in plain memory: packed rows (stride width*3), top-down, BGR.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;
};

// Portable decoders and scaling (no store). All return false, with `out`
// emptied, on any failure.
enum class Format { Unknown, Bmp, Jpeg, Png, Jpeg2000 };
Format sniff(const uint8_t* data, size_t size);
bool decode(const uint8_t* data, size_t size, Raster& out);
bool decodeBmp(const uint8_t* data, size_t size, Raster& out);
bool decodeJpeg(const uint8_t* data, size_t size, Raster& out);
bool decodePng(const uint8_t* data, size_t size, Raster& out);
bool decodeJpeg2000(const uint8_t* data, size_t size, Raster& out);
// Smooth (filtered) scaling to width x height; both must be positive.
bool scale(const Raster& in, int width, int height, Raster& out);
// True when width x height is a size the facility accepts.
bool sizeAllowed(int64_t width, int64_t height);

// Numbered store. `number` is a fixed number or AnyNumber; the result is the
// image's number, or 0 on failure (a fixed number then keeps whatever image it
// held before).
int load(int number, const std::string& path);
int loadMemory(int number, const uint8_t* data, size_t size);
int create(int number, int width, int height); // all pixels black (zero)
int fromRaster(int number, const Raster& r);
int duplicate(int source, int number);
bool resize(int number, int width, int height); // smooth scaling, in place
void release(int number);                       // frees the image and its number
bool exists(int number);
int width(int number);
int height(int number);
int depth(int number);       // bits per pixel: 24, or 0 when there is no image
uint8_t* pixels(int number); // first row; valid until the image is freed or resized
int stride(int number);      // bytes per row
Raster toRaster(int number); // copy of the pixels, packed

// Win32 only (the native build answers nullptr). systemHandle is the image's
// HBITMAP (owned by the facility). openDrawing gives a memory DC with the
// image's bitmap selected, for GDI drawing on it; each thread has at most one
// open drawing context, and opening another closes the previous one.
// closeDrawing ends the calling thread's drawing context (GDI output is
// flushed into the pixels).
void* systemHandle(int number);
void* openDrawing(int number);
void closeDrawing();

} // namespace image
