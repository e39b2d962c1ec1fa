#include "tests/unit/sendkeys/sendkeys_fixture.h"

namespace {

using namespace sendkeys;

TEST_F(SendKeysTest, ButtonStatesFollowSizeAndSelection) {
    struct {
        std::vector<std::string> entries;
        int selected;
        bool clearAll, clearLine, up, down;
    } cases[] = {
        {{}, -1, false, false, false, false},
        {{"A"}, 0, true, true, false, false},
        {{"A", "B", "C"}, 0, true, true, false, true},
        {{"A", "B", "C"}, 1, true, true, true, true},
        {{"A", "B", "C"}, 2, true, true, true, false},
        {{"A", "B", "C"}, -1, true, false, false, false}, // nothing to move without a selection
    };
    for (const auto& c : cases) {
        setList(c.entries, c.selected);
        UpdateEditorButtons();
        SCOPED_TRACE(::testing::Message() << c.entries.size() << " entries, selected " << c.selected);
        EXPECT_EQ(gui::isControlEnabled(0, ClearAllButton), c.clearAll);
        EXPECT_EQ(gui::isControlEnabled(0, ClearLineButton), c.clearLine);
        EXPECT_EQ(gui::isControlEnabled(0, MoveUpButton), c.up);
        EXPECT_EQ(gui::isControlEnabled(0, MoveDownButton), c.down);
    }
}

TEST_F(SendKeysTest, MoveUpAndDownCarryTheSelection) {
    setList({"A", "B", "C"}, 1);
    EditorMoveUp();
    EXPECT_EQ(list(), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(selected(), 0);
    UpdateEditorButtons();
    EXPECT_FALSE(gui::isControlEnabled(0, MoveUpButton));
    EditorMoveUp(); // at the top: nothing happens
    EXPECT_EQ(list(), (std::vector<std::string>{"B", "A", "C"}));

    setList({"A", "B", "C"}, 1);
    EditorMoveDown();
    EXPECT_EQ(list(), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(selected(), 2);
    EditorMoveDown(); // at the bottom: nothing happens
    EXPECT_EQ(list(), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(selected(), 2);
}

TEST_F(SendKeysTest, MoveWithoutSelectionChangesNothing) {
    setList({"A", "B", "C"});
    EditorMoveDown();
    EditorMoveUp();
    EXPECT_EQ(list(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(selected(), -1);
}

TEST_F(SendKeysTest, MoveWorksBeyondPosition255) {
    std::vector<std::string> entries;
    for (int i = 0; i < 300; i++) entries.push_back(std::to_string(i));
    setList(entries, 299);
    EditorMoveUp();
    EXPECT_EQ(gui::listItem(0, KeyListControl, 298), "299");
    EXPECT_EQ(gui::listItem(0, KeyListControl, 299), "298");
    EXPECT_EQ(gui::listItem(0, KeyListControl, 42), "42"); // 298 & 0xFF: untouched
    EXPECT_EQ(selected(), 298);
    setList(entries, 256);
    EditorMoveDown();
    EXPECT_EQ(gui::listItem(0, KeyListControl, 257), "256");
    EXPECT_EQ(gui::listItem(0, KeyListControl, 0), "0");
    EXPECT_EQ(selected(), 257);
}

TEST_F(SendKeysTest, AddTextValidatesTheField) {
    const std::string emptyText =
        "It's not possible to add an empty string. First fill the input box on the left "
        "of the Add String button.";
    const std::string braceText = "It's not possible to add a string with these 2 characters: { }";
    struct {
        const char* field;
        std::string box; // "" = no box, the text is added
    } cases[] = {{"", emptyText}, {"a{b", braceText}, {"x}", braceText}, {" ", ""}, {"Lot 7 ", ""}};
    for (const auto& c : cases) {
        setList({"{TAB}"}, 0);
        guifake::clearMessageBoxes();
        gui::setText(0, TextFieldControl, c.field);
        EditorAddText();
        SCOPED_TRACE(std::string("field \"") + c.field + "\"");
        std::vector<guifake::MessageBoxCall> boxes = guifake::messageBoxes();
        if (c.box.empty()) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(list(), (std::vector<std::string>{"{TAB}", c.field}));
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].window, 0);
            EXPECT_EQ(boxes[0].title, "Error");
            EXPECT_EQ(boxes[0].text, c.box);
            EXPECT_EQ(boxes[0].icon, gui::Icon::None);
            EXPECT_EQ(list(), (std::vector<std::string>{"{TAB}"}));
        }
        EXPECT_EQ(gui::text(0, TextFieldControl), c.field);
        EXPECT_EQ(selected(), 0);
    }
}

TEST_F(SendKeysTest, AddButtonsAppendWithoutTouchingTheSelection) {
    FillSpecialKeyList();
    setList({"x"}, 0);
    EditorAddQuantity();
    EditorAddTime();
    EditorAddOperator();
    EditorAddBarcode();
    EditorAddSpecialKey(); // the list starts on ENTER
    gui::listSelect(0, SpecialKeyListControl, 33);
    EditorAddSpecialKey();
    gui::listSelect(0, SpecialKeyListControl, 21);
    EditorAddSpecialKey();
    EXPECT_EQ(list(), (std::vector<std::string>{"x", "{QUANTITY}", "{TIME}", "{OPERATOR}", "{BARCODE}",
                                                "{ENTER}", "{TAB}", "{F13}"}));
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(gui::listCount(0, SpecialKeyListControl), SpecialKeyCount);
}

TEST_F(SendKeysTest, ClearLineAndClearAll) {
    setList({"A", "B", "C"}, 2);
    EditorClearLine();
    EXPECT_EQ(list(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(selected(), -1);
    EditorClearLine(); // no selection: nothing happens
    EXPECT_EQ(list(), (std::vector<std::string>{"A", "B"}));

    setList({"A", "B", "C"}, 0);
    EditorClearLine();
    EXPECT_EQ(list(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(selected(), -1);

    EditorClearAll();
    EXPECT_TRUE(list().empty());
}

TEST_F(SendKeysTest, ControlNumbersReachTheirHandlers) {
    setList({});
    EXPECT_TRUE(EditorHandleControl(16));
    EXPECT_TRUE(EditorHandleControl(19));
    EXPECT_EQ(list(), (std::vector<std::string>{"{QUANTITY}", "{BARCODE}"}));
    EXPECT_TRUE(EditorHandleControl(12));
    EXPECT_TRUE(list().empty());
    EXPECT_FALSE(EditorHandleControl(11));
    EXPECT_FALSE(EditorHandleControl(23));
}

} // namespace
