#pragma once
// Labels, edits and memos.
#include <memory>
#include <unordered_map>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/core/strings.h"
#include "platform/controls/menus.h"

namespace platform {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* owner);
    void Dispatch(TMessage& message) override;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* value);
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void Paint() override;
    // Draws (or with DT_CALCRECT measures) the caption in rect.
    virtual void DoDrawText(TRect& rect, UINT flags);
    void AdjustBounds();

private:
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool autoSize_ = true;
    bool transparent_ = false;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
    TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
public:
    explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------- edits

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// An edit: the window class of a text field with its own behaviour (caret, selection,
// undo, clipboard keys, the EM_* messages, EN_* notifications to the parent, which the
// parent reflects back as CN_COMMAND) and the class library's properties over it.
//
// Text is UTF-8; positions (SelStart, EM_GETSEL, ...) count bytes of Text and never fall
// inside a character. Lines break at CR LF (a lone LF is taken as a break too); a single-line
// edit keeps the text before the first break of what is typed or pasted. The text is kept
// as its lines, so that typing in a long text touches only the line typed in; a word-wrapped
// multi-line edit (ES_MULTILINE without ES_AUTOHSCROLL) wraps each line on its own and
// re-wraps only lines that changed.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);
    ~TCustomEdit() override;
    void Dispatch(TMessage& message) override;
    // The edit window's own handling of the messages (what the window class does).
    void DefaultHandler(TMessage& message) override;

    std::string Text() const override;
    void SetText(const std::string& value) override;
    int GetTextLen() const;

    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    bool ReadOnly() const { return (editStyle_ & ES_READONLY) != 0; }
    void SetReadOnly(bool value);
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char value);
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }
    bool HideSelection() const { return !(editStyle_ & ES_NOHIDESEL); }
    void SetHideSelection(bool value);
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // A single-line edit with AutoSize is as high as its font's line and its border.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);

    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    std::string SelText() const;
    // Replaces the selection (as EM_REPLACESEL: allowed in a read-only edit, undoable).
    void SetSelText(const std::string& value);
    void SelectAll();
    void ClearSelection();
    void Clear() { SetText(""); }
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();
    void ClearUndo();
    bool CanUndo() const { return !undo_.empty(); }

    // Whether the caret shows now (it blinks on the program clock while focused).
    bool CaretShowing() const { return focused_ && caretOn_; }
    // The caret's top-left corner in client coordinates.
    TPoint CaretPos() const;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    virtual void Change();
    // Style bits the control asks for itself (alignment, case, multi-line, scrolling).
    virtual DWORD EditStyleBits() const;
    void ApplyEditStyle();
    bool MultiLine() const { return (editStyle_ & ES_MULTILINE) != 0; }
    bool Wraps() const { return MultiLine() && !(editStyle_ & ES_AUTOHSCROLL); }

    // Positions inside the text: a line and a byte offset in it.
    struct Pos {
        int line = 0;
        int off = 0;
        bool operator==(const Pos& o) const { return line == o.line && off == o.off; }
        bool operator!=(const Pos& o) const { return !(*this == o); }
        bool operator<(const Pos& o) const { return line < o.line || (line == o.line && off < o.off); }
    };
    Pos ToPos(int index) const;
    int ToIndex(Pos p) const;
    int LineCount() const { return int(lines_.size()); }
    const std::string& LineText(int line) const { return lines_[std::size_t(line)]; }
    // Replaces the whole text without notifying.
    void SetTextLines(const std::string& text);
    // Replaces [from, to) with text as the user would (undo, notifications). text may hold
    // line breaks; returns the position after it.
    Pos ReplaceRange(Pos from, Pos to, const std::string& text, bool typing, bool userEdit);
    // Sends EN_UPDATE and EN_CHANGE to the parent (or, without a parent window, to itself).
    void NotifyChange();
    int RowCount() const;
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    int VisibleRows() const;
    int LineHeight() const;
    void ForgetUndo() {
        undo_.clear();
        undoSealed_ = true;
    }

