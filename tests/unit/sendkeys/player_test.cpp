#include "tests/unit/sendkeys/sendkeys_fixture.h"

#include <atomic>
#include <thread>

namespace {

using sendkeys::PlayKeyEntry;

struct Record {
    device::DeviceRecord r;
    Record(const std::string& quantity, const std::string& op, const std::string& barcode) {
        r.quantity = quantity;
        r.operatorText = op;
        r.barcode = barcode;
    }
};

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; i++) out += (out.empty() ? "" : " ") + s;
    return out;
}

struct PlayCase {
    const char* what;
    std::vector<std::string> entries; // played one after another
    const char* quantity;
    const char* op;
    const char* barcode;
    std::string events; // "v41 ^41": 0x41 down, 0x41 up
};

class PlayerTable : public SendKeysTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayerTable, SendsExactEvents) {
    const PlayCase& c = GetParam();
    Record rec(c.quantity, c.op, c.barcode);
    for (const std::string& e : c.entries) PlayKeyEntry(e, rec.r);
    EXPECT_EQ(typed(), c.events) << c.what;
}

const std::string ShiftedBrace = "v10 vDB ^DB ^10"; // '{' on a US layout

INSTANTIATE_TEST_SUITE_P(
    Entries, PlayerTable,
    ::testing::Values(
        PlayCase{
            "quantity digits, no Shift", {"{QUANTITY}"}, "1200", "", "", "v31 ^31 v32 ^32 v30 ^30 v30 ^30"},
        PlayCase{"names are case-sensitive", {"{enter}"}, "", "", "", "v00 ^00"},
        PlayCase{"text after the brace ignored", {"{ENTER}abc"}, "", "", "", "v0D ^0D"},
        PlayCase{"no closing brace, empty name", {"{ENTER", "{}"}, "", "", "", "v00 ^00 v00 ^00"},
        PlayCase{"table keys",
                 {"{TAB}", "{RETURN}", "{F1}", "{F12}", "{PRINTSCREEN}", "{DELETE}", "{PAGEDOWN}"},
                 "",
                 "",
                 "",
                 "v09 ^09 v0D ^0D v70 ^70 v7B ^7B v2C ^2C v2E ^2E v22 ^22"},
        PlayCase{"F13 plays its own key", {"{F13}"}, "", "", "", "v7C ^7C"},
        PlayCase{"modifiers send one event",
                 {"{ALTDOWN}", "{ALTUP}", "{CONTROLDOWN}", "{CONTROLUP}"},
                 "",
                 "",
                 "",
                 "v12 ^12 v11 ^11"},
        PlayCase{"held Shift around text",
                 {"{SHIFTDOWN}", "ab", "{SHIFTUP}"},
                 "",
                 "",
                 "",
                 "v10 v41 ^41 v42 ^42 ^10"},
        PlayCase{"held Shift is not released by a shifted character",
                 {"{SHIFTDOWN}", "Ab", "{SHIFTUP}", "A"},
                 "",
                 "",
                 "",
                 "v10 v41 ^41 v42 ^42 ^10 v10 v41 ^41 ^10"},
        PlayCase{"modifier prefixes send nothing",
                 {"{SHIFT}", "{ALT}", "{CONTROL}", "{ALTX}", "{SHIFTX}"},
                 "",
                 "",
                 "",
                 ""},
        PlayCase{"upper case gets Shift", {"A"}, "", "", "", "v10 v41 ^41 ^10"},
        PlayCase{"lower case does not", {"a"}, "", "", "", "v41 ^41"},
        PlayCase{"shifted digit row", {")!"}, "", "", "", "v10 v30 ^30 ^10 v10 v31 ^31 ^10"},
        PlayCase{"empty entry", {""}, "", "", "", ""},
        PlayCase{"eight blank operator", {"{OPERATOR}"}, "", "        ", "", repeat("v20 ^20", 8)},
        PlayCase{"barcode is data, not a key",
                 {"{BARCODE}"},
                 "",
                 "",
                 "{TAB}x",
                 ShiftedBrace + " v10 v54 ^54 ^10 v10 v41 ^41 ^10 v10 v42 ^42 ^10 v10 vDD ^DD ^10 v58 ^58"},
        PlayCase{"operator holding a modifier name is typed",
                 {"{OPERATOR}"},
                 "",
                 "{ALTUP}",
                 "",
                 ShiftedBrace +
                     " v10 v41 ^41 ^10 v10 v4C ^4C ^10 v10 v54 ^54 ^10 v10 v55 ^55 ^10 v10 v50 ^50 ^10"
                     " v10 vDD ^DD ^10"},
        PlayCase{
            "empty record values type nothing", {"{QUANTITY}", "{OPERATOR}", "{BARCODE}"}, "", "", "", ""}));

