// Code 128 encoder: forced subsets and the automatic subset choice.
#include "barcode/barcode.h"

#include <cstddef>

namespace {

enum Subset { SubsetA = 0, SubsetB = 1, SubsetC = 2 };

// Bar and space widths in modules, bar first, values 0 to 106.
const char* const kWidths[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213",  "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122",  "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221",  "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313",  "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321",  "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121",  "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421",  "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114",  "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212",  "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311",  "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

constexpr int kCodeC = 99;
constexpr int kCodeB = 100;
constexpr int kCodeA = 101;

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

void EncodeA(unsigned char c, std::vector<int>& out) {
    if (c >= 32 && c <= 95)
        out.push_back(c - 32);
    else if (c >= 1 && c <= 31)
        out.push_back(c + 64);
    else if (c >= 96 && c <= 102)
        out.push_back(c); // function values in a forced subset A
    else if (c == 128)
        out.push_back(0);
}

void EncodeB(unsigned char c, std::vector<int>& out) {
    if (c >= 32 && c <= 127) out.push_back(c - 32);
}

int DigitValue(unsigned char c) {
    return IsDigit(c) ? c - '0' : 0;
}

// Pairs of characters; an odd run gets a leading "0". Non-digits count as 0.
void EncodeC(const std::string& run, std::vector<int>& out) {
    std::size_t i = 0;
    if (run.size() % 2 == 1) {
        out.push_back(DigitValue(static_cast<unsigned char>(run[0])));
        i = 1;
    }
    for (; i + 1 < run.size(); i += 2)
        out.push_back(10 * DigitValue(static_cast<unsigned char>(run[i])) +
                      DigitValue(static_cast<unsigned char>(run[i + 1])));
}

// Even length and digits only; the empty window passes.
bool DigitRun(const std::string& s, std::size_t from, std::size_t count) {
    if (count % 2 != 0) return false;
    for (std::size_t k = from; k < from + count; ++k)
        if (!IsDigit(static_cast<unsigned char>(s[k]))) return false;
    return true;
}

Subset ChooseSubset(const std::string& s, std::size_t from, std::size_t maxCount, int mode) {
    std::size_t count = from < s.size() ? s.size() - from : 0;
    if (count > maxCount) count = maxCount;
    if (DigitRun(s, from, count)) return SubsetC;
    unsigned c = count > 0 ? static_cast<unsigned char>(s[from]) : 0;
    if ((c >= 1 && c <= 31) || c == 128) return SubsetA;
    if (c >= 96 && c <= 127) return SubsetB;
    if (c >= 32 && c <= 95) return mode == CODE128_AUTO_B ? SubsetB : SubsetA;
    return SubsetA;
}

int SwitchCode(Subset to) {
    switch (to) {
    case SubsetA:
        return kCodeA;
    case SubsetB:
        return kCodeB;
    default:
        return kCodeC;
    }
}

std::string Filter(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 1 && c <= 128) out.push_back(ch);
    }
    return out;
}

void EncodeAuto(const std::string& s, int mode, std::vector<int>& out) {
    Subset current = ChooseSubset(s, 0, 2, mode);
    out.push_back(CODE128_START_A + current);
    const std::size_t len = s.size();
    // 0-based i; "fewer than three characters follow" is len - (i + 1) < 3.
    for (std::size_t i = 0; i < len; ++i) {
        bool pairFollows = i + 1 < len && IsDigit(static_cast<unsigned char>(s[i])) &&
                           IsDigit(static_cast<unsigned char>(s[i + 1]));
        if (!(current == SubsetC && pairFollows)) {
            Subset next = ChooseSubset(s, i, 4, mode);
            // Entering C for the last three characters would not save anything.
            if (len - (i + 1) < 3 && current != SubsetC && next == SubsetC) next = current;
            if (next != current) {
                out.push_back(SwitchCode(next));
                current = next;
            }
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (current == SubsetA)
            EncodeA(c, out);
        else if (current == SubsetB)
            EncodeB(c, out);
        else {
            EncodeC(s.substr(i, 2), out);
            ++i;
        }
    }
}

} // namespace

std::vector<int> Code128_Encode(const std::string& text, int mode) {
    const std::string s = Filter(text);
    std::vector<int> out;
    out.reserve(s.size() + 8);
    if (mode == CODE128_AUTO_A || mode == CODE128_AUTO_B) {
        EncodeAuto(s, mode, out);
        return out;
    }
    if (mode == CODE128_SUBSET_B) {
        out.push_back(CODE128_START_B);
        for (char ch : s) EncodeB(static_cast<unsigned char>(ch), out);
    } else if (mode == CODE128_SUBSET_C) {
        out.push_back(CODE128_START_C);
        EncodeC(s, out);
    } else {
        out.push_back(CODE128_START_A);
        for (char ch : s) EncodeA(static_cast<unsigned char>(ch), out);
    }
    return out;
}

int Code128_Checksum(const std::vector<int>& sequence) {
    if (sequence.empty()) return 0;
    long sum = sequence[0];
    for (std::size_t k = 1; k < sequence.size(); ++k) sum = (sum + static_cast<long>(k) * sequence[k]) % 103;
    return static_cast<int>((sum + 103) % 103);
}

std::string Code128_Text(const std::vector<int>& sequence) {
    std::string out;
    Subset current = SubsetA;
    for (int v : sequence) {
        if (v >= CODE128_START_A && v <= CODE128_START_C) {
            current = static_cast<Subset>(v - CODE128_START_A);
        } else if (v == kCodeC && current != SubsetC) {
            current = SubsetC;
        } else if (v == kCodeB && current != SubsetB) {
            current = SubsetB;
        } else if (v == kCodeA && current != SubsetA) {
            current = SubsetA;
        } else if (current == SubsetA && v >= 0 && v <= 63) {
            out.push_back(static_cast<char>(v + 32));
        } else if (current == SubsetB && v >= 0 && v <= 94) {
            out.push_back(static_cast<char>(v + 32));
        } else if (current == SubsetC && v >= 0 && v <= 99) {
            out.push_back(static_cast<char>('0' + v / 10));
            out.push_back(static_cast<char>('0' + v % 10));
        }
    }
    return out;
}

ModuleString Code128_Pattern(int value) {
    ModuleString out;
    if (value < 0 || value > CODE128_STOP) return out;
    char module = '1';
    for (const char* w = kWidths[value]; *w; ++w) {
        out.append(static_cast<std::size_t>(*w - '0'), module);
        module = module == '1' ? '0' : '1';
    }
    return out;
}

ModuleString Code128_Modules(const std::vector<int>& sequence) {
    ModuleString out;
    for (int v : sequence) out += Code128_Pattern(v);
    out += Code128_Pattern(Code128_Checksum(sequence));
    out += Code128_Pattern(CODE128_STOP);
    return out;
}