private:
    struct UndoStep {
        Pos at;
        std::string removed;
        std::string inserted;
        Pos anchor, caret;  // the selection before the step
        bool typing = false;
    };
    struct Row {
        int line;
        int start;
        int end;
    };

    std::vector<std::string> lines_{std::string()};
    // Per line: where its wrapped rows start (the first row always at 0); empty when the
    // line is one row.
    std::vector<std::vector<int>> breaks_{std::vector<int>()};
    mutable std::vector<int> rowStart_;  // rows before each line; rebuilt when rowsDirty_
    mutable bool rowsDirty_ = true;
    Pos anchor_, caret_;
    int caretX_ = -1;  // the column kept while moving up and down
    std::vector<UndoStep> undo_;
    bool undoSealed_ = true;  // the next typed character starts a new step
    int maxLength_ = 0;
    char passwordChar_ = 0;
    bool modified_ = false;
    bool autoSelect_ = true;
    TEditCharCase charCase_ = ecNormal;
    TBorderStyle borderStyle_ = bsSingle;
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    DWORD editStyle_ = 0;
    bool focused_ = false;
    bool caretOn_ = false;
    bool selecting_ = false;  // the left button is down and drags the selection
    bool formatRectSet_ = false;
    RECT formatRect_{};
    int xOffset_ = 0;
    int topRow_ = 0;
    int lineHeight_ = 0;
    std::unordered_map<unsigned, int> advances_;
    HDC measureDc_ = nullptr;
    bool primaryClaimed_ = false;

    void Relayout();
    void RewrapLines(int first, int last);
    void EnsureRows() const;
    Row RowAt(int row) const;
    int RowOf(Pos p) const;
    int CharWidth(unsigned cp);
    int TextWidth(const std::string& s, int from, int to);
    std::string Shown(const std::string& s) const;
    RECT FormatRect() const;
    int RowX(const Row& r);
    Pos HitTest(int x, int y);
    int XOf(Pos p);
    void SetSelection(Pos anchor, Pos caret, bool keepColumn = false);
    void SelectionChanged();
    void EnsureCaretVisible();
    void UpdateScrollBars();
    void ResetCaretBlink();
    void InvalidateText();
    void Paint(HDC dc);
    void KeyDownEdit(WORD key);
    void CharEdit(unsigned cp);
    bool Insert(const std::string& text, bool typing);
    void DeleteSelectionOr(int direction, bool word);
    Pos MoveChar(Pos p, int direction) const;
    Pos MoveWord(Pos p, int direction) const;
    void UndoStepBack();
    int CountChars() const;
    std::string RangeText(Pos from, Pos to) const;
    void VScroll(int code, WORD word);
    void HScroll(int code);
    void ShowContextMenu(int x, int y);
    void FreeMeasureDc();
    void AdjustHeight();
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// A multi-line edit: Lines are its text's lines, WordWrap wraps at the formatting
// rectangle's width, ScrollBars are the window's own bars, kept in step with the text.
// A scroll bar's thumb position is taken whole (from the bar's track position, not from the
// message's 16 bits), so texts of more than 65535 rows scroll to their end.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* owner);
    ~TCustomMemo() override;
    void Dispatch(TMessage& message) override;
    TStrings* Lines() const { return memoLines_; }
    void SetLines(TStrings* value) { memoLines_->Assign(value); }
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool value) { wantReturns_ = value; }
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool value) { wantTabs_ = value; }
    // The first visible line (a row of the wrapped text).
    int TopLine() const { return TopRow(); }

protected:
    DWORD EditStyleBits() const override;
    void CreateParams(TCreateParams& params) override;

private:
    class TMemoStrings;
    TStrings* memoLines_ = nullptr;
    bool wordWrap_ = true;
    TScrollStyle scrollBars_ = ssNone;
    bool wantReturns_ = true;
    bool wantTabs_ = false;
};

class TMemo : public TCustomMemo {
public:
    explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

// ---------------------------------------------------------------- list boxes

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };

using TDrawItemEvent = std::function<void(TWinControl* control, int index, TRect rect, TOwnerDrawState state)>;
using TMeasureItemEvent = std::function<void(TWinControl* control, int index, int& height)>;
using TLBGetDataEvent = std::function<void(TWinControl* control, int index, std::string& data)>;

constexpr WORD LBN_SELCHANGE = 1, LBN_DBLCLK = 2;
constexpr UINT LB_GETCOUNT = 0x018B, LB_GETCURSEL = 0x0188, LB_SETCURSEL = 0x0186, LB_GETTOPINDEX = 0x018E,
               LB_SETTOPINDEX = 0x0197, LB_GETITEMHEIGHT = 0x01A1, LB_GETITEMRECT = 0x0198, LB_GETSEL = 0x0187,
               LB_SETSEL = 0x0185, LB_GETSELCOUNT = 0x0190, LB_ITEMFROMPOINT = 0x01A9;

