// Win32 pixel backend: every image is a top-down 24-bit DIB section, so GDI can
// draw on it and the GUI can show it through its HBITMAP.
#include "platform/image.h"
#include "platform/image_backend.h"

#include <windows.h>

#include <cstring>

namespace image {

namespace {
// The calling thread's drawing context: a memory DC with one image's bitmap
// selected in place of the DC's stock bitmap.
struct Drawing {
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    HBITMAP bitmap = nullptr;
};
thread_local Drawing drawing;

void endDrawing() {
    if (!drawing.dc) return;
    GdiFlush();
    SelectObject(drawing.dc, drawing.previous);
    DeleteDC(drawing.dc);
    drawing = Drawing{};
}
} // namespace

namespace backend {

bool allocate(int width, int height, Buffer& out) {
    out = Buffer{};
    if (!sizeAllowed(width, height)) return false;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height; // top-down rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bm || !bits) {
        if (bm) DeleteObject(bm);
        return false;
    }
    out.stride = (width * 3 + 3) & ~3;
    out.bits = static_cast<uint8_t*>(bits);
    out.handle = bm;
    std::memset(out.bits, 0, size_t(out.stride) * size_t(height));
    return true;
}

void release(Buffer& b) {
    if (b.handle) {
        // A bitmap still selected into a DC cannot be deleted.
        if (drawing.bitmap == b.handle) endDrawing();
        DeleteObject(static_cast<HBITMAP>(b.handle));
    }
    b = Buffer{};
}

void flush() {
    GdiFlush();
}

} // namespace backend

void* systemHandle(int number) {
    backend::Buffer b;
    return bufferOf(number, b) ? b.handle : nullptr;
}

void* openDrawing(int number) {
    endDrawing();
    backend::Buffer b;
    if (!bufferOf(number, b) || !b.handle) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    HGDIOBJ previous = SelectObject(dc, static_cast<HBITMAP>(b.handle));
    if (!previous || previous == HGDI_ERROR) {
        DeleteDC(dc);
        return nullptr;
    }
    drawing.dc = dc;
    drawing.previous = previous;
    drawing.bitmap = static_cast<HBITMAP>(b.handle);
    return dc;
}

void closeDrawing() {
    endDrawing();
}

} // namespace image
