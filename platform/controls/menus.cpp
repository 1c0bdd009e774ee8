// Menus: menu handles, the popup-menu loop and the class library's menu components.
#include "platform/controls/menus.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/messages.h"
#include "platform/windows/backend.h"
#include "platform/core/sysutils.h"
#include "platform/windows/input.h"

namespace platform {

// A menu handle points at its items.
struct HMENU__ {
    struct Item {
        UINT flags = 0;
        UINT_PTR id = 0;
        HMENU sub = nullptr;
        std::string text;
        ULONG_PTR data = 0;
    };
    std::vector<Item> items;
};

namespace {

std::set<HMENU>& LiveMenus() {
    static std::set<HMENU> menus;
    return menus;
}

HMENU__* M(HMENU menu) { return menu && LiveMenus().count(menu) ? menu : nullptr; }

HMENU__::Item* ItemOf(HMENU menu, UINT item, UINT flags) {
    HMENU__* m = M(menu);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
    for (auto& it : m->items) {
        if (!(it.flags & MF_POPUP) && it.id == item) return &it;
        if (it.sub)
            if (auto* found = ItemOf(it.sub, item, flags)) return found;
    }
    return nullptr;
}

}  // namespace

HMENU CreateMenu() {
    HMENU m = new HMENU__;
    LiveMenus().insert(m);
    return m;
}

HMENU CreatePopupMenu() { return CreateMenu(); }

BOOL DestroyMenu(HMENU menu) {
    HMENU__* m = M(menu);
    if (!m) return FALSE;
    LiveMenus().erase(m);
    for (auto& it : m->items)
        if (it.sub) DestroyMenu(it.sub);
    delete m;
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return M(menu) ? TRUE : FALSE; }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text) {
    HMENU__* m = M(menu);
    if (!m) return FALSE;
    HMENU__::Item it;
    it.flags = flags & ~MF_BYPOSITION;
    if (flags & MF_POPUP) {
        it.sub = reinterpret_cast<HMENU>(id);
        if (!M(it.sub)) return FALSE;
    } else {
        it.id = id;
    }
    if (flags & MF_OWNERDRAW)
        it.data = reinterpret_cast<ULONG_PTR>(text);
    else if (text && !(flags & MF_SEPARATOR))
        it.text = text;
    m->items.push_back(std::move(it));
    return TRUE;
}

BOOL AppendMenuOwnerDraw(HMENU menu, UINT flags, UINT_PTR id, ULONG_PTR data) {
    return AppendMenuA(menu, flags | MF_OWNERDRAW, id, reinterpret_cast<const char*>(data));
}

