// zelprobe: inspects and drives the windows of another process from outside,
// for the end-to-end tests and for people poking at a running program.
// Every command prints JSON lines on stdout and exits 0 on success, 1 when
// the window or control was not found (or the action failed), 2 on bad usage.

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const DefaultTitle = "ZEL Manager";
const UINT MsgTimeoutMs = 2000;

// ---- JSON output ----------------------------------------------------------

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c >= 0x80) {
            // ANSI text: pass Latin-1 through as its code point so the
            // output stays valid UTF-8.
            char buf[8];
            snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ",";
        out += jsonString(items[i]);
    }
    return out + "]";
}

std::string hex(unsigned long v) {
    char buf[16];
    snprintf(buf, sizeof buf, "\"0x%08lx\"", v);
    return buf;
}

// ---- windows ----------------------------------------------------------------

std::string className(HWND w) {
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

std::string toAnsi(const std::wstring& w) {
    if (w.empty()) return "";
    int n =
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

// A text-returning message sent across processes. Wine marshals these, but
// hands back wide text whatever the caller's character set, so only the W
// form is safe; the buffer is sized generously from the length message.
std::string textMessage(HWND w, UINT lenMsg, UINT textMsg, WPARAM index) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(w, lenMsg, index, 0, SMTO_ABORTIFHUNG, MsgTimeoutMs, &len)) return "";
    if (static_cast<LONG_PTR>(len) < 0) return "";
    std::vector<wchar_t> buf(len * 2 + 16, 0);
    DWORD_PTR got = 0;
    WPARAM wp = textMsg == WM_GETTEXT ? buf.size() : index;
    if (!SendMessageTimeoutW(w, textMsg, wp, reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                             MsgTimeoutMs, &got))
        return "";
    buf.back() = 0;
    return toAnsi(buf.data());
}

// GetWindowText is not reliable for edit controls of another process.
std::string windowText(HWND w) {
    return textMessage(w, WM_GETTEXTLENGTH, WM_GETTEXT, 0);
}

LRESULT sendMsg(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, MsgTimeoutMs, &r)) return -1;
    return static_cast<LRESULT>(r);
}

struct FindTop {
    std::string title;
    bool dialogs; // look for #32770 boxes instead of program windows
    std::vector<HWND> found;
};

BOOL CALLBACK findTopProc(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindTop*>(lp);
    bool isDialog = className(w) == "#32770";
    if (isDialog != f->dialogs) return TRUE;
    if (f->title.empty() || windowText(w) == f->title) f->found.push_back(w);
    return TRUE;
}

