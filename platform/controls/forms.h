#pragma once
// Forms, the scroll box, the screen and the application: top-level windows with borders or
// without, placement, showing modally in a nested message loop, closing, activation and
// focus, form-level keys; the message loop, exception display, the cursor and the fonts.
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/mdi.h"

namespace platform {

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
// How Tile lays out the MDI children: in rows one above another, or side by side.
enum TTileMode { tbHorizontal, tbVertical };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

// Bevel edges of panels.
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
// A control's frame bevels: their look and the sides they are drawn on (the bits match
// DrawEdge's BF_LEFT ... BF_BOTTOM).
enum TBevelKind { bkNone, bkTile, bkSoft, bkFlat };
enum TBevelEdge : unsigned { beLeft = 1, beTop = 2, beRight = 4, beBottom = 8 };
using TBevelEdges = unsigned;

// A scroll bar of a scrolling control: the range is the extent of the content.
class TScrollingWinControl;
class TControlScrollBar {
public:
    TControlScrollBar(TScrollingWinControl* control, int bar) : control_(control), bar_(bar) {}
    int Range() const { return range_; }
    void SetRange(int value);
    int Position() const { return position_; }
    void SetPosition(int value);
    int Increment() const { return increment_; }
    void SetIncrement(int value) { increment_ = value > 0 ? value : 1; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    // Whether the bar shows now (visible and the range exceeds the client).
    bool IsScrollBarVisible() const;

private:
    friend class TScrollingWinControl;
    void Update();
    TScrollingWinControl* control_;
    int bar_;
    int range_ = 0;
    int position_ = 0;
    int increment_ = 8;
    bool visible_ = true;
};

class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(TComponent* owner);
    void Dispatch(TMessage& message) override;
    TControlScrollBar* HorzScrollBar() { return &horz_; }
    TControlScrollBar* VertScrollBar() { return &vert_; }
    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool value);
    // Moves the content (all children) by the given distances.
    void ScrollBy(int deltaX, int deltaY);
    // Scrolls so that the child control is in view.
    void ScrollInView(TControl* control);
    void AlignControls(TControl* control, TRect& rect) override;

protected:
    void CreateWnd() override;
    void UpdateScrollBars();
    void Scroll(int bar, int code);

private:
    friend class TControlScrollBar;
    TControlScrollBar horz_{this, SB_HORZ};
    TControlScrollBar vert_{this, SB_VERT};
    bool autoScroll_ = true;
    bool updatingBars_ = false;
};

class TScrollBox : public TScrollingWinControl {
public:
    explicit TScrollBox(TComponent* owner);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);

protected:
    void CreateParams(TCreateParams& params) override;

private:
    TBorderStyle borderStyle_ = bsSingle;
};

class TMainMenu;
class TMenuItem;

class TCustomForm : public TScrollingWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    // Runs the creation handler; the application calls it once the object is complete.
    virtual void AfterConstruction();
    // Runs the destruction handler while the whole form still exists (the application and
    // Release call it before freeing the form; the destructor only when nobody did).
    virtual void BeforeDestruction();

    void Dispatch(TMessage& message) override;
    void WndProc(TMessage& message) override;

    // Showing and closing.
    void Show();
    void Hide() { SetVisible(false); }
    void Close();
    // Shows the form, runs a message loop until ModalResult is set (or the program ends)
    // and returns it. Raises EInvalidOperation for a form that is visible or disabled.
    virtual int ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    bool IsModal() const { return modal_; }
    // Frees the form once the messages queued before now have been handled.
    void Release();
    virtual bool CloseQuery();

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition value) { position_ = value; }
    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState value);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle value);
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }
    bool Active() const { return active_; }
    // The form's main menu (its shortcuts run from any control of the form).
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* value);
    // Runs the menu item whose shortcut is the key: the main menu's, then those of the popup
    // menus the form owns. True when one ran.
    virtual bool IsShortCut(WORD key, TShiftState shift);
    void Notification(TComponent* component, TOperation operation) override;

    // MDI. An fsMDIForm form has a client window below its docked controls; fsMDIChild forms
    // are child windows of the client of their owner (when that is an MDI form) or of the
    // application's main form. Creating a child without either raises EInvalidOperation.
    HWND ClientHandle() const;
    // The MDI form a child lives in (null for other forms).
    TCustomForm* MDIParent() const;
    // The children, topmost (the most recently active) first.
    int MDIChildCount() const;
    TCustomForm* MDIChildren(int index) const;
    TCustomForm* ActiveMDIChild() const;
    TTileMode TileMode() const { return tileMode_; }
    void SetTileMode(TTileMode value) { tileMode_ = value; }
    // The menu item whose sub-menu lists the children. No native menu bar shows here, so the
    // list is drawn by whoever shows the menu (the skinned MDI frame adds its own items).
    TMenuItem* WindowMenu() const { return windowMenu_; }
    void SetWindowMenu(TMenuItem* value);
    void Tile();
    void Cascade();
    void ArrangeIcons();
    void Next();
    void Previous();
    void AlignControls(TControl* control, TRect& rect) override;

    // Focus within the form.
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    void FocusControl(TWinControl* control);
    void SetFocus() override;
    bool SetFocusedControl(TWinControl* control);
    // A control leaves or goes hidden or disabled: it gives up the focus.
    void ControlRemoving(TWinControl* control);

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // Keys offered to the form first when KeyPreview is set.
    using TWinControl::DoKeyDown;
    using TWinControl::DoKeyPress;
    using TWinControl::DoKeyUp;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    virtual void Activate();
    virtual void Deactivate();
    void VisibleChanging() override;

