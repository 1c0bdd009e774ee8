#pragma once
// The multiple-document interface: an fsMDIForm form keeps a client window (class
// "MDICLIENT") below its docked controls, and the fsMDIChild forms are child windows of it,
// not top-level windows. The client activates, maximises, restores, tiles, cascades and
// lines up its children on the WM_MDI* messages, with the message numbers of the desktop
// the class library was written for.
#include <vector>

#include "platform/core/messages.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"

namespace platform {

constexpr UINT WM_MDICREATE = 0x0220;
constexpr UINT WM_MDIDESTROY = 0x0221;       // wParam: the child
constexpr UINT WM_MDIACTIVATE = 0x0222;      // to the client: wParam the child; to children: wParam the
                                             // one deactivated, lParam the one activated
constexpr UINT WM_MDIRESTORE = 0x0223;       // wParam: the child
constexpr UINT WM_MDINEXT = 0x0224;          // wParam: the child (0: the active one), lParam non-zero: previous
constexpr UINT WM_MDIMAXIMIZE = 0x0225;      // wParam: the child
constexpr UINT WM_MDITILE = 0x0226;          // wParam: MDITILE_*
constexpr UINT WM_MDICASCADE = 0x0227;
constexpr UINT WM_MDIICONARRANGE = 0x0228;
constexpr UINT WM_MDIGETACTIVE = 0x0229;     // lParam: optional BOOL* told whether it is maximised
constexpr UINT WM_MDISETMENU = 0x0230;
constexpr UINT WM_MDIREFRESHMENU = 0x0234;

constexpr WPARAM MDITILE_VERTICAL = 0x0000;
constexpr WPARAM MDITILE_HORIZONTAL = 0x0001;
constexpr WPARAM MDITILE_SKIPDISABLED = 0x0002;

constexpr DWORD WS_EX_MDICHILD = 0x00000040;

// What WM_MDICREATE asks of the client (lParam points to it): a child window of the class,
// placed and styled as given; the answer is the new child, activated, or null.
struct MDICREATESTRUCTA {
    const char* szClass = nullptr;
    const char* szTitle = nullptr;
    HINSTANCE hOwner = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    LPARAM lParam = 0;
};

// The size a minimised child takes in the row along the client's bottom edge.
constexpr int MDI_ICON_WIDTH = MINIMIZED_CHILD_WIDTH;
constexpr int MDI_ICON_HEIGHT = MINIMIZED_CHILD_HEIGHT;

// The client window's class name.
extern const char* const MDICLIENT_CLASS;

// Creates the client window of an MDI main form's window (a visible child of it).
HWND CreateMDIClientWindow(HWND frame);
// Whether the window is an MDI client window.
bool IsMDIClientWindow(HWND hwnd);
// The MDI child (a child window of a client) that window lies in, or null.
HWND MDIChildOf(HWND hwnd);
// The client's children that are windows of MDI child forms, topmost first.
std::vector<HWND> MDIChildWindows(HWND client);
// A child leaves (hidden or destroyed): the client activates the next one when it was the
// active child.
void MDIChildGoing(HWND client, HWND child);
// A press in an MDI child that is not the active one activates it (the message loop calls
// this with every queued message before it is handled).
void MDIActivateOnInput(const MSG& msg);

}  // namespace platform