int GetMenuItemCount(HMENU menu) {
    HMENU__* m = M(menu);
    return m ? int(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int pos) {
    HMENU__* m = M(menu);
    if (!m || pos < 0 || pos >= int(m->items.size())) return UINT(-1);
    const auto& it = m->items[std::size_t(pos)];
    return it.sub ? UINT(-1) : UINT(it.id);
}

HMENU GetSubMenu(HMENU menu, int pos) {
    HMENU__* m = M(menu);
    if (!m || pos < 0 || pos >= int(m->items.size())) return nullptr;
    return m->items[std::size_t(pos)].sub;
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
    auto* it = ItemOf(menu, item, flags);
    if (!it) return 0;
    if (!buffer || size <= 0) return int(it->text.size());
    int n = std::min(size - 1, int(it->text.size()));
    std::copy_n(it->text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    auto* it = ItemOf(menu, item, flags);
    return it ? it->flags : UINT(-1);
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    auto* it = ItemOf(menu, item, enable);
    if (!it) return UINT(-1);
    UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
    auto* it = ItemOf(menu, item, check);
    if (!it) return DWORD(-1);
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    return old;
}

// ---------------------------------------------------------------- the loop

namespace {

constexpr int kBorder = 3;

struct Level {
    HMENU menu = nullptr;
    HWND wnd = nullptr;
    int hot = -1;
    std::vector<RECT> rects;  // item rectangles in the window's client coordinates
};

struct MenuLoop {
    HWND owner = nullptr;
    UINT flags = 0;
    std::vector<Level> levels;
    bool done = false;
    UINT_PTR result = 0;
    bool closing = false;
};

MenuLoop* gLoop = nullptr;

bool Selectable(const HMENU__::Item& it) { return !(it.flags & MF_SEPARATOR); }
bool Runnable(const HMENU__::Item& it) {
    return !(it.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) && !it.sub;
}

HFONT MenuFont() {
    static TFont* font = [] {
        auto* f = new TFont;
        f->SetName("MS Sans Serif");
        f->SetHeight(-11);
        return f;
    }();
    return font->Handle();
}

// The accelerator letter of a caption (after a single "&"), or 0.
unsigned AccelOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return unsigned(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

void Measure(MenuLoop& loop, Level& level, int& width, int& height) {
    HMENU__* m = M(level.menu);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, MenuFont());
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int textHeight = tm.tmHeight;
    level.rects.clear();
    int y = kBorder;
    int widest = 0;
    std::vector<int> heights;
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& it = m->items[i];
        int w = 0, h = 0;
        if (it.flags & MF_OWNERDRAW) {
            MEASUREITEMSTRUCT mis;
            mis.CtlType = ODT_MENU;
            mis.itemID = it.sub ? UINT(reinterpret_cast<UINT_PTR>(it.sub)) : UINT(it.id);
            mis.itemData = it.data;
            mis.itemHeight = UINT(textHeight + 6);
            if (loop.owner) SendMessage(loop.owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
            w = int(mis.itemWidth);
            h = int(mis.itemHeight);
        } else if (it.flags & MF_SEPARATOR) {
            h = 8;
        } else {
            std::string text = it.text;
            std::string keys;
            if (auto tab = text.find('\t'); tab != std::string::npos) {
                keys = text.substr(tab + 1);
                text.resize(tab);
            }
            RECT r{0, 0, 0, 0};
            DrawText(dc, text, &r, DT_CALCRECT | DT_SINGLELINE);
            w = 20 + int(r.right) + 20;
            if (!keys.empty()) {
                RECT k{0, 0, 0, 0};
                DrawText(dc, keys, &k, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
                w += int(k.right) + 12;
            }
            h = std::max(textHeight + 6, 19);
        }
        widest = std::max(widest, w);
        heights.push_back(h);
    }
    for (int h : heights) {
        level.rects.push_back(RECT{kBorder, y, 0, y + h});
        y += h;
    }
    widest = std::max(widest, 60);
    for (auto& r : level.rects) r.right = kBorder + widest;
    width = widest + 2 * kBorder;
    height = y + kBorder;
    DeleteDC(dc);
}

void PaintLevel(MenuLoop& loop, Level& level, HDC dc) {
    HMENU__* m = M(level.menu);
    RECT client;
    GetClientRect(level.wnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
    RECT frame = client;
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    if (!m) return;
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < m->items.size() && i < level.rects.size(); ++i) {
        const auto& it = m->items[i];
        RECT r = level.rects[i];
        bool hot = int(i) == level.hot;
        bool disabled = (it.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        if (it.flags & MF_OWNERDRAW) {
            DRAWITEMSTRUCT dis;
            dis.CtlType = ODT_MENU;
            dis.itemID = it.sub ? UINT(reinterpret_cast<UINT_PTR>(it.sub)) : UINT(it.id);
            dis.itemAction = ODA_DRAWENTIRE;
            dis.itemState = (hot ? ODS_SELECTED : 0) | (disabled ? ODS_GRAYED | ODS_DISABLED : 0) |
                            ((it.flags & MF_CHECKED) ? ODS_CHECKED : 0) | ((it.flags & MF_DEFAULT) ? ODS_DEFAULT : 0);
            dis.hwndItem = reinterpret_cast<HWND>(level.menu);
            dis.hDC = dc;
            dis.rcItem = r;
            dis.itemData = it.data;
            int saved = SaveDC(dc);
            IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
            if (loop.owner) SendMessage(loop.owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
            RestoreDC(dc, saved);
            continue;
        }
        if (it.flags & MF_SEPARATOR) {
            RECT line{r.left + 1, r.top + 3, r.right - 1, r.top + 5};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            continue;
        }
        if (hot) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT)
                                  : hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_MENUTEXT));
        std::string text = it.text, keys;
        if (auto tab = text.find('\t'); tab != std::string::npos) {
            keys = text.substr(tab + 1);
            text.resize(tab);
        }
        RECT tr{r.left + 20, r.top, r.right - 8, r.bottom};
        DrawText(dc, text, &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        if (!keys.empty()) {
            RECT kr{r.left + 20, r.top, r.right - 20, r.bottom};
            DrawText(dc, keys, &kr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
        }
        COLORREF mark = disabled ? GetSysColor(COLOR_GRAYTEXT) : hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_MENUTEXT);
        HPEN pen = CreatePen(PS_SOLID, 1, mark);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        int cy = (r.top + r.bottom) / 2;
        if (it.flags & MF_CHECKED) {
            // A check mark in the left column.
            for (int k = 0; k < 2; ++k) {
                MoveToEx(dc, r.left + 6, cy - 1 + k, nullptr);
                LineTo(dc, r.left + 8, cy + 1 + k);
                LineTo(dc, r.left + 13, cy - 4 + k);
            }
        }
        if (it.sub) {
            // The submenu arrow on the right.
            for (int k = 0; k < 4; ++k) {
                MoveToEx(dc, r.right - 12 + k, cy - 3 + k, nullptr);
                LineTo(dc, r.right - 12 + k, cy + 4 - k);
            }
        }
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    SelectObject(dc, oldFont);
}

LRESULT MenuWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void RegisterMenuClass() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA cls;
    cls.style = CS_DBLCLKS;
    cls.lpfnWndProc = &MenuWndProc;
    cls.lpszClassName = kMenuWindowClass;
    RegisterClassA(cls);
}

TRect ScreenArea() { return Backend().ScreenRect(); }

// Opens a level of the loop at a screen point: with flip, a level that would leave the
// screen goes to the other side of (flipX, flipY).
void OpenLevel(MenuLoop& loop, HMENU menu, int x, int y, int flipX, int flipY) {
    RegisterMenuClass();
    Level level;
    level.menu = menu;
    int w = 0, h = 0;
    Measure(loop, level, w, h);
    TRect screen = ScreenArea();
    if (x + w > screen.right) x = flipX - w >= screen.left ? flipX - w : screen.right - w;
    if (y + h > screen.bottom) y = flipY - h >= screen.top ? flipY - h : screen.bottom - h;
    x = std::max<int>(x, screen.left);
    y = std::max<int>(y, screen.top);
    level.wnd = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kMenuWindowClass, "", WS_POPUP, x, y, w, h,
                                loop.owner ? GetAncestor(loop.owner, GA_ROOT) : nullptr, nullptr, nullptr, nullptr);
    loop.levels.push_back(level);
    if (level.wnd) {
        ShowWindow(level.wnd, SW_SHOWNOACTIVATE);
        UpdateWindow(level.wnd);
    }
}

void CloseLevelsAbove(MenuLoop& loop, std::size_t keep) {
    while (loop.levels.size() > keep) {
        HWND w = loop.levels.back().wnd;
        loop.levels.pop_back();
        if (w) DestroyWindow(w);
    }
    if (!loop.levels.empty() && loop.levels[0].wnd && GetCapture() != loop.levels[0].wnd)
        SetCapture(loop.levels[0].wnd);
}

void Finish(MenuLoop& loop, UINT_PTR result) {
    loop.result = result;
    loop.done = true;
}

void SetHot(MenuLoop& loop, std::size_t index, int hot) {
    Level& level = loop.levels[index];
    if (level.hot == hot) return;
    level.hot = hot;
    if (level.wnd) InvalidateRect(level.wnd, nullptr, TRUE);
}

void OpenSub(MenuLoop& loop, std::size_t index, bool selectFirst) {
    Level& level = loop.levels[index];
    HMENU__* m = M(level.menu);
    if (!m || level.hot < 0) return;
    const auto& it = m->items[std::size_t(level.hot)];
    if (!it.sub || (it.flags & (MF_GRAYED | MF_DISABLED))) return;
    CloseLevelsAbove(loop, index + 1);
    RECT r = level.rects[std::size_t(level.hot)];
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ClientToScreen(level.wnd, &tl);
    ClientToScreen(level.wnd, &br);
    RECT win;
    GetWindowRect(level.wnd, &win);
    OpenLevel(loop, it.sub, br.x - 2, tl.y - kBorder, win.left + 2, br.y + kBorder);
    if (selectFirst) {
        HMENU__* sub = M(it.sub);
        for (std::size_t i = 0; sub && i < sub->items.size(); ++i)
            if (Selectable(sub->items[i])) {
                SetHot(loop, loop.levels.size() - 1, int(i));
                break;
            }
    }
}

void Choose(MenuLoop& loop, std::size_t index, int item) {
    HMENU__* m = M(loop.levels[index].menu);
    if (!m || item < 0 || item >= int(m->items.size())) return;
    const auto& it = m->items[std::size_t(item)];
    if (it.sub) {
        SetHot(loop, index, item);
        OpenSub(loop, index, true);
        return;
    }
    // Disabled items and separators never run.
    if (!Runnable(it)) return;
    Finish(loop, it.id);
}

// The level and item under a screen point; false outside every level.
bool HitLevel(MenuLoop& loop, POINT screen, std::size_t& index, int& item) {
    for (std::size_t k = loop.levels.size(); k-- > 0;) {
        Level& level = loop.levels[k];
        RECT win;
        if (!level.wnd || !GetWindowRect(level.wnd, &win)) continue;
        if (screen.x < win.left || screen.x >= win.right || screen.y < win.top || screen.y >= win.bottom) continue;
        POINT p = screen;
        ScreenToClient(level.wnd, &p);
        index = k;
        item = -1;
        for (std::size_t i = 0; i < level.rects.size(); ++i) {
            const RECT& r = level.rects[i];
            if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) item = int(i);
        }
        return true;
    }
    return false;
}

void MoveHot(MenuLoop& loop, int direction) {
    std::size_t index = loop.levels.size() - 1;
    Level& level = loop.levels[index];
    HMENU__* m = M(level.menu);
    if (!m || m->items.empty()) return;
    int n = int(m->items.size());
    int i = level.hot;
    for (int step = 0; step < n; ++step) {
        i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
        if (Selectable(m->items[std::size_t(i)])) {
            SetHot(loop, index, i);
            return;
        }
    }
}

void MenuKey(MenuLoop& loop, const MSG& msg) {
    if (loop.levels.empty()) return;
    std::size_t index = loop.levels.size() - 1;
    Level& level = loop.levels[index];
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        switch (msg.wParam) {
            case VK_DOWN: MoveHot(loop, 1); break;
            case VK_UP: MoveHot(loop, -1); break;
            case VK_RIGHT: OpenSub(loop, index, true); break;
            case VK_LEFT:
                if (loop.levels.size() > 1) CloseLevelsAbove(loop, index);
                break;
            case VK_ESCAPE:
                if (loop.levels.size() > 1)
                    CloseLevelsAbove(loop, index);
                else
                    Finish(loop, 0);
                break;
            case VK_RETURN:
            case VK_SPACE:
                if (level.hot >= 0) Choose(loop, index, level.hot);
                break;
            case VK_MENU:
            case VK_F10: Finish(loop, 0); break;
            default: break;
        }
        return;
    }
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        HMENU__* m = M(level.menu);
        if (!m || msg.wParam < 32 || msg.wParam >= 0x80) return;
        unsigned key = unsigned(std::toupper(int(msg.wParam)));
        for (std::size_t i = 0; i < m->items.size(); ++i) {
            if (AccelOf(m->items[i].text) == key && Selectable(m->items[i])) {
                SetHot(loop, index, int(i));
                Choose(loop, index, int(i));
                return;
            }
        }
    }
}

