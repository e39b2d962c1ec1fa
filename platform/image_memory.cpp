// Native pixel backend: plain zero-filled memory; no system handles.
#include "platform/image.h"
#include "platform/image_backend.h"

#include <cstdlib>

namespace image::backend {

bool allocate(int width, int height, Buffer& out) {
    out = Buffer{};
    if (!sizeAllowed(width, height)) return false;
    const int stride = (width * 3 + 3) & ~3;
    void* p = std::calloc(size_t(stride) * size_t(height), 1);
    if (!p) return false;
    out.bits = static_cast<uint8_t*>(p);
    out.stride = stride;
    return true;
}

void release(Buffer& b) {
    std::free(b.bits);
    b = Buffer{};
}

void flush() {}

} // namespace image::backend

namespace image {
void* systemHandle(int) {
    return nullptr;
}
void* openDrawing(int) {
    return nullptr;
}
void closeDrawing() {}
} // namespace image