// A list box: items drawn one under the other (by the control, or by their owner through
// WM_MEASUREITEM and WM_DRAWITEM, reflected to the control as CN_MEASUREITEM and
// CN_DRAWITEM), one or many selected, scrolled with the window's own bar, whose thumb
// position is taken whole (more than 65535 items scroll to their end). A virtual list asks
// OnData for the text of the items it shows; painting touches only the rows in view.
// Typing letters finds the next item that starts with them.
class TCustomListBox : public TCustomControl {
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;
    void Dispatch(TMessage& message) override;

    TStrings* Items() const { return items_; }
    void SetItems(TStrings* value) { items_->Assign(value); }
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle value);
    // The number of items; a virtual list's count is set here.
    int Count() const;
    void SetCount(int value);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int value);
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return extendedSelect_; }
    void SetExtendedSelect(bool value) { extendedSelect_ = value; }
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;
    void ClearSelection();
    void SelectAll();
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    // The item under a client point (-1 when none, or the nearest with existing false).
    int ItemAtPos(TPoint pos, bool existing) const;
    TRect ItemRect(int index) const;
    // The text of an item (a virtual list's from OnData).
    std::string ItemText(int index) const;
    int VisibleCount() const;

    // OnClick runs when the user changes the selection.
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;
    TLBGetDataEvent OnData;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Paint() override;
    virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
    virtual void MeasureItem(int index, int& height);
    // Asks for the drawing or measuring of an owner-drawn item (through the parent).
    virtual void RequestDraw(HDC dc, int index, const TRect& rect, TOwnerDrawState state);
    virtual int RequestHeight(int index);
    // Selects by the user's hand (mouse or keys) and tells the parent.
    void UserSelect(int index, TShiftState shift, bool toggle);
    void NotifySelChange();
    bool OwnerDraw() const { return style_ == lbOwnerDrawFixed || style_ == lbOwnerDrawVariable || style_ == lbVirtualOwnerDraw; }
    bool IsVirtual() const { return style_ == lbVirtual || style_ == lbVirtualOwnerDraw; }
    // After every change of the items (added, inserted, deleted, cleared, a new count).
    virtual void ItemsChanged();
    void UpdateScrollBar();
    void EnsureVisible(int index);
    int RowTop(int index) const;
    void InvalidateItem(int index);
    int ControlId() const { return controlId_; }

    class TListBoxStrings;
    friend class TListBoxStrings;
    TStrings* items_ = nullptr;
    std::vector<bool> selected_;
    std::vector<int> heights_;  // variable-height items
    TListBoxStyle style_ = lbStandard;
    int virtualCount_ = 0;
    int itemHeight_ = 16;
    int itemIndex_ = -1;
    int topIndex_ = 0;
    int anchor_ = -1;
    bool multiSelect_ = false;
    bool extendedSelect_ = true;
    bool tracking_ = false;
    TBorderStyle borderStyle_ = bsSingle;
    std::string typed_;
    DWORD typedAt_ = 0;
    int controlId_ = 0;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

// ---------------------------------------------------------------- combo boxes

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

constexpr WORD CBN_SELCHANGE = 1, CBN_EDITCHANGE = 5, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8;
constexpr UINT CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147, CB_SETCURSEL = 0x014E, CB_SHOWDROPDOWN = 0x014F,
               CB_GETDROPPEDSTATE = 0x0157;

struct COMBOBOXINFO {
    DWORD cbSize = sizeof(COMBOBOXINFO);
    RECT rcItem{};
    RECT rcButton{};
    DWORD stateButton = 0;
    HWND hwndCombo = nullptr;
    HWND hwndItem = nullptr;
    HWND hwndList = nullptr;
};
// The parts of a combo box's window: the item (or edit) area and the button in client
// coordinates, the edit's window (csDropDown, csSimple) and the list's window.
BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info);

class TCustomComboBox;

// The list of a combo box: a popup window below (or above) the box while it is dropped
// down, holding the pointer; a child under the edit for csSimple.
class TComboListBox : public TCustomListBox {
public:
    TComboListBox(TCustomComboBox* combo, bool popup);
    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void RequestDraw(HDC dc, int index, const TRect& rect, TOwnerDrawState state) override;
    int RequestHeight(int index) override;

private:
    TCustomComboBox* combo_;
    bool popup_;
};

// A combo box in its five styles: an edit (csDropDown, csSimple) or a drawn item
// (csDropDownList and the owner-drawn ones) with a button that drops the list down.
// OnChange runs only when the user picks an item or types, never for changes made by code.
class TCustomComboBox : public TCustomControl {
public:
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;
    void Dispatch(TMessage& message) override;

