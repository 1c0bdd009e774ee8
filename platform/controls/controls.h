#pragma once
// The control classes of the window class library: TControl (bounds, alignment, visibility,
// enabling, colour, font, text, cursor, hints, mouse and key events), TWinControl (a control
// with a window: handle on demand, children, focus, tab order, alignment of children),
// TCustomControl (a windowed control that paints itself on its Canvas) and TGraphicControl
// (a control without a window, painted by its parent).
//
// Messages: every control has a WindowProc (initially its WndProc) that callers may hook
// and restore. WndProc passes the message to Dispatch, which calls the handler for the
// message id; a class's Dispatch handles its own ids and passes the rest to its base
// class's Dispatch, and the root ends in DefaultHandler (for a windowed control: the
// window's original procedure). A handler that wants the inherited handling calls the
// base class's Dispatch.
//
// Setters compare, store, and refresh only when the control is live (not loading and,
// for a windowed control, its window exists).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/core/classes.h"
#include "platform/core/messages.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"

namespace platform {

class TWinControl;
class TCustomForm;
class TPopupMenu;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
    // The point of a mouse message (lParam as signed words).
    int XPos() const { return std::int16_t(LOWORD(std::uintptr_t(LParam))); }
    int YPos() const { return std::int16_t(HIWORD(std::uintptr_t(LParam))); }
};

using TWindowProc = std::function<void(TMessage&)>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state: keys and buttons held during an input event.
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyDataToShiftState(LPARAM keyData);

// ControlStyle flags.
enum TControlStyleFlag : unsigned {
    csAcceptsControls = 1u << 0,
    csCaptureMouse = 1u << 1,
    csDesignInteractive = 1u << 2,
    csClickEvents = 1u << 3,
    csFramed = 1u << 4,
    csSetCaption = 1u << 5,
    csOpaque = 1u << 6,
    csDoubleClicks = 1u << 7,
    csFixedWidth = 1u << 8,
    csFixedHeight = 1u << 9,
    csNoDesignVisible = 1u << 10,
    csReplicatable = 1u << 11,
    csNoStdEvents = 1u << 12,
    csDisplayDragImage = 1u << 13,
    csReflector = 1u << 14,
    csActionClient = 1u << 15,
    csMenuEvents = 1u << 16,
    csParentBackground = 1u << 17,
};
using TControlStyle = unsigned;

// ControlState flags.
enum TControlStateFlag : unsigned {
    csLButtonDown = 1u << 0,
    csClicked = 1u << 1,
    csPalette = 1u << 2,
    csReadingState = 1u << 3,
    csAlignmentNeeded = 1u << 4,
    csFocusing = 1u << 5,
    csCreating = 1u << 6,
    csPaintCopy = 1u << 7,
    csCustomPaint = 1u << 8,
    csDestroyingHandle = 1u << 9,
    csDocking = 1u << 10,
};
using TControlState = unsigned;

// Standard cursors.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSize = -22;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
// The system cursor (IDC_*) a standard cursor stands for.
int CursorToSystemId(TCursor cursor);

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;
using TMouseWheelEvent =
    std::function<void(TObject* sender, TShiftState shift, int wheelDelta, TPoint mousePos, bool& handled)>;
using TCanResizeEvent = std::function<void(TObject* sender, int& newWidth, int& newHeight, bool& resize)>;

// The class library's own drags inside the program (controls/dragging.cpp).
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// CM_DRAG's wParam; its lParam points to a TDragRec.
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
class TControl;
// What is being dragged; the default one stands for the control the drag started on.
class TDragObject : public TObject {
public:
    TPoint DragPos;             // screen point
    TControl* DragTarget = nullptr;
    bool Dropped = false;
    virtual TCursor GetDragCursor(bool accepted, int x, int y);
};
class TDragControlObject : public TDragObject {
public:
    explicit TDragControlObject(TControl* control) : Control(control) {}
    TControl* Control;
};
struct TDragRec {
    TPoint Pos;  // screen point
    TDragObject* Source = nullptr;
    TControl* Target = nullptr;
};
using TDragOverEvent = std::function<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;
using TStartDragEvent = std::function<void(TObject* sender, TDragObject*& dragObject)>;
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;