std::vector<HWND> topWindows(const std::string& title, bool dialogs) {
    FindTop f{title, dialogs, {}};
    EnumWindows(findTopProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND findTop(const std::string& title) {
    auto all = topWindows(title, false);
    for (HWND w : all)
        if (IsWindowVisible(w)) return w;
    return all.empty() ? nullptr : all[0];
}

// A control by id anywhere below the top-level window (GetDlgItem only looks
// at direct children).
struct FindId {
    int id;
    HWND found;
};

BOOL CALLBACK findIdProc(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindId*>(lp);
    if (GetDlgCtrlID(w) == f->id) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND findControl(HWND top, int id) {
    HWND direct = GetDlgItem(top, id);
    if (direct) return direct;
    FindId f{id, nullptr};
    EnumChildWindows(top, findIdProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

// ---- memory in the target process (for common-control messages that Wine
// does not marshal) --------------------------------------------------------

struct Remote {
    HANDLE process = nullptr;
    char* base = nullptr;
    size_t size = 0;
    Remote(HWND w, size_t bytes) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process) {
            base = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
            size = bytes;
        }
    }
    ~Remote() {
        if (base) VirtualFreeEx(process, base, 0, MEM_RELEASE);
        if (process) CloseHandle(process);
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    bool ok() const { return base != nullptr; }
    bool write(size_t off, const void* data, size_t n) {
        SIZE_T done = 0;
        return off + n <= size && WriteProcessMemory(process, base + off, data, n, &done) && done == n;
    }
    bool read(size_t off, void* data, size_t n) {
        SIZE_T done = 0;
        return off + n <= size && ReadProcessMemory(process, base + off, data, n, &done) && done == n;
    }
};

const size_t TextRoom = 1024;

std::string listViewColumn(HWND lv, int col, int& width) {
    Remote mem(lv, sizeof(LVCOLUMNA) + TextRoom);
    width = static_cast<int>(sendMsg(lv, LVM_GETCOLUMNWIDTH, col, 0));
    if (!mem.ok()) return "";
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = mem.base + sizeof(LVCOLUMNA);
    c.cchTextMax = TextRoom;
    char zero = 0;
    mem.write(sizeof(LVCOLUMNA), &zero, 1);
    mem.write(0, &c, sizeof c);
    if (sendMsg(lv, LVM_GETCOLUMNA, col, reinterpret_cast<LPARAM>(mem.base)) <= 0) return "";
    std::vector<char> buf(TextRoom + 1, 0);
    mem.read(sizeof(LVCOLUMNA), buf.data(), TextRoom);
    return buf.data();
}

std::string listViewCell(Remote& mem, HWND lv, int row, int col) {
    LVITEMA it = {};
    it.iSubItem = col;
    it.pszText = mem.base + sizeof(LVITEMA);
    it.cchTextMax = TextRoom;
    char zero = 0;
    mem.write(sizeof(LVITEMA), &zero, 1);
    mem.write(0, &it, sizeof it);
    sendMsg(lv, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(mem.base));
    std::vector<char> buf(TextRoom + 1, 0);
    mem.read(sizeof(LVITEMA), buf.data(), TextRoom);
    return buf.data();
}

// ---- style names -----------------------------------------------------------

struct StyleName {
    const char* cls; // nullptr: any class
    DWORD mask;      // bits that make up the value
    DWORD value;
    const char* name;
};

const StyleName Styles[] = {
    {nullptr, WS_VISIBLE, WS_VISIBLE, "WS_VISIBLE"},
    {nullptr, WS_DISABLED, WS_DISABLED, "WS_DISABLED"},
    {nullptr, WS_TABSTOP, WS_TABSTOP, "WS_TABSTOP"},
    {nullptr, WS_GROUP, WS_GROUP, "WS_GROUP"},
    {nullptr, WS_BORDER, WS_BORDER, "WS_BORDER"},
    {nullptr, WS_VSCROLL, WS_VSCROLL, "WS_VSCROLL"},
    {nullptr, WS_HSCROLL, WS_HSCROLL, "WS_HSCROLL"},
    {"Edit", ES_NUMBER, ES_NUMBER, "ES_NUMBER"},
    {"Edit", ES_READONLY, ES_READONLY, "ES_READONLY"},
    {"Edit", ES_MULTILINE, ES_MULTILINE, "ES_MULTILINE"},
    {"Edit", ES_PASSWORD, ES_PASSWORD, "ES_PASSWORD"},
    {"Edit", ES_AUTOHSCROLL, ES_AUTOHSCROLL, "ES_AUTOHSCROLL"},
    {"Edit", ES_CENTER | ES_RIGHT, ES_CENTER, "ES_CENTER"},
    {"Edit", ES_CENTER | ES_RIGHT, ES_RIGHT, "ES_RIGHT"},
    {"Button", BS_TYPEMASK, BS_PUSHBUTTON, "BS_PUSHBUTTON"},
    {"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, "BS_DEFPUSHBUTTON"},
    {"Button", BS_TYPEMASK, BS_CHECKBOX, "BS_CHECKBOX"},
    {"Button", BS_TYPEMASK, BS_AUTOCHECKBOX, "BS_AUTOCHECKBOX"},
    {"Button", BS_TYPEMASK, BS_RADIOBUTTON, "BS_RADIOBUTTON"},
    {"Button", BS_TYPEMASK, BS_3STATE, "BS_3STATE"},
    {"Button", BS_TYPEMASK, BS_AUTO3STATE, "BS_AUTO3STATE"},
    {"Button", BS_TYPEMASK, BS_GROUPBOX, "BS_GROUPBOX"},
    {"Button", BS_TYPEMASK, BS_AUTORADIOBUTTON, "BS_AUTORADIOBUTTON"},
    {"Button", BS_TYPEMASK, BS_OWNERDRAW, "BS_OWNERDRAW"},
    {"Static", SS_TYPEMASK, SS_LEFT, "SS_LEFT"},
    {"Static", SS_TYPEMASK, SS_CENTER, "SS_CENTER"},
    {"Static", SS_TYPEMASK, SS_RIGHT, "SS_RIGHT"},
    {"Static", SS_TYPEMASK, SS_ICON, "SS_ICON"},
    {"Static", SS_TYPEMASK, SS_BITMAP, "SS_BITMAP"},
    {"Static", SS_TYPEMASK, SS_LEFTNOWORDWRAP, "SS_LEFTNOWORDWRAP"},
    {"Static", SS_TYPEMASK, SS_OWNERDRAW, "SS_OWNERDRAW"},
    {"Static", SS_TYPEMASK, SS_ETCHEDFRAME, "SS_ETCHEDFRAME"},
    {"Static", SS_CENTERIMAGE, SS_CENTERIMAGE, "SS_CENTERIMAGE"},
    {"Static", SS_REALSIZEIMAGE, SS_REALSIZEIMAGE, "SS_REALSIZEIMAGE"},
    {"ComboBox", 3, CBS_SIMPLE, "CBS_SIMPLE"},
    {"ComboBox", 3, CBS_DROPDOWN, "CBS_DROPDOWN"},
    {"ComboBox", 3, CBS_DROPDOWNLIST, "CBS_DROPDOWNLIST"},
    {"ComboBox", CBS_SORT, CBS_SORT, "CBS_SORT"},
    {"ListBox", LBS_NOTIFY, LBS_NOTIFY, "LBS_NOTIFY"},
    {"ListBox", LBS_SORT, LBS_SORT, "LBS_SORT"},
    {"ListBox", LBS_MULTIPLESEL, LBS_MULTIPLESEL, "LBS_MULTIPLESEL"},
    {"ListBox", LBS_EXTENDEDSEL, LBS_EXTENDEDSEL, "LBS_EXTENDEDSEL"},
    {"SysListView32", LVS_TYPEMASK, LVS_ICON, "LVS_ICON"},
    {"SysListView32", LVS_TYPEMASK, LVS_REPORT, "LVS_REPORT"},
    {"SysListView32", LVS_TYPEMASK, LVS_SMALLICON, "LVS_SMALLICON"},
    {"SysListView32", LVS_TYPEMASK, LVS_LIST, "LVS_LIST"},
    {"SysListView32", LVS_SINGLESEL, LVS_SINGLESEL, "LVS_SINGLESEL"},
    {"SysListView32", LVS_SHOWSELALWAYS, LVS_SHOWSELALWAYS, "LVS_SHOWSELALWAYS"},
    {"SysListView32", LVS_NOCOLUMNHEADER, LVS_NOCOLUMNHEADER, "LVS_NOCOLUMNHEADER"},
    {"msctls_progress32", PBS_SMOOTH, PBS_SMOOTH, "PBS_SMOOTH"},
    {"msctls_progress32", PBS_VERTICAL, PBS_VERTICAL, "PBS_VERTICAL"},
    {"#32770", WS_CAPTION, WS_CAPTION, "WS_CAPTION"},
};

const StyleName WindowStyles[] = {
    {nullptr, WS_CAPTION, WS_CAPTION, "WS_CAPTION"},
    {nullptr, WS_SYSMENU, WS_SYSMENU, "WS_SYSMENU"},
    {nullptr, WS_MINIMIZEBOX, WS_MINIMIZEBOX, "WS_MINIMIZEBOX"},
    {nullptr, WS_MAXIMIZEBOX, WS_MAXIMIZEBOX, "WS_MAXIMIZEBOX"},
    {nullptr, WS_THICKFRAME, WS_THICKFRAME, "WS_THICKFRAME"},
    {nullptr, WS_VISIBLE, WS_VISIBLE, "WS_VISIBLE"},
    {nullptr, WS_DISABLED, WS_DISABLED, "WS_DISABLED"},
    {nullptr, WS_POPUP, WS_POPUP, "WS_POPUP"},
    {nullptr, WS_CHILD, WS_CHILD, "WS_CHILD"},
};

template <size_t N>
std::vector<std::string> styleNames(const StyleName (&table)[N], const std::string& cls, DWORD style) {
    std::vector<std::string> out;
    for (const auto& s : table)
        if ((!s.cls || _stricmp(s.cls, cls.c_str()) == 0) && (style & s.mask) == s.value)
            out.push_back(s.name);
    return out;
}

bool isClass(const std::string& cls, const char* name) {
    return _stricmp(cls.c_str(), name) == 0;
}

// ---- dump -------------------------------------------------------------------

std::string rectJson(HWND w, HWND relativeTo) {
    RECT r = {};
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, relativeTo, reinterpret_cast<POINT*>(&r), 2);
    char buf[96];
    snprintf(buf, sizeof buf, "\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld", r.left, r.top, r.right - r.left,
             r.bottom - r.top);
    return buf;
}

std::string controlJson(HWND top, HWND w) {
    std::string cls = className(w);
    DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE));
    HWND parent = GetParent(w);
    std::string j = "{\"id\":" + std::to_string(GetDlgCtrlID(w));
    j += ",\"parent\":";
    j += std::to_string(parent == top ? 0 : GetDlgCtrlID(parent));
    j += ",\"class\":";
    j += jsonString(cls);
    j += ",";
    j += rectJson(w, top);
    j += ",\"text\":";
    j += jsonString(windowText(w));
    j += std::string(",\"visible\":") + (IsWindowVisible(w) ? "true" : "false");
    j += std::string(",\"enabled\":") + (IsWindowEnabled(w) ? "true" : "false");
    j += ",\"style\":";
    j += hex(style) + ",\"exstyle\":" + hex(ex);
    j += ",\"styles\":";
    j += jsonList(styleNames(Styles, cls, style));
    if (isClass(cls, "Button")) {
        j += ",\"checked\":";
        j += std::to_string(sendMsg(w, BM_GETCHECK, 0, 0));
    } else if (isClass(cls, "ComboBox") || isClass(cls, "ListBox")) {
        bool combo = isClass(cls, "ComboBox");
        int count = static_cast<int>(sendMsg(w, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
        std::vector<std::string> items;
        for (int i = 0; i < count; ++i)
            items.push_back(combo ? textMessage(w, CB_GETLBTEXTLEN, CB_GETLBTEXT, i)
                                  : textMessage(w, LB_GETTEXTLEN, LB_GETTEXT, i));
        j += ",\"items\":";
        j += jsonList(items);
        j += ",\"sel\":";
        j += std::to_string(sendMsg(w, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
    } else if (isClass(cls, "SysListView32")) {
        HWND header = reinterpret_cast<HWND>(sendMsg(w, LVM_GETHEADER, 0, 0));
        int cols = header ? static_cast<int>(sendMsg(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        j += ",\"columns\":[";
        for (int c = 0; c < cols; ++c) {
            int width = 0;
            std::string title = listViewColumn(w, c, width);
            j += (c ? ",{" : "{") + std::string("\"text\":") + jsonString(title) +
                 ",\"width\":" + std::to_string(width) + "}";
        }
        j += "]";
        int rows = static_cast<int>(sendMsg(w, LVM_GETITEMCOUNT, 0, 0));
        j += ",\"rows\":[";
        Remote mem(w, sizeof(LVITEMA) + TextRoom);
        for (int r = 0; mem.ok() && r < rows; ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < cols; ++c) cells.push_back(listViewCell(mem, w, r, c));
            if (r) j += ",";
            j += jsonList(cells);
        }
        j += "]";
        j += ",\"sel\":";
        j += std::to_string(sendMsg(w, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        j += ",\"exlvstyle\":";
        j += hex(static_cast<DWORD>(sendMsg(w, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)));
    } else if (isClass(cls, "msctls_progress32")) {
        j += ",\"pos\":";
        j += std::to_string(sendMsg(w, PBM_GETPOS, 0, 0));
        j += ",\"min\":";
        j += std::to_string(sendMsg(w, PBM_GETRANGE, TRUE, 0));
        j += ",\"max\":";
        j += std::to_string(sendMsg(w, PBM_GETRANGE, FALSE, 0));
    } else if (isClass(cls, "Static")) {
        j += std::string(",\"image\":") + (sendMsg(w, STM_GETIMAGE, IMAGE_BITMAP, 0) > 0 ? "true" : "false");
    }
    return j + "}";
}

std::string windowJson(HWND w) {
    RECT wr = {}, cr = {};
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HWND owner = GetWindow(w, GW_OWNER);
    char buf[256];
    snprintf(
        buf, sizeof buf,
        ",\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,\"client_w\":%ld,\"client_h\":%ld,\"pid\":%lu,\"hwnd\":%lu",
        wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top, cr.right, cr.bottom, pid,
        static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(w)));
    std::string j =
        "{\"window\":" + jsonString(windowText(w)) + ",\"class\":" + jsonString(className(w)) + buf;
    j += ",\"style\":";
    j += hex(style) + ",\"styles\":" + jsonList(styleNames(WindowStyles, "", style));
    j += std::string(",\"visible\":") + (IsWindowVisible(w) ? "true" : "false");
    j += std::string(",\"enabled\":") + (IsWindowEnabled(w) ? "true" : "false");
    j += ",\"owner\":";
    j += jsonString(owner ? windowText(owner) : "");
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    j += ",\"screen_w\":";
    j += std::to_string(sw) + ",\"screen_h\":" + std::to_string(sh);
    return j + "}";
}

BOOL CALLBACK dumpChild(HWND w, LPARAM lp) {
    printf("%s\n", controlJson(reinterpret_cast<HWND>(lp), w).c_str());
    return TRUE;
}

int cmdDump(const std::string& title) {
    HWND top = findTop(title);
    if (!top) {
        fprintf(stderr, "no window titled \"%s\"\n", title.c_str());
        return 1;
    }
    printf("%s\n", windowJson(top).c_str());
    EnumChildWindows(top, dumpChild, reinterpret_cast<LPARAM>(top));
    return 0;
}

BOOL CALLBACK listTop(HWND w, LPARAM) {
    if (IsWindowVisible(w)) printf("%s\n", windowJson(w).c_str());
    return TRUE;
}

// ---- message boxes ----------------------------------------------------------

struct BoxParts {
    std::string text;
    std::vector<std::string> buttons;
};

BOOL CALLBACK boxChild(HWND w, LPARAM lp) {
    auto* parts = reinterpret_cast<BoxParts*>(lp);
    std::string cls = className(w);
    if (isClass(cls, "Static")) {
        std::string t = windowText(w);
        // The message text; the icon is a Static without text.
        if (!t.empty() && (GetDlgCtrlID(w) == 0xFFFF || parts->text.empty())) parts->text = t;
    } else if (isClass(cls, "Button") && IsWindowVisible(w)) {
        parts->buttons.push_back(windowText(w));
    }
    return TRUE;
}

std::vector<HWND> messageBoxes(const std::string& owner) {
    std::vector<HWND> out;
    for (HWND d : topWindows("", true)) {
        if (!IsWindowVisible(d)) continue;
        HWND o = GetWindow(d, GW_OWNER);
        if (!owner.empty() && (!o || windowText(o) != owner)) continue;
        out.push_back(d);
    }
    return out;
}

int cmdMsgbox(const std::string& owner) {
    auto boxes = messageBoxes(owner);
    for (HWND d : boxes) {
        BoxParts parts;
        EnumChildWindows(d, boxChild, reinterpret_cast<LPARAM>(&parts));
        HWND o = GetWindow(d, GW_OWNER);
        printf("{\"title\":%s,\"text\":%s,\"buttons\":%s,\"owner\":%s}\n", jsonString(windowText(d)).c_str(),
               jsonString(parts.text).c_str(), jsonList(parts.buttons).c_str(),
               jsonString(o ? windowText(o) : "").c_str());
    }
    return boxes.empty() ? 1 : 0;
}

int cmdMsgboxPress(const std::string& owner, int button) {
    auto boxes = messageBoxes(owner);
    if (boxes.empty()) return 1;
    HWND d = boxes[0];
    PostMessageA(d, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(d, button)));
    return 0;
}

// ---- actions -----------------------------------------------------------------

HWND needControl(const std::string& title, int id, HWND* topOut = nullptr) {
    HWND top = findTop(title);
    if (!top) {
        fprintf(stderr, "no window titled \"%s\"\n", title.c_str());
        return nullptr;
    }
    HWND c = findControl(top, id);
    if (!c) fprintf(stderr, "no control %d in \"%s\"\n", id, title.c_str());
    if (topOut) *topOut = top;
    return c;
}

int cmdClick(const std::string& title, int id) {
    HWND c = needControl(title, id);
    if (!c) return 1;
    // Posted, not sent: a click that opens a modal box must not block us.
    PostMessageA(c, BM_CLICK, 0, 0);
    return 0;
}

int cmdSelect(const std::string& title, int id, int index) {
    HWND c = needControl(title, id);
    if (!c) return 1;
    std::string cls = className(c);
    HWND parent = GetParent(c);
    if (isClass(cls, "ComboBox")) {
        if (sendMsg(c, CB_SETCURSEL, index, 0) == CB_ERR && index >= 0) return 1;
        PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    } else if (isClass(cls, "ListBox")) {
        if (sendMsg(c, LB_SETCURSEL, index, 0) == LB_ERR && index >= 0) return 1;
        PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    } else {
        fprintf(stderr, "control %d is a %s, not a list\n", id, cls.c_str());
        return 1;
    }
    return 0;
}

int cmdSetText(const std::string& title, int id, const std::string& text) {
    HWND c = needControl(title, id);
    if (!c) return 1;
    DWORD_PTR r = 0;
    return SendMessageTimeoutA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               MsgTimeoutMs, &r) &&
                   r
               ? 0
               : 1;
}

// Types characters into a control as the keyboard would (WM_CHAR), so that
// the control's own filtering (digits only, read-only) applies.
int cmdType(const std::string& title, int id, const std::string& text) {
    HWND c = needControl(title, id);
    if (!c) return 1;
    for (unsigned char ch : text) sendMsg(c, WM_CHAR, ch, 1);
    return 0;
}

int cmdText(const std::string& title, int id) {
    HWND c = needControl(title, id);
    if (!c) return 1;
    printf("%s\n", jsonString(windowText(c)).c_str());
    return 0;
}

int cmdWait(const std::string& title, int ms, bool gone) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND w = findTop(title);
        bool present = w && IsWindowVisible(w);
        if (present != gone) return 0;
        if (static_cast<int>(GetTickCount() - start) >= ms) return 1;
        Sleep(50);
    }
}

int cmdWaitMsgbox(const std::string& owner, int ms) {
    DWORD start = GetTickCount();
    while (messageBoxes(owner).empty()) {
        if (static_cast<int>(GetTickCount() - start) >= ms) return 1;
        Sleep(50);
    }
    return cmdMsgbox(owner);
}

// Follows a control's text from inside one process, so that texts shown for
// a few hundred milliseconds are not missed between probe runs: prints each
// new text as a JSON string, then the first message box as cmdMsgbox does.
// The first line, {"watching":ID}, says the watch has begun.
int cmdWatch(const std::string& title, int id, int ms) {
    DWORD start = GetTickCount();
    std::string last;
    // Tells a caller that started us in the background that it may act now.
    printf("{\"watching\":%d}\n", id);
    fflush(stdout);
    for (;;) {
        if (!messageBoxes("").empty()) return cmdMsgbox("");
        HWND top = findTop(title);
        HWND c = top ? findControl(top, id) : nullptr;
        if (c) {
            std::string t = windowText(c);
            if (!t.empty() && t != last) {
                printf("%s\n", jsonString(t).c_str());
                fflush(stdout);
                last = t;
            }
        }
        if (static_cast<int>(GetTickCount() - start) >= ms) return 1;
        Sleep(10);
    }
}

int cmdComOpen(const std::string& name) {
    std::string path = "\\\\.\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE;
    printf("{\"port\":%s,\"open\":%s,\"error\":%lu}\n", jsonString(name).c_str(), ok ? "true" : "false",
           ok ? 0UL : GetLastError());
    if (ok) CloseHandle(h);
    return ok ? 0 : 1;
}

int cmdPrinters() {
    char def[512] = {};
    DWORD n = sizeof def;
    if (!GetDefaultPrinterA(def, &n)) def[0] = 0;
    DWORD need = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &need, &count);
    std::vector<BYTE> buf(need + 1);
    std::vector<std::string> names;
    if (need && EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buf.data(), need,
                              &need, &count)) {
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
        for (DWORD i = 0; i < count; ++i) names.push_back(info[i].pPrinterName ? info[i].pPrinterName : "");
    }
    printf("{\"default\":%s,\"printers\":%s}\n", jsonString(def).c_str(), jsonList(names).c_str());
    return names.empty() ? 1 : 0;
}

const char Usage[] = "usage: zelprobe COMMAND [ARGS]   (TITLE defaults to \"ZEL Manager\" where optional)\n"
                     "  dump [TITLE]              the window, then one JSON line per control\n"
                     "  list                      every visible top-level window\n"
                     "  text TITLE ID             a control's text\n"
                     "  click TITLE ID            press a button (BM_CLICK, posted)\n"
                     "  select TITLE ID INDEX     select a combo/list entry and notify the parent\n"
                     "  settext TITLE ID TEXT     WM_SETTEXT\n"
                     "  type TITLE ID TEXT        WM_CHAR per character (the control filters)\n"
                     "  menu TITLE ITEM           WM_COMMAND of a menu item (posted)\n"
                     "  close TITLE               WM_CLOSE (posted)\n"
                     "  focus TITLE               bring the window to the foreground\n"
                     "  wait TITLE MS             wait until the window is shown\n"
                     "  wait-gone TITLE MS        wait until it is gone or hidden\n"
                     "  msgbox [OWNER]            message boxes (owned by OWNER): title, text, buttons\n"
                     "  wait-msgbox OWNER MS      wait for a message box, then print it\n"
                     "  msgbox-ok [OWNER]         press OK in the first message box\n"
                     "  msgbox-press OWNER ID     press the button with that id (IDOK=1, IDCANCEL=2...)\n"
                     "  watch TITLE ID MS         print each new text of a control until a message\n"
                     "                            box shows (printed last) or MS pass\n"
                     "  comopen COMn              try to open a serial port\n"
                     "  printers                  default printer and printer names\n"
                     "Exit code 0 on success, 1 when not found or failed, 2 on bad usage.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs(Usage, stderr);
        return 2;
    }
    std::string cmd = argv[1];
    auto arg = [&](int i, const char* dflt) -> std::string { return i < argc ? argv[i] : dflt; };
    auto num = [&](int i) { return i < argc ? atoi(argv[i]) : 0; };
    int r = 2;
    if (cmd == "dump")
        r = cmdDump(arg(2, DefaultTitle));
    else if (cmd == "list")
        r = (EnumWindows(listTop, 0), 0);
    else if (cmd == "text" && argc == 4)
        r = cmdText(argv[2], num(3));
    else if (cmd == "click" && argc == 4)
        r = cmdClick(argv[2], num(3));
    else if (cmd == "select" && argc == 5)
        r = cmdSelect(argv[2], num(3), num(4));
    else if (cmd == "settext" && argc == 5)
        r = cmdSetText(argv[2], num(3), argv[4]);
    else if (cmd == "type" && argc == 5)
        r = cmdType(argv[2], num(3), argv[4]);
    else if (cmd == "menu" && argc == 4) {
        HWND w = findTop(argv[2]);
        r = w && PostMessageA(w, WM_COMMAND, MAKEWPARAM(num(3), 0), 0) ? 0 : 1;
    } else if (cmd == "close" && argc >= 2) {
        HWND w = findTop(arg(2, DefaultTitle));
        r = w && PostMessageA(w, WM_CLOSE, 0, 0) ? 0 : 1;
    } else if (cmd == "focus") {
        HWND w = findTop(arg(2, DefaultTitle));
        r = w && SetForegroundWindow(w) ? 0 : 1;
    } else if ((cmd == "wait" || cmd == "wait-gone") && argc == 4)
        r = cmdWait(argv[2], num(3), cmd == "wait-gone");
    else if (cmd == "msgbox")
        r = cmdMsgbox(arg(2, ""));
    else if (cmd == "wait-msgbox" && argc == 4)
        r = cmdWaitMsgbox(argv[2], num(3));
    else if (cmd == "msgbox-ok")
        r = cmdMsgboxPress(arg(2, ""), IDOK);
    else if (cmd == "msgbox-press" && argc == 4)
        r = cmdMsgboxPress(argv[2], num(3));
    else if (cmd == "watch" && argc == 5)
        r = cmdWatch(argv[2], num(3), num(4));
    else if (cmd == "comopen" && argc == 3)
        r = cmdComOpen(argv[2]);
    else if (cmd == "printers")
        r = cmdPrinters();
    if (r == 2) fputs(Usage, stderr);
    fflush(stdout);
    return r;
}