LRESULT MenuWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MenuLoop* loop = gLoop;
    auto levelOf = [&](HWND h) -> Level* {
        if (!loop) return nullptr;
        for (auto& l : loop->levels)
            if (l.wnd == h) return &l;
        return nullptr;
    };
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (Level* l = levelOf(hwnd)) PaintLevel(*loop, *l, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK: {
            if (!loop || loop->done) return 0;
            POINT p{std::int16_t(LOWORD(std::uintptr_t(lParam))), std::int16_t(HIWORD(std::uintptr_t(lParam)))};
            ClientToScreen(hwnd, &p);
            std::size_t index = 0;
            int item = -1;
            bool inside = HitLevel(*loop, p, index, item);
            if (msg == WM_MOUSEMOVE) {
                if (inside && item >= 0) {
                    HMENU__* m = M(loop->levels[index].menu);
                    if (m && Selectable(m->items[std::size_t(item)])) {
                        if (loop->levels[index].hot != item) {
                            SetHot(*loop, index, item);
                            CloseLevelsAbove(*loop, index + 1);
                            if (m->items[std::size_t(item)].sub) OpenSub(*loop, index, false);
                        }
                    }
                }
                return 0;
            }
            bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
                        msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK;
            if (!inside) {
                // A press outside every level dismisses the menu; the press goes nowhere else.
                if (down) Finish(*loop, 0);
                return 0;
            }
            if (!down && item >= 0) {
                if (msg == WM_RBUTTONUP && !(loop->flags & TPM_RIGHTBUTTON)) return 0;
                HMENU__* m = M(loop->levels[index].menu);
                if (m && !m->items[std::size_t(item)].sub) Choose(*loop, index, item);
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            // The pointer went to a window outside the menu: the menu goes.
            if (loop && !loop->done && !loop->closing && !levelOf(reinterpret_cast<HWND>(lParam))) Finish(*loop, 0);
            return 0;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void WaitForMenuInput() {
    WindowBackend& backend = Backend();
    HANDLE display = backend.InputEvent();
    if (display && !backend.ReadyToWait()) return;
    MsgWaitForMultipleObjects(display ? 1 : 0, display ? &display : nullptr, FALSE, INFINITE, QS_ALLINPUT);
}

}  // namespace

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    if (!M(menu) || gLoop) return FALSE;
    MenuLoop loop;
    loop.owner = owner;
    loop.flags = flags;
    gLoop = &loop;
    struct Reset {
        MenuLoop* loop;
        ~Reset() {
            loop->closing = true;
            if (!loop->levels.empty() && GetCapture() == loop->levels[0].wnd) ReleaseCapture();
            CloseLevelsAbove(*loop, 0);
            gLoop = nullptr;
        }
    } reset{&loop};
    if (owner) SendMessage(owner, WM_ENTERMENULOOP, TRUE, 0);
    if (owner) SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    {
        // Alignment against the point before the edge rules.
        Level probe;
        probe.menu = menu;
        int w = 0, h = 0;
        Measure(loop, probe, w, h);
        int left = (flags & TPM_RIGHTALIGN) ? x - w : (flags & TPM_CENTERALIGN) ? x - w / 2 : x;
        int top = (flags & TPM_BOTTOMALIGN) ? y - h : (flags & TPM_VCENTERALIGN) ? y - h / 2 : y;
        OpenLevel(loop, menu, left, top, x, y);
    }
    if (!loop.levels[0].wnd) return FALSE;
    SetCapture(loop.levels[0].wnd);
    while (!loop.done) {
        Backend().PollInput();
        MSG msg;
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The program is ending: close the menu and leave the quit for the main loop.
                PostQuitMessage(int(msg.wParam));
                Finish(loop, 0);
                break;
            }
            if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
                MenuKey(loop, msg);
                continue;
            }
            try {
                DispatchMessage(&msg);
            } catch (...) {
                Application->HandleException(nullptr);
            }
            continue;
        }
        if (HasPendingInput()) {
            ProcessInputEvent();
            continue;
        }
        if (HasPendingPaint()) {
            PaintPendingWindows();
            continue;
        }
        TControlCanvas::FreeDeviceContexts();
        WaitForMenuInput();
    }
    UINT_PTR result = loop.result;
    loop.closing = true;
    if (GetCapture() == loop.levels[0].wnd) ReleaseCapture();
    CloseLevelsAbove(loop, 0);
    if (owner) SendMessage(owner, WM_EXITMENULOOP, TRUE, 0);
    if (flags & TPM_RETURNCMD) return BOOL(result);
    if (result && owner && !(flags & TPM_NONOTIFY)) PostMessage(owner, WM_COMMAND, WPARAM(result), 0);
    return TRUE;
}

