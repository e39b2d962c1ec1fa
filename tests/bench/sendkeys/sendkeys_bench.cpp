// Cost of turning a record into key events, keyboard and GUI doubles below:
// what the player itself adds between the frame's last byte and the keys.
#include "platform/gui.h"
#include "sendkeys/editor.h"
#include "sendkeys/player.h"
#include "tests/doubles/gui/gui_fake.h"
#include "tests/doubles/keyboard/keyboard_fake.h"

#include <benchmark/benchmark.h>

namespace {

device::DeviceRecord& Record() {
    static device::DeviceRecord r;
    r.quantity = "1200";
    r.operatorText = "MARIA   ";
    r.barcode = "AB12-cd34/EF56.gh78 IJ90+kl12$MN34%op56(QR78)"; // 45 characters
    return r;
}

void BM_Barcode45(benchmark::State& state) {
    keyboardfake::reset();
    const device::DeviceRecord& r = Record();
    for (auto _ : state) {
        keyboardfake::reset();
        sendkeys::PlayKeyEntry("{BARCODE}", r);
    }
}
BENCHMARK(BM_Barcode45);

void BM_TypicalSequence(benchmark::State& state) {
    guifake::reset();
    keyboardfake::reset();
    gui::openWindow({gui::MainWindow, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1});
    gui::createControl(0, sendkeys::KeyListControl, gui::Kind::ListBox, 300, 150, 270, 220, "");
    for (const char* e :
         {"{OPERATOR}", "{TAB}", "{QUANTITY}", "{TAB}", "{BARCODE}", "{TAB}", "{TIME}", "{ENTER}"})
        gui::listAdd(0, sendkeys::KeyListControl, e);
    const device::DeviceRecord& r = Record();
    for (auto _ : state) {
        keyboardfake::reset();
        sendkeys::PlaySequence(r);
    }
}
BENCHMARK(BM_TypicalSequence);

} // namespace
