// A main window with the SendKeys controls in the GUI double, and a clean
// keyboard double and player.
#pragma once

#include "platform/gui.h"
#include "sendkeys/editor.h"
#include "sendkeys/player.h"
#include "tests/doubles/gui/gui_fake.h"
#include "tests/doubles/keyboard/keyboard_fake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SendKeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        guifake::reset();
        keyboardfake::reset();
        sendkeys::ResetPlayerState();
        sendkeys::SetTimeSource(nullptr);
        gui::openWindow({gui::MainWindow, "ZEL Manager", 740, 425, gui::Placement::Centred, true, -1});
        gui::createControl(0, sendkeys::KeyListControl, gui::Kind::ListBox, 300, 150, 270, 220, "");
        for (int b = sendkeys::ClearAllButton; b <= sendkeys::AddSpecialKeyButton; b++) {
            gui::Kind kind = b == sendkeys::TextFieldControl ? gui::Kind::Field : gui::Kind::Button;
            gui::createControl(0, b, kind, 0, 0, 110, 20,
                               b == sendkeys::TextFieldControl ? "Type here the text" : "");
        }
        gui::createControl(0, sendkeys::SpecialKeyListControl, gui::Kind::DropDown, 30, 350, 100, 20, "");
    }
    void TearDown() override { sendkeys::SetTimeSource(nullptr); }

    static void setList(const std::vector<std::string>& entries, int selected = -1) {
        gui::listClear(0, sendkeys::KeyListControl);
        for (const std::string& e : entries) gui::listAdd(0, sendkeys::KeyListControl, e);
        gui::listSelect(0, sendkeys::KeyListControl, selected);
    }
    static std::vector<std::string> list() {
        std::vector<std::string> out;
        for (int i = 0; i < gui::listCount(0, sendkeys::KeyListControl); i++)
            out.push_back(gui::listItem(0, sendkeys::KeyListControl, i));
        return out;
    }
    static int selected() { return gui::listSelected(0, sendkeys::KeyListControl); }
    static std::string typed() { return keyboardfake::describe(keyboardfake::events()); }
};
