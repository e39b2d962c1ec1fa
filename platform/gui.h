// GUI toolkit seam. Windows and controls are addressed by fixed numbers: window
// 0 is the main window, 1 the import's progress window, 2 the label preview. A
// control's number is its Win32 control id inside its window, so GetDlgItem(hwnd,
// 27) is the main window's company-name x field.
//
// Every call may be made from a listener thread: the Win32 implementation runs
// it on the window thread (SendMessage to a hidden window), and the window
// thread keeps serving such calls while it waits for a listener to stop or
// pause, so neither side can deadlock. Calls on a window or control that does
// not exist do nothing and answer empty/0/-1.
#pragma once

#include <string>
#include <vector>

namespace gui {

enum Window { MainWindow = 0, ReadWindow = 1, PreviewWindow = 2 };

enum class Kind {
    Frame,         // group box, drawing only
    Option,        // radio button; the options of one window form one group
    Button,        // push button
    Text,          // static text, left-aligned
    TextRight,     // static text, right-aligned
    TextCentre,    // static text, centred
    Field,         // single-line edit
    NumericField,  // single-line edit that refuses anything but digits
    ReadOnlyField, // single-line edit the user cannot type in
    DropDown,      // drop-down list, not editable
    ListBox,       // single-column list, one entry selected or none
    ReportList,    // multi-column list with header, one row selected or none
    Image,         // shows a picture, scaled by the program
    Progress,      // smooth progress bar
    ScrollArea,    // scrolling container for one child control
};

enum class Placement { Centred, TopLeft };

struct WindowSpec {
    int number;
    const char* title;
    int clientWidth;
    int clientHeight;
    Placement placement;
    bool minimiseBox;
    int owner; // window number of the owner, or -1
};

struct MenuItem {
    const char* menu; // title of the drop-down menu the item belongs to
    const char* text;
    int number; // item number delivered with the menu event
};

// Windows.
bool openWindow(const WindowSpec& ws);
void setMenu(int window, const std::vector<MenuItem>& items);
void closeWindow(int window);
bool windowExists(int window);
void enableWindow(int window, bool enabled);
void activateWindow(int window);
void* systemHandle(int window); // HWND on Win32; nullptr when the window does not exist

// Controls. `parent` is the number of a scroll area of the same window that
// holds the new control, or -1 for the window itself.
bool createControl(int window, int number, Kind kind, int x, int y, int w, int h, const std::string& text,
                   int parent = -1);
void showControl(int window, int number, bool visible);
bool isControlVisible(int window, int number);
void enableControl(int window, int number, bool enabled);
bool isControlEnabled(int window, int number);
std::string text(int window, int number);
void setText(int window, int number, const std::string& text);
bool isChecked(int window, int number);
void setChecked(int window, int number, bool checked);

// Drop-downs and list boxes.
void listAdd(int window, int number, const std::string& item);
void listClear(int window, int number);
int listCount(int window, int number);
std::string listItem(int window, int number, int index);
void listSetItem(int window, int number, int index, const std::string& item);
void listRemove(int window, int number, int index);
int listSelected(int window, int number);           // -1 when nothing is selected
void listSelect(int window, int number, int index); // -1 selects nothing

// Report lists.
void reportAddColumn(int window, int number, const std::string& title, int width);
void reportAddRow(int window, int number, const std::vector<std::string>& cells);
void reportClear(int window, int number);
int reportRowCount(int window, int number);
std::string reportCell(int window, int number, int row, int column);

// Progress bars, scroll areas and image controls.
void progressSet(int window, int number, int position, int maximum);
void scrollSetInner(int window, int number, int width, int height, int step);
void imageShow(int window, int number, int image); // image number of the image facility; 0 clears

enum class Icon { None, Information };
void messageBox(int window, const std::string& title, const std::string& text, Icon icon);

// File dialogs. `filter` is pairs of description and pattern separated by "|".
// Both answer "" when cancelled. Neither changes the process's current directory.
std::string openFileDialog(int owner, const std::string& title, const std::string& filter,
                           const std::string& startDir);
std::string saveFileDialog(int owner, const std::string& title, const std::string& filter);

enum class EventKind { None, Close, Menu, Control };
struct Event {
    EventKind kind = EventKind::None;
    int window = -1;
    int item = 0; // menu item or control number
};

// Next event of any window, waiting at most timeoutMs (negative: no limit).
// EventKind::None when the time ran out.
Event waitEvent(int timeoutMs);

// Releases every window; called once at the end of the program.
void shutdown();

} // namespace gui
