// In-place editing: the tree's side (starting, ending and cancelling an edit, the edit
// timer, placing the editor), the text tree's text information and default editor, and
// TStringEditLink with its edit control TVTEdit. Context menus live here too: like the
// editor they are what a click on a row opens.
#include "treeview/vtedit.h"

#include <algorithm>

#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "treeview/vtheader.h"
#include "treeview/vtinternal.h"
#include "treeview/vtscope.h"

namespace treeview {

using namespace platform;

// ---- the tree's side ----

bool TBaseVastTree::EditNode(PVastNode node, TColumnIndex column) {
    Require(node != nullptr, "Node must not be nil.");
    Require(column >= NoColumn && column < TColumnIndex(header_->Columns()->Count()),
            "Column must be a valid column index (-1 if no header is shown).");
    if ((states_ & tsEditing) || ReadOnly()) return states_ & tsEditing;
    // A click already asked OnEditing for this cell and made its edit pending: asking
    // again would run the handler's changes twice.
    bool alreadyAllowed = (states_ & tsEditPending) && pendingEditNode_ == node && pendingEditColumn_ == column;
    SetFocusedNode(node);
    if (focusedNode_ != node) return false;
    if (!alreadyAllowed && !CanEdit(node, column)) return false;
    editColumn_ = column;
    InitIfNeeded(node);
    DoEdit();
    return states_ & tsEditing;
}

bool TBaseVastTree::CanEdit(PVastNode node, TColumnIndex column) {
    bool allowed = (TreeOptions()->MiscOptions() & toEditable) && Enabled() && !ReadOnly();
    DoCanEdit(node, column, allowed);
    return allowed;
}

void TBaseVastTree::DoCanEdit(PVastNode node, TColumnIndex column, bool& allowed) {
    if (OnEditing) OnEditing(this, node, column, allowed);
}

TVTEditLinkRef TBaseVastTree::DoCreateEditor(PVastNode node, TColumnIndex column) {
    TVTEditLinkRef link;
    if (OnCreateEditor) {
        OnCreateEditor(this, node, column, link);
        if (!link) RaiseTreeError(teEditLinkNil);
    }
    return link;
}

void TBaseVastTree::StartEditTimer() {
    // 0 fires at the next timer message.
    SetTimer(msgHandle_, EditTimer, std::max<UINT>(editDelay_, 1));
}

void TBaseVastTree::DoEdit() {
    StopTimer(ScrollTimer);
    StopTimer(EditTimer);
    DoStateChange(0, tsEditPending);
    pendingEditNode_ = nullptr;
    if (!focusedNode_ || (focusedNode_->States & vsDisabled) || ReadOnly() || editLink_) return;
    editLink_ = DoCreateEditor(focusedNode_, editColumn_);
    if (!editLink_) return;
    // Whatever throws from here on leaves no half-started edit behind.
    TScopeFail abandon([this] {
        DoStateChange(0, tsEditing);
        editLink_.Reset();
    });
    DoStateChange(tsEditing, tsToggleFocusedSelection | tsClearPending | tsDrawSelPending | tsDrawSelecting |
                                 tsMouseCheckPending | tsOLEDragging | tsOLEDragPending | tsScrolling |
                                 tsScrollPending);
    ScrollIntoView(focusedNode_, TreeOptions()->SelectionOptions() & toCenterScrollIntoView,
                   !(TreeOptions()->AutoOptions() & toDisableAutoscrollOnEdit));
    if (editLink_->PrepareEdit(this, focusedNode_, editColumn_)) {
        UpdateEditBounds();
        InvalidateNode(focusedNode_);
        if (!editLink_->BeginEdit()) DoStateChange(0, tsEditing);
    } else {
        DoStateChange(0, tsEditing);
    }
    if (!(states_ & tsEditing)) editLink_.Reset();
}

bool TBaseVastTree::EndEditNode() {
    if (states_ & (tsEditing | tsEditPending)) return DoEndEdit();
    return true;
}

bool TBaseVastTree::CancelEditNode() {
    if (HandleAllocated() && (states_ & (tsEditing | tsEditPending))) return DoCancelEdit();
    return true;
}

bool TBaseVastTree::DoEndEdit() {
    StopTimer(EditTimer);
    TScopeExit leavePending([this] {
        DoStateChange(0, tsEditPending);
        pendingEditNode_ = nullptr;
    });
    // A link that throws (its text refused) stays: the edit can end again.
    bool result = (states_ & tsEditing) && editLink_ && editLink_->EndEdit();
    if (result) {
        DoStateChange(0, tsEditing);
        editLink_.Reset();
        if (OnEdited) OnEdited(this, focusedNode_, editColumn_);
    }
    return result;
}

bool TBaseVastTree::DoCancelEdit() {
    StopTimer(EditTimer);
    DoStateChange(0, tsEditPending);
    pendingEditNode_ = nullptr;
    bool result = (states_ & tsEditing) && editLink_ && editLink_->CancelEdit();
    if (result) {
        DoStateChange(0, tsEditing);
        if (OnEditCancelled) OnEditCancelled(this, editColumn_);
        if (!(ComponentState() & csDestroying)) editLink_.Reset();
    }
    return result;
}

void TBaseVastTree::UpdateEditBounds() {
    if (!(states_ & tsEditing) || !editLink_ || !focusedNode_) return;
    bool multiLine = focusedNode_->States & vsMultiline;
    TRect r = GetDisplayRect(focusedNode_, editColumn_, true, !multiLine);
    if (TreeOptions()->MiscOptions() & toGridExtensions) {
        // The editor reaches the column's far edge on the side the text runs to.
        TAlignment alignment = alignment_;
        bool rightToLeft = UseRightToLeftAlignment();
        int left = 0, right = ClientWidth();
        if (header_->GetUseColumns() && editColumn_ >= 0) {
            TVastTreeColumn* column = header_->Columns()->Items(editColumn_);
            alignment = column->Alignment();
            rightToLeft = column->UseRightToLeftReading();
            left = column->GetLeft();
            right = left + column->Width();
        }
        if (rightToLeft && alignment != taCenter)
            alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
        if (alignment == taLeftJustify)
            r.right = right;
        else
            r.left = left;
    }
    if (TreeOptions()->PaintOptions() & toShowHorzGridLines) r.bottom -= 1;
    editLink_->SetBounds(r);
}

void TBaseVastTree::GetTextInfo(PVastNode, TColumnIndex, TFont* font, TRect& r, std::string& text) {
    r = TRect{};
    text.clear();
    if (font) font->Assign(Font());
}

bool TBaseVastTree::HandleEditMessage(TMessage& message) {
    switch (message.Msg) {
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
            // A pending edit dies with the focus; a running one is the editor's to end.
            StopTimer(EditTimer);
            if (states_ & tsEditPending) DoStateChange(0, tsEditPending);
            pendingEditNode_ = nullptr;
            return false;
        case WM_CONTEXTMENU:
            DoStateChange(0, tsClearPending | tsEditPending | tsOLEDragPending | tsVCLDragPending);
            pendingEditNode_ = nullptr;
            // The menu was shown on the right button's release already.
            if (states_ & tsPopupMenuShown) {
                message.Result = 0;
                return true;
            }
            return false;
        default:
            return false;
    }
}

// ---- context menus ----

TPopupMenu* TBaseVastTree::DoGetPopupMenu(PVastNode node, TColumnIndex column, TPoint p) {
    if (!OnGetPopupMenu) return nullptr;
    TPopupMenu* menu = nullptr;
    if (!node) {
        bool askParent = false;
        OnGetPopupMenu(this, nullptr, NoColumn, p, askParent, menu);
        return menu;
    }
    bool askParent = true;
    for (PVastNode run = node; run && run != root_ && !menu && askParent; run = run->Parent)
        OnGetPopupMenu(this, run, column, p, askParent, menu);
    return menu;
}

void TBaseVastTree::DoPopupMenu(PVastNode node, TColumnIndex column, TPoint p) {
    TPopupMenu* menu = DoGetPopupMenu(node, column, p);
    if (!menu) return;
    DoStateChange(tsPopupMenuShown);
    StopTimer(EditTimer);
    menu->SetPopupComponent(this);
    POINT screen{p.x, p.y};
    if (HandleAllocated()) ::platform::ClientToScreen(Handle(), &screen);
    menu->Popup(screen.x, screen.y);
}

bool TBaseVastTree::HasPopupMenu(PVastNode node, TColumnIndex column, TPoint p) {
    return PopupMenu() || DoGetPopupMenu(node, column, p);
}

// ---- the text tree ----

void TCustomVastStringTree::GetTextInfo(PVastNode node, TColumnIndex column, TFont* font, TRect& r,
                                        std::string& text) {
    TBaseVastTree::GetTextInfo(node, column, font, r, text);
    int height = TextHeight();
    if (font) {
        // A handler of OnPaintText may change the font the cell is drawn with.
        TCanvas* canvas = Canvas();
        canvas->SetFont(font);
        TNotifyEvent saved = canvas->Font()->OnChange;
        bool changed = false;
        canvas->Font()->OnChange = [&changed](TObject*) { changed = true; };
        {
            TScopeExit restore([&] { canvas->Font()->OnChange = saved; });
            DoPaintText(node, canvas, column, ttNormal);
        }
        if (changed) {
            font->Assign(canvas->Font());
            TEXTMETRIC metric{};
            GetTextMetrics(canvas->Handle(), &metric);
            height = metric.tmHeight;
        }
    }
    text = GetText(node, column);
    bool multiLine = node->States & vsMultiline;
    r = GetDisplayRect(node, column, true, !multiLine);
    if (TreeOptions()->PaintOptions() & toShowHorzGridLines) r.bottom -= 1;
    int spare = (r.bottom - r.top - height) / 2;
    if (spare > 0) {
        r.top += spare;
        r.bottom -= spare;
    }
}

TVTEditLinkRef TCustomVastStringTree::DoCreateEditor(PVastNode node, TColumnIndex column) {
    TVTEditLinkRef link = TBaseVastTree::DoCreateEditor(node, column);
    if (!link) link = TVTEditLinkRef(new TStringEditLink());
    return link;
}

// ---- the edit control ----

namespace {

// Whether focus leaving the editor keeps the typed text (toAutoAcceptEditChange).
bool AutoAcceptsEdits(TCustomVastStringTree* tree) {
    auto* options = dynamic_cast<TCustomStringTreeOptions*>(tree->TreeOptions());
    return !options || (options->StringOptions() & toAutoAcceptEditChange);
}

}  // namespace

TVTEdit::TVTEdit(TStringEditLink* link, TComponent* owner) : TCustomEdit(owner), link_(link) {
    SetShowHint(false);
    SetParentShowHint(false);
}

void TVTEdit::ClearLink() {
    link_ = nullptr;
    refLink_.Reset();
}

void TVTEdit::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    // Multi-line always: only such an edit keeps a formatting rectangle.
    params.Style |= ES_MULTILINE;
    if (multiLine_) {
        params.Style &= ~DWORD(ES_AUTOHSCROLL | WS_HSCROLL);
        params.Style |= WS_VSCROLL | ES_AUTOVSCROLL;
    }
    // No visual styles here: a plain border.
    params.Style |= WS_BORDER;
    params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
}

