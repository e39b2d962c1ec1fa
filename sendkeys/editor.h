// The key-sequence editor: handlers of the SendKeys buttons of the main
// window, and the rule that enables them. All control access goes through
// platform/gui.h, so the listener thread may run UpdateEditorButtons safely.
#pragma once

namespace sendkeys {

// Controls of the main window (window 0) that the editor uses.
enum EditorControl {
    KeyListControl = 11,
    ClearAllButton = 12,
    ClearLineButton = 13,
    MoveUpButton = 14,
    MoveDownButton = 15,
    AddQuantityButton = 16,
    AddTimeButton = 17,
    AddOperatorButton = 18,
    AddBarcodeButton = 19,
    AddTextButton = 20,
    TextFieldControl = 21,
    AddSpecialKeyButton = 22,
    SpecialKeyListControl = 23,
};

constexpr int SpecialKeyCount = 35;
// The names SpecialKeyList offers, in order.
extern const char* const SpecialKeyNames[SpecialKeyCount];
constexpr int DefaultSpecialKey = 8; // "ENTER"

// Fills SpecialKeyList with the names and selects "ENTER" (main window build).
void FillSpecialKeyList();

// Button handlers, run on the window thread.
void EditorClearAll();
void EditorClearLine();
void EditorMoveUp();
void EditorMoveDown();
void EditorAddQuantity();
void EditorAddTime();
void EditorAddOperator();
void EditorAddBarcode();
void EditorAddText();
void EditorAddSpecialKey();

// Runs the handler of a SendKeys button; false when `control` is not one.
bool EditorHandleControl(int control);

// Enables Clear All, Clear Line, Move Up and Move Down from the list's size
// and selection. Run by the SendKeys listener after every pass.
void UpdateEditorButtons();

} // namespace sendkeys
