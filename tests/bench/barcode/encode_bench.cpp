#include "barcode/barcode.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string kShort = "123456";
// A record's longest barcode text: mixed case, digits and punctuation.
const std::string kLong = "ZEL-2024/LOT 0042 Batch12345678 qty=000150 ok";

void BM_Code128(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        std::vector<int> seq = Code128_Encode(text, CODE128_AUTO_A);
        ModuleString m = Code128_Modules(seq);
        benchmark::DoNotOptimize(m.data());
        benchmark::DoNotOptimize(Code128_Text(seq));
    }
}

void BM_Code39(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        Code39Symbol sym = Code39_Encode(text, 0);
        ModuleString m = Code39_Modules(sym.values);
        benchmark::DoNotOptimize(m.data());
    }
}

BENCHMARK_CAPTURE(BM_Code128, short, kShort);
BENCHMARK_CAPTURE(BM_Code128, chars45, kLong);
BENCHMARK_CAPTURE(BM_Code39, short, kShort);
BENCHMARK_CAPTURE(BM_Code39, chars45, kLong);

} // namespace