void TVTEdit::AutoAdjustSize() {
    if (!link_ || !link_->tree_ || multiLine_ || !HandleAllocated()) return;
    TCustomVastStringTree* tree = link_->tree_;
    SendMessage(Handle(), WM_SETREDRAW, 0, 0);
    {
        TScopeExit redraw([this] {
            SendMessage(Handle(), WM_SETREDRAW, 1, 0);
            RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
        });
        TCanvas* canvas = tree->Canvas();
        canvas->SetFont(Font());
        int width = canvas->TextWidth(Text()) + 2 * tree->TextMargin();
        if (width < Width()) tree->InvalidateNode(link_->node_);
        TRect r = link_->alignment_ == taRightJustify
                      ? TRect{Left() + Width() - width, Top(), Left() + Width(), Top() + Height()}
                      : TRect{Left(), Top(), Left() + width, Top() + Height()};
        link_->SetBounds(r);
        // Typing may have scrolled the text before the editor grew; now that it fits,
        // bring its start back into view.
        int start = SelStart(), length = SelLength();
        SetSelStart(0);
        SetSelStart(start);
        SetSelLength(length);
    }
}

void TVTEdit::Release() {
    if (HandleAllocated())
        PostMessage(Handle(), CM_RELEASE, 0, 0);
    else
        delete this;  // without a window it cannot be inside one of its own handlers
}

