// Scroll bar controls, up-down buttons and the time picker.
#include "platform/controls/comctrls.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/clock.h"

namespace platform {

// ---------------------------------------------------------------- TScrollBar

TScrollBar::TScrollBar(TComponent* owner) : TCustomControl(owner) {
    width_ = 121;
    height_ = GetSystemMetrics(SM_CYHSCROLL);
    tabStop_ = true;
    controlStyle_ = csFramed | csCaptureMouse;
    color_ = clScrollBar;
    brush_->SetColor(color_);
}

void TScrollBar::SetKind(TScrollBarKind value) {
    if (kind_ == value) return;
    kind_ = value;
    SetBounds(left_, top_, height_, width_);
    Invalidate();
}

void TScrollBar::SetParams(int position, int min, int max) {
    max = std::max(min, max);
    int last = max - std::max(0, pageSize_ - 1);
    position = std::clamp(position, min, std::max(min, last));
    bool changed = position != position_;
    min_ = min;
    max_ = max;
    position_ = position;
    Invalidate();
    if (changed && OnChange) OnChange(this);
}

void TScrollBar::SetPageSize(int value) {
    pageSize_ = std::clamp(value, 0, max_ - min_ + 1);
    SetParams(position_, min_, max_);
}

int TScrollBar::Length() const { return kind_ == sbHorizontal ? ClientWidth() : ClientHeight(); }
int TScrollBar::Button() const { return kind_ == sbHorizontal ? ClientHeight() : ClientWidth(); }

TRect TScrollBar::ThumbRect() const {
    int button = Button(), track = Length() - 2 * button;
    int range = max_ - min_ + 1;
    if (track <= 8 || range <= 0 || (pageSize_ && pageSize_ >= range)) return TRect();
    int thumb = pageSize_ ? std::max(8, int(std::int64_t(track) * pageSize_ / range)) : std::max(8, button);
    int span = range - std::max(1, pageSize_);
    int offset = span > 0 ? int(std::int64_t(track - thumb) * (position_ - min_) / span) : 0;
    offset = std::clamp(offset, 0, track - thumb);
    int a = button + offset;
    return kind_ == sbHorizontal ? TRect(a, 0, a + thumb, ClientHeight()) : TRect(0, a, ClientWidth(), a + thumb);
}

void TScrollBar::Scroll(TScrollCode code, int position) {
    int pos = position;
    if (OnScroll) OnScroll(this, code, pos);
    SetPosition(pos);
}

void TScrollBar::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(clScrollBar);
    c->FillRect(r);
    int b = Button();
    bool h = kind_ == sbHorizontal;
    RECT first = h ? TRect(0, 0, b, r.bottom) : TRect(0, 0, r.right, b);
    RECT last = h ? TRect(r.right - b, 0, r.right, r.bottom) : TRect(0, r.bottom - b, r.right, r.bottom);
    DrawFrameControl(c->Handle(), &first, DFC_SCROLL, h ? DFCS_SCROLLLEFT : DFCS_SCROLLUP);
    DrawFrameControl(c->Handle(), &last, DFC_SCROLL, h ? DFCS_SCROLLRIGHT : DFCS_SCROLLDOWN);
    TRect t = ThumbRect();
    if (!t.IsEmpty()) {
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(t);
        RECT tr = t;
        DrawEdge(c->Handle(), &tr, EDGE_RAISED, BF_RECT);
    }
}

