// The numbered image store over a pixel backend.
#include "platform/image.h"
#include "platform/image_backend.h"

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace image {

namespace {
struct Entry {
    int width = 0;
    int height = 0;
    backend::Buffer buf;
};
struct ImageStore {
    std::mutex lock;
    std::map<int, Entry> images;
    int nextAny = MaxFixedNumber + 1; // handed-out numbers rotate, so a stale one rarely finds a new image
};
ImageStore& store() {
    static ImageStore s;
    return s;
}

bool validNumber(int number) {
    return number == AnyNumber || (number >= 1 && number <= MaxFixedNumber);
}

// Puts a filled entry under `number` (or a free number), freeing what was there.
int install(int number, Entry e) {
    ImageStore& s = store();
    backend::Buffer old;
    int result;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (number == AnyNumber) {
            number = s.nextAny;
            while (s.images.count(number)) number = number == INT_MAX ? MaxFixedNumber + 1 : number + 1;
            s.nextAny = number == INT_MAX ? MaxFixedNumber + 1 : number + 1;
        }
        auto it = s.images.find(number);
        if (it != s.images.end()) old = it->second.buf;
        s.images[number] = e;
        result = number;
    }
    if (old.bits) backend::release(old);
    return result;
}

bool makeEntry(int width, int height, Entry& e) {
    if (!sizeAllowed(width, height)) return false;
    e.width = width;
    e.height = height;
    return backend::allocate(width, height, e.buf);
}

void copyIn(const Raster& r, Entry& e) {
    for (int y = 0; y < r.height; ++y)
        std::memcpy(e.buf.bits + size_t(y) * size_t(e.buf.stride), &r.bgr[size_t(y) * size_t(r.width) * 3],
                    size_t(r.width) * 3);
}

bool find(int number, Entry& out) {
    ImageStore& s = store();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.images.find(number);
    if (it == s.images.end()) return false;
    out = it->second;
    return true;
}
} // namespace

bool bufferOf(int number, backend::Buffer& out) {
    Entry e;
    if (!find(number, e)) return false;
    out = e.buf;
    return true;
}

// Any positive number: also replaces images under handed-out numbers.
static int put(int number, const Raster& r) {
    if (!sizeAllowed(r.width, r.height) || r.bgr.size() != size_t(r.width) * size_t(r.height) * 3) return 0;
    Entry e;
    if (!makeEntry(r.width, r.height, e)) return 0;
    copyIn(r, e);
    return install(number, e);
}

int fromRaster(int number, const Raster& r) {
    return validNumber(number) ? put(number, r) : 0;
}

int loadMemory(int number, const uint8_t* data, size_t size) {
    if (!validNumber(number)) return 0;
    Raster r;
    if (!decode(data, size, r)) return 0;
    return fromRaster(number, r);
}

int load(int number, const std::string& path) {
    if (!validNumber(number)) return 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return 0;
    in.seekg(0, std::ios::end);
    std::streamoff len = in.tellg();
    // A compressed file far beyond what the pixel cap allows is not a logo.
    if (len <= 0 || len > std::streamoff(MaxPixels) * 4 + 4096) return 0;
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(len));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), len)) return 0;
    return loadMemory(number, bytes.data(), bytes.size());
}

int create(int number, int width, int height) {
    if (!validNumber(number)) return 0;
    Entry e;
    if (!makeEntry(width, height, e)) return 0;
    return install(number, e);
}

Raster toRaster(int number) {
    Raster r;
    Entry e;
    if (!find(number, e)) return r;
    backend::flush();
    r.width = e.width;
    r.height = e.height;
    r.bgr.resize(size_t(e.width) * size_t(e.height) * 3);
    for (int y = 0; y < e.height; ++y)
        std::memcpy(&r.bgr[size_t(y) * size_t(e.width) * 3], e.buf.bits + size_t(y) * size_t(e.buf.stride),
                    size_t(e.width) * 3);
    return r;
}

int duplicate(int source, int number) {
    if (!validNumber(number) || !exists(source)) return 0;
    return fromRaster(number, toRaster(source));
}

bool resize(int number, int width, int height) {
    if (!exists(number)) return false;
    Raster scaled;
    if (!scale(toRaster(number), width, height, scaled)) return false;
    return put(number, scaled) == number;
}

void release(int number) {
    ImageStore& s = store();
    backend::Buffer old;
    {
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.images.find(number);
        if (it == s.images.end()) return;
        old = it->second.buf;
        s.images.erase(it);
    }
    backend::release(old);
}

bool exists(int number) {
    Entry e;
    return find(number, e);
}

int width(int number) {
    Entry e;
    return find(number, e) ? e.width : 0;
}

int height(int number) {
    Entry e;
    return find(number, e) ? e.height : 0;
}

int depth(int number) {
    return exists(number) ? 24 : 0;
}

uint8_t* pixels(int number) {
    Entry e;
    if (!find(number, e)) return nullptr;
    backend::flush();
    return e.buf.bits;
}

int stride(int number) {
    Entry e;
    return find(number, e) ? e.buf.stride : 0;
}

} // namespace image
