// The main window as Win32 builds it: the menu bar (which another process
// cannot read under Wine), window styles and the controls' classes and styles.
#include "app/mainwindow.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

std::string menuText(HMENU menu, int position) {
    char buf[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), buf, sizeof buf, MF_BYPOSITION);
    return buf;
}

class MainWindowWin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(app::BuildMainWindow(nullptr)); }
    static HWND main() { return static_cast<HWND>(gui::systemHandle(gui::MainWindow)); }
};

TEST_F(MainWindowWin, MenuBarHoldsFileAndHelpWithTheirItemNumbers) {
    HMENU bar = GetMenu(main());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(menuText(bar, 0), "File");
    EXPECT_EQ(menuText(bar, 1), "Help");
    HMENU file = GetSubMenu(bar, 0), help = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(file), 1);
    EXPECT_EQ(menuText(file, 0), "Exit");
    EXPECT_EQ(GetMenuItemID(file, 0), 83u);
    const struct {
        const char* text;
        UINT id;
    } helpItems[] = {{"Custom Printer Label", 86}, {"SendKeys", 87}, {"DataLogger", 85}, {"About...", 84}};
    ASSERT_EQ(GetMenuItemCount(help), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(menuText(help, i), helpItems[i].text);
        EXPECT_EQ(GetMenuItemID(help, i), helpItems[i].id);
    }
}

TEST_F(MainWindowWin, WindowHasItsTitleClientSizeAndFrameStyle) {
    char title[64] = {};
    GetWindowTextA(main(), title, sizeof title);
    EXPECT_STREQ(title, "ZEL Manager");
    RECT rc;
    GetClientRect(main(), &rc);
    EXPECT_EQ(rc.right, 740);
    EXPECT_EQ(rc.bottom, 425);
    LONG style = GetWindowLongA(main(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    RECT wr;
    GetWindowRect(main(), &wr);
    int cx = (wr.left + wr.right) / 2, cy = (wr.top + wr.bottom) / 2;
    EXPECT_NEAR(cx, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_NEAR(cy, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
}

TEST_F(MainWindowWin, ControlsHaveTheirClassesStylesAndPlaces) {
    for (const app::ControlSpec& c : app::MainWindowControls()) {
        if (c.number < 0) continue;
        SCOPED_TRACE(c.number);
        HWND h = GetDlgItem(main(), c.number);
        ASSERT_NE(h, nullptr);
        char cls[64] = {};
        GetClassNameA(h, cls, sizeof cls);
        LONG style = GetWindowLongA(h, GWL_STYLE);
        switch (c.kind) {
        case gui::Kind::NumericField:
            EXPECT_STRCASEEQ(cls, "Edit");
            EXPECT_TRUE(style & ES_NUMBER);
            break;
        case gui::Kind::ReadOnlyField:
            EXPECT_STRCASEEQ(cls, "Edit");
            EXPECT_TRUE(style & ES_READONLY);
            break;
        case gui::Kind::Option:
            EXPECT_EQ(style & 0xF, BS_AUTORADIOBUTTON);
            break;
        case gui::Kind::DropDown:
            EXPECT_EQ(style & 0x3, CBS_DROPDOWNLIST);
            break;
        case gui::Kind::ReportList:
            EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
            break;
        default:
            break;
        }
        if (c.kind == gui::Kind::DropDown) continue; // its height is the font's
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(HWND_DESKTOP, main(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, c.x);
        EXPECT_EQ(r.top, c.y);
        EXPECT_EQ(r.right - r.left, c.w);
        EXPECT_EQ(r.bottom - r.top, c.h);
    }
}

TEST_F(MainWindowWin, NumericFieldRefusesLettersTypedIntoIt) {
    HWND field = GetDlgItem(main(), app::DateXField);
    SetWindowTextA(field, "");
    SendMessageA(field, WM_CHAR, 'a', 0);
    SendMessageA(field, WM_CHAR, '7', 0);
    char buf[16] = {};
    GetWindowTextA(field, buf, sizeof buf);
    EXPECT_STREQ(buf, "7");
}

} // namespace