// Scan results at the Shift boundaries, set directly on the layout.
TEST_F(SendKeysTest, ShiftFollowsTheScanResult) {
    struct {
        int16_t result;
        const char* events;
    } cases[] = {
        {0x0030, "v30 ^30"},
        {0x00FF, "vFF ^FF"},
        {0x0130, "v10 v30 ^30 ^10"}, // ')' on US: must not come out as '0'
        {0x0131, "v10 v31 ^31 ^10"},
        {0x0641, "v10 v41 ^41 ^10"}, // Ctrl+Alt state: bare key plus Shift, as for any state above
        {-1, "vFF ^FF"},             // no key on this layout: key 255, no Shift
    };
    Record rec("", "", "");
    for (const auto& c : cases) {
        keyboardfake::reset();
        keyboardfake::overrideScan('q', c.result);
        PlayKeyEntry("q", rec.r);
        EXPECT_EQ(typed(), c.events) << std::hex << c.result;
    }
}

TEST_F(SendKeysTest, LayoutIsAskedForEveryCharacter) {
    Record rec("", "", "");
    PlayKeyEntry("abc", rec.r);
    EXPECT_EQ(keyboardfake::layoutCalls(), 3);
}

std::atomic<int> clockReads{0};
std::string fakeClock() {
    return ++clockReads == 1 ? "2016/10/21 09:05:07" : "2016/10/21 09:05:08";
}

TEST_F(SendKeysTest, EachTimeEntryReadsTheClockWhenPlayed) {
    Record rec("", "", "");
    PlayKeyEntry("2016/10/21 09:05:07", rec.r);
    PlayKeyEntry("2016/10/21 09:05:08", rec.r);
    std::string expected = typed();

    keyboardfake::reset();
    clockReads = 0;
    sendkeys::SetTimeSource(fakeClock);
    PlayKeyEntry("{TIME}", rec.r);
    PlayKeyEntry("{TIME}", rec.r);
    EXPECT_EQ(clockReads, 2);
    EXPECT_EQ(typed(), expected);
}

TEST_F(SendKeysTest, PcClockHasTheDateMaskShape) {
    // Seconds and digits vary; the shape does not: "dddd/dd/dd dd:dd:dd" is 19
    // characters, 15 of them digits (unshifted), plus '/' '/' ' ' ':' ':'.
    Record rec("", "", "");
    PlayKeyEntry("{TIME}", rec.r);
    std::vector<keyboardfake::KeyEvent> ev = keyboardfake::events();
    ASSERT_EQ(ev.size(), 19u * 2 + 2 * 2); // the two ':' are shifted
    EXPECT_EQ(ev[8].vk, 0xBF);             // the first '/'
}

TEST_F(SendKeysTest, SequencePlaysEveryEntryInOrder) {
    Record rec("42", "ANNA", "X1");
    setList({"{OPERATOR}", "{TAB}", "{QUANTITY}", "{TAB}", "{BARCODE}", "{ENTER}"});
    sendkeys::PlaySequence(rec.r);
    EXPECT_EQ(typed(),
              "v10 v41 ^41 ^10 v10 v4E ^4E ^10 v10 v4E ^4E ^10 v10 v41 ^41 ^10 v09 ^09 v34 ^34 v32 ^32 "
              "v09 ^09 v10 v58 ^58 ^10 v31 ^31 v0D ^0D");

    keyboardfake::reset();
    setList({});
    sendkeys::PlaySequence(rec.r);
    EXPECT_EQ(typed(), "");
}

// The editor removes or clears entries while the sequence is being played.
void removeFirstOnce() {
    keyboardfake::onEvent(nullptr);
    gui::listRemove(0, sendkeys::KeyListControl, 0);
}
void clearOnce() {
    keyboardfake::onEvent(nullptr);
    gui::listClear(0, sendkeys::KeyListControl);
}

TEST_F(SendKeysTest, SequenceSeesEditsOfEntriesNotYetPlayed) {
    Record rec("", "", "");
    setList({"a", "b", "c"});
    keyboardfake::onEvent(removeFirstOnce);
    sendkeys::PlaySequence(rec.r);
    EXPECT_EQ(typed(), "v41 ^41 v43 ^43"); // b moved into the played slot: skipped, nothing repeated

    keyboardfake::reset();
    setList({"a", "b", "c"});
    keyboardfake::onEvent(clearOnce);
    sendkeys::PlaySequence(rec.r);
    EXPECT_EQ(typed(), "v41 ^41");
}

TEST_F(SendKeysTest, SequenceSurvivesConcurrentEditing) {
    Record rec("7", "", "");
    std::atomic<bool> done{false};
    std::thread editor([&] {
        while (!done) {
            sendkeys::EditorAddQuantity();
            gui::listRemove(0, sendkeys::KeyListControl, 0);
            sendkeys::EditorClearAll();
        }
    });
    for (int i = 0; i < 2000; i++) {
        setList({"{QUANTITY}", "{QUANTITY}"});
        sendkeys::PlaySequence(rec.r);
    }
    done = true;
    editor.join();
    for (const keyboardfake::KeyEvent& e : keyboardfake::events()) EXPECT_EQ(e.vk, 0x37);
}

} // namespace