void TScrollBar::Dispatch(TMessage& m) {
    bool h = kind_ == sbHorizontal;
    int last = max_ - std::max(0, pageSize_ - 1);
    switch (m.Msg) {
        case SBM_SETSCROLLINFO: {
            auto* si = reinterpret_cast<const SCROLLINFO*>(m.LParam);
            if (si) {
                if (si->fMask & SIF_PAGE) pageSize_ = int(si->nPage);
                int mn = (si->fMask & SIF_RANGE) ? si->nMin : min_, mx = (si->fMask & SIF_RANGE) ? si->nMax : max_;
                SetParams((si->fMask & SIF_POS) ? si->nPos : position_, mn, mx);
            }
            m.Result = position_;
            return;
        }
        case SBM_GETSCROLLINFO: {
            auto* si = reinterpret_cast<SCROLLINFO*>(m.LParam);
            if (si) {
                if (si->fMask & SIF_RANGE) {
                    si->nMin = min_;
                    si->nMax = max_;
                }
                if (si->fMask & SIF_PAGE) si->nPage = UINT(pageSize_);
                if (si->fMask & (SIF_POS | SIF_TRACKPOS)) si->nPos = si->nTrackPos = position_;
            }
            m.Result = TRUE;
            return;
        }
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
        case WM_KEYDOWN: {
            switch (m.WParam) {
                case VK_LEFT:
                case VK_UP: Scroll(scLineUp, position_ - smallChange_); break;
                case VK_RIGHT:
                case VK_DOWN: Scroll(scLineDown, position_ + smallChange_); break;
                case VK_PRIOR: Scroll(scPageUp, position_ - largeChange_); break;
                case VK_NEXT: Scroll(scPageDown, position_ + largeChange_); break;
                case VK_HOME: Scroll(scTop, min_); break;
                case VK_END: Scroll(scBottom, last); break;
                default: break;
            }
            TCustomControl::Dispatch(m);
            return;
        }
        case WM_LBUTTONDOWN: {
            if (CanFocus()) SetFocus();
            int along = h ? m.XPos() : m.YPos();
            TRect t = ThumbRect();
            int ta = h ? t.left : t.top, tb = h ? t.right : t.bottom;
            if (along < Button())
                Scroll(scLineUp, position_ - smallChange_);
            else if (along >= Length() - Button())
                Scroll(scLineDown, position_ + smallChange_);
            else if (!t.IsEmpty() && along >= ta && along < tb)
                dragGrab_ = along - ta;
            else if (!t.IsEmpty())
                Scroll(along < ta ? scPageUp : scPageDown, along < ta ? position_ - largeChange_ : position_ + largeChange_);
            TCustomControl::Dispatch(m);
            return;
        }
        case WM_MOUSEMOVE:
            if (dragGrab_ >= 0) {
                TRect t = ThumbRect();
                int thumb = h ? t.Width() : t.Height();
                int room = Length() - 2 * Button() - thumb;
                int span = last - min_;
                int offset = std::clamp((h ? m.XPos() : m.YPos()) - dragGrab_ - Button(), 0, std::max(0, room));
                // The whole position, as wide as the range is.
                int pos = room > 0 ? min_ + int(std::int64_t(offset) * span / room) : min_;
                Scroll(scTrack, pos);
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONUP:
            if (dragGrab_ >= 0) {
                dragGrab_ = -1;
                Scroll(scPosition, position_);
            }
            TCustomControl::Dispatch(m);
            return;
        default: TCustomControl::Dispatch(m); return;
    }
}

// ---------------------------------------------------------------- TUpDown

TUpDown::TUpDown(TComponent* owner) : TCustomControl(owner) {
    width_ = 17;
    height_ = 24;
    controlStyle_ = csCaptureMouse;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TUpDown::SetPosition(int value) {
    position_ = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (associate_) associate_->SetText(std::to_string(position_));
    Invalidate();
}

void TUpDown::SetAssociate(TWinControl* value) {
    if (associate_) associate_->RemoveFreeNotification(this);
    associate_ = value;
    if (value) {
        value->FreeNotification(this);
        value->SetText(std::to_string(position_));
    }
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == associate_) associate_ = nullptr;
    TCustomControl::Notification(component, operation);
}

void TUpDown::Step(TUDBtnType button) {
    if (OnChanging) OnChanging(this);
    int next = position_ + (button == btNext ? increment_ : -increment_);
    if (next > max_) next = wrap_ ? min_ : max_;
    if (next < min_) next = wrap_ ? max_ : min_;
    SetPosition(next);
    if (OnClick) OnClick(this, button);
}

void TUpDown::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    RECT up{0, 0, r.right, r.bottom / 2}, down{0, r.bottom / 2, r.right, r.bottom};
    DrawFrameControl(c->Handle(), &up, DFC_SCROLL, DFCS_SCROLLUP | (pressed_ == 0 ? DFCS_PUSHED : 0));
    DrawFrameControl(c->Handle(), &down, DFC_SCROLL, DFCS_SCROLLDOWN | (pressed_ == 1 ? DFCS_PUSHED : 0));
}

