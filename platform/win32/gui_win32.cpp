// Win32 implementation of the GUI seam.
//
// The window thread is the thread that opens the first window. A call from any
// other thread (a listener) is carried out on the window thread: it is sent as
// a message to a hidden message-only window, so control state is only ever
// touched by the thread that owns the controls.
#include "platform/gui.h"

#include "platform/image.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <deque>
#include <functional>
#include <map>

namespace {

constexpr UINT WM_ZEL_CALL = WM_APP + 1;
const char* const kWindowClass = "ZELManagerWindow";
const char* const kCallClass = "ZELManagerCalls";
const char* const kImageClass = "ZELImage";
const char* const kScrollClass = "ZELScrollArea";

struct ControlRecord {
    HWND hwnd = nullptr;
    gui::Kind kind = gui::Kind::Text;
};

struct WindowRecord {
    HWND hwnd = nullptr;
    std::map<int, ControlRecord> controls;
};

struct ScrollData {
    int innerW = 0, innerH = 0, step = 1;
    int posX = 0, posY = 0;
};

struct GuiState {
    DWORD windowThread = 0;
    HINSTANCE instance = nullptr;
    HWND callWindow = nullptr;
    HFONT font = nullptr;
    bool classesRegistered = false;
    std::map<int, WindowRecord> windows;
    std::deque<gui::Event> events;
};

GuiState& G() {
    static GuiState g;
    return g;
}

// Runs f on the window thread and waits for it.
template <class F> void onWindowThread(F&& f) {
    GuiState& g = G();
    if (g.windowThread == 0 || GetCurrentThreadId() == g.windowThread) {
        f();
        return;
    }
    if (!g.callWindow) return;
    std::function<void()> call(std::forward<F>(f));
    SendMessageA(g.callWindow, WM_ZEL_CALL, 0, reinterpret_cast<LPARAM>(&call));
}

int windowNumberOf(HWND hwnd) {
    for (auto& [n, w] : G().windows)
        if (w.hwnd == hwnd) return n;
    return -1;
}

ControlRecord* findControl(int window, int number) {
    auto w = G().windows.find(window);
    if (w == G().windows.end()) return nullptr;
    auto c = w->second.controls.find(number);
    return c == w->second.controls.end() ? nullptr : &c->second;
}

HWND findWindow(int window) {
    auto w = G().windows.find(window);
    return w == G().windows.end() ? nullptr : w->second.hwnd;
}

void pushEvent(gui::EventKind kind, int window, int item) {
    G().events.push_back({kind, window, item});
}

LRESULT CALLBACK CallProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ZEL_CALL) {
        (*reinterpret_cast<std::function<void()>*>(lp))();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        // Closing is the program's decision: report it, keep the window.
        pushEvent(gui::EventKind::Close, windowNumberOf(hwnd), 0);
        return 0;
    case WM_COMMAND: {
        int window = windowNumberOf(hwnd);
        int id = LOWORD(wp);
        int code = HIWORD(wp);
        if (lp == 0) {
            if (code == 0) pushEvent(gui::EventKind::Menu, window, id);
        } else if (code == BN_CLICKED || code == CBN_SELCHANGE || code == LBN_SELCHANGE) {
            // A button's click is code 0, a list's selection change code 1; an edit sends
            // neither, but other notifications share those values, so check the sender.
            char cls[32] = {};
            GetClassNameA(reinterpret_cast<HWND>(lp), cls, sizeof cls);
            bool isButton = lstrcmpiA(cls, "Button") == 0;
            if ((isButton && code == BN_CLICKED) || (!isButton && code != BN_CLICKED))
                pushEvent(gui::EventKind::Control, window, static_cast<short>(id));
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        // Read-only edits and labels take the window's face colour.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Image control: draws its image one image pixel per screen pixel from its
// top-left corner, never scaled.
LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        int image = static_cast<int>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        HBITMAP bitmap = image ? static_cast<HBITMAP>(image::systemHandle(image)) : nullptr;
        if (bitmap) {
            HDC mem = CreateCompatibleDC(dc);
            if (mem) {
                HGDIOBJ old = SelectObject(mem, bitmap);
                if (old) {
                    BitBlt(dc, 0, 0, image::width(image), image::height(image), mem, 0, 0, SRCCOPY);
                    SelectObject(mem, old);
                }
                DeleteDC(mem);
            }
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void scrollUpdate(HWND hwnd, ScrollData& s) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    int viewW = rc.right, viewH = rc.bottom;
    int maxX = s.innerW > viewW ? s.innerW - viewW : 0;
    int maxY = s.innerH > viewH ? s.innerH - viewH : 0;
    if (s.posX > maxX) s.posX = maxX;
    if (s.posY > maxY) s.posY = maxY;
    SCROLLINFO si{sizeof si, SIF_ALL | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = s.innerW > 0 ? s.innerW - 1 : 0;
    si.nPage = static_cast<UINT>(viewW);
    si.nPos = s.posX;
    SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
    si.nMax = s.innerH > 0 ? s.innerH - 1 : 0;
    si.nPage = static_cast<UINT>(viewH);
    si.nPos = s.posY;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void scrollMoveChildren(HWND hwnd, int dx, int dy) {
    if (dx || dy)
        ScrollWindowEx(hwnd, -dx, -dy, nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

LRESULT CALLBACK ScrollProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<ScrollData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCDESTROY:
        delete s;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        break;
    case WM_SIZE:
        if (s) scrollUpdate(hwnd, *s);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        if (!s) break;
        bool vertical = msg == WM_VSCROLL;
        int bar = vertical ? SB_VERT : SB_HORZ;
        SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(hwnd, bar, &si);
        int pos = si.nPos;
        int maxPos = si.nMax - static_cast<int>(si.nPage) + 1;
        if (maxPos < 0) maxPos = 0;
        switch (LOWORD(wp)) {
        case SB_LINEUP:
            pos -= s->step;
            break;
        case SB_LINEDOWN:
            pos += s->step;
            break;
        case SB_PAGEUP:
            pos -= static_cast<int>(si.nPage);
            break;
        case SB_PAGEDOWN:
            pos += static_cast<int>(si.nPage);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = si.nTrackPos;
            break;
        case SB_TOP:
            pos = 0;
            break;
        case SB_BOTTOM:
            pos = maxPos;
            break;
        }
        if (pos > maxPos) pos = maxPos;
        if (pos < 0) pos = 0;
        int& cur = vertical ? s->posY : s->posX;
        int delta = pos - cur;
        cur = pos;
        scrollMoveChildren(hwnd, vertical ? 0 : delta, vertical ? delta : 0);
        si.fMask = SIF_POS;
        si.nPos = pos;
        SetScrollInfo(hwnd, bar, &si, TRUE);
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (s) {
            int steps = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
            for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
                SendMessageA(hwnd, WM_VSCROLL, steps > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void registerClasses() {
    GuiState& g = G();
    if (g.classesRegistered) return;
    g.instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSA wc{};
    wc.hInstance = g.instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hIcon = LoadIconA(g.instance, MAKEINTRESOURCEA(1));
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);

    WNDCLASSA cc{};
    cc.hInstance = g.instance;
    cc.lpfnWndProc = CallProc;
    cc.lpszClassName = kCallClass;
    RegisterClassA(&cc);

    WNDCLASSA ic{};
    ic.hInstance = g.instance;
    ic.lpfnWndProc = ImageProc;
    ic.hCursor = wc.hCursor;
    ic.lpszClassName = kImageClass;
    RegisterClassA(&ic);

    WNDCLASSA sc{};
    sc.hInstance = g.instance;
    sc.lpfnWndProc = ScrollProc;
    sc.hCursor = wc.hCursor;
    sc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    sc.lpszClassName = kScrollClass;
    RegisterClassA(&sc);

    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
        g.font = CreateFontIndirectA(&ncm.lfMessageFont);
    if (!g.font) g.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    g.windowThread = GetCurrentThreadId();
    g.callWindow =
        CreateWindowExA(0, kCallClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g.instance, nullptr);
    g.classesRegistered = true;
}

// Filter text "a|b|c|d" as the double-zero-terminated list the dialogs want.
std::string dialogFilter(const std::string& filter) {
    std::string f = filter;
    for (char& c : f)
        if (c == '|') c = '\0';
    f.push_back('\0');
    f.push_back('\0');
    return f;
}

} // namespace

namespace gui {

bool openWindow(const WindowSpec& ws) {
    bool ok = false;
    onWindowThread([&] {
        registerClasses();
        GuiState& g = G();
        if (g.windows.count(ws.number)) return;
        // No WS_CLIPCHILDREN: group boxes do not paint their inside, so the window must.
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        if (ws.minimiseBox) style |= WS_MINIMIZEBOX;
        RECT rc{0, 0, ws.clientWidth, ws.clientHeight};
        AdjustWindowRectEx(&rc, style, FALSE, 0);
        int w = rc.right - rc.left, h = rc.bottom - rc.top;
        int x = 0, y = 0;
        if (ws.placement == Placement::Centred) {
            x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
            y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
        }
        HWND owner = ws.owner >= 0 ? findWindow(ws.owner) : nullptr;
        HWND hwnd = CreateWindowExA(0, kWindowClass, ws.title ? ws.title : "", style, x, y, w, h, owner,
                                    nullptr, g.instance, nullptr);
        if (!hwnd) return;
        g.windows[ws.number].hwnd = hwnd;
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        ok = true;
    });
    return ok;
}

void setMenu(int window, const std::vector<MenuItem>& items) {
    onWindowThread([&] {
        HWND hwnd = findWindow(window);
        if (!hwnd) return;
        HMENU bar = CreateMenu();
        std::vector<std::pair<std::string, HMENU>> popups;
        for (const MenuItem& item : items) {
            HMENU popup = nullptr;
            for (auto& [title, m] : popups)
                if (title == item.menu) popup = m;
            if (!popup) {
                popup = CreatePopupMenu();
                popups.push_back({item.menu, popup});
                AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), item.menu);
            }
            AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(item.number), item.text);
        }
        // Keep the client area at its given size once the menu bar takes its room.
        RECT client;
        GetClientRect(hwnd, &client);
        SetMenu(hwnd, bar);
        DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
        RECT rc{0, 0, client.right, client.bottom};
        AdjustWindowRectEx(&rc, style, TRUE, 0);
        RECT now;
        GetWindowRect(hwnd, &now);
        int w = rc.right - rc.left, h = rc.bottom - rc.top;
        int x = now.left, y = now.top;
        if (window == MainWindow) {
            x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
            y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
        }
        SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        // A menu bar that wrapped onto two lines grows once more.
        GetClientRect(hwnd, &now);
        if (now.bottom != client.bottom)
            SetWindowPos(hwnd, nullptr, 0, 0, w, h + (client.bottom - now.bottom),
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    });
}

void closeWindow(int window) {
    onWindowThread([&] {
        auto w = G().windows.find(window);
        if (w == G().windows.end()) return;
        HWND hwnd = w->second.hwnd;
        G().windows.erase(w);
        DestroyWindow(hwnd);
    });
}

bool windowExists(int window) {
    bool yes = false;
    onWindowThread([&] { yes = findWindow(window) != nullptr; });
    return yes;
}

void enableWindow(int window, bool enabled) {
    onWindowThread([&] {
        if (HWND h = findWindow(window)) EnableWindow(h, enabled ? TRUE : FALSE);
    });
}

void activateWindow(int window) {
    onWindowThread([&] {
        if (HWND h = findWindow(window)) {
            SetForegroundWindow(h);
            SetActiveWindow(h);
            SetFocus(h);
        }
    });
}

void* systemHandle(int window) {
    HWND h = nullptr;
    onWindowThread([&] { h = findWindow(window); });
    return h;
}

bool createControl(int window, int number, Kind kind, int x, int y, int w, int h, const std::string& text,
                   int parent) {
    bool ok = false;
    onWindowThread([&] {
        auto win = G().windows.find(window);
        if (win == G().windows.end()) return;
        HWND parentHwnd = win->second.hwnd;
        if (parent >= 0) {
            ControlRecord* p = findControl(window, parent);
            if (!p) return;
            parentHwnd = p->hwnd;
        }
        const char* cls = "STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD ex = 0;
        int height = h;
        switch (kind) {
        case Kind::Frame:
            cls = "BUTTON", style |= BS_GROUPBOX;
            break;
        case Kind::Option:
            cls = "BUTTON", style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
            break;
        case Kind::Button:
            cls = "BUTTON", style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case Kind::Text:
            style |= SS_LEFT;
            break;
        case Kind::TextRight:
            style |= SS_RIGHT;
            break;
        case Kind::TextCentre:
            style |= SS_CENTER;
            break;
        case Kind::Field:
            cls = "EDIT", style |= ES_AUTOHSCROLL | WS_TABSTOP, ex = WS_EX_CLIENTEDGE;
            break;
        case Kind::NumericField:
            cls = "EDIT", style |= ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, ex = WS_EX_CLIENTEDGE;
            break;
        case Kind::ReadOnlyField:
            cls = "EDIT", style |= ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, ex = WS_EX_CLIENTEDGE;
            break;
        case Kind::DropDown:
            // The height given is the closed box; the list drops below it.
            cls = "COMBOBOX", style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, height = h + 200;
            break;
        case Kind::ListBox:
            cls = "LISTBOX", style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
            ex = WS_EX_CLIENTEDGE;
            break;
        case Kind::ReportList:
            cls = WC_LISTVIEWA, style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
            ex = WS_EX_CLIENTEDGE;
            break;
        case Kind::Image:
            cls = kImageClass;
            break;
        case Kind::Progress:
            cls = PROGRESS_CLASSA, style |= PBS_SMOOTH;
            break;
        case Kind::ScrollArea:
            cls = kScrollClass, style |= WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN;
            break;
        }
        // Options are one group per window: the first one opens it.
        if (kind == Kind::Option) {
            bool first = true;
            for (auto& [n, c] : win->second.controls)
                if (c.kind == Kind::Option) first = false;
            if (first) style |= WS_GROUP;
        } else if (kind == Kind::Frame || kind == Kind::Button) {
            style |= WS_GROUP;
        }
        HWND hwnd =
            CreateWindowExA(ex, cls, text.c_str(), style, x, y, w, height, parentHwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), G().instance, nullptr);
        if (!hwnd) return;
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(G().font), FALSE);
        if (kind == Kind::ReportList)
            SendMessageA(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT,
                         LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
        if (kind == Kind::Progress) SendMessageA(hwnd, PBM_SETRANGE32, 0, 0);
        if (kind == Kind::ScrollArea) {
            auto* s = new ScrollData{};
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
            s->innerW = w, s->innerH = h;
            scrollUpdate(hwnd, *s);
        }
        win->second.controls[number] = {hwnd, kind};
        ok = true;
    });
    return ok;
}

void showControl(int window, int number, bool visible) {
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number)) ShowWindow(c->hwnd, visible ? SW_SHOW : SW_HIDE);
    });
}

bool isControlVisible(int window, int number) {
    bool yes = false;
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number))
            yes = (GetWindowLongA(c->hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    });
    return yes;
}