// The smallest and largest size a control may take (0: no limit). Every change of bounds
// keeps to them, and a form tells the window layer, so a user's resize does too. A minimum
// above the maximum wins.
class TSizeConstraints {
public:
    explicit TSizeConstraints(TControl* control) : control_(control) {}
    int MinWidth() const { return minWidth_; }
    int MinHeight() const { return minHeight_; }
    int MaxWidth() const { return maxWidth_; }
    int MaxHeight() const { return maxHeight_; }
    // Each setter puts the control's size back within the new limits at once.
    void SetMinWidth(int value) { Set(minWidth_, value); }
    void SetMinHeight(int value) { Set(minHeight_, value); }
    void SetMaxWidth(int value) { Set(maxWidth_, value); }
    void SetMaxHeight(int value) { Set(maxHeight_, value); }
    // The width and height brought within the limits.
    void Apply(int& width, int& height) const;
    TNotifyEvent OnChange;

private:
    void Set(int& field, int value);
    TControl* control_;
    int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    // ---- messages ----
    // The hookable entry: callers may replace it and later put the old one back.
    TWindowProc WindowProc;
    virtual void WndProc(TMessage& message);
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // ---- parent and bounds ----
    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(const TPoint& p) const;
    TPoint ScreenToClient(const TPoint& p) const;

    TSizeConstraints* Constraints() { return &constraints_; }
    const TSizeConstraints* Constraints() const { return &constraints_; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign value);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors value);

    // ---- state ----
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a shown window.
    bool Showing() const;
    virtual bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    TFont* Font() const { return font_; }
    void SetFont(TFont* value) { font_->Assign(value); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    const std::string& Caption() const { return text_; }
    void SetCaption(const std::string& value) { SetText(value); }
    // The text: the window's text for a windowed control with a handle.
    virtual std::string Text() const;
    virtual void SetText(const std::string& value);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value) { hint_ = value; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* value);
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode value);
    bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
    bool UseRightToLeftScrollBar() const { return biDiMode_ == bdRightToLeft || biDiMode_ == bdRightToLeftNoAlign; }
    // Adds the reading-order extended styles of the BiDiMode to a window's styles.
    void AddBiDiModeExStyle(DWORD& exStyle) const;
    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle value) { controlStyle_ = value; }
    TControlState ControlState() const { return controlState_; }
    void SetControlState(TControlState value) { controlState_ = value; }
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    // ---- painting and order ----
    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();
    // The form the control sits on, or null.
    TCustomForm* GetParentForm() const;
    // Whether the control lies at the point of its parent's client area.
    virtual bool HasWindow() const { return false; }

    // ---- events ----
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;
    TCanResizeEvent OnCanResize;

    virtual void Click();
    virtual void DblClick();

    // ---- the class library's drags (controls/dragging.cpp) ----
    TDragMode DragMode() const { return dragMode_; }
    void SetDragMode(TDragMode mode) { dragMode_ = mode; }
    TCursor DragCursor() const { return dragCursor_; }
    void SetDragCursor(TCursor cursor) { dragCursor_ = cursor; }
    // Starts a drag of this control at once, or once the pointer has moved threshold pixels
    // (Mouse->DragThreshold() when negative) with the left button down; runs until the
    // button is released (a drop where a control accepts) or Esc cancels.
    void BeginDrag(bool immediate, int threshold = -1);
    bool Dragging() const;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;
    // A drag over this control (client coordinates): OnDragOver, refusing without one.
    virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
    virtual void DragDrop(TObject* source, int x, int y);

    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

