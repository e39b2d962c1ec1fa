// Code 39 encoder: 2:1 wide to narrow, 12 modules a character, one-module gaps.
#include "barcode/barcode.h"

#include <cstddef>
#include <cstring>

namespace {

// Characters in value order; the asterisk (43) is start and stop only.
const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
constexpr int kAsterisk = 43;

// Nine elements from a bar, 1 = wide; three wide per character.
const char* const kElements[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000", "000100101",
    "100100100", "001100100", "100001001", "001001001", "101001000", "000011001", "100011000", "001011000",
    "000001101", "100001100", "001001100", "000011100", "100000011", "001000011", "101000010", "000010011",
    "100010010", "001010010", "000000111", "100000110", "001000110", "000010110", "110000001", "011000001",
    "111000000", "010010001", "110010000", "011010000", "010000101", "110000100", "011000100", "010101000",
    "010100010", "010001010", "000101010", "010010100",
};

int ValueOf(unsigned char c) {
    if (c == 0 || c == '*') return -1;
    const char* hit = static_cast<const char*>(std::memchr(kChars, c, kAsterisk));
    return hit ? static_cast<int>(hit - kChars) : -1;
}

} // namespace

Code39Symbol Code39_Encode(const std::string& text, int checkOption) {
    Code39Symbol sym;
    sym.values.reserve(text.size() + 1);
    sym.text.reserve(text.size() + 1);
    for (char ch : text) {
        int v = ValueOf(static_cast<unsigned char>(ch));
        if (v >= 0) {
            sym.values.push_back(v);
            sym.text.push_back(ch);
        } else {
            // Marks the place of a character that left no bars.
            sym.text.push_back('0');
        }
    }
    if (checkOption != 0) {
        int check = Code39_Checksum(sym.values);
        sym.values.push_back(check);
        if ((checkOption & CODE39_CHECK_HIDDEN) == 0) sym.text.push_back(kChars[check]);
    }
    return sym;
}

int Code39_Checksum(const std::vector<int>& values) {
    long sum = 0;
    for (int v : values) sum = (sum + v) % 43;
    return static_cast<int>((sum + 43) % 43);
}

ModuleString Code39_Pattern(int value) {
    ModuleString out;
    if (value < 0 || value > kAsterisk) return out;
    const char* e = kElements[value];
    for (int k = 0; k < 9; ++k) out.append(e[k] == '1' ? 2 : 1, k % 2 == 0 ? '1' : '0');
    return out;
}

ModuleString Code39_Modules(const std::vector<int>& values) {
    ModuleString out = Code39_Pattern(kAsterisk) + "0";
    for (int v : values) out += Code39_Pattern(v) + "0";
    out += Code39_Pattern(kAsterisk) + "0";
    return out;
}