BOOL EndMenu() {
    if (!gLoop) return FALSE;
    Finish(*gLoop, 0);
    return TRUE;
}

HWND ActiveMenuWindow() { return gLoop && !gLoop->levels.empty() ? gLoop->levels[0].wnd : nullptr; }

// ---------------------------------------------------------------- shortcuts

TShortCut ShortCut(WORD key, TShiftState shift) {
    TShortCut s = TShortCut(key & 0xFF);
    if (shift & ssShift) s |= scShift;
    if (shift & ssCtrl) s |= scCtrl;
    if (shift & ssAlt) s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
    key = shortCut & 0xFF;
    shift = 0;
    if (shortCut & scShift) shift |= ssShift;
    if (shortCut & scCtrl) shift |= ssCtrl;
    if (shortCut & scAlt) shift |= ssAlt;
}

namespace {

struct KeyName {
    WORD key;
    const char* name;
};
const KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},  {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},  {VK_END, "End"},      {VK_HOME, "Home"},   {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},   {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
};

std::string KeyText(WORD key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, char(key));
    if (key >= VK_F1 && key <= VK_F1 + 23) {
        std::string name = "F";
        name += std::to_string(key - VK_F1 + 1);
        return name;
    }
    for (const auto& k : kKeyNames)
        if (k.key == key) return k.name;
    return std::string();
}

}  // namespace