protected:
    // Live: not loading and, for a windowed control, its window exists.
    virtual bool IsLive() const;
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Resize();
    virtual bool CanResize(int& newWidth, int& newHeight);
    virtual void Changed();
    // Repaints when live; the common end of a setter.
    void Refreshed();
    virtual void VisibleChanging() {}
    virtual void FontChanged();
    // Tells the parent to place its aligned children again.
    void RequestAlign();
    // A graphic control's area in the parent, or a windowed control's own.
    void InvalidateControl(bool isVisible, bool isOpaque);

    // The drag's start and end: OnStartDrag may supply the drag object; OnEndDrag gets the
    // control dropped on (null when none); a cancelled drag calls DragCanceled first.
    virtual void DoStartDrag(TDragObject*& dragObject);
    virtual void DoEndDrag(TObject* target, int x, int y);
    virtual void DragCanceled() {}
    // CM_DRAG: enter, leave and move ask DragOver, a drop calls DragDrop.
    void CMDrag(TMessage& m);

    // Handlers.
    void WMMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl);
    void WMMouseMove(TMessage& m);

    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    // Anchor distances to the parent's right and bottom, kept for akRight/akBottom.
    int anchorRight_ = -1;
    int anchorBottom_ = -1;
    TAlign align_ = alNone;
    TSizeConstraints constraints_{this};
    TAnchors anchors_ = akLeft | akTop;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TFont* font_ = nullptr;
    bool parentFont_ = true;
    std::string text_;
    TCursor cursor_ = crDefault;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    TPopupMenu* popupMenu_ = nullptr;
    TBiDiMode biDiMode_ = bdLeftToRight;
    TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState controlState_ = 0;
    TDragMode dragMode_ = dmManual;
    TCursor dragCursor_ = crDrag;

    friend class TWinControl;
    void UpdateAnchorRules();
};

// The window class part of the creation parameters.
struct TWndClassParams {
    UINT style = 0;
};

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    TWndClassParams WindowClass;
    std::string WinClassName;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void WndProc(TMessage& message) override;

    // ---- the window ----
    // Creates the window (and the windows of its parents) when it does not exist yet.
    HWND Handle();
    HWND WindowHandle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded();
    // Destroys and creates the window again, keeping the control's state.
    void RecreateWnd();
    bool HasWindow() const override { return true; }
    // A window with the parent window given by handle (for controls placed in foreign windows).
    void SetParentWindow(HWND parent);
    HWND ParentWindow() const { return parentWindow_; }
    // The control that owns a window, or null.
    static TWinControl* FindControl(HWND hwnd);

    // ---- children ----
    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int index) const;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ContainsControl(const TControl* control) const;
    // The visible child (graphic ones included, unless windowedToo is false) at a client
    // point, topmost first.
    TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = true) const;
    void Broadcast(TMessage& message);
    void NotifyControls(UINT msg);
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    void Realign();
    virtual void AlignControls(TControl* control, TRect& rect);
    // The part of the client area aligned children fill (a border or bevel takes the rest).
    virtual void AdjustClientRect(TRect& /*rect*/) const {}
    void ScaleBy(int, int) {}

    // ---- focus and tab order ----
    bool Focused() const;
    virtual bool CanFocus() const;
    virtual void SetFocus();
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    // Windowed children in tab order, recursively (the order SelectNext walks).
    void GetTabOrderList(std::vector<TWinControl*>& list) const;
    TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
    void SelectFirst();
    void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

    // ---- painting ----
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    // Paints the control and its children into dc with the control's top-left at (x, y).
    void PaintTo(HDC dc, int x, int y);
    // Paints the graphic children that intersect the DC's clip; first: start after it.
    void PaintControls(HDC dc, TControl* first);
    TBrush* Brush() const { return brush_; }

    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;
    std::string Text() const override;
    void SetText(const std::string& value) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TMouseWheelEvent OnMouseWheel;

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void DestroyWnd();
    // Called once the window exists (children's windows are created after it).
    virtual void CreateSubClasses() {}
    virtual void PaintWindow(HDC dc);
    void PaintHandler(TMessage& message);
    bool IsLive() const override;
    void DefWndProc(TMessage& message);
    void UpdateBounds();
    void UpdateShowing();
    // Gives a live window the reading-order extended styles its CreateParams now asks for.
    void UpdateBiDiModeExStyle();
    // Scrolls the client area and moves every child with it.
    void ScrollChildren(int deltaX, int deltaY);
    void ColorChangedBrush();

    // Keys: true when the event consumed the key.
    bool DoKeyDown(WORD& key, LPARAM keyData);
    bool DoKeyPress(char& key);
    bool DoKeyUp(WORD& key, LPARAM keyData);
    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyUp(WORD& key, TShiftState shift);
    virtual void KeyPress(char& key);
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
    virtual void DoEnter();
    virtual void DoExit();

    // The graphic child a mouse message belongs to, which then gets it; true when handled.
    bool IsControlMouseMsg(TMessage& message);
    // The child control a notification to this window comes from (WM_COMMAND, WM_DRAWITEM,
    // ...), which gets it back as CN_*; null when none.
    TWinControl* ReflectTarget(const TMessage& message) const;
    // Runs the menu item whose shortcut the key is; true when one ran.
    bool IsMenuKey(WORD key, LPARAM keyData);

    HWND handle_ = nullptr;
    HWND parentWindow_ = nullptr;
    std::vector<TControl*> controls_;     // graphic children, z-order bottom first
    std::vector<TWinControl*> winControls_;  // windowed children, z-order bottom first
    std::vector<TWinControl*> tabList_;
    TBrush* brush_ = nullptr;
    bool tabStop_ = false;
    int alignDisabled_ = 0;
    bool showingUpdating_ = false;