void enableControl(int window, int number, bool enabled) {
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number)) EnableWindow(c->hwnd, enabled ? TRUE : FALSE);
    });
}

bool isControlEnabled(int window, int number) {
    bool yes = false;
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number)) yes = IsWindowEnabled(c->hwnd) != FALSE;
    });
    return yes;
}

std::string text(int window, int number) {
    std::string out;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c) return;
        if (c->kind == Kind::DropDown) {
            LRESULT sel = SendMessageA(c->hwnd, CB_GETCURSEL, 0, 0);
            if (sel == CB_ERR) return;
            LRESULT len = SendMessageA(c->hwnd, CB_GETLBTEXTLEN, sel, 0);
            if (len <= 0) return;
            std::string s(static_cast<size_t>(len) + 1, '\0');
            SendMessageA(c->hwnd, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(s.data()));
            s.resize(static_cast<size_t>(len));
            out = s;
            return;
        }
        int len = GetWindowTextLengthA(c->hwnd);
        std::string s(static_cast<size_t>(len) + 1, '\0');
        int got = GetWindowTextA(c->hwnd, s.data(), len + 1);
        s.resize(got > 0 ? static_cast<size_t>(got) : 0);
        out = s;
    });
    return out;
}

void setText(int window, int number, const std::string& t) {
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number)) SetWindowTextA(c->hwnd, t.c_str());
    });
}