std::string ShortCutToText(TShortCut shortCut) {
    std::string name = KeyText(shortCut & 0xFF);
    if (name.empty()) return std::string();
    std::string out;
    if (shortCut & scShift) out += "Shift+";
    if (shortCut & scCtrl) out += "Ctrl+";
    if (shortCut & scAlt) out += "Alt+";
    return out + name;
}

TShortCut TextToShortCut(const std::string& text) {
    TShortCut mods = 0;
    std::string rest = text;
    auto strip = [&](const char* prefix, TShortCut bit) {
        std::size_t n = std::char_traits<char>::length(prefix);
        if (rest.size() > n && SameText(rest.substr(0, n), prefix)) {
            mods |= bit;
            rest = rest.substr(n);
            return true;
        }
        return false;
    };
    while (strip("Shift+", scShift) || strip("Ctrl+", scCtrl) || strip("Alt+", scAlt)) {
    }
    for (int key = 1; key < 256; ++key) {
        std::string name = KeyText(WORD(key));
        if (!name.empty() && SameText(name, rest)) return TShortCut(mods | key);
    }
    return 0;
}

std::string StripHotkey(const std::string& caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            // "&&" is one "&"; a single "&" marks the next character and is dropped.
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (parent_) parent_->Remove(this);
    while (!items_.empty()) delete items_.back();
}