private:
    static LRESULT InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT MainWndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void ReparentChildren();
    friend class TControl;
    friend class TCustomForm;
};

// The canvas of a control. While the control paints it wraps the paint DC; used at any
// other time (to measure text, to draw at once) it takes a DC of the control's window (a
// graphic control: of its parent's, with the origin at its corner), or a memory DC while no
// window exists. Such a DC is given back when the application goes idle, and before the
// window goes.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl* control) : control_(control) {}
    ~TControlCanvas() override { FreeHandle(); }
    // Gives back a DC the canvas took itself.
    void FreeHandle();
    // Gives back every DC that control canvases took themselves.
    static void FreeDeviceContexts();
    // Runs paint with the canvas wrapping dc (a paint DC), and lets go of dc afterwards.
    void PaintOn(HDC dc, const std::function<void()>& paint);

protected:
    void CreateHandle() override;

private:
    TControl* control_;
    HDC ownDc_ = nullptr;
    HWND ownWindow_ = nullptr;
    bool memoryDc_ = false;
};

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    void Dispatch(TMessage& message) override;
    TCanvas* Canvas() const { return canvas_; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    TCanvas* canvas_ = nullptr;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    void Dispatch(TMessage& message) override;
    TCanvas* Canvas() const { return canvas_; }

protected:
    virtual void Paint() {}

private:
    TCanvas* canvas_ = nullptr;
};

// The form a control sits on, or null; the control that owns a window, or null.
TCustomForm* GetParentForm(const TControl* control);
inline TWinControl* FindControl(HWND hwnd) { return TWinControl::FindControl(hwnd); }

// The graphic control that holds the mouse (a windowed parent holds the capture for it).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The control (graphic ones included) under a screen point, or null.
TControl* FindDragTarget(const TPoint& pos, bool allowDisabled);
TWinControl* FindControlWindow(const TPoint& pos);

// The canvas's DC with its font and text colour selected and a transparent background,
// ready for DrawText.
HDC TextDC(TCanvas* canvas);

// Lets the parent of a transparent control paint, into dc (whose origin is the control's
// top-left corner), what lies under the control: its background and its own drawing.
void DrawParentImage(TControl* control, HDC dc);

// The pointer.
class TMouse {
public:
    TPoint CursorPos() const;
    void SetCursorPos(const TPoint& p);
    HWND Capture() const { return GetCapture(); }
    int WheelScrollLines() const { return 3; }
    bool MousePresent() const { return true; }
    int DragThreshold() const { return 5; }
};
extern TMouse* Mouse;

}  // namespace platform