bool isChecked(int window, int number) {
    bool yes = false;
    onWindowThread([&] {
        if (ControlRecord* c = findControl(window, number))
            yes = SendMessageA(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
    return yes;
}

void setChecked(int window, int number, bool checked) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c) return;
        if (checked && c->kind == Kind::Option)
            for (auto& [n, other] : G().windows[window].controls)
                if (other.kind == Kind::Option && n != number)
                    SendMessageA(other.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageA(c->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    });
}

// List messages differ between drop-downs and list boxes only by name.
struct ListMessages {
    UINT add, reset, count, textLen, text, insert, remove, getSel, setSel;
};
const ListMessages kComboMessages{CB_ADDSTRING,    CB_RESETCONTENT, CB_GETCOUNT,
                                  CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_INSERTSTRING,
                                  CB_DELETESTRING, CB_GETCURSEL,    CB_SETCURSEL};
const ListMessages kListMessages{LB_ADDSTRING,    LB_RESETCONTENT, LB_GETCOUNT,  LB_GETTEXTLEN, LB_GETTEXT,
                                 LB_INSERTSTRING, LB_DELETESTRING, LB_GETCURSEL, LB_SETCURSEL};

const ListMessages* listMessages(const ControlRecord* c) {
    if (!c) return nullptr;
    if (c->kind == Kind::DropDown) return &kComboMessages;
    if (c->kind == Kind::ListBox) return &kListMessages;
    return nullptr;
}

std::string listText(HWND hwnd, const ListMessages& m, int index) {
    LRESULT len = SendMessageA(hwnd, m.textLen, static_cast<WPARAM>(index), 0);
    if (len < 0) return "";
    std::string s(static_cast<size_t>(len) + 1, '\0');
    LRESULT got = SendMessageA(hwnd, m.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return s;
}

void listAdd(int window, int number, const std::string& item) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (const ListMessages* m = listMessages(c))
            SendMessageA(c->hwnd, m->add, 0, reinterpret_cast<LPARAM>(item.c_str()));
    });
}

