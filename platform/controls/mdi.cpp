// The MDI client window: the area of an MDI main form its child forms live in.
#include "platform/controls/mdi.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/graphics/gdi.h"

namespace platform {

const char* const MDICLIENT_CLASS = "MDICLIENT";

namespace {

struct ClientState {
    HWND active = nullptr;
};

// The clients by window. Everything runs on the user-interface thread.
std::map<HWND, ClientState>& Clients() {
    static std::map<HWND, ClientState> clients;
    return clients;
}

bool IsChildOfClient(HWND client, HWND child) {
    return child && IsWindow(child) && GetAncestor(child, GA_PARENT) == client &&
           (DWORD(GetWindowLongA(child, GWL_EXSTYLE)) & WS_EX_MDICHILD);
}

void Activate(HWND client, HWND child) {
    if (!IsChildOfClient(client, child)) return;
    ClientState& state = Clients()[client];
    SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND old = state.active;
    if (old == child) return;
    // Recorded first, so that what the children do on the news sees the new state.
    state.active = child;
    if (old && IsWindow(old))
        SendMessage(old, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
    if (IsWindow(child))
        SendMessage(child, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
}

HWND ActiveChild(HWND client) {
    auto it = Clients().find(client);
    if (it == Clients().end()) return nullptr;
    HWND a = it->second.active;
    return IsChildOfClient(client, a) ? a : nullptr;
}

bool Shown(HWND h) { return (DWORD(GetWindowLongA(h, GWL_STYLE)) & WS_VISIBLE) != 0; }

// The shown children, topmost first, split into normal and minimised ones.
void ShownChildren(HWND client, std::vector<HWND>& normal, std::vector<HWND>& iconic) {
    for (HWND h : MDIChildWindows(client)) {
        if (!Shown(h)) continue;
        (IsIconic(h) ? iconic : normal).push_back(h);
    }
}

void ArrangeIcons(HWND client) {
    std::vector<HWND> normal, iconic;
    ShownChildren(client, normal, iconic);
    RECT r;
    GetClientRect(client, &r);
    const int perRow = std::max(1, int(r.right) / MDI_ICON_WIDTH);
    // Bottom-most first: the oldest icon takes the left of the lowest row.
    std::reverse(iconic.begin(), iconic.end());
    for (std::size_t i = 0; i < iconic.size(); ++i) {
        int x = int(i % std::size_t(perRow)) * MDI_ICON_WIDTH;
        int y = int(r.bottom) - MDI_ICON_HEIGHT * (int(i / std::size_t(perRow)) + 1);
        SetWindowPos(iconic[i], nullptr, x, y, MDI_ICON_WIDTH, MDI_ICON_HEIGHT, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Tile(HWND client, WPARAM how) {
    std::vector<HWND> normal, iconic;
    ShownChildren(client, normal, iconic);
    if (how & MDITILE_SKIPDISABLED)
        normal.erase(std::remove_if(normal.begin(), normal.end(), [](HWND h) { return !IsWindowEnabled(h); }),
                     normal.end());
    for (HWND h : normal)
        if (IsZoomed(h)) ShowWindow(h, SW_RESTORE);
    ArrangeIcons(client);
    if (normal.empty()) return;
    RECT r;
    GetClientRect(client, &r);
    const int width = int(r.right), height = int(r.bottom) - (iconic.empty() ? 0 : MDI_ICON_HEIGHT);
    const int n = int(normal.size());
    for (int i = 0; i < n; ++i) {
        if (how & MDITILE_HORIZONTAL) {
            int y0 = height * i / n, y1 = height * (i + 1) / n;
            SetWindowPos(normal[std::size_t(i)], nullptr, 0, y0, width, y1 - y0, SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            int x0 = width * i / n, x1 = width * (i + 1) / n;
            SetWindowPos(normal[std::size_t(i)], nullptr, x0, 0, x1 - x0, height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void Cascade(HWND client) {
    std::vector<HWND> normal, iconic;
    ShownChildren(client, normal, iconic);
    for (HWND h : normal)
        if (IsZoomed(h)) ShowWindow(h, SW_RESTORE);
    ArrangeIcons(client);
    RECT r;
    GetClientRect(client, &r);
    constexpr int step = 22;
    const int w = std::max(1, int(r.right) * 3 / 4), h = std::max(1, int(r.bottom) * 3 / 4);
    // The bottom-most child first, so the active one ends on top, furthest in.
    int at = 0;
    for (auto it = normal.rbegin(); it != normal.rend(); ++it, at += step)
        SetWindowPos(*it, nullptr, at, at, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Next(HWND client, HWND from, bool previous) {
    std::vector<HWND> normal, iconic;
    ShownChildren(client, normal, iconic);
    std::vector<HWND> all = normal;
    all.insert(all.end(), iconic.begin(), iconic.end());
    if (all.size() < 2) return;
    if (!from) from = ActiveChild(client);
    auto it = std::find(all.begin(), all.end(), from);
    if (it == all.end()) return;
    if (previous) {
        Activate(client, all.back());
    } else {
        // The next below takes the top; the one that was active goes to the bottom.
        HWND next = it + 1 == all.end() ? all.front() : *(it + 1);
        Activate(client, next);
        SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

LRESULT ClientProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND child = reinterpret_cast<HWND>(wParam);
    switch (msg) {
        case WM_MDICREATE: {
            auto* cs = reinterpret_cast<const MDICREATESTRUCTA*>(lParam);
            if (!cs || !cs->szClass) return 0;
            HWND made = CreateWindowExA(WS_EX_MDICHILD, cs->szClass, cs->szTitle ? cs->szTitle : "",
                                        (cs->style & ~DWORD(WS_POPUP)) | WS_CHILD | WS_CLIPSIBLINGS, cs->x, cs->y, cs->cx,
                                        cs->cy, h, nullptr, cs->hOwner, reinterpret_cast<void*>(cs->lParam));
            if (!made) return 0;
            if (DWORD(GetWindowLongA(made, GWL_STYLE)) & WS_VISIBLE) Activate(h, made);
            return reinterpret_cast<LRESULT>(made);
        }
        case WM_MDIACTIVATE: Activate(h, child); return 0;
        case WM_MDIGETACTIVE: {
            HWND a = ActiveChild(h);
            if (lParam) *reinterpret_cast<BOOL*>(lParam) = a && IsZoomed(a) ? TRUE : FALSE;
            return reinterpret_cast<LRESULT>(a);
        }
        case WM_MDIDESTROY:
            if (IsChildOfClient(h, child)) {
                MDIChildGoing(h, child);
                DestroyWindow(child);
            }
            return 0;
        case WM_MDINEXT: Next(h, child, lParam != 0); return 0;
        case WM_MDIMAXIMIZE:
            if (IsChildOfClient(h, child) && !IsZoomed(child)) ShowWindow(child, SW_MAXIMIZE);
            return 0;
        case WM_MDIRESTORE:
            if (IsChildOfClient(h, child) && (IsZoomed(child) || IsIconic(child))) ShowWindow(child, SW_RESTORE);
            return 0;
        case WM_MDITILE: Tile(h, wParam); return TRUE;
        case WM_MDICASCADE: Cascade(h); return TRUE;
        case WM_MDIICONARRANGE: ArrangeIcons(h); return 0;
        case WM_MDISETMENU:
        case WM_MDIREFRESHMENU:
            // No native menu bar shows here: the form's menu (and its Window menu) is drawn by
            // whoever shows it.
            return 0;
        case WM_SIZE: {
            // A maximised child keeps filling the client.
            if (HWND a = ActiveChild(h); a && IsZoomed(a)) {
                RECT r;
                GetClientRect(h, &r);
                SetWindowPos(a, nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
            }
            ArrangeIcons(h);
            return 0;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(h, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_APPWORKSPACE));
            return 1;
        }
        case WM_NCDESTROY: Clients().erase(h); break;
        default: break;
    }
    return DefWindowProcA(h, msg, wParam, lParam);
}

}  // namespace

HWND CreateMDIClientWindow(HWND frame) {
    WNDCLASSA cls;
    if (!GetClassInfoA(MDICLIENT_CLASS, &cls)) {
        cls = WNDCLASSA();
        cls.lpfnWndProc = &ClientProc;
        cls.lpszClassName = MDICLIENT_CLASS;
        RegisterClassA(cls);
    }
    RECT r;
    GetClientRect(frame, &r);
    HWND client = CreateWindowExA(WS_EX_CLIENTEDGE, MDICLIENT_CLASS, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                  0, 0, r.right, r.bottom, frame, nullptr, nullptr, nullptr);
    if (client) Clients()[client] = ClientState();
    return client;
}

bool IsMDIClientWindow(HWND hwnd) { return hwnd && Clients().count(hwnd) != 0 && IsWindow(hwnd); }

HWND MDIChildOf(HWND hwnd) {
    for (HWND h = hwnd; h && IsWindow(h);) {
        HWND parent = GetAncestor(h, GA_PARENT);
        if (!parent) return nullptr;
        if (IsMDIClientWindow(parent)) return IsChildOfClient(parent, h) ? h : nullptr;
        h = parent;
    }
    return nullptr;
}

std::vector<HWND> MDIChildWindows(HWND client) {
    std::vector<HWND> out;
    if (!IsMDIClientWindow(client)) return out;
    for (HWND h = GetWindow(client, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (IsChildOfClient(client, h)) out.push_back(h);
    return out;
}

void MDIChildGoing(HWND client, HWND child) {
    auto it = Clients().find(client);
    if (it == Clients().end() || it->second.active != child) return;
    it->second.active = nullptr;
    for (HWND h : MDIChildWindows(client))
        if (h != child && Shown(h)) {
            Activate(client, h);
            return;
        }
}

void MDIActivateOnInput(const MSG& msg) {
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: break;
        default: return;
    }
    HWND child = MDIChildOf(msg.hwnd);
    if (!child) return;
    HWND client = GetAncestor(child, GA_PARENT);
    if (ActiveChild(client) != child) SendMessage(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
}

}  // namespace platform