void TUpDown::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_LBUTTONDOWN:
            pressed_ = m.YPos() < ClientHeight() / 2 ? 0 : 1;
            Step(pressed_ == 0 ? btNext : btPrev);
            Invalidate();
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONUP:
            pressed_ = -1;
            Invalidate();
            TCustomControl::Dispatch(m);
            return;
        default: TCustomControl::Dispatch(m); return;
    }
}

// ---------------------------------------------------------------- TDateTimePicker

TDateTimePicker::TDateTimePicker(TComponent* owner) : TCustomControl(owner) {
    width_ = 100;
    height_ = 24;
    tabStop_ = true;
    color_ = clWindow;
    brush_->SetColor(color_);
    controlStyle_ = csCaptureMouse | csFixedHeight;
    SYSTEMTIME now = CurrentClock().LocalTime();
    hour_ = now.wHour;
    minute_ = now.wMinute;
    second_ = now.wSecond;
    SetFormat(format_);
}

void TDateTimePicker::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TDateTimePicker::SetFormat(const std::string& value) {
    format_ = value.empty() ? std::string("HH:mm:ss") : value;
    parts_.clear();
    for (std::size_t i = 0; i < format_.size();) {
        char c = format_[i];
        int field = c == 'H' || c == 'h' ? 0 : c == 'm' ? 1 : c == 's' ? 2 : -1;
        if (field < 0) {
            if (!parts_.empty() && parts_.back().field < 0)
                parts_.back().text += c;
            else
                parts_.push_back(Part{-1, std::string(1, c)});
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < format_.size() && format_[j] == c) ++j;
        parts_.push_back(Part{field, format_.substr(i, j - i)});
        i = j;
    }
    Invalidate();
}

void TDateTimePicker::SetTime(double value) {
    double day = value - static_cast<long long>(value);
    if (day < 0) day += 1;
    int seconds = int(day * 86400 + 0.5) % 86400;
    SetHMS(seconds / 3600, seconds / 60 % 60, seconds % 60);
}

void TDateTimePicker::SetHMS(int hour, int minute, int second) {
    hour_ = std::clamp(hour, 0, maxHour_);
    minute_ = std::clamp(minute, 0, 59);
    second_ = std::clamp(second, 0, 59);
    Invalidate();
}

int& TDateTimePicker::FieldValue(int field) { return field == 0 ? hour_ : field == 1 ? minute_ : second_; }
void TDateTimePicker::SetMaxHour(int value) {
    maxHour_ = std::max(23, value);
    SetHMS(hour_, minute_, second_);
}

int TDateTimePicker::FieldMax(int field) const { return field == 0 ? maxHour_ : 59; }

std::string TDateTimePicker::Text() const {
    std::string out;
    for (const auto& p : parts_) {
        if (p.field < 0) {
            out += p.text;
            continue;
        }
        int v = p.field == 0 ? hour_ : p.field == 1 ? minute_ : second_;
        char buf[8];
        std::snprintf(buf, sizeof(buf), p.text.size() >= 2 ? "%02d" : "%d", v);
        out += buf;
    }
    return out;
}

void TDateTimePicker::UserSet(int field, int value) {
    int& v = FieldValue(field);
    int max = FieldMax(field);
    if (value > max) value = 0;
    if (value < 0) value = max;
    if (v == value) return;
    v = value;
    Invalidate();
    if (OnChange) OnChange(this);
}

TRect TDateTimePicker::ButtonRect(bool up) const {
    TRect c = ClientRect();
    int w = GetSystemMetrics(SM_CXVSCROLL);
    int mid = c.Height() / 2;
    return up ? TRect(c.right - w, 0, c.right, mid) : TRect(c.right - w, mid, c.right, c.bottom);
}