void listClear(int window, int number) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (const ListMessages* m = listMessages(c)) SendMessageA(c->hwnd, m->reset, 0, 0);
    });
}

int listCount(int window, int number) {
    int n = 0;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (const ListMessages* m = listMessages(c)) {
            LRESULT r = SendMessageA(c->hwnd, m->count, 0, 0);
            n = r > 0 ? static_cast<int>(r) : 0;
        }
    });
    return n;
}

std::string listItem(int window, int number, int index) {
    std::string s;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        const ListMessages* m = listMessages(c);
        if (!m || index < 0 || index >= static_cast<int>(SendMessageA(c->hwnd, m->count, 0, 0))) return;
        s = listText(c->hwnd, *m, index);
    });
    return s;
}

void listSetItem(int window, int number, int index, const std::string& item) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        const ListMessages* m = listMessages(c);
        if (!m || index < 0 || index >= static_cast<int>(SendMessageA(c->hwnd, m->count, 0, 0))) return;
        LRESULT sel = SendMessageA(c->hwnd, m->getSel, 0, 0);
        SendMessageA(c->hwnd, m->remove, static_cast<WPARAM>(index), 0);
        SendMessageA(c->hwnd, m->insert, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.c_str()));
        if (sel == index) SendMessageA(c->hwnd, m->setSel, static_cast<WPARAM>(index), 0);
    });
}

