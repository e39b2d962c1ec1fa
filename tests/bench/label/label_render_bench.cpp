// The label's own cost: one label's calls into the printing library (recorded,
// not drawn), for the sample texts and the default layout.
#include "label/layout.h"
#include "label/render.h"
#include "tests/doubles/printlib/printlib_recording.h"

#include <benchmark/benchmark.h>

namespace {

label::Layout DefaultLayout() {
    label::Layout l;
    l.companyName = "Verdani Trading Srl";
    l.companyX = l.dateX = l.operatorX = l.quantityX = l.barcodeQX = l.barcodeIDX = l.logoX = 30;
    l.companyY = 30, l.dateY = 40, l.operatorY = 45, l.quantityY = 50, l.barcodeQY = 60, l.barcodeIDY = 75;
    l.logoY = 90;
    return l;
}

void BM_DrawLabel(benchmark::State& state) {
    const label::Layout layout = [&] {
        label::Layout l = DefaultLayout();
        l.barcodeType = static_cast<int>(state.range(0));
        return l;
    }();
    const label::LabelTexts texts = label::SampleTexts();
    for (auto _ : state) {
        Printrec_Reset();
        label::DrawLabel(layout, texts, false);
        benchmark::DoNotOptimize(Printrec().calls.size());
    }
}
BENCHMARK(BM_DrawLabel)->Arg(2)->Arg(6);

} // namespace
