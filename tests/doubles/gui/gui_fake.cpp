#include "tests/doubles/gui/gui_fake.h"

#include <deque>
#include <map>
#include <mutex>

namespace {

struct FakeControl {
    guifake::ControlInfo info;
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    std::vector<std::string> items; // lists
    int selected = -1;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int position = 0, maximum = 0;
    int image = 0;
};

struct FakeWindow {
    gui::WindowSpec ws{};
    std::string title;
    bool enabled = true;
    std::vector<gui::MenuItem> menu;
    std::map<int, FakeControl> controls;
};

struct FakeState {
    std::recursive_mutex lock;
    std::map<int, FakeWindow> windows;
    std::deque<gui::Event> events;
    std::function<void(int)> idleHook;
    std::vector<guifake::MessageBoxCall> boxes;
    std::vector<guifake::FileDialogCall> dialogs;
    std::string dialogAnswer;
    int active = -1;
};

FakeState& S() {
    static FakeState s;
    return s;
}

FakeControl* find(int window, int number) {
    auto w = S().windows.find(window);
    if (w == S().windows.end()) return nullptr;
    auto c = w->second.controls.find(number);
    return c == w->second.controls.end() ? nullptr : &c->second;
}

using Guard = std::lock_guard<std::recursive_mutex>;

} // namespace

namespace gui {

bool openWindow(const WindowSpec& ws) {
    Guard g(S().lock);
    if (S().windows.count(ws.number)) return false;
    FakeWindow& w = S().windows[ws.number];
    w.ws = ws;
    w.title = ws.title ? ws.title : "";
    S().active = ws.number;
    return true;
}

void setMenu(int window, const std::vector<MenuItem>& items) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    if (w != S().windows.end()) w->second.menu = items;
}

void closeWindow(int window) {
    Guard g(S().lock);
    S().windows.erase(window);
    if (S().active == window) S().active = -1;
}

bool windowExists(int window) {
    Guard g(S().lock);
    return S().windows.count(window) != 0;
}

void enableWindow(int window, bool enabled) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    if (w != S().windows.end()) w->second.enabled = enabled;
}

void activateWindow(int window) {
    Guard g(S().lock);
    if (S().windows.count(window)) S().active = window;
}

void* systemHandle(int window) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    return w == S().windows.end() ? nullptr : &w->second;
}

bool createControl(int window, int number, Kind kind, int x, int y, int w, int h, const std::string& text,
                   int parent) {
    Guard g(S().lock);
    auto win = S().windows.find(window);
    if (win == S().windows.end()) return false;
    FakeControl c;
    c.info = {true, kind, x, y, w, h, parent};
    if (kind != Kind::DropDown && kind != Kind::ListBox && kind != Kind::ReportList) c.text = text;
    win->second.controls[number] = c;
    return true;
}

void showControl(int window, int number, bool visible) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->visible = visible;
}

bool isControlVisible(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c && c->visible;
}

void enableControl(int window, int number, bool enabled) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->enabled = enabled;
}

bool isControlEnabled(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c && c->enabled;
}

std::string text(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c) return "";
    if (c->info.kind == Kind::DropDown)
        return c->selected >= 0 && c->selected < (int)c->items.size() ? c->items[c->selected] : "";
    return c->text;
}

void setText(int window, int number, const std::string& t) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c) return;
    if (c->info.kind == Kind::NumericField) {
        // Typing is refused for non-digits, but the program may set any text.
        c->text = t;
        return;
    }
    c->text = t;
}

bool isChecked(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c && c->checked;
}

void setChecked(int window, int number, bool checked) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c) return;
    // Options of one window form one group: at most one is on.
    if (checked && c->info.kind == Kind::Option)
        for (auto& [n, other] : S().windows[window].controls)
            if (other.info.kind == Kind::Option) other.checked = false;
    c->checked = checked;
}

void listAdd(int window, int number, const std::string& item) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->items.push_back(item);
}

void listClear(int window, int number) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->items.clear(), c->selected = -1;
}

int listCount(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c ? (int)c->items.size() : 0;
}

std::string listItem(int window, int number, int index) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c || index < 0 || index >= (int)c->items.size()) return "";
    return c->items[index];
}

void listSetItem(int window, int number, int index, const std::string& item) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (c && index >= 0 && index < (int)c->items.size()) c->items[index] = item;
}