TRect TDateTimePicker::FieldRect(int field) {
    TCanvas* c = Canvas();
    c->Font()->Assign(Font());
    int x = 2;
    for (const auto& p : parts_) {
        std::string shown;
        if (p.field < 0) {
            shown = p.text;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof(buf), p.text.size() >= 2 ? "%02d" : "%d", FieldValue(p.field));
            shown = buf;
        }
        int w = c->TextWidth(shown);
        if (p.field == field) return TRect(x, 2, x + w, ClientHeight() - 2);
        x += w;
    }
    return TRect();
}

void TDateTimePicker::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    c->FillRect(r);
    c->Font()->Assign(Font());
    bool focused = handle_ && GetFocus() == handle_;
    int x = 2;
    for (const auto& p : parts_) {
        std::string shown;
        if (p.field < 0) {
            shown = p.text;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof(buf), p.text.size() >= 2 ? "%02d" : "%d", FieldValue(p.field));
            shown = buf;
        }
        int w = c->TextWidth(shown);
        TRect fr(x, 2, x + w, r.bottom - 2);
        bool hot = focused && p.field == field_;
        if (hot) {
            c->Brush()->SetColor(clHighlight);
            c->FillRect(fr);
        }
        c->Font()->SetColor(!Enabled() ? clGrayText : hot ? clHighlightText : Font()->Color());
        RECT tr{x, 0, x + w, r.bottom};
        DrawText(TextDC(c), shown, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        x += w;
    }
    RECT up = ButtonRect(true), down = ButtonRect(false);
    DrawFrameControl(c->Handle(), &up, DFC_SCROLL, DFCS_SCROLLUP);
    DrawFrameControl(c->Handle(), &down, DFC_SCROLL, DFCS_SCROLLDOWN);
}

void TDateTimePicker::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_EXIT:
        case WM_KILLFOCUS:
        case WM_SETFOCUS:
            typed_ = -1;
            TCustomControl::Dispatch(m);
            Invalidate();
            return;
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
        case WM_KEYDOWN:
            switch (m.WParam) {
                case VK_LEFT:
                    field_ = (field_ + 2) % 3;
                    typed_ = -1;
                    Invalidate();
                    break;
                case VK_RIGHT:
                    field_ = (field_ + 1) % 3;
                    typed_ = -1;
                    Invalidate();
                    break;
                case VK_UP: UserSet(field_, FieldValue(field_) + 1); typed_ = -1; break;
                case VK_DOWN: UserSet(field_, FieldValue(field_) - 1); typed_ = -1; break;
                case VK_HOME: UserSet(field_, 0); break;
                case VK_END: UserSet(field_, FieldMax(field_)); break;
                default: break;
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_CHAR: {
            TCustomControl::Dispatch(m);
            if (m.WParam < '0' || m.WParam > '9') return;
            int d = int(m.WParam - '0');
            if (typed_ < 0) {
                // The first digit stands alone until a second follows.
                typed_ = d;
                UserSet(field_, d);
                if (d * 10 > FieldMax(field_)) {
                    typed_ = -1;
                    field_ = std::min(2, field_ + 1);
                }
            } else {
                int v = typed_ * 10 + d;
                UserSet(field_, v <= FieldMax(field_) ? v : d);
                typed_ = -1;
                field_ = std::min(2, field_ + 1);
            }
            Invalidate();
            return;
        }
        case WM_LBUTTONDOWN: {
            if (CanFocus()) SetFocus();
            TPoint p(m.XPos(), m.YPos());
            if (ButtonRect(true).Contains(p)) {
                UserSet(field_, FieldValue(field_) + 1);
            } else if (ButtonRect(false).Contains(p)) {
                UserSet(field_, FieldValue(field_) - 1);
            } else {
                for (int f = 0; f < 3; ++f)
                    if (FieldRect(f).Contains(TPoint(p.x, 3))) field_ = f;
                typed_ = -1;
                Invalidate();
            }
            TCustomControl::Dispatch(m);
            return;
        }
        default: TCustomControl::Dispatch(m); return;
    }
}

}  // namespace platform
