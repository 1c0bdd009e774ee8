// Hints: the tree's answer to the application's hint questions and its own hint window.
#include "treeview/vthints.h"

#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vtdrawtree.h"
#include "treeview/vststrings.h"

namespace treeview {

using namespace platform;

namespace {
bool hintWindowDestroyed = true;
}  // namespace

int HintShadowSize() { return MMXAvailable ? 5 : 0; }
bool HintWindowDestroyed() { return hintWindowDestroyed; }

TRect ClampToDesktop(TRect rect, const TRect& desktop) {
    int width = rect.Width(), height = rect.Height();
    if (rect.top - desktop.top + height > desktop.Height()) rect.top = desktop.Height() - height + desktop.top;
    if (rect.left - desktop.left + width > desktop.Width()) rect.left = desktop.Width() - width + desktop.left;
    if (rect.left < desktop.left) rect.left = desktop.left;
    return TRect{rect.left, rect.top, rect.left + width, rect.top + height};
}

// ---------------------------------------------------------------- the tree

std::string TBaseVastTree::DoGetNodeHint(PVastNode, TColumnIndex, TVTTooltipLineBreakStyle& lineBreakStyle) {
    lineBreakStyle = hlbDefault;
    return Hint();
}

std::string TBaseVastTree::DoGetNodeTooltip(PVastNode, TColumnIndex, TVTTooltipLineBreakStyle& lineBreakStyle) {
    lineBreakStyle = hlbDefault;
    return Hint();
}

THintWindowClass TBaseVastTree::GetHintWindowClass() {
    return [](TComponent* owner) -> THintWindow* { return new TVastTreeHintWindow(owner); };
}

THintAnimationType TBaseVastTree::DoGetAnimationType() {
    return hintAnimation_ == hatSystemDefault ? hatFade : hintAnimation_;
}

std::string TCustomVastStringTree::DoGetNodeHint(PVastNode node, TColumnIndex column,
                                                 TVTTooltipLineBreakStyle& lineBreakStyle) {
    std::string result = TBaseVastTree::DoGetNodeHint(node, column, lineBreakStyle);
    if (OnGetHint) OnGetHint(this, node, column, lineBreakStyle, result);
    return result;
}

std::string TCustomVastStringTree::DoGetNodeTooltip(PVastNode node, TColumnIndex column,
                                                    TVTTooltipLineBreakStyle& lineBreakStyle) {
    std::string result = TBaseVastTree::DoGetNodeTooltip(node, column, lineBreakStyle);
    if (OnGetHint)
        OnGetHint(this, node, column, lineBreakStyle, result);
    else
        result = GetText(node, column);
    return result;
}

void TBaseVastTree::CMHintShow(TMessage& message) {
    auto& info = *reinterpret_cast<THintInfo*>(message.LParam);
    message.Result = 1;
    if (lastHintRect_.Contains(info.CursorPos)) return;
    THitInfo hit;
    GetHitTestInfoAt(info.CursorPos.x, info.CursorPos.y, true, hit);
    bool ownHint;
    if (states_ & tsEditing) {
        ownHint = hit.Node != focusedNode_;
    } else {
        TCustomForm* form = platform::GetParentForm(this);
        ownHint = Focused() || (form && (form->Focused() || form->Active()));
    }
    bool showHint = false;
    if (!GetCapture() && ShowHint() && !(states_ & (tsOLEDragging | tsDrawSelecting | tsScrolling)) &&
        !Dragging() && header_->States() == 0 && ownHint) {
        message.Result = 0;
        info.HintStr.assign(1, ' ');  // not empty, so a hint shows
        bool columns = header_->GetUseColumns();
        if (columns && (header_->Options() & hoShowHint) &&
            header_->InHeader(info.CursorPos)) {
            // The header strip lies above the client area.
            info.CursorRect = TRect{0, -header_->Height(), ClientWidth(), 0};
            int left = 0, right = 0;
            TColumnIndex column =
                header_->Columns()->GetColumnAndBounds(TPoint{info.CursorPos.x, 0}, left, right);
            info.CursorRect.left = left;
            info.CursorRect.right = right;
            TPoint bottom = ClientToScreen(TPoint{0, info.CursorRect.bottom});
            info.HintPos.y = std::max(info.HintPos.y, bottom.y);
            if (column < 0 || (GetKeyState(VK_LBUTTON) < 0 && (states_ & tsLeftButtonDown))) {
                message.Result = 1;
            } else {
                hintData_.DefaultHint = header_->Columns()->Items(column)->Hint();
                showHint = !hintData_.DefaultHint.empty();
                if (!showHint) message.Result = 1;
            }
            hit.Column = column;
            hit.Node = nullptr;
        } else if (hintMode_ == hmDefault) {
            info.HintStr = GetShortHint(Hint());
        } else if (hit.Node && hit.Column != InvalidColumn) {
            showHint = true;
            // The owner-draw tree's application says how large the hint is; nothing, no hint.
            if (auto* drawTree = dynamic_cast<TCustomVastDrawTree*>(this)) {
                hintData_.HintRect = TRect{};
                drawTree->DoGetHintSize(hit.Node, hit.Column, hintData_.HintRect);
                showHint = !hintData_.HintRect.IsEmpty();
            }
            int left = 0, right = ClientWidth();
            if (hit.Column > NoColumn) {
                header_->Columns()->GetColumnBounds(hit.Column, left, right);
                if (TreeOptions()->AutoOptions() & toAutoSpanColumns)
                    for (TColumnIndex next = header_->Columns()->GetNextVisibleColumn(hit.Column);
                         next > NoColumn && ColumnIsEmpty(hit.Node, next);
                         next = header_->Columns()->GetNextVisibleColumn(next)) {
                        int l = 0, r = 0;
                        header_->Columns()->GetColumnBounds(next, l, r);
                        right = r;
                    }
            }
            hintData_.DefaultHint.clear();
            if (!showHint) {
                message.Result = 1;
            } else if (hintMode_ == hmTooltip) {
                TRect r;
                if (!(hit.Node->States & vsMultiline)) {
                    r = GetDisplayRect(hit.Node, hit.Column, true, true);
                    TPoint p = info.CursorPos;
                    showHint = r.Contains(p) && p.x >= left && p.x < right &&
                               (std::min(right - 1, ClientWidth()) < r.right || r.left < std::max(left, 0) ||
                                ClientHeight() < r.bottom || r.top < 0);
                } else {
                    showHint = hit.Positions & hiOnItemLabel;
                    r = GetDisplayRect(hit.Node, hit.Column, true);
                }
                if (showHint) {
                    info.HintPos = ClientToScreen(TPoint{r.left, r.top});
                    info.CursorRect = r;
                } else {
                    message.Result = 1;
                }
            } else {
                TRect r = GetDisplayRect(hit.Node, hit.Column, false);
                r.left = left;
                r.right = right;
                info.CursorRect = r;
                TPoint corner = ClientToScreen(TPoint{r.right, r.bottom});
                info.HintPos.y = std::max(info.HintPos.y, corner.y) + 2;
            }
        } else if (hintMode_ == hmHintAndDefault && !hit.Node) {
            hintData_.DefaultHint = GetShortHint(Hint());
            showHint = !hintData_.DefaultHint.empty();
            if (!showHint) message.Result = 1;
        } else {
            message.Result = 1;
        }
        if (!showHint || message.Result != 0) {
            lastHintRect_ = TRect{};
        } else {
            info.HintWindowClass = GetHintWindowClass();
            hintData_.Tree = this;
            hintData_.Column = hit.Column;
            hintData_.Node = hit.Node;
            lastHintRect_ = info.CursorRect;
            info.HintData = &hintData_;
        }
    }
    if (message.Result != 0)
        DoStateChange(0, tsHint);
    else
        DoStateChange(tsHint);
}

void TBaseVastTree::CMHintShowPause(TMessage& message) {
    auto* pause = reinterpret_cast<int*>(message.LParam);
    if (!pause) return;
    if (hintMode_ == hmTooltip) {
        *pause = 0;
        return;
    }
    if (hintWindowDestroyed && header_->GetUseColumns() && (header_->Options() & hoShowHint)) {
        POINT p;
        GetCursorPos(&p);
        TPoint client = ScreenToClient(TPoint{p.x, p.y});
        if (header_->InHeader(client)) *pause = 0;
    }
}

// ---------------------------------------------------------------- the hint window

TVastTreeHintWindow::TVastTreeHintWindow(TComponent* owner)
    : THintWindow(owner),
      backgroundBuffer_(std::make_unique<TBitmap>()),
      drawBuffer_(std::make_unique<TBitmap>()),
      targetBuffer_(std::make_unique<TBitmap>()) {
    for (TBitmap* b : {backgroundBuffer_.get(), drawBuffer_.get(), targetBuffer_.get()}) b->SetPixelFormat(pf32bit);
    hintWindowDestroyed = false;
}

TVastTreeHintWindow::~TVastTreeHintWindow() { hintWindowDestroyed = true; }

void TVastTreeHintWindow::CreateParams(TCreateParams& params) {
    THintWindow::CreateParams(params);
    params.Style = WS_POPUP;
    params.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void TVastTreeHintWindow::Dispatch(TMessage& message) {
    switch (message.Msg) {
        case WM_ERASEBKGND: message.Result = 1; return;
        case WM_NCPAINT: message.Result = 0; return;
        case CM_TEXTCHANGED: return;  // the size comes from CalcHintRect
        case WM_SHOWWINDOW:
            if (!message.WParam) {
                hintData_ = TVTHintData{};
                hintWindowDestroyed = false;
            }
            break;
        default: break;
    }
    THintWindow::Dispatch(message);
}

TRect TVastTreeHintWindow::CalcHintRect(int maxWidth, const std::string&, void* data) {
    if (!data) return TRect{};
    SetBiDiMode(bdLeftToRight);
    hintData_ = *static_cast<TVTHintData*>(data);
    TBaseVastTree* tree = hintData_.Tree;
    if (!tree) return TRect{};
    // The owner-draw tree's hint has the size its application asked for; its handler draws
    // into that much, the shadow lies beside it.
    if (hintData_.Node && dynamic_cast<TCustomVastDrawTree*>(tree)) {
        TRect result = hintData_.HintRect;
        result.right += HintShadowSize();
        result.bottom += HintShadowSize();
        return result;
    }
    TColumnIndex column = hintData_.Column;
    if (column > NoColumn && column < tree->Header()->Columns()->Count()) {
        hintData_.BidiMode = tree->Header()->Columns()->Items(column)->BiDiMode();
        hintData_.Alignment = tree->Header()->Columns()->Items(column)->Alignment();
    } else {
        hintData_.BidiMode = tree->BiDiMode();
        hintData_.Alignment = tree->Alignment();
    }
    if (hintData_.BidiMode != bdLeftToRight) {
        if (hintData_.Alignment == taLeftJustify)
            hintData_.Alignment = taRightJustify;
        else if (hintData_.Alignment == taRightJustify)
            hintData_.Alignment = taLeftJustify;
    }
    bool tooltip = tree->HintMode() == hmTooltip && hintData_.Node;
    TBitmap measure;
    measure.SetSize(1, 1);
    TCanvas* canvas = measure.Canvas();
    if (tooltip) {
        TFont font;
        font.Assign(tree->Font());
        TRect r;
        std::string text;
        tree->GetTextInfo(hintData_.Node, column, &font, r, text);
        canvas->SetFont(&font);
    } else {
        canvas->SetFont(Font());
    }
    textHeight_ = canvas->TextHeight("Tj");

    hintData_.LineBreakStyle = hlbDefault;
    if (!hintData_.DefaultHint.empty())
        hintData_.HintText = hintData_.DefaultHint;
    else if (tree->HintMode() == hmTooltip)
        hintData_.HintText = tree->DoGetNodeTooltip(hintData_.Node, column, hintData_.LineBreakStyle);
    else
        hintData_.HintText = tree->DoGetNodeHint(hintData_.Node, column, hintData_.LineBreakStyle);
    if (hintData_.HintText.empty()) return TRect{};

    TRect result;
    if (tooltip) {
        if (hintData_.LineBreakStyle == hlbDefault)
            hintData_.LineBreakStyle = (hintData_.Node->States & vsMultiline) ? hlbForceMultiLine : hlbForceSingleLine;
        if (hintData_.LineBreakStyle == hlbForceMultiLine) {
            TRect r = tree->GetDisplayRect(hintData_.Node, column, true);
            TRect measured = r;
            DrawText(TextDC(canvas), hintData_.HintText, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            result = r;
            if (hintData_.BidiMode == bdLeftToRight)
                result.right = measured.right + tree->TextMargin();
            else
                result.left = measured.left - tree->TextMargin() + 1;
            result.bottom = measured.bottom;
            result.right += 1;
            // Without columns the cell is the client width.
            int cellWidth = column > NoColumn ? tree->Header()->Columns()->Items(column)->Width() : tree->ClientWidth();
            if (int(hintData_.Node->NodeHeight) + 2 >= result.Height() && cellWidth + 2 >= result.Width() &&
                result.left >= 0 && tree->ClientWidth() + 3 >= result.right && result.top >= 0 &&
                tree->ClientHeight() + 3 >= result.bottom)
                return TRect{};
        } else {
            result = tree->LastHintRect();
            if (tree->TreeOptions()->PaintOptions() & toShowHorzGridLines) --result.bottom;
        }
        InflateRect(&result, 1, 1);
        OffsetRect(&result, -1 - result.left, -1 - result.top);
    } else {
        result = TRect{0, 0, maxWidth, textHeight_};
        DrawText(TextDC(canvas), hintData_.HintText, &result, DT_CALCRECT | DT_NOPREFIX);
        result.bottom += 6;
        result.right += 2 * tree->TextMargin() + 2;
    }
    int shadow = HintShadowSize();
    result.right += shadow;
    result.bottom += shadow;
    return result;
}

void TVastTreeHintWindow::ActivateHint(TRect rect, const std::string&) {
    if (rect.IsEmpty()) {
        if (Application) Application->CancelHint();
        return;
    }
    TBaseVastTree* tree = hintData_.Tree;
    // A hint shown while another one still fades or slides in: that animation, further down
    // the call stack, stops at its next step, and this one may run.
    bool wasAnimating = tree && (tree->TreeStates() & tsInAnimation);
    if (wasAnimating) tree->DoStateChange(0, tsInAnimation);
    TScreen* screen = TScreen::Instance();
    rect = ClampToDesktop(rect, TRect{0, 0, screen->Width(), screen->Height()});
    HWND window = Handle();
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.Width(), rect.Height(),
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
    SetBounds(rect.left, rect.top, rect.Width(), rect.Height());
    for (TBitmap* b : {backgroundBuffer_.get(), drawBuffer_.get(), targetBuffer_.get()})
        b->SetSize(rect.Width(), rect.Height());
    if (tree && tree->HandleAllocated()) tree->Update();
    // The screen under the hint, where the platform can read it; else the window colour.
    backgroundBuffer_->Canvas()->Brush()->SetColor(clWindow);
    backgroundBuffer_->Canvas()->FillRect(TRect{0, 0, rect.Width(), rect.Height()});
    if (HDC screenDC = GetDC(nullptr)) {
        BitBlt(backgroundBuffer_->Canvas()->Handle(), 0, 0, rect.Width(), rect.Height(), screenDC, rect.left, rect.top,
               SRCCOPY);
        ReleaseDC(nullptr, screenDC);
    }
    SetWindowPos(window, HWND_TOPMOST, rect.left, rect.top, rect.Width(), rect.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetVisible(true);
    animation_ = tree ? tree->DoGetAnimationType() : hatNone;
    // Without a duration the tree does not animate: the hint shows at once.
    if (animation_ != hatNone && tree->AnimationDuration() == 0) animation_ = hatNone;
    if (animation_ == hatNone) {
        InternalPaint(0, 0);
        Invalidate();
    } else {
        ValidateRect(window, nullptr);
        auto step = [this](int step, int stepSize, void* data) { return AnimationCallback(step, stepSize, data); };
        bool fade = animation_ == hatFade;
        // Meanwhile a repaint of the window (it was just mapped) shows the current frame.
        animating_ = true;
        TScopeExit animated([this] { animating_ = false; });
        tree->Animate(fade ? 255 : std::uint32_t(rect.Height()), (fade ? 2 : 1) * tree->AnimationDuration(), step,
                      nullptr);
    }
    if (!hintWindowDestroyed && wasAnimating) tree->DoStateChange(tsCancelHintAnimation);
}

bool TVastTreeHintWindow::IsHintMsg(const MSG& msg) {
    bool result = THintWindow::IsHintMsg(msg) && HandleAllocated() && IsWindowVisible(WindowHandle());
    if (result && (msg.message == WM_NCMOUSEMOVE || (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)))
        result = false;
    return result;
}

void TVastTreeHintWindow::Paint() {
    if (!animating_) InternalPaint(0, 0);
    BitBlt(Canvas()->Handle(), 0, 0, Width(), Height(), targetBuffer_->Canvas()->Handle(), 0, 0, SRCCOPY);
}

bool TVastTreeHintWindow::AnimationCallback(int step, int stepSize, void*) {
    TBaseVastTree* tree = hintData_.Tree;
    bool go = !hintWindowDestroyed && HandleAllocated() && IsWindowVisible(WindowHandle()) && tree &&
              !(tree->TreeStates() & tsCancelHintAnimation);
    if (go) {
        InternalPaint(step, stepSize);
        // Input keeps flowing while the hint comes in: a key reaches the tree once, through
        // this loop (the hint window lets key messages pass); a click ends the hint, and
        // with it the animation at its next step.
        if (Application) Application->ProcessMessages();
    }
    return go;
}

void TVastTreeHintWindow::DrawShadow(TCanvas* canvas, int width, int height) {
    int s = HintShadowSize();
    if (s == 0) return;
    HDC dc = canvas->Handle();
    TRect bottom{s, height - s, width, height};
    TRect right{width - s, s, width, height - s};
    for (int alpha : {5, 10, 20, 35, 50}) {
        AlphaBlend(nullptr, dc, bottom, TPoint{0, 0}, bmConstantAlphaAndColor, alpha, 0);
        AlphaBlend(nullptr, dc, right, TPoint{0, 0}, bmConstantAlphaAndColor, alpha, 0);
        ++bottom.left;
        --bottom.right;
        --bottom.bottom;
        ++right.top;
        --right.right;
    }
}

void TVastTreeHintWindow::InternalPaint(int step, int stepSize) {
    TBaseVastTree* tree = hintData_.Tree;
    int width = drawBuffer_->Width(), height = drawBuffer_->Height();
    if (!tree || width <= 0 || height <= 0) return;
    int shadow = HintShadowSize();
    if (step == 0) PaintContent(tree, width - shadow, height - shadow);
    HDC target = targetBuffer_->Canvas()->Handle();
    HDC background = backgroundBuffer_->Canvas()->Handle();
    HDC content = drawBuffer_->Canvas()->Handle();
    BitBlt(target, 0, 0, width, height, background, 0, 0, SRCCOPY);
    if (stepSize < 1) {
        // The still hint, also the last frame of every animation.
        BitBlt(target, 0, 0, width - shadow, height - shadow, content, 0, 0, SRCCOPY);
        DrawShadow(targetBuffer_->Canvas(), width, height);
    } else if (animation_ == hatFade) {
        AlphaBlend(content, target, TRect{0, 0, width - shadow, height - shadow}, TPoint{0, 0}, bmConstantAlpha,
                   step * 256 / 255, 0);
        DrawShadow(targetBuffer_->Canvas(), width, height);
    } else {
        // Slide: the bottom rows of the hint come down from the top over the screen's copy
        // (the shadow's rows of the content are left out).
        int rows = std::max(step - shadow, 0);
        BitBlt(target, 0, 0, width - shadow, rows, content, 0, height - shadow - rows, SRCCOPY);
    }
    if (HandleAllocated() && IsWindowVisible(WindowHandle())) {
        HDC dc = GetDC(WindowHandle());
        if (dc) {
            BitBlt(dc, 0, 0, width, height, target, 0, 0, SRCCOPY);
            ReleaseDC(WindowHandle(), dc);
        }
    }
}

void TVastTreeHintWindow::PaintContent(TBaseVastTree* tree, int width, int height) {
    TCanvas* canvas = drawBuffer_->Canvas();
    TRect r{0, 0, width, height};
    if (auto* drawTree = hintData_.Node ? dynamic_cast<TCustomVastDrawTree*>(tree) : nullptr) {
        // The owner-draw tree's application draws the hint, over the hint colour.
        canvas->Brush()->SetColor(clInfoBk);
        canvas->FillRect(r);
        drawTree->DoDrawHint(canvas, hintData_.Node, r, hintData_.Column);
        return;
    }
    bool tooltip = tree->HintMode() == hmTooltip && hintData_.Node;
    int y = 2;
    if (tooltip) {
        TFont font;
        font.Assign(tree->Font());
        TRect text;
        std::string s;
        tree->GetTextInfo(hintData_.Node, hintData_.Column, &font, text, s);
        canvas->SetFont(&font);
        y = hintData_.LineBreakStyle == hlbForceMultiLine ? 1 : (text.top - text.bottom + height) / 2;
    } else {
        canvas->SetFont(Font());
    }
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetColor(clInfoBk);
    canvas->Rectangle(r);
    canvas->Font()->SetColor(clInfoText);
    InflateRect(&r, -1, -1);
    UINT format = DT_NOPREFIX;
    if (hintData_.BidiMode == bdLeftToRight) {
        r.left += tree->TextMargin();
    } else {
        format = DT_NOPREFIX | DT_RIGHT | DT_RTLREADING;
        r.right = r.right - tree->TextMargin() + 1;
    }
    SetBkMode(canvas->Handle(), TRANSPARENT);
    r.top = y;
    if (tooltip && hintData_.LineBreakStyle == hlbForceMultiLine) format |= DT_WORDBREAK;
    DrawText(TextDC(canvas), hintData_.HintText, &r, format);
}

}  // namespace treeview
