// Where the pixels of a stored image live: plain memory natively, a DIB
// section on Win32. Private to the image facility.
#pragma once

#include <cstdint>

namespace image::backend {

struct Buffer {
    uint8_t* bits = nullptr; // top-down rows of `stride` bytes, zero-filled when made
    int stride = 0;
    void* handle = nullptr; // HBITMAP on Win32
};

bool allocate(int width, int height, Buffer& out);
void release(Buffer& b);
void flush(); // finish pending GDI drawing before the CPU touches pixels

} // namespace image::backend

namespace image {
// The buffer of a stored image (for the Win32 drawing-context code).
bool bufferOf(int number, backend::Buffer& out);
} // namespace image