void TVTEdit::Dispatch(TMessage& message) {
    switch (message.Msg) {
        case CM_RELEASE:
            delete this;
            return;
        case WM_GETDLGCODE:
            TCustomEdit::Dispatch(message);
            message.Result |= DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTARROWS;
            return;
        case WM_CHAR: {
            unsigned ch = unsigned(message.WParam);
            // Tab and Esc never reach the text; neither does a line break in a one-line cell.
            if (ch == VK_TAB || ch == VK_ESCAPE || (!multiLine_ && (ch == '\r' || ch == '\n'))) {
                message.Result = 0;
                return;
            }
            break;
        }
        case WM_KEYDOWN: {
            WPARAM key = message.WParam;
            TCustomVastStringTree* tree = link_ ? link_->tree_ : nullptr;
            if (tree && key == VK_RETURN && (!multiLine_ || GetKeyState(VK_CONTROL) < 0)) {
                if (PVastNode node = link_->node_) tree->InvalidateNode(node);
                tree->DoEndEdit();
                if (!tree->IsEditing()) tree->SetFocus();
                message.Result = 0;
                return;
            }
            if (tree && key == VK_ESCAPE) {
                tree->DoCancelEdit();
                tree->SetFocus();
                message.Result = 0;
                return;
            }
            if (!multiLine_ && key == VK_UP) message.WParam = VK_LEFT;
            if (!multiLine_ && key == VK_DOWN) message.WParam = VK_RIGHT;
            break;
        }
        case CN_COMMAND:
            if (HIWORD(message.WParam) == EN_UPDATE && link_ && link_->tree_ && !multiLine_ &&
                !(link_->tree_->TreeOptions()->MiscOptions() & toGridExtensions))
                AutoAdjustSize();
            break;
        case CM_EXIT:
            if (link_ && !link_->stopping_) {
                TCustomVastStringTree* tree = link_->tree_;
                if (AutoAcceptsEdits(tree))
                    tree->DoEndEdit();
                else
                    tree->DoCancelEdit();
            }
            break;
        case WM_DESTROY:
            if (link_ && !link_->stopping_) {
                TCustomVastStringTree* tree = link_->tree_;
                if (tree && AutoAcceptsEdits(tree) && Modified())
                    tree->SetText(link_->node_, link_->column_, Text());
                ClearLink();
            }
            break;
        default:
            break;
    }
    TCustomEdit::Dispatch(message);
}