    TStrings* Items() const { return items_; }
    void SetItems(TStrings* value) { items_->Assign(value); }
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle value);
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int value);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value) { itemHeight_ = std::max(1, value); }
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int value) { dropDownCount_ = std::max(1, value); }
    bool Sorted() const;
    void SetSorted(bool value);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    bool DroppedDown() const { return dropped_; }
    void SetDroppedDown(bool value);
    std::string Text() const override;
    void SetText(const std::string& value) override;
    // The edit of csDropDown and csSimple, else null.
    TCustomEdit* EditControl() const { return edit_; }
    TCustomListBox* ListControl() const { return list_; }
    TRect ButtonRect() const;
    TRect ItemAreaRect() const;

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    friend class TComboListBox;
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Paint() override;
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    virtual void DrawItem(int index, TRect rect, TOwnerDrawState state);
    virtual void MeasureItem(int index, int& height);
    void ShowList();
    void HideList(bool pick);
    // A key while the list is down or for the closed box; true when it was used.
    bool ComboKey(WORD key, TShiftState shift);
    // The user chose index (list click, Enter, arrows on the closed box).
    void UserPick(int index);
    void DrawItemTo(HDC dc, int index, const TRect& rect, TOwnerDrawState state);
    void ItemsChanged();
    void PlaceChildren();

    class TComboEdit;
    TStringList* items_ = nullptr;
    TComboBoxStyle style_ = csDropDown;
    int itemIndex_ = -1;
    int itemHeight_ = 16;
    int dropDownCount_ = 8;
    int maxLength_ = 0;
    bool dropped_ = false;
    int listIndexAtDrop_ = -1;
    bool settingText_ = false;
    TCustomEdit* edit_ = nullptr;
    TComboListBox* list_ = nullptr;
    std::string typed_;
    DWORD typedAt_ = 0;
};

class TComboBox : public TCustomComboBox {
public:
    explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// ---------------------------------------------------------------- buttons

// A push button: Click on a left click, on Space while focused, on Enter when it is the
// Default button and on Escape when it is the Cancel button of its form; its ModalResult
// goes to the form (ending ShowModal).
class TButton : public TCustomControl {
public:
    explicit TButton(TComponent* owner);
    void Dispatch(TMessage& message) override;
    void Click() override;
    bool Default() const { return default_; }
    void SetDefault(bool value) { default_ = value; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }

protected:
    void Paint() override;

private:
    bool default_ = false;
    bool cancel_ = false;
    bool pressed_ = false;
    TModalResult modalResult_ = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box: a click or Space toggles it; every change of Checked runs OnClick.
class TCheckBox : public TCustomControl {
public:
    explicit TCheckBox(TComponent* owner);
    void Dispatch(TMessage& message) override;
    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    void SetState(TCheckBoxState value);

protected:
    void Paint() override;

private:
    TCheckBoxState state_ = cbUnchecked;
};

// ---------------------------------------------------------------- scroll bars

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* sender, TScrollCode code, int& position)>;

// A scroll bar control (SB_CTL): GetScrollInfo and SetScrollInfo on its window reach it as
// SBM_GETSCROLLINFO and SBM_SETSCROLLINFO. Positions are whole ints; Max - PageSize + 1 is
// the last position.
class TScrollBar : public TCustomControl {
public:
    explicit TScrollBar(TComponent* owner);
    void Dispatch(TMessage& message) override;
    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind value);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int PageSize() const { return pageSize_; }
    void SetParams(int position, int min, int max);
    void SetMin(int value) { SetParams(position_, value, max_); }
    void SetMax(int value) { SetParams(position_, min_, value); }
    void SetPosition(int value) { SetParams(value, min_, max_); }
    void SetPageSize(int value);
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int value) { smallChange_ = value; }
    int LargeChange() const { return largeChange_; }
    void SetLargeChange(int value) { largeChange_ = value; }
    // Parts in client coordinates: the two arrow buttons and the thumb.
    TRect ThumbRect() const;

    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

protected:
    void Paint() override;
    void Scroll(TScrollCode code, int position);

private:
    int Length() const;
    int Button() const;
    TScrollBarKind kind_ = sbHorizontal;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int pageSize_ = 0;
    int smallChange_ = 1;
    int largeChange_ = 1;
    int dragGrab_ = -1;  // where on the thumb the pointer holds it, -1: not dragging
};

// Whether key is the accelerator (the character after a single "&") of caption.
bool IsAccel(WORD key, const std::string& caption);

}  // namespace platform