void TMenuItem::SetCaption(const std::string& value) {
    if (caption_ == value) return;
    caption_ = value;
    Changed(false);
}
void TMenuItem::SetChecked(bool value) {
    if (checked_ == value) return;
    checked_ = value;
    Changed(false);
}
void TMenuItem::SetEnabled(bool value) {
    if (enabled_ == value) return;
    enabled_ = value;
    Changed(false);
}
void TMenuItem::SetVisible(bool value) {
    if (visible_ == value) return;
    visible_ = value;
    Changed(true);
}
void TMenuItem::SetDefault(bool value) {
    if (default_ == value) return;
    default_ = value;
    Changed(false);
}
void TMenuItem::SetShortCut(TShortCut value) {
    if (shortCut_ == value) return;
    shortCut_ = value;
    Changed(false);
}
void TMenuItem::SetImageIndex(int value) {
    if (imageIndex_ == value) return;
    imageIndex_ = value;
    Changed(false);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Menu index out of bounds (" + std::to_string(index) + ")");
    return items_[std::size_t(index)];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    if (item->parent_) throw EInvalidOperation("Menu inserted twice");
    if (index < 0 || index > Count()) throw EListError("Menu index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    if (TMenu* menu = GetParentMenu()) menu->Notification(item, opInsert);
    Changed(true);
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
    Changed(true);
}

void TMenuItem::Delete(int index) { delete Items(index); }

void TMenuItem::Clear() {
    while (!items_.empty()) delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->parent_) root = root->parent_;
    return root->menu_;
}

TMenuItem* TMenuItem::FindItem(UINT command) {
    if (command == 0) return nullptr;
    for (TMenuItem* item : items_) {
        if (item->command_ == command) return item;
        if (TMenuItem* found = item->FindItem(command)) return found;
    }
    return nullptr;
}

void TMenuItem::Click() {
    if (!enabled_) return;
    if (OnClick) OnClick(this);
}

void TMenuItem::Changed(bool rebuild) {
    if (TMenu* menu = GetParentMenu()) menu->MenuChanged(menu, this, rebuild);
}

void TMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
    if (OnMeasureItem) {
        OnMeasureItem(this, canvas, width, height);
        return;
    }
    if (IsLine()) {
        height = 8;
        return;
    }
    std::string text = StripHotkey(caption_);
    std::string keys = ShortCutToText(shortCut_);
    width = 20 + canvas->TextWidth(text) + 20 + (keys.empty() ? 0 : canvas->TextWidth(keys) + 12);
    height = std::max(canvas->TextHeight("Wg") + 6, 19);
}