// ---- the link ----

TStringEditLink::TStringEditLink() {
    edit_ = new TVTEdit(this, nullptr);
    edit_->SetVisible(false);
    edit_->SetBorderStyle(bsSingle);
    edit_->SetAutoSize(false);
    // The edit holds its reference to the link from PrepareEdit on: taken here, it would
    // keep a link that never edits alive for ever.
}

TStringEditLink::~TStringEditLink() {
    if (edit_) {
        edit_->link_ = nullptr;
        edit_->Release();
    }
}

HRESULT TStringEditLink::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IVTEditLink) {
        *object = static_cast<IVTEditLink*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

void TStringEditLink::SetEdit(TVTEdit* value) {
    if (edit_ == value) return;
    if (edit_) {
        edit_->ClearLink();
        edit_->Release();
    }
    edit_ = value;
}

bool TStringEditLink::PrepareEdit(TBaseVastTree* tree, PVastNode node, TColumnIndex column) {
    auto* stringTree = dynamic_cast<TCustomVastStringTree*>(tree);
    if (!stringTree || !edit_) return false;
    tree_ = stringTree;
    node_ = node;
    column_ = column;
    std::string text;
    TFont font;
    stringTree->GetTextInfo(node, column, &font, textBounds_, text);
    font.SetColor(clWindowText);
    // The tree frees the edit if it goes first; the edit keeps the link while it edits.
    if (!edit_->Owner()) stringTree->InsertComponent(edit_);
    edit_->refLink_ = TVTEditLinkRef(this);
    edit_->link_ = this;
    edit_->multiLine_ = node->States & vsMultiline;
    edit_->SetFont(&font);
    edit_->SetParent(stringTree);
    edit_->RecreateWnd();
    edit_->HandleNeeded();
    edit_->SetText(text);
    edit_->SetModified(false);
    TVastTreeColumns* columns = stringTree->Header()->Columns();
    bool rightToLeft;
    if (column >= 0 && column < TColumnIndex(columns->Count())) {
        TVastTreeColumn* item = columns->Items(column);
        edit_->SetBiDiMode(item->BiDiMode());
        alignment_ = item->Alignment();
        rightToLeft = item->UseRightToLeftReading();
    } else {
        edit_->SetBiDiMode(stringTree->BiDiMode());
        alignment_ = stringTree->Alignment();
        rightToLeft = stringTree->UseRightToLeftAlignment();
    }
    if (rightToLeft && alignment_ != taCenter) alignment_ = alignment_ == taLeftJustify ? taRightJustify : taLeftJustify;
    edit_->SetAlignment(alignment_);
    return true;
}

bool TStringEditLink::BeginEdit() {
    if (stopping_ || !edit_) return false;
    edit_->Show();
    edit_->SelectAll();
    edit_->SetFocus();
    return true;
}

bool TStringEditLink::EndEdit() {
    if (stopping_) return false;
    stopping_ = true;
    if (edit_ && edit_->Modified() && tree_) {
        // A refused text leaves the edit running, able to end again.
        TScopeFail resume([this] { stopping_ = false; });
        tree_->SetText(node_, column_, edit_->Text());
    }
    if (edit_) {
        edit_->Hide();
        edit_->ClearLink();
    }
    return true;
}

bool TStringEditLink::CancelEdit() {
    if (stopping_) return false;
    stopping_ = true;
    // The last reference may be the edit's own: keep the link alive to the end.
    TVTEditLinkRef self(this);
    if (edit_) edit_->Hide();
    if (tree_) tree_->CancelEditNode();
    if (edit_) edit_->ClearLink();
    return true;
}

TRect TStringEditLink::GetBounds() { return edit_ ? edit_->BoundsRect() : TRect{}; }

void TStringEditLink::ProcessMessage(TMessage& message) {
    if (edit_) edit_->WindowProc(message);
}

void TStringEditLink::SetBounds(TRect r) {
    if (stopping_ || !edit_ || !tree_) return;
    r.left = std::max(r.left, 0);
    constexpr int minimum = 30;
    if (r.right - r.left < minimum) {
        if (alignment_ == taRightJustify)
            r.left = r.right - minimum;
        else
            r.right = r.left + minimum;
    }
    r.right = std::min(r.right, tree_->ClientWidth());
    edit_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    // The text sits where the cell showed it.
    int margin = 2;
    TRect format = edit_->ClientRect();
    format.left -= margin - tree_->TextMargin();
    format.right += margin - tree_->TextMargin();
    format.top -= margin;
    format.bottom += margin;
    if (!edit_->multiLine_) {
        int shift = textBounds_.top - edit_->Top();
        format.top += shift;
        format.bottom += shift;
    }
    SendMessage(edit_->Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&format));
}

}  // namespace treeview
