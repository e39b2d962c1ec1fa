#include "sendkeys/editor.h"

#include "platform/gui.h"

#include <string>

namespace sendkeys {

const char* const SpecialKeyNames[SpecialKeyCount] = {
    "ALTDOWN",     "ALTUP",  "BACKSPACE", "CONTROLDOWN", "CONTROLUP", "DELETE",   "DOWN",
    "END",         "ENTER",  "F1",        "F2",          "F3",        "F4",       "F5",
    "F6",          "F7",     "F8",        "F9",          "F10",       "F11",      "F12",
    "F13",         "ESCAPE", "HOME",      "INSERT",      "LEFT",      "PAGEDOWN", "PAGEUP",
    "PRINTSCREEN", "RETURN", "RIGHT",     "SHIFTDOWN",   "SHIFTUP",   "TAB",      "UP",
};

namespace {

constexpr int W = gui::MainWindow;

void Append(const std::string& entry) {
    gui::listAdd(W, KeyListControl, entry);
}

void ShowError(const char* text) {
    gui::messageBox(W, "Error", text, gui::Icon::None);
}

// Exchanges the entries at p and q (both in range) and selects q.
void SwapAndSelect(int p, int q) {
    std::string a = gui::listItem(W, KeyListControl, p);
    std::string b = gui::listItem(W, KeyListControl, q);
    gui::listSetItem(W, KeyListControl, p, b);
    gui::listSetItem(W, KeyListControl, q, a);
    gui::listSelect(W, KeyListControl, q);
}

} // namespace

void FillSpecialKeyList() {
    gui::listClear(W, SpecialKeyListControl);
    for (const char* name : SpecialKeyNames) gui::listAdd(W, SpecialKeyListControl, name);
    gui::listSelect(W, SpecialKeyListControl, DefaultSpecialKey);
}

void EditorClearAll() {
    gui::listClear(W, KeyListControl);
}

void EditorClearLine() {
    int p = gui::listSelected(W, KeyListControl);
    if (p < 0) return;
    gui::listRemove(W, KeyListControl, p);
    gui::listSelect(W, KeyListControl, -1);
}

// Positions are full ints: an 8-bit position would move the wrong entries
// in lists longer than 256, and turn "no selection" into 255.
void EditorMoveUp() {
    int p = gui::listSelected(W, KeyListControl);
    int n = gui::listCount(W, KeyListControl);
    if (p > 0 && p < n) SwapAndSelect(p, p - 1);
}

void EditorMoveDown() {
    int p = gui::listSelected(W, KeyListControl);
    int n = gui::listCount(W, KeyListControl);
    // Without a selection there is nothing to move (p + 1 would be entry 0).
    if (p >= 0 && p < n - 1) SwapAndSelect(p, p + 1);
}

void EditorAddQuantity() {
    Append("{QUANTITY}");
}
void EditorAddTime() {
    Append("{TIME}");
}
void EditorAddOperator() {
    Append("{OPERATOR}");
}
void EditorAddBarcode() {
    Append("{BARCODE}");
}

void EditorAddText() {
    std::string text = gui::text(W, TextFieldControl);
    if (text.empty()) {
        ShowError("It's not possible to add an empty string. First fill the input box on the left of the Add "
                  "String button.");
        return;
    }
    if (text.find_first_of("{}") != std::string::npos) {
        ShowError("It's not possible to add a string with these 2 characters: { }");
        return;
    }
    Append(text);
}

void EditorAddSpecialKey() {
    int selected = gui::listSelected(W, SpecialKeyListControl);
    if (selected < 0) return; // the drop-down always has a choice; "{}" would play key 0
    std::string entry = "{";
    entry += gui::listItem(W, SpecialKeyListControl, selected);
    entry += '}';
    Append(entry);
}

bool EditorHandleControl(int control) {
    switch (control) {
    case ClearAllButton:
        EditorClearAll();
        return true;
    case ClearLineButton:
        EditorClearLine();
        return true;
    case MoveUpButton:
        EditorMoveUp();
        return true;
    case MoveDownButton:
        EditorMoveDown();
        return true;
    case AddQuantityButton:
        EditorAddQuantity();
        return true;
    case AddTimeButton:
        EditorAddTime();
        return true;
    case AddOperatorButton:
        EditorAddOperator();
        return true;
    case AddBarcodeButton:
        EditorAddBarcode();
        return true;
    case AddTextButton:
        EditorAddText();
        return true;
    case AddSpecialKeyButton:
        EditorAddSpecialKey();
        return true;
    default:
        return false;
    }
}

void UpdateEditorButtons() {
    int n = gui::listCount(W, KeyListControl);
    int p = gui::listSelected(W, KeyListControl);
    gui::enableControl(W, ClearAllButton, n > 0);
    gui::enableControl(W, ClearLineButton, p >= 0);
    gui::enableControl(W, MoveUpButton, p > 0);
    // No selection disables it too: Move Down has nothing to move then.
    gui::enableControl(W, MoveDownButton, p >= 0 && p < n - 1);
}

} // namespace sendkeys