private:
    void CloseModal();
    void PlaceOnFirstShow();
    void SetWindowFocus();
    void SetActive(bool value);
    void ShowingChanged();

    TFormBorderStyle borderStyle_ = bsSizeable;
    TPosition position_ = poDesigned;
    TWindowState windowState_ = wsNormal;
    TFormStyle formStyle_ = fsNormal;
    TTileMode tileMode_ = tbHorizontal;
    TMenuItem* windowMenu_ = nullptr;
    HWND clientHandle_ = nullptr;
    bool keyPreview_ = false;
    TMainMenu* menu_ = nullptr;
    bool active_ = false;
    bool modal_ = false;
    bool placed_ = false;
    bool created_ = false;
    bool destroyed_ = false;
    TModalResult modalResult_ = mrNone;
    TWinControl* activeControl_ = nullptr;
    TWinControl* focusedControl_ = nullptr;
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

class TScreen : public TComponent {
public:
    static TScreen* Instance();
    explicit TScreen(TComponent* owner) : TComponent(owner) {}

    int Width() const;
    int Height() const;
    TRect WorkAreaRect() const;
    int WorkAreaLeft() const { return WorkAreaRect().left; }
    int WorkAreaTop() const { return WorkAreaRect().top; }
    int WorkAreaWidth() const { return WorkAreaRect().Width(); }
    int WorkAreaHeight() const { return WorkAreaRect().Height(); }
    int PixelsPerInch() const { return 96; }

    // The cursor over every window of the program while it is not crDefault.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);
    // The cursor of a slot: the made cursor placed there (SetCursors), else the standard
    // cursor the value stands for. Controls name their own cursors by slot (positive).
    HCURSOR Cursors(TCursor cursor) const;
    // Places a cursor in a slot (null empties it); the screen does not own it.
    void SetCursors(TCursor index, HCURSOR cursor);

    // The installed font family names, sorted.
    const std::vector<std::string>& Fonts();

    int FormCount() const { return int(forms_.size()); }
    TCustomForm* Forms(int index) const { return forms_.at(std::size_t(index)); }
    TCustomForm* ActiveForm() const { return activeForm_; }
    TWinControl* ActiveControl() const { return activeControl_; }

    // A control goes: the screen forgets it as the active control or form.
    void ControlDestroyed(TControl* control);

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> forms_;
    TCustomForm* activeForm_ = nullptr;
    TCustomForm* focusedForm_ = nullptr;
    TWinControl* activeControl_ = nullptr;
    TCursor cursor_ = crDefault;
    std::map<TCursor, HCURSOR> cursorSlots_;
    std::vector<std::string> fonts_;
    bool fontsRead_ = false;
};
extern TScreen* Screen;

// Message-box flags and answers.
constexpr UINT MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
               MB_RETRYCANCEL = 0x5, MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10, MB_ICONERROR = 0x10,
               MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

// The hint window: a popup that shows a control's hint near the pointer.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    void Dispatch(TMessage& message) override;
    // The size the hint needs, at (0, 0); data: what the control's CM_HINTSHOW gave.
    virtual TRect CalcHintRect(int maxWidth, const std::string& hint, void* data);
    // Shows the hint at rect (screen coordinates).
    virtual void ActivateHint(TRect rect, const std::string& hint);
    virtual void ActivateHintData(TRect rect, const std::string& hint, void* data);
    // Whether a message ends the hint (keys, clicks, activation changes).
    virtual bool IsHintMsg(const MSG& msg);
    void ReleaseHandle() { DestroyHandle(); }

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
};
using THintWindowClass = std::function<THintWindow*(TComponent* owner)>;