void listRemove(int window, int number, int index) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        const ListMessages* m = listMessages(c);
        if (!m || index < 0) return;
        SendMessageA(c->hwnd, m->remove, static_cast<WPARAM>(index), 0);
    });
}

int listSelected(int window, int number) {
    int sel = -1;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (const ListMessages* m = listMessages(c)) {
            LRESULT r = SendMessageA(c->hwnd, m->getSel, 0, 0);
            sel = r < 0 ? -1 : static_cast<int>(r);
        }
    });
    return sel;
}

void listSelect(int window, int number, int index) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (const ListMessages* m = listMessages(c))
            SendMessageA(c->hwnd, m->setSel, static_cast<WPARAM>(index < 0 ? -1 : index), 0);
    });
}

void reportAddColumn(int window, int number, const std::string& title, int width) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::ReportList) return;
        HWND header = reinterpret_cast<HWND>(SendMessageA(c->hwnd, LVM_GETHEADER, 0, 0));
        int count = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = width;
        col.pszText = const_cast<char*>(title.c_str());
        col.iSubItem = count;
        SendMessageA(c->hwnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&col));
    });
}

void reportAddRow(int window, int number, const std::vector<std::string>& cells) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::ReportList) return;
        int row = static_cast<int>(SendMessageA(c->hwnd, LVM_GETITEMCOUNT, 0, 0));
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(cells.empty() ? "" : cells[0].c_str());
        int at = static_cast<int>(SendMessageA(c->hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) return;
        for (size_t i = 1; i < cells.size(); ++i) {
            LVITEMA sub{};
            sub.iSubItem = static_cast<int>(i);
            sub.pszText = const_cast<char*>(cells[i].c_str());
            SendMessageA(c->hwnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
        }
    });
}