void listRemove(int window, int number, int index) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c || index < 0 || index >= (int)c->items.size()) return;
    c->items.erase(c->items.begin() + index);
    // As a Win32 list box does: the selection is lost when its item goes.
    if (c->selected == index)
        c->selected = -1;
    else if (c->selected > index)
        --c->selected;
}

int listSelected(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c ? c->selected : -1;
}

void listSelect(int window, int number, int index) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c) return;
    c->selected = (index >= 0 && index < (int)c->items.size()) ? index : -1;
}

void reportAddColumn(int window, int number, const std::string& title, int) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->columns.push_back(title);
}

void reportAddRow(int window, int number, const std::vector<std::string>& cells) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->rows.push_back(cells);
}

void reportClear(int window, int number) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->rows.clear();
}

int reportRowCount(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c ? (int)c->rows.size() : 0;
}

std::string reportCell(int window, int number, int row, int column) {
    Guard g(S().lock);
    auto* c = find(window, number);
    if (!c || row < 0 || row >= (int)c->rows.size()) return "";
    const auto& r = c->rows[row];
    return column >= 0 && column < (int)r.size() ? r[column] : "";
}

void progressSet(int window, int number, int position, int maximum) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->position = position, c->maximum = maximum;
}

void scrollSetInner(int window, int number, int width, int height, int) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->info.w = width, c->info.h = height;
}

void imageShow(int window, int number, int image) {
    Guard g(S().lock);
    if (auto* c = find(window, number)) c->image = image;
}

void messageBox(int window, const std::string& title, const std::string& t, Icon icon) {
    Guard g(S().lock);
    S().boxes.push_back({window, title, t, icon});
}

std::string openFileDialog(int owner, const std::string& title, const std::string& filter,
                           const std::string& startDir) {
    Guard g(S().lock);
    S().dialogs.push_back({false, owner, title, filter, startDir});
    return S().dialogAnswer;
}

std::string saveFileDialog(int owner, const std::string& title, const std::string& filter) {
    Guard g(S().lock);
    S().dialogs.push_back({true, owner, title, filter, ""});
    return S().dialogAnswer;
}

Event waitEvent(int timeoutMs) {
    std::function<void(int)> hook;
    {
        Guard g(S().lock);
        if (!S().events.empty()) {
            Event e = S().events.front();
            S().events.pop_front();
            return e;
        }
        hook = S().idleHook;
    }
    // The hook runs unlocked: it may drive other threads that call back in.
    if (hook) hook(timeoutMs);
    Guard g(S().lock);
    if (!S().events.empty()) {
        Event e = S().events.front();
        S().events.pop_front();
        return e;
    }
    return {};
}

void shutdown() {
    Guard g(S().lock);
    S().windows.clear();
}

} // namespace gui

namespace guifake {

void reset() {
    Guard g(S().lock);
    S().windows.clear();
    S().events.clear();
    S().idleHook = nullptr;
    S().boxes.clear();
    S().dialogs.clear();
    S().dialogAnswer.clear();
    S().active = -1;
}

void pushEvent(gui::Event event) {
    Guard g(S().lock);
    S().events.push_back(event);
}

void setIdleHook(std::function<void(int)> hook) {
    Guard g(S().lock);
    S().idleHook = std::move(hook);
}

std::vector<MessageBoxCall> messageBoxes() {
    Guard g(S().lock);
    return S().boxes;
}

void clearMessageBoxes() {
    Guard g(S().lock);
    S().boxes.clear();
}

void setFileDialogAnswer(const std::string& path) {
    Guard g(S().lock);
    S().dialogAnswer = path;
}

std::vector<FileDialogCall> fileDialogs() {
    Guard g(S().lock);
    return S().dialogs;
}

ControlInfo control(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c ? c->info : ControlInfo{};
}

bool windowEnabled(int window) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    return w != S().windows.end() && w->second.enabled;
}

gui::WindowSpec windowSpec(int window) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    if (w == S().windows.end()) return gui::WindowSpec{-1, nullptr, 0, 0, gui::Placement::Centred, false, -1};
    return w->second.ws;
}

int activeWindow() {
    Guard g(S().lock);
    return S().active;
}

int shownImage(int window, int number) {
    Guard g(S().lock);
    auto* c = find(window, number);
    return c ? c->image : 0;
}

std::vector<gui::MenuItem> menu(int window) {
    Guard g(S().lock);
    auto w = S().windows.find(window);
    return w == S().windows.end() ? std::vector<gui::MenuItem>{} : w->second.menu;
}

} // namespace guifake
