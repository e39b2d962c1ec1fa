// One decoder path per build (ZEL_FUZZ_FORMAT), plus scaling of what decodes.
#include "platform/image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    image::Raster r;
    if (!ZEL_FUZZ_DECODE(data, size, r)) return 0;
    if (r.bgr.size() != size_t(r.width) * size_t(r.height) * 3) __builtin_trap();
    image::Raster s;
    if (r.width * r.height <= 4096) image::scale(r, r.width / 2 + 1, r.height * 2, s);
    return 0;
}