void reportClear(int window, int number) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (c && c->kind == Kind::ReportList) SendMessageA(c->hwnd, LVM_DELETEALLITEMS, 0, 0);
    });
}

int reportRowCount(int window, int number) {
    int n = 0;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (c && c->kind == Kind::ReportList)
            n = static_cast<int>(SendMessageA(c->hwnd, LVM_GETITEMCOUNT, 0, 0));
    });
    return n;
}

std::string reportCell(int window, int number, int row, int column) {
    std::string out;
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::ReportList || row < 0 || column < 0) return;
        if (row >= static_cast<int>(SendMessageA(c->hwnd, LVM_GETITEMCOUNT, 0, 0))) return;
        // Cells are at most a few dozen characters (a 45-byte barcode); grow if one is not.
        for (size_t size = 256; size <= 65536; size *= 4) {
            std::string buf(size, '\0');
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = buf.data();
            item.cchTextMax = static_cast<int>(size);
            LRESULT len = SendMessageA(c->hwnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                       reinterpret_cast<LPARAM>(&item));
            if (len < static_cast<LRESULT>(size) - 1) {
                buf.resize(len > 0 ? static_cast<size_t>(len) : 0);
                out = buf;
                return;
            }
        }
    });
    return out;
}

void progressSet(int window, int number, int position, int maximum) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::Progress) return;
        SendMessageA(c->hwnd, PBM_SETRANGE32, 0, maximum);
        SendMessageA(c->hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    });
}

void scrollSetInner(int window, int number, int width, int height, int step) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::ScrollArea) return;
        auto* s = reinterpret_cast<ScrollData*>(GetWindowLongPtrA(c->hwnd, GWLP_USERDATA));
        if (!s) return;
        scrollMoveChildren(c->hwnd, -s->posX, -s->posY);
        s->posX = s->posY = 0;
        s->innerW = width > 0 ? width : 0;
        s->innerH = height > 0 ? height : 0;
        s->step = step > 0 ? step : 1;
        scrollUpdate(c->hwnd, *s);
    });
}

void imageShow(int window, int number, int image) {
    onWindowThread([&] {
        ControlRecord* c = findControl(window, number);
        if (!c || c->kind != Kind::Image) return;
        SetWindowLongPtrA(c->hwnd, GWLP_USERDATA, image);
        InvalidateRect(c->hwnd, nullptr, TRUE);
    });
}

void messageBox(int window, const std::string& title, const std::string& t, Icon icon) {
    onWindowThread([&] {
        UINT flags = MB_OK | (icon == Icon::Information ? MB_ICONINFORMATION : 0);
        MessageBoxA(findWindow(window), t.c_str(), title.c_str(), flags);
    });
}

std::string openFileDialog(int owner, const std::string& title, const std::string& filter,
                           const std::string& startDir) {
    std::string out;
    onWindowThread([&] {
        std::string f = dialogFilter(filter);
        char path[MAX_PATH * 4] = {};
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = findWindow(owner);
        ofn.lpstrFilter = f.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof path;
        ofn.lpstrInitialDir = startDir.empty() ? nullptr : startDir.c_str();
        ofn.lpstrTitle = title.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (GetOpenFileNameA(&ofn)) out = path;
    });
    return out;
}

std::string saveFileDialog(int owner, const std::string& title, const std::string& filter) {
    std::string out;
    onWindowThread([&] {
        std::string f = dialogFilter(filter);
        char path[MAX_PATH * 4] = {};
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = findWindow(owner);
        ofn.lpstrFilter = f.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof path;
        ofn.lpstrTitle = title.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (GetSaveFileNameA(&ofn)) out = path;
    });
    return out;
}

Event waitEvent(int timeoutMs) {
    GuiState& g = G();
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        MSG msg;
        while (g.events.empty() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!g.events.empty()) {
            Event e = g.events.front();
            g.events.pop_front();
            return e;
        }
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline) return {};
            wait = static_cast<DWORD>(deadline - now);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void shutdown() {
    GuiState& g = G();
    for (auto& [n, w] : g.windows)
        if (w.hwnd) DestroyWindow(w.hwnd);
    g.windows.clear();
    if (g.callWindow) DestroyWindow(g.callWindow);
    g.callWindow = nullptr;
    g.windowThread = 0;
}

} // namespace gui
