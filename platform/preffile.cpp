#include "platform/preffile.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <memory>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace preffile {

namespace {

constexpr size_t MaxFileBytes = 4u << 20;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string trimmed(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// Unicode code points of the Windows-1252 bytes 0x80..0x9F (0: unassigned).
const char32_t Cp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (Cp1252High[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

// UTF-8 to the 8-bit code page the program's texts use. A malformed sequence
// becomes one '?' per byte that could not start a character.
std::string utf8ToCp1252(const std::string& in, size_t from) {
    std::string out;
    size_t i = from;
    while (i < in.size()) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        int extra = lead < 0x80             ? 0
                    : (lead & 0xE0) == 0xC0 ? 1
                    : (lead & 0xF0) == 0xE0 ? 2
                    : (lead & 0xF8) == 0xF0 ? 3
                                            : -1;
        char32_t cp = extra == 0   ? lead
                      : extra == 1 ? (lead & 0x1F)
                      : extra == 2 ? (lead & 0x0F)
                                   : (lead & 0x07);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < in.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static const char32_t MinForLength[4] = {0, 0x80, 0x800, 0x10000};
        if (ok && (cp < MinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += toCp1252(cp);
        i += 1 + extra;
    }
    return out;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool writeWhole(const std::string& path, const std::string& bytes) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    if (std::fflush(f.get()) != 0) return false;
        // On disk before the rename makes it the settings file.
#ifdef _WIN32
    _commit(_fileno(f.get()));
#else
    fsync(fileno(f.get()));
#endif
    return std::fclose(f.release()) == 0;
}

} // namespace

std::vector<Group> Parse(const std::string& raw) {
    const bool utf8 = raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string bytes = utf8 ? utf8ToCp1252(raw, 3) : raw;

    std::vector<Group> groups;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++pos;

        size_t start = 0;
        while (start < line.size() && isBlank(line[start])) ++start;
        if (start == line.size() || line[start] == ';') continue;
        if (line[start] == '[') {
            size_t close = line.find(']', start + 1);
            if (close == std::string::npos) close = line.size();
            groups.push_back({trimmed(line.substr(start + 1, close - start - 1)), {}});
            continue;
        }
        const size_t eq = line.find('=', start);
        if (eq == std::string::npos || groups.empty()) continue;
        std::string key = trimmed(line.substr(start, eq - start));
        if (key.empty()) continue;
        // Stored as written: only the blank of the " = " separator is taken
        // off, so readTextExact gives back what writeText was given.
        size_t v = eq + 1;
        if (v < line.size() && line[v] == ' ') ++v;
        groups.back().entries.emplace_back(key, line.substr(v));
    }
    return groups;
}

std::string Serialise(const std::vector<Group>& groups) {
    std::string out;
    for (const Group& g : groups) {
        if (g.entries.empty()) continue;
        out += "[" + g.name + "]\r\n";
        for (const auto& [key, value] : g.entries) out += key + " = " + value + "\r\n";
    }
    return out;
}

void PrefFile::create(const std::string& path) {
    state_ = State::Writing;
    path_ = path;
    groups_.clear();
    selected_.clear();
    anySelected_ = false;
}

bool PrefFile::open(const std::string& path) {
    state_ = State::Reading;
    path_ = path;
    groups_.clear();
    selected_.clear();
    anySelected_ = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes(MaxFileBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    groups_ = Parse(bytes);
    return true;
}

void PrefFile::selectGroup(const std::string& group) {
    selected_ = group;
    anySelected_ = true;
}

void PrefFile::writeText(const std::string& key, const std::string& value) {
    if (state_ != State::Writing || !anySelected_) return;
    std::string clean = value;
    for (char& c : clean)
        if (c == '\r' || c == '\n') c = ' ';
    Group* group = nullptr;
    for (Group& g : groups_)
        if (sameName(g.name, selected_)) group = &g;
    if (!group) {
        groups_.push_back({selected_, {}});
        group = &groups_.back();
    }
    for (auto& entry : group->entries)
        if (sameName(entry.first, key)) {
            entry.second = clean;
            return;
        }
    group->entries.emplace_back(key, clean);
}

void PrefFile::writeInt(const std::string& key, int value) {
    writeText(key, std::to_string(value));
}

const std::string* PrefFile::find(const std::string& key) const {
    if (state_ != State::Reading || !anySelected_) return nullptr;
    for (const Group& g : groups_) {
        if (!sameName(g.name, selected_)) continue;
        for (const auto& entry : g.entries)
            if (sameName(entry.first, key)) return &entry.second;
    }
    return nullptr;
}

std::string PrefFile::readText(const std::string& key, const std::string& fallback) const {
    const std::string* value = find(key);
    return value ? trimmed(*value) : fallback;
}

std::string PrefFile::readTextExact(const std::string& key, const std::string& fallback) const {
    const std::string* value = find(key);
    return value ? *value : fallback;
}

int PrefFile::readInt(const std::string& key, int fallback) const {
    const std::string* value = find(key);
    if (!value) return fallback;
    const std::string s = trimmed(*value);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

bool PrefFile::close() {
    const State was = state_;
    state_ = State::Closed;
    if (was != State::Writing) {
        groups_.clear();
        return was == State::Reading;
    }
    const std::string bytes = Serialise(groups_);
    groups_.clear();
    const std::string temp = path_ + ".tmp";
    if (!writeWhole(temp, bytes) || !replaceFile(temp, path_)) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace preffile