void DrawMenuItem(TMenuItem* item, TCanvas* canvas, TRect rect, TOwnerDrawState state) {
    bool selected = state & odSelected;
    bool disabled = state & (odDisabled | odGrayed);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(selected && !disabled ? clHighlight : clMenu);
    canvas->FillRect(rect);
    if (item->IsLine()) {
        RECT line{rect.left + 1, rect.top + rect.Height() / 2 - 1, rect.right - 1, rect.top + rect.Height() / 2 + 1};
        DrawEdge(canvas->Handle(), &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    canvas->Font()->SetColor(disabled ? clGrayText : selected ? clHighlightText : clMenuText);
    HDC dc = TextDC(canvas);
    RECT tr{rect.left + 20, rect.top, rect.right - 8, rect.bottom};
    DrawText(dc, item->Caption(), &tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    std::string keys = ShortCutToText(item->ShortCut());
    if (!keys.empty()) {
        RECT kr{rect.left + 20, rect.top, rect.right - 20, rect.bottom};
        DrawText(dc, keys, &kr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    }
    if (state & odChecked) {
        int cy = (rect.top + rect.bottom) / 2;
        canvas->Pen()->SetColor(canvas->Font()->Color());
        for (int k = 0; k < 2; ++k) {
            canvas->MoveTo(rect.left + 6, cy - 1 + k);
            canvas->LineTo(rect.left + 8, cy + 1 + k);
            canvas->LineTo(rect.left + 13, cy - 4 + k);
        }
    }
}

void TMenuItem::AdvancedDrawItem(TCanvas* canvas, TRect rect, TOwnerDrawState state) {
    if (OnAdvancedDrawItem) {
        OnAdvancedDrawItem(this, canvas, rect, state);
        return;
    }
    if (OnDrawItem) {
        OnDrawItem(this, canvas, rect, (state & odSelected) != 0);
        return;
    }
    DrawMenuItem(this, canvas, rect, state);
}

// ---------------------------------------------------------------- TMenu

namespace {

// The window that receives a shown menu's WM_COMMAND and owner-draw messages, and hands
// them to the menu whose items they name.
std::vector<TMenu*>& ShownMenus() {
    static std::vector<TMenu*> menus;
    return menus;
}

// The canvas the items of a shown menu measure and draw on: one for the whole showing, put
// back to a new canvas's state before every item, so an item sees what a fresh canvas would
// show it without the cost of new font, pen and brush handles per item.
struct ItemCanvas {
    TCanvas canvas;
    HDC measureDc = nullptr;
    ~ItemCanvas() {
        canvas.SetHandle(nullptr);
        if (measureDc) DeleteDC(measureDc);
    }
};

std::unique_ptr<ItemCanvas>& ShownItemCanvas() {
    static std::unique_ptr<ItemCanvas> canvas;
    return canvas;
}

TCanvas* PrepareItemCanvas(HDC dc) {
    auto& held = ShownItemCanvas();
    if (!held) held = std::make_unique<ItemCanvas>();
    if (!dc) {
        if (!held->measureDc) held->measureDc = CreateCompatibleDC(nullptr);
        dc = held->measureDc;
    }
    static const TCanvas pristine;
    static const TFont& font0 = *const_cast<TCanvas&>(pristine).Font();
    static const TPen& pen0 = *const_cast<TCanvas&>(pristine).Pen();
    static const TBrush& brush0 = *const_cast<TCanvas&>(pristine).Brush();
    TCanvas& c = held->canvas;
    c.OnChange = nullptr;
    c.OnChanging = nullptr;
    c.SetCopyMode(pristine.CopyMode());
    c.SetTextFlags(pristine.TextFlags());
    TFont* f = c.Font();
    f->SetPixelsPerInch(font0.PixelsPerInch());
    f->SetName("MS Sans Serif");
    f->SetHeight(-11);
    f->SetStyle(font0.Style());
    f->SetColor(font0.Color());
    f->SetCharset(font0.Charset());
    f->SetPitch(font0.Pitch());
    f->SetQuality(font0.Quality());
    TPen* pen = c.Pen();
    pen->SetColor(pen0.Color());
    pen->SetWidth(pen0.Width());
    pen->SetStyle(pen0.Style());
    pen->SetMode(pen0.Mode());
    TBrush* brush = c.Brush();
    if (brush->Bitmap()) brush->SetBitmap(nullptr);
    brush->SetColor(brush0.Color());
    brush->SetStyle(brush0.Style());
    // Selects the state afresh into a paint DC, as a new canvas would on first use. The
    // measuring DC is the canvas's own and keeps what is selected into it.
    if (dc != held->measureDc) c.SetHandle(nullptr);
    c.SetHandle(dc);
    return &c;
}

// Lets go of the item canvas once no menu is shown any more.
void EndShowing() {
    ShownMenus().pop_back();
    if (ShownMenus().empty()) ShownItemCanvas().reset();
}

LRESULT PopupListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TMenu* menu = ShownMenus().empty() ? nullptr : ShownMenus().back();
    if (menu && msg == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (TMenuItem* item = menu->FindItem(UINT(mis->itemData))) {
            TCanvas* canvas = PrepareItemCanvas(nullptr);
            int w = int(mis->itemWidth), h = int(mis->itemHeight);
            item->MeasureItem(canvas, w, h);
            mis->itemWidth = UINT(std::max(0, w));
            mis->itemHeight = UINT(std::max(0, h));
        }
        return TRUE;
    }
    if (menu && msg == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (TMenuItem* item = menu->FindItem(UINT(dis->itemData))) {
            TCanvas* canvas = PrepareItemCanvas(dis->hDC);
            TOwnerDrawState state = 0;
            if (dis->itemState & ODS_SELECTED) state |= odSelected;
            if (dis->itemState & ODS_GRAYED) state |= odGrayed;
            if (dis->itemState & ODS_DISABLED) state |= odDisabled;
            if (dis->itemState & ODS_CHECKED) state |= odChecked;
            if (dis->itemState & ODS_DEFAULT) state |= odDefault;
            try {
                item->AdvancedDrawItem(canvas, TRect(dis->rcItem), state);
            } catch (...) {
                canvas->SetHandle(nullptr);
                throw;
            }
            canvas->SetHandle(nullptr);
        }
        return TRUE;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND PopupListWindow() {
    static HWND h = nullptr;
    if (h && IsWindow(h)) return h;
    WNDCLASSA cls;
    cls.lpfnWndProc = &PopupListProc;
    cls.lpszClassName = "TPopupList";
    RegisterClassA(cls);
    h = CreateWindowExA(0, "TPopupList", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    return h;
}

}  // namespace

TMenu::TMenu(TComponent* owner) : TComponent(owner) {
    items_ = new TMenuItem(nullptr);
    items_->menu_ = this;
}

TMenu::~TMenu() {
    auto& shown = ShownMenus();
    shown.erase(std::remove(shown.begin(), shown.end(), this), shown.end());
    delete items_;
}

void TMenu::SetImages(TCustomImageList* value) {
    if (images_ == value) return;
    if (images_) RemoveFreeNotification(reinterpret_cast<TComponent*>(images_));
    images_ = value;
    if (value) FreeNotification(reinterpret_cast<TComponent*>(value));
}

void TMenu::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && images_ && component == reinterpret_cast<TComponent*>(images_)) images_ = nullptr;
    TComponent::Notification(component, operation);
}

void TMenu::MenuChanged(TObject*, TMenuItem* source, bool rebuild) {
    if (OnChange) OnChange(this, source, rebuild);
}

bool TMenu::IsShortCut(WORD key, TShiftState shift) {
    TShortCut wanted = ShortCut(key, shift & (ssShift | ssCtrl | ssAlt));
    if ((wanted & 0xFF) == 0) return false;
    std::function<TMenuItem*(TMenuItem*)> find = [&](TMenuItem* parent) -> TMenuItem* {
        for (int i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            if (!item->Visible() || !item->Enabled()) continue;
            if (item->ShortCut() == wanted) return item;
            if (TMenuItem* found = find(item)) return found;
        }
        return nullptr;
    };
    TMenuItem* item = find(items_);
    if (!item) return false;
    item->Click();
    return true;
}

void TMenu::AddItems(HMENU menu, TMenuItem* parent, UINT& next) {
    for (int i = 0; i < parent->Count(); ++i) {
        TMenuItem* item = parent->Items(i);
        if (!item->Visible()) continue;
        item->command_ = next++;
        UINT flags = 0;
        if (item->IsLine()) flags |= MF_SEPARATOR;
        if (!item->Enabled()) flags |= MF_GRAYED;
        if (item->Checked()) flags |= MF_CHECKED;
        if (item->Default()) flags |= MF_DEFAULT;
        std::string text = item->Caption();
        std::string keys = ShortCutToText(item->ShortCut());
        if (!keys.empty()) text += "\t" + keys;
        if (item->Count() > 0) {
            HMENU sub = CreatePopupMenu();
            AddItems(sub, item, next);
            flags |= MF_POPUP;
            if (ownerDraw_) {
                // Owner-drawn items carry their command as their data.
                AppendMenuA(menu, flags | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(sub), reinterpret_cast<const char*>(ULONG_PTR(item->command_)));
                HMENU__* m = menu;
                m->items.back().text = text;
            } else {
                AppendMenuA(menu, flags, reinterpret_cast<UINT_PTR>(sub), text.c_str());
            }
            continue;
        }
        if (ownerDraw_) {
            AppendMenuA(menu, flags | MF_OWNERDRAW, item->command_, reinterpret_cast<const char*>(ULONG_PTR(item->command_)));
            HMENU__* m = menu;
            m->items.back().text = text;
        } else {
            AppendMenuA(menu, flags, item->command_, text.c_str());
        }
    }
}

HMENU TMenu::BuildHandle() {
    HMENU menu = CreatePopupMenu();
    UINT next = 1;
    AddItems(menu, items_, next);
    return menu;
}

HWND TMenu::PopupOwner() { return PopupListWindow(); }

// ---------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == popupComponent_) popupComponent_ = nullptr;
    TMenu::Notification(component, operation);
}

void TPopupMenu::DoPopup(TObject* sender) {
    if (OnPopup) OnPopup(sender);
}

void TPopupMenu::Popup(int x, int y) {
    DoPopup(this);
    HMENU menu = BuildHandle();
    static const UINT kAlign[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
    ShownMenus().push_back(this);
    UINT command = 0;
    try {
        command = UINT(TrackPopupMenu(menu, kAlign[alignment_] | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, PopupOwner(),
                                      nullptr));
    } catch (...) {
        EndShowing();
        DestroyMenu(menu);
        throw;
    }
    DestroyMenu(menu);
    TMenuItem* item = FindItem(command);
    EndShowing();
    if (item) item->Click();
}

}  // namespace platform