// What the application tells a control in CM_HINTSHOW (lParam points to it); the control
// may change it, and answers 0 to show the hint.
struct THintInfo {
    TControl* HintControl = nullptr;
    THintWindowClass HintWindowClass;
    TPoint HintPos;          // screen coordinates of the hint's top-left corner
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;        // the control's area the hint belongs to, client coordinates
    TPoint CursorPos;        // the pointer in client coordinates
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    std::string HintStr;
    void* HintData = nullptr;
};

// The short part of a hint ("short|long" gives "short").
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;
using TIdleEvent = std::function<void(TObject* sender, bool& done)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    void Initialize() {}
    // Creates a form owned by the application; the first one becomes the main form.
    // Frees the forms (their OnDestroy first, while each form is whole), newest first.
    void DestroyComponents();
    template <class T> void CreateForm(T*& reference) {
        reference = new T(this);
        reference->AfterConstruction();
        if (!mainForm_) {
            reference->HandleNeeded();
            mainForm_ = reference;
        }
    }
    TCustomForm* MainForm() const { return mainForm_; }
    // Shows the main form and runs the message loop until the program is told to end.
    void Run();
    // Handles every message waiting, without waiting for more.
    void ProcessMessages();
    // Handles one message, or does the idle work and waits for the next when none waits.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return terminated_; }
    void Minimize();
    void Restore();

    // Called from within a catch block: hands the exception to OnException or shows it.
    void HandleException(TObject* sender);
    void ShowException(const std::exception& e);
    int MessageBox(const std::string& text, const std::string& caption, UINT flags = MB_OK);

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value) { title_ = value; }
    std::string ExeName() const;
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }

    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    // Shows a message box and returns the answer. The default is a small modal form; tests
    // and programs without a display replace it.
    std::function<int(const std::string& text, const std::string& caption, UINT flags)> MessageBoxHandler;

    // The control under the pointer, told CM_MOUSEENTER / CM_MOUSELEAVE when it changes.
    void DoMouseIdle();
    TControl* MouseControl() const { return mouseControl_; }
    // A control goes: the application forgets it as the control under the pointer, the main
    // form or the hint's control or window.
    void ControlDestroyed(TControl* control);

    // Hints: shown HintPause ms after the pointer rests on a control with ShowHint and a
    // hint, hidden after HintHidePause ms, on a key or click, or when the pointer leaves.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    int HintShortPause() const { return hintShortPause_; }
    void SetHintShortPause(int ms) { hintShortPause_ = ms; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms) { hintHidePause_ = ms; }
    TColor HintColor() const { return hintColor_; }
    void SetHintColor(TColor value) { hintColor_ = value; }
    void CancelHint();
    void ActivateHint(const TPoint& cursorPos);
    THintWindow* HintWindow() const { return hintWindow_; }
    THintWindowClass HintWindowClass;
    std::function<void(std::string& hintStr, bool& canShow, THintInfo& info)> OnShowHint;

private:
    void HintMouseMessage(TControl* control, const MSG& msg);
    void HintTimerExpired();
    void StartHintTimer(int ms, int mode);
    void StopHintTimer();
    bool ProcessMessage();
    bool IsKeyMsg(const MSG& msg);
    void Idle();
    void WaitForInput();

    TCustomForm* mainForm_ = nullptr;
    TControl* mouseControl_ = nullptr;
    bool terminated_ = false;
    bool showMainForm_ = true;
    bool handlingException_ = false;
    unsigned pointerGeneration_ = 0;
    bool showHint_ = true;
    int hintPause_ = 500;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
    TColor hintColor_ = clInfoBk;
    bool hintActive_ = false;
    TControl* hintControl_ = nullptr;
    TRect hintCursorRect_;
    THintWindow* hintWindow_ = nullptr;
    HWND hintTimerWindow_ = nullptr;
    int hintTimerMode_ = 0;
    std::string title_;
};
extern TApplication* Application;

// The default message box: a modal form with the text and the buttons the flags ask for.
int ShowMessageForm(const std::string& text, const std::string& caption, UINT flags);

// Hooks of the control layer: an exception escaped a window procedure; a control goes.
void HandleControlException(TObject* sender);
void ControlDestroyed(TControl* control);

}  // namespace platform
