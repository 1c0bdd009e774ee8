// Edits and memos: the text field's own behaviour and the class library's properties.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "platform/controls/textclip.h"
#include "platform/core/messages.h"
#include "platform/core/sysutils.h"

namespace platform {

namespace {

constexpr UINT_PTR kCaretTimer = 0xED17;
constexpr UINT kCaretBlinkMs = 530;
constexpr int kMargin = 1;

bool IsCont(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The code point at s[i] and its length in bytes; a broken sequence is one byte of U+FFFD.
unsigned Decode(const std::string& s, int i, int* length) {
    auto b = [&](int k) { return static_cast<unsigned char>(s[std::size_t(k)]); };
    int n = int(s.size());
    unsigned c = b(i);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) {
        *length = 1;
        return c < 0x80 ? c : 0xFFFD;
    }
    unsigned cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
        if (!IsCont(char(b(i + k)))) {
            *length = 1;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    *length = len;
    return cp;
}

int NextChar(const std::string& s, int i) {
    int len = 1;
    Decode(s, i, &len);
    return std::min(int(s.size()), i + len);
}

int PrevChar(const std::string& s, int i) {
    if (i <= 0) return 0;
    int j = i - 1;
    while (j > 0 && IsCont(s[std::size_t(j)]) && i - j < 4) --j;
    // A stray continuation byte is a character of its own.
    if (NextChar(s, j) != i) return i - 1;
    return j;
}

std::string Encode(unsigned cp) {
    std::string out;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    return out;
}

int CharCount(const std::string& s) {
    int n = 0;
    for (int i = 0; i < int(s.size()); i = NextChar(s, i)) ++n;
    return n;
}

// The first count characters of s.
std::string FirstChars(const std::string& s, int count) {
    int i = 0;
    while (count-- > 0 && i < int(s.size())) i = NextChar(s, i);
    return s.substr(0, std::size_t(i));
}

// Splits text at CR LF, lone CR or lone LF.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// Word classes for word moves and double clicks: blanks, word characters, the rest.
int CharClass(unsigned cp) {
    if (cp == ' ' || cp == '\t') return 0;
    if (cp >= 0x80 || std::isalnum(int(cp)) || cp == '_') return 1;
    return 2;
}

}  // namespace

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    controlStyle_ = csClickEvents | csSetCaption | csDoubleClicks | csFixedHeight | csCaptureMouse;
    width_ = 121;
    height_ = 25;
    tabStop_ = true;
    cursor_ = crIBeam;
    parentColor_ = false;
    color_ = clWindow;
    brush_->SetColor(color_);
    editStyle_ = ES_AUTOHSCROLL;
}

TCustomEdit::~TCustomEdit() {
    if (primaryClaimed_) ClipboardReleasePrimary(this);
    DestroyHandle();
    FreeMeasureDc();
}

void TCustomEdit::FreeMeasureDc() {
    if (measureDc_) DeleteDC(measureDc_);
    measureDc_ = nullptr;
}

DWORD TCustomEdit::EditStyleBits() const {
    static const DWORD kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
    DWORD bits = ES_AUTOHSCROLL | kAlign[alignment_];
    if (charCase_ == ecUpperCase) bits |= ES_UPPERCASE;
    if (charCase_ == ecLowerCase) bits |= ES_LOWERCASE;
    return bits;
}

void TCustomEdit::ApplyEditStyle() {
    constexpr DWORD kOwn = ES_LEFT | ES_CENTER | ES_RIGHT | ES_MULTILINE | ES_UPPERCASE | ES_LOWERCASE |
                           ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN;
    editStyle_ = (editStyle_ & ~kOwn) | EditStyleBits();
    if (handle_) {
        DWORD style = DWORD(GetWindowLongA(handle_, GWL_STYLE));
        SetWindowLongA(handle_, GWL_STYLE, LONG((style & ~(kOwn | ES_READONLY | ES_NOHIDESEL)) | editStyle_));
    }
    Relayout();
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style |= EditStyleBits() | (editStyle_ & (ES_READONLY | ES_NOHIDESEL));
    if (passwordChar_) params.Style |= ES_PASSWORD;
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
    params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    // The window's style rules from now on: subclasses may have added bits of their own.
    editStyle_ = DWORD(GetWindowLongA(handle_, GWL_STYLE)) & 0xFFFF;
    formatRectSet_ = false;
    FreeMeasureDc();
    advances_.clear();
    Relayout();
}

// ---- text and positions ----

std::string TCustomEdit::Text() const {
    std::size_t size = 0;
    for (const auto& l : lines_) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) out += "\r\n";
        out += lines_[i];
    }
    return out;
}

int TCustomEdit::GetTextLen() const {
    int n = 0;
    for (const auto& l : lines_) n += int(l.size()) + 2;
    return n - 2;
}

void TCustomEdit::SetText(const std::string& value) {
    if (Text() == value) return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TCustomEdit::SetTextLines(const std::string& text) {
    lines_ = SplitLines(text);
    if (!MultiLine() && lines_.size() > 1) lines_.resize(1);
    breaks_.assign(lines_.size(), std::vector<int>());
    rowsDirty_ = true;
    anchor_ = caret_ = Pos();
    xOffset_ = 0;
    topRow_ = 0;
    undo_.clear();
    undoSealed_ = true;
    RewrapLines(0, LineCount() - 1);
    SelectionChanged();
    UpdateScrollBars();
}

TCustomEdit::Pos TCustomEdit::ToPos(int index) const {
    Pos p;
    index = std::max(0, index);
    for (p.line = 0; p.line < LineCount(); ++p.line) {
        int len = int(lines_[std::size_t(p.line)].size());
        if (index <= len) {
            // Never inside a character.
            const std::string& s = lines_[std::size_t(p.line)];
            while (index > 0 && index < len && IsCont(s[std::size_t(index)])) --index;
            p.off = index;
            return p;
        }
        index -= len + 2;
        if (index < 0) {  // inside the line break: its end
            p.off = len;
            return p;
        }
    }
    p.line = LineCount() - 1;
    p.off = int(lines_.back().size());
    return p;
}

int TCustomEdit::ToIndex(Pos p) const {
    int index = 0;
    for (int i = 0; i < p.line; ++i) index += int(lines_[std::size_t(i)].size()) + 2;
    return index + p.off;
}

std::string TCustomEdit::RangeText(Pos from, Pos to) const {
    if (to < from) std::swap(from, to);
    if (from.line == to.line)
        return lines_[std::size_t(from.line)].substr(std::size_t(from.off), std::size_t(to.off - from.off));
    std::string out = lines_[std::size_t(from.line)].substr(std::size_t(from.off));
    for (int l = from.line + 1; l < to.line; ++l) out += "\r\n" + lines_[std::size_t(l)];
    out += "\r\n" + lines_[std::size_t(to.line)].substr(0, std::size_t(to.off));
    return out;
}

int TCustomEdit::CountChars() const {
    int n = 0;
    for (const auto& l : lines_) n += CharCount(l) + 2;
    return n - 2;
}

int TCustomEdit::SelStart() const { return ToIndex(std::min(anchor_, caret_)); }
int TCustomEdit::SelLength() const { return ToIndex(std::max(anchor_, caret_)) - SelStart(); }
std::string TCustomEdit::SelText() const { return RangeText(anchor_, caret_); }

void TCustomEdit::SetSelStart(int value) {
    Pos p = ToPos(value);
    SetSelection(p, p);
}

void TCustomEdit::SetSelLength(int value) {
    Pos from = std::min(anchor_, caret_);
    SetSelection(from, ToPos(ToIndex(from) + std::max(0, value)));
}

void TCustomEdit::SelectAll() { SetSelection(Pos(), Pos{LineCount() - 1, int(lines_.back().size())}); }

void TCustomEdit::SetSelText(const std::string& value) {
    Perform(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(value.c_str()));
}

void TCustomEdit::ClearSelection() { Perform(WM_CLEAR); }
void TCustomEdit::CopyToClipboard() { Perform(WM_COPY); }
void TCustomEdit::CutToClipboard() { Perform(WM_CUT); }
void TCustomEdit::PasteFromClipboard() { Perform(WM_PASTE); }
void TCustomEdit::Undo() { Perform(WM_UNDO); }
void TCustomEdit::ClearUndo() { Perform(EM_EMPTYUNDOBUFFER); }

// ---- properties ----

void TCustomEdit::SetMaxLength(int value) {
    maxLength_ = std::max(0, value);
    if (handle_) Perform(EM_LIMITTEXT, WPARAM(maxLength_));
}

void TCustomEdit::SetReadOnly(bool value) {
    if (ReadOnly() == value) return;
    Perform(EM_SETREADONLY, value ? TRUE : FALSE);
}

void TCustomEdit::SetPasswordChar(char value) {
    if (passwordChar_ == value) return;
    Perform(EM_SETPASSWORDCHAR, WPARAM(static_cast<unsigned char>(value)));
}

void TCustomEdit::SetHideSelection(bool value) {
    if (HideSelection() == value) return;
    editStyle_ = value ? (editStyle_ & ~ES_NOHIDESEL) : (editStyle_ | ES_NOHIDESEL);
    InvalidateText();
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
    if (charCase_ == value) return;
    charCase_ = value;
    ApplyEditStyle();
    if (value != ecNormal) {
        std::string t = Text();
        for (char& c : t)
            c = char(value == ecUpperCase ? std::toupper(static_cast<unsigned char>(c))
                                          : std::tolower(static_cast<unsigned char>(c)));
        SetText(t);
    }
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    if (handle_) RecreateWnd();
}

void TCustomEdit::SetAlignment(TAlignment value) {
    if (alignment_ == value) return;
    alignment_ = value;
    ApplyEditStyle();
}

void TCustomEdit::SetAutoSize(bool value) {
    if (autoSize_ == value) return;
    autoSize_ = value;
    AdjustHeight();
}

void TCustomEdit::AdjustHeight() {
    if (!autoSize_ || MultiLine() || (ComponentState() & csLoading)) return;
    int edge = borderStyle_ == bsSingle ? 2 : 0;
    int height = LineHeight() + 2 * edge + 2;
    if (height != height_) SetBounds(left_, top_, width_, height);
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::NotifyChange() {
    auto notify = [this](WORD code) {
        HWND parent = handle_ ? GetParent(handle_) : nullptr;
        if (parent) {
            SendMessage(parent, WM_COMMAND, MAKEWPARAM(WORD(GetWindowLongA(handle_, GWL_ID)), code),
                        reinterpret_cast<LPARAM>(handle_));
        } else {
            Perform(CN_COMMAND, MAKEWPARAM(0, code), 0);
        }
    };
    notify(EN_UPDATE);
    notify(EN_CHANGE);
}

// ---- layout ----

int TCustomEdit::CharWidth(unsigned cp) {
    if (cp == '\t') return 4 * CharWidth(' ');
    auto it = advances_.find(cp);
    if (it != advances_.end()) return it->second;
    if (!measureDc_) {
        measureDc_ = CreateCompatibleDC(nullptr);
        SelectObject(measureDc_, font_->Handle());
    }
    std::string s = Encode(cp);
    SIZE size{};
    GetTextExtentPoint32(measureDc_, s.data(), int(s.size()), &size);
    advances_[cp] = size.cx;
    return size.cx;
}

std::string TCustomEdit::Shown(const std::string& s) const {
    if (passwordChar_) return std::string(std::size_t(CharCount(s)), passwordChar_);
    if (s.find('\t') == std::string::npos) return s;
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "    ";
        else
            out += c;
    }
    return out;
}

int TCustomEdit::TextWidth(const std::string& s, int from, int to) {
    int w = 0;
    for (int i = from; i < to;) {
        int len = 1;
        unsigned cp = Decode(s, i, &len);
        w += CharWidth(passwordChar_ ? static_cast<unsigned char>(passwordChar_) : cp);
        i += len;
    }
    return w;
}

int TCustomEdit::LineHeight() const {
    if (lineHeight_ > 0) return lineHeight_;
    return 16;
}

RECT TCustomEdit::FormatRect() const {
    if (formatRectSet_) return formatRect_;
    RECT r = ClientRect();
    r.left += kMargin;
    r.right -= kMargin;
    if (r.right < r.left) r.right = r.left;
    return r;
}

void TCustomEdit::Relayout() {
    if (!measureDc_) {
        measureDc_ = CreateCompatibleDC(nullptr);
        SelectObject(measureDc_, font_->Handle());
    }
    TEXTMETRIC tm;
    if (GetTextMetrics(measureDc_, &tm)) lineHeight_ = tm.tmHeight;
    for (auto& b : breaks_) b.clear();
    rowsDirty_ = true;
    RewrapLines(0, LineCount() - 1);
    SetTopRow(topRow_);
    EnsureCaretVisible();
    UpdateScrollBars();
    InvalidateText();
}

void TCustomEdit::RewrapLines(int first, int last) {
    if (!Wraps()) {
        for (int l = first; l <= last; ++l) {
            if (!breaks_[std::size_t(l)].empty()) {
                breaks_[std::size_t(l)].clear();
                rowsDirty_ = true;
            }
        }
        return;
    }
    RECT r = FormatRect();
    int width = std::max(1, int(r.right - r.left));
    for (int l = first; l <= last; ++l) {
        const std::string& s = lines_[std::size_t(l)];
        std::vector<int> b;
        int rowStart = 0, x = 0, lastBreak = -1;
        for (int i = 0; i < int(s.size());) {
            int len = 1;
            unsigned cp = Decode(s, i, &len);
            int w = CharWidth(passwordChar_ ? static_cast<unsigned char>(passwordChar_) : cp);
            // Blanks hang past the edge; a word that does not fit goes to the next row, or is
            // broken between characters when it is longer than a row.
            if (cp != ' ' && x + w > width && i > rowStart) {
                int at = lastBreak > rowStart ? lastBreak : i;
                b.push_back(at);
                rowStart = at;
                x = TextWidth(s, at, i);
                lastBreak = -1;
            }
            x += w;
            i += len;
            if (cp == ' ') lastBreak = i;
        }
        if (b.size() != breaks_[std::size_t(l)].size()) rowsDirty_ = true;
        breaks_[std::size_t(l)] = std::move(b);
    }
}

void TCustomEdit::EnsureRows() const {
    if (!rowsDirty_ && rowStart_.size() == lines_.size() + 1) return;
    rowStart_.resize(lines_.size() + 1);
    int rows = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        rowStart_[i] = rows;
        rows += int(breaks_[i].size()) + 1;
    }
    rowStart_[lines_.size()] = rows;
    rowsDirty_ = false;
}

int TCustomEdit::RowCount() const {
    EnsureRows();
    return rowStart_.back();
}

TCustomEdit::Row TCustomEdit::RowAt(int row) const {
    EnsureRows();
    row = std::clamp(row, 0, rowStart_.back() - 1);
    int line = int(std::upper_bound(rowStart_.begin(), rowStart_.end() - 1, row) - rowStart_.begin()) - 1;
    const auto& b = breaks_[std::size_t(line)];
    int k = row - rowStart_[std::size_t(line)];
    int start = k == 0 ? 0 : b[std::size_t(k - 1)];
    int end = k < int(b.size()) ? b[std::size_t(k)] : int(lines_[std::size_t(line)].size());
    return Row{line, start, end};
}

int TCustomEdit::RowOf(Pos p) const {
    EnsureRows();
    const auto& b = breaks_[std::size_t(p.line)];
    int k = int(std::upper_bound(b.begin(), b.end(), p.off) - b.begin());
    return rowStart_[std::size_t(p.line)] + k;
}

int TCustomEdit::VisibleRows() const {
    RECT r = FormatRect();
    return std::max(1, int(r.bottom - r.top) / LineHeight());
}

void TCustomEdit::SetTopRow(int row) {
    int top = MultiLine() ? std::clamp(row, 0, std::max(0, RowCount() - VisibleRows())) : 0;
    if (top == topRow_) return;
    topRow_ = top;
    UpdateScrollBars();
    InvalidateText();
}

int TCustomEdit::RowX(const Row& r) {
    RECT rect = FormatRect();
    int x = rect.left - xOffset_;
    DWORD align = editStyle_ & (ES_CENTER | ES_RIGHT);
    if (align) {
        int free = int(rect.right - rect.left) - TextWidth(lines_[std::size_t(r.line)], r.start, r.end);
        if (free > 0) x += (align & ES_CENTER) ? free / 2 : free;
    }
    return x;
}

int TCustomEdit::XOf(Pos p) {
    Row r = RowAt(RowOf(p));
    return RowX(r) + TextWidth(lines_[std::size_t(p.line)], r.start, p.off);
}

TPoint TCustomEdit::CaretPos() const {
    auto* self = const_cast<TCustomEdit*>(this);
    RECT rect = FormatRect();
    return TPoint(self->XOf(caret_), rect.top + (RowOf(caret_) - topRow_) * LineHeight());
}

TCustomEdit::Pos TCustomEdit::HitTest(int x, int y) {
    RECT rect = FormatRect();
    int row = topRow_ + (y >= rect.top ? (y - rect.top) / LineHeight() : -1 - (rect.top - y - 1) / LineHeight());
    if (!MultiLine()) row = 0;
    row = std::clamp(row, 0, RowCount() - 1);
    Row r = RowAt(row);
    const std::string& s = lines_[std::size_t(r.line)];
    int cx = RowX(r);
    int i = r.start;
    while (i < r.end) {
        int len = 1;
        unsigned cp = Decode(s, i, &len);
        int w = CharWidth(passwordChar_ ? static_cast<unsigned char>(passwordChar_) : cp);
        if (x < cx + (w + 1) / 2) return Pos{r.line, i};
        cx += w;
        i += len;
    }
    // The end of a wrapped row is the start of the next one: stay before its last character.
    if (r.end < int(s.size()) && r.end > r.start) return Pos{r.line, PrevChar(s, r.end)};
    return Pos{r.line, r.end};
}

// ---- selection, caret and scrolling ----

void TCustomEdit::SetSelection(Pos anchor, Pos caret, bool keepColumn) {
    if (!keepColumn) caretX_ = -1;
    if (anchor == anchor_ && caret == caret_) {
        EnsureCaretVisible();
        return;
    }
    anchor_ = anchor;
    caret_ = caret;
    undoSealed_ = true;
    SelectionChanged();
}

void TCustomEdit::SelectionChanged() {
    // While text is selected it is the primary selection, unless it is a password.
    if (anchor_ != caret_ && !passwordChar_) {
        ClipboardClaimPrimary(this, [this] { return SelText(); });
        primaryClaimed_ = true;
    } else if (primaryClaimed_) {
        ClipboardReleasePrimary(this);
        primaryClaimed_ = false;
    }
    EnsureCaretVisible();
    ResetCaretBlink();
    InvalidateText();
}

void TCustomEdit::EnsureCaretVisible() {
    if (MultiLine()) {
        int row = RowOf(caret_);
        int visible = VisibleRows();
        if (row < topRow_)
            SetTopRow(row);
        else if (row >= topRow_ + visible)
            SetTopRow(row - visible + 1);
    }
    if (Wraps()) {
        xOffset_ = 0;
        return;
    }
    RECT rect = FormatRect();
    int width = int(rect.right - rect.left);
    int x = XOf(caret_);
    int old = xOffset_;
    if (x < rect.left)
        xOffset_ = std::max(0, xOffset_ - (int(rect.left) - x) - width / 4);
    else if (x >= rect.right)
        xOffset_ += x - int(rect.right) + 1 + width / 4;
    if (xOffset_ != old) {
        InvalidateText();
        UpdateScrollBars();
    }
}

void TCustomEdit::UpdateScrollBars() {
    if (!handle_) return;
    DWORD style = DWORD(GetWindowLongA(handle_, GWL_STYLE));
    if (style & WS_VSCROLL) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = RowCount() - 1;
        si.nPage = UINT(VisibleRows());
        si.nPos = topRow_;
        SetScrollInfo(handle_, SB_VERT, &si, TRUE);
    }
    if (style & WS_HSCROLL) {
        int widest = 0;
        for (int l = 0; l < LineCount(); ++l)
            widest = std::max(widest, TextWidth(lines_[std::size_t(l)], 0, int(lines_[std::size_t(l)].size())));
        RECT rect = FormatRect();
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = widest;
        si.nPage = UINT(std::max(1, int(rect.right - rect.left)));
        si.nPos = xOffset_;
        SetScrollInfo(handle_, SB_HORZ, &si, TRUE);
    }
}

void TCustomEdit::ResetCaretBlink() {
    if (!focused_ || !handle_) return;
    caretOn_ = true;
    SetTimer(handle_, kCaretTimer, kCaretBlinkMs);
}

void TCustomEdit::InvalidateText() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

namespace {

// The whole thumb position of a scroll message whose word holds its low 16 bits: the bar's
// track position when it agrees, else the value with those bits nearest the current one.
int FullThumbPosition(WORD word, const SCROLLINFO& si, int current) {
    if (WORD(si.nTrackPos) == word) return si.nTrackPos;
    int base = current - (current & 0xFFFF);
    int best = base + word;
    for (int candidate : {base - 0x10000 + word, base + 0x10000 + word})
        if (std::abs(candidate - current) < std::abs(best - current)) best = candidate;
    return std::clamp(best, si.nMin, std::max(si.nMin, si.nMax));
}

}  // namespace

void TCustomEdit::VScroll(int code, WORD word) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (handle_) GetScrollInfo(handle_, SB_VERT, &si);
    int page = VisibleRows();
    switch (code) {
        case SB_LINEUP: SetTopRow(topRow_ - 1); break;
        case SB_LINEDOWN: SetTopRow(topRow_ + 1); break;
        case SB_PAGEUP: SetTopRow(topRow_ - page); break;
        case SB_PAGEDOWN: SetTopRow(topRow_ + page); break;
        case SB_TOP: SetTopRow(0); break;
        case SB_BOTTOM: SetTopRow(RowCount()); break;
        // The whole position from the bar: the message's word would cut it at 65535.
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: SetTopRow(FullThumbPosition(word, si, topRow_)); break;
        default: break;
    }
}

void TCustomEdit::HScroll(int code) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (handle_) GetScrollInfo(handle_, SB_HORZ, &si);
    RECT rect = FormatRect();
    int page = std::max(1, int(rect.right - rect.left));
    int x = xOffset_;
    switch (code) {
        case SB_LINELEFT: x -= CharWidth('x'); break;
        case SB_LINERIGHT: x += CharWidth('x'); break;
        case SB_PAGELEFT: x -= page; break;
        case SB_PAGERIGHT: x += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: x = si.nTrackPos; break;
        default: return;
    }
    x = std::clamp(x, 0, std::max(0, si.nMax - page + 1));
    if (x == xOffset_) return;
    xOffset_ = x;
    UpdateScrollBars();
    InvalidateText();
}

// ---- editing ----

TCustomEdit::Pos TCustomEdit::ReplaceRange(Pos from, Pos to, const std::string& text, bool typing, bool userEdit) {
    if (to < from) std::swap(from, to);
    std::vector<std::string> parts = SplitLines(text);
    if (!MultiLine()) parts.resize(1);
    std::string removed = RangeText(from, to);
    std::string inserted;
    for (std::size_t i = 0; i < parts.size(); ++i) inserted += (i ? "\r\n" : "") + parts[i];
    if (removed.empty() && inserted.empty()) return from;

    // Undo: consecutive typed characters make one step.
    {
        bool merge = typing && !undoSealed_ && !undo_.empty() && undo_.back().typing && removed.empty() &&
                     parts.size() == 1;
        if (merge) {
            UndoStep& last = undo_.back();
            Pos end = last.at;
            // The step's inserted text ends where this one starts.
            std::vector<std::string> lp = SplitLines(last.inserted);
            end.line += int(lp.size()) - 1;
            end.off = (lp.size() == 1 ? last.at.off : 0) + int(lp.back().size());
            merge = end == from;
        }
        if (merge) {
            undo_.back().inserted += inserted;
        } else {
            undo_.push_back(UndoStep{from, removed, inserted, anchor_, caret_, typing});
        }
        undoSealed_ = !typing;
    }

    std::string& first = lines_[std::size_t(from.line)];
    std::string tail = lines_[std::size_t(to.line)].substr(std::size_t(to.off));
    first.resize(std::size_t(from.off));
    if (to.line > from.line) {
        lines_.erase(lines_.begin() + from.line + 1, lines_.begin() + to.line + 1);
        breaks_.erase(breaks_.begin() + from.line + 1, breaks_.begin() + to.line + 1);
        rowsDirty_ = true;
    }
    Pos end;
    lines_[std::size_t(from.line)] += parts[0];
    if (parts.size() == 1) {
        end = Pos{from.line, int(lines_[std::size_t(from.line)].size())};
        lines_[std::size_t(from.line)] += tail;
    } else {
        lines_.insert(lines_.begin() + from.line + 1, parts.begin() + 1, parts.end());
        breaks_.insert(breaks_.begin() + from.line + 1, parts.size() - 1, std::vector<int>());
        rowsDirty_ = true;
        int last = from.line + int(parts.size()) - 1;
        end = Pos{last, int(lines_[std::size_t(last)].size())};
        lines_[std::size_t(last)] += tail;
    }
    RewrapLines(from.line, end.line);
    if (userEdit) modified_ = true;
    anchor_ = caret_ = end;
    caretX_ = -1;
    SelectionChanged();
    UpdateScrollBars();
    NotifyChange();
    return end;
}

bool TCustomEdit::Insert(const std::string& textIn, bool typing) {
    std::string text = textIn;
    if (!MultiLine()) {
        std::size_t cut = text.find_first_of("\r\n");
        if (cut != std::string::npos) text.resize(cut);
    }
    if (editStyle_ & (ES_UPPERCASE | ES_LOWERCASE))
        for (char& c : text)
            c = char((editStyle_ & ES_UPPERCASE) ? std::toupper(static_cast<unsigned char>(c))
                                                 : std::tolower(static_cast<unsigned char>(c)));
    if (maxLength_ > 0) {
        // The limit counts characters; a line break counts as two.
        int room = maxLength_ - (CountChars() - CharCount(SelText()));
        int wanted = CharCount(text);
        if (wanted > room) {
            if (typing || room <= 0) {
                MessageBeep(0);
                if (handle_ && GetParent(handle_))
                    SendMessage(GetParent(handle_), WM_COMMAND,
                                MAKEWPARAM(WORD(GetWindowLongA(handle_, GWL_ID)), EN_MAXTEXT),
                                reinterpret_cast<LPARAM>(handle_));
                return false;
            }
            text = FirstChars(text, room);
            if (!text.empty() && text.back() == '\r') text.pop_back();
        }
    }
    ReplaceRange(anchor_, caret_, text, typing, true);
    return true;
}

TCustomEdit::Pos TCustomEdit::MoveChar(Pos p, int direction) const {
    const std::string& s = lines_[std::size_t(p.line)];
    if (direction < 0) {
        if (p.off > 0) return Pos{p.line, PrevChar(s, p.off)};
        if (p.line > 0) return Pos{p.line - 1, int(lines_[std::size_t(p.line - 1)].size())};
        return p;
    }
    if (p.off < int(s.size())) return Pos{p.line, NextChar(s, p.off)};
    if (p.line + 1 < LineCount()) return Pos{p.line + 1, 0};
    return p;
}

TCustomEdit::Pos TCustomEdit::MoveWord(Pos p, int direction) const {
    auto classAt = [this](Pos q) {
        int len = 1;
        return CharClass(Decode(lines_[std::size_t(q.line)], q.off, &len));
    };
    if (direction > 0) {
        if (p.off >= int(lines_[std::size_t(p.line)].size())) return MoveChar(p, 1);
        int cls = classAt(p);
        while (p.off < int(lines_[std::size_t(p.line)].size()) && classAt(p) == cls) p = MoveChar(p, 1);
        while (p.off < int(lines_[std::size_t(p.line)].size()) && classAt(p) == 0) p = MoveChar(p, 1);
        return p;
    }
    if (p.off == 0) return MoveChar(p, -1);
    Pos q = MoveChar(p, -1);
    while (q.off > 0 && classAt(q) == 0) {
        p = q;
        q = MoveChar(q, -1);
    }
    if (classAt(q) == 0) return q;
    int cls = classAt(q);
    p = q;
    while (p.off > 0) {
        Pos r = MoveChar(p, -1);
        if (classAt(r) != cls) break;
        p = r;
    }
    return p;
}

void TCustomEdit::DeleteSelectionOr(int direction, bool word) {
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    if (anchor_ != caret_) {
        ReplaceRange(anchor_, caret_, "", false, true);
        return;
    }
    Pos other = word ? MoveWord(caret_, direction) : MoveChar(caret_, direction);
    if (other == caret_) return;
    ReplaceRange(caret_, other, "", false, true);
}

void TCustomEdit::UndoStepBack() {
    if (undo_.empty()) return;
    UndoStep step = undo_.back();
    undo_.pop_back();
    std::vector<std::string> parts = SplitLines(step.inserted);
    Pos end{step.at.line + int(parts.size()) - 1, (parts.size() == 1 ? step.at.off : 0) + int(parts.back().size())};
    std::size_t depth = undo_.size();
    ReplaceRange(step.at, end, step.removed, false, true);
    undo_.resize(depth);  // undoing is not itself a step
    undoSealed_ = true;
    anchor_ = step.anchor;
    caret_ = step.caret;
    SelectionChanged();
}

void TCustomEdit::KeyDownEdit(WORD key) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    Pos c = caret_;
    bool move = true;
    bool keepColumn = false;
    switch (key) {
        case VK_LEFT:
            if (!shift && anchor_ != caret_ && !ctrl)
                c = std::min(anchor_, caret_);
            else
                c = ctrl ? MoveWord(c, -1) : MoveChar(c, -1);
            break;
        case VK_RIGHT:
            if (!shift && anchor_ != caret_ && !ctrl)
                c = std::max(anchor_, caret_);
            else
                c = ctrl ? MoveWord(c, 1) : MoveChar(c, 1);
            break;
        case VK_HOME:
            if (ctrl)
                c = Pos();
            else
                c = Pos{c.line, RowAt(RowOf(c)).start};
            break;
        case VK_END:
            if (ctrl) {
                c = Pos{LineCount() - 1, int(lines_.back().size())};
            } else {
                Row r = RowAt(RowOf(c));
                c = Pos{c.line, r.end};
                if (r.end < int(lines_[std::size_t(c.line)].size()) && r.end > r.start)
                    c.off = PrevChar(lines_[std::size_t(c.line)], r.end);
            }
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            if (!MultiLine()) {
                // A single-line edit moves along its line.
                c = (key == VK_UP || key == VK_PRIOR) ? MoveChar(c, -1) : MoveChar(c, 1);
                break;
            }
            int step = (key == VK_UP || key == VK_DOWN) ? 1 : std::max(1, VisibleRows() - 1);
            int row = RowOf(c) + ((key == VK_UP || key == VK_PRIOR) ? -step : step);
            if (caretX_ < 0) caretX_ = XOf(c);
            int x = caretX_;
            row = std::clamp(row, 0, RowCount() - 1);
            if (key == VK_PRIOR || key == VK_NEXT) SetTopRow(topRow_ + ((key == VK_PRIOR) ? -step : step));
            RECT rect = FormatRect();
            c = HitTest(x, int(rect.top) + (row - topRow_) * LineHeight());
            keepColumn = true;
            break;
        }
        case VK_DELETE:
            move = false;
            if (shift && !ctrl)
                Perform(WM_CUT);
            else
                DeleteSelectionOr(1, ctrl);
            break;
        case VK_INSERT:
            move = false;
            if (ctrl && !shift) Perform(WM_COPY);
            if (shift && !ctrl) Perform(WM_PASTE);
            break;
        default:
            move = false;
            if (ctrl && !shift) {
                switch (key) {
                    case 'A': SelectAll(); break;
                    case 'C': Perform(WM_COPY); break;
                    case 'X': Perform(WM_CUT); break;
                    case 'V': Perform(WM_PASTE); break;
                    case 'Z': Perform(WM_UNDO); break;
                    default: break;
                }
            }
            break;
    }
    if (move) {
        int keep = caretX_;
        SetSelection(shift ? anchor_ : c, c, keepColumn);
        if (keepColumn) caretX_ = keep;
    }
}

void TCustomEdit::CharEdit(unsigned cp) {
    if (cp == 8) {  // backspace
        DeleteSelectionOr(-1, GetKeyState(VK_CONTROL) < 0);
        return;
    }
    if (cp == '\r' || cp == '\n') {
        if (!MultiLine()) return;
        cp = '\r';
    } else if (cp == '\t') {
        if (!MultiLine()) return;
    } else if (cp < 32 || cp == 127 || (cp >= 0x80 && cp < 0xA0) || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        return;  // control characters (Ctrl+letter arrives as its key)
    }
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    Insert(cp == '\r' ? std::string("\r\n") : Encode(cp), true);
}

// ---- painting ----

void TCustomEdit::Paint(HDC dc) {
    RECT client = ClientRect();
    RECT rect = FormatRect();
    TColor back = Enabled() ? Color() : clBtnFace;
    HBRUSH backBrush = CreateSolidBrush(ColorToRGB(back));
    FillRect(dc, &client, backBrush);
    DeleteObject(backBrush);
    HGDIOBJ oldFont = SelectObject(dc, font_->Handle());
    SetBkMode(dc, TRANSPARENT);
    Pos selFrom = std::min(anchor_, caret_), selTo = std::max(anchor_, caret_);
    bool showSel = selFrom != selTo && (focused_ || (editStyle_ & ES_NOHIDESEL));
    RECT clip;
    IntersectRect(&clip, &rect, &client);
    int lh = LineHeight();
    int rows = MultiLine() ? VisibleRows() + 1 : 1;
    COLORREF textColor = Enabled() ? ColorToRGB(font_->Color()) : GetSysColor(COLOR_GRAYTEXT);
    for (int k = 0; k < rows; ++k) {
        int row = topRow_ + k;
        if (row >= RowCount()) break;
        Row r = RowAt(row);
        int y = int(rect.top) + k * lh;
        if (y >= clip.bottom) break;
        const std::string& s = lines_[std::size_t(r.line)];
        std::string shown = Shown(s.substr(std::size_t(r.start), std::size_t(r.end - r.start)));
        int x = RowX(r);
        SetTextColor(dc, textColor);
        ExtTextOut(dc, x, y, ETO_CLIPPED, &clip, shown.data(), UINT(shown.size()), nullptr);
        if (!showSel) continue;
        Pos a{r.line, r.start}, b{r.line, r.end};
        Pos from = std::max(selFrom, a), to = std::min(selTo, b);
        bool lineBreakSelected = selTo.line > r.line && r.end == int(s.size());
        if (to < from || (from == to && !lineBreakSelected)) continue;
        int x0 = x + TextWidth(s, r.start, from.off);
        int x1 = x + TextWidth(s, r.start, to.off) + (lineBreakSelected ? CharWidth(' ') : 0);
        RECT sel{x0, y, x1, y + lh};
        IntersectRect(&sel, &sel, &clip);
        if (IsRectEmpty(&sel)) continue;
        FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        ExtTextOut(dc, x, y, ETO_CLIPPED, &sel, shown.data(), UINT(shown.size()), nullptr);
    }
    if (CaretShowing()) {
        TPoint p = CaretPos();
        RECT caret{p.x, p.y, p.x + 1, p.y + lh};
        IntersectRect(&caret, &caret, &client);
        HBRUSH caretBrush = CreateSolidBrush(textColor);
        FillRect(dc, &caret, caretBrush);
        DeleteObject(caretBrush);
    }
    SelectObject(dc, oldFont);
}

void TCustomEdit::ShowContextMenu(int x, int y) {
    HMENU menu = CreatePopupMenu();
    bool editable = !ReadOnly();
    bool hasSel = anchor_ != caret_;
    bool secret = passwordChar_ != 0;
    auto add = [&](UINT id, const char* text, bool enabled) {
        AppendMenuA(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, text);
    };
    add(WM_UNDO, "&Undo", editable && CanUndo());
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    add(WM_CUT, "Cu&t", editable && hasSel && !secret);
    add(WM_COPY, "&Copy", hasSel && !secret);
    add(WM_PASTE, "&Paste", editable && !ClipboardGetText().empty());
    add(WM_CLEAR, "&Delete", editable && hasSel);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    add(EM_SETSEL, "Select &All", GetTextLen() > 0);
    if (x == -1 && y == -1) {
        TPoint p = ClientToScreen(CaretPos());
        x = p.x;
        y = p.y + LineHeight();
    }
    UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, handle_, nullptr));
    DestroyMenu(menu);
    if (cmd == EM_SETSEL)
        SelectAll();
    else if (cmd)
        Perform(cmd);
}

// ---- messages ----

void TCustomEdit::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == EN_CHANGE) Change();
            m.Result = 0;
            return;
        case CM_ENTER:
            if (autoSelect_ && !(controlState_ & csLButtonDown) && !MultiLine()) SelectAll();
            TWinControl::Dispatch(m);
            return;
        case CM_FONTCHANGED:
            TWinControl::Dispatch(m);
            FreeMeasureDc();
            advances_.clear();
            Relayout();
            AdjustHeight();
            return;
        case CM_COLORCHANGED:
        case CM_ENABLEDCHANGED:
            TWinControl::Dispatch(m);
            InvalidateText();
            return;
        case WM_CONTEXTMENU:
            // The control's own menu when it has one; else the edit's.
            if (popupMenu_) {
                TWinControl::Dispatch(m);
                return;
            }
            DefaultHandler(m);
            return;
        default: TWinControl::Dispatch(m); return;
    }
}

void TCustomEdit::DefaultHandler(TMessage& m) {
    switch (m.Msg) {
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(m.LParam);
            if (!buffer || m.WParam == 0) {
                m.Result = 0;
                return;
            }
            std::string t = Text();
            std::size_t n = std::min<std::size_t>(m.WParam - 1, t.size());
            t.copy(buffer, n);
            buffer[n] = 0;
            m.Result = LRESULT(n);
            return;
        }
        case WM_GETTEXTLENGTH: m.Result = GetTextLen(); return;
        case WM_SETTEXT: {
            std::string t = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
            text_ = t;
            SetTextLines(t);
            modified_ = false;
            NotifyChange();
            m.Result = TRUE;
            return;
        }
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT ps;
            HDC dc = m.WParam ? reinterpret_cast<HDC>(m.WParam) : BeginPaint(handle_, &ps);
            if (dc) Paint(dc);
            if (!m.WParam) EndPaint(handle_, &ps);
            m.Result = 0;
            return;
        }
        case WM_ERASEBKGND: m.Result = 1; return;
        case WM_SIZE:
            TWinControl::DefaultHandler(m);
            formatRectSet_ = false;
            Relayout();
            return;
        case WM_GETDLGCODE:
            m.Result = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (MultiLine() ? DLGC_WANTALLKEYS : 0);
            return;
        case WM_SETFOCUS:
            focused_ = true;
            ResetCaretBlink();
            InvalidateText();
            if (handle_ && GetParent(handle_))
                SendMessage(GetParent(handle_), WM_COMMAND, MAKEWPARAM(WORD(GetWindowLongA(handle_, GWL_ID)), EN_SETFOCUS),
                            reinterpret_cast<LPARAM>(handle_));
            m.Result = 0;
            return;
        case WM_KILLFOCUS:
            focused_ = false;
            caretOn_ = false;
            selecting_ = false;
            if (handle_) KillTimer(handle_, kCaretTimer);
            InvalidateText();
            if (handle_ && GetParent(handle_))
                SendMessage(GetParent(handle_), WM_COMMAND,
                            MAKEWPARAM(WORD(GetWindowLongA(handle_, GWL_ID)), EN_KILLFOCUS),
                            reinterpret_cast<LPARAM>(handle_));
            m.Result = 0;
            return;
        case WM_TIMER:
            if (m.WParam == kCaretTimer) {
                caretOn_ = !caretOn_ && focused_;
                InvalidateText();
                m.Result = 0;
                return;
            }
            break;
        case WM_KEYDOWN: KeyDownEdit(WORD(m.WParam)); m.Result = 0; return;
        case WM_CHAR: CharEdit(unsigned(m.WParam)); m.Result = 0; return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            if (handle_ && GetFocus() != handle_) ::platform::SetFocus(handle_);
            Pos p = HitTest(m.XPos(), m.YPos());
            if (m.Msg == WM_LBUTTONDBLCLK) {
                // A double click selects the word under the pointer.
                const std::string& s = lines_[std::size_t(p.line)];
                int len = 1;
                int cls = p.off < int(s.size()) ? CharClass(Decode(s, p.off, &len)) : -1;
                Pos a = p, b = p;
                while (a.off > 0) {
                    Pos q = MoveChar(a, -1);
                    if (CharClass(Decode(s, q.off, &len)) != cls) break;
                    a = q;
                }
                while (b.off < int(s.size()) && CharClass(Decode(s, b.off, &len)) == cls) b = MoveChar(b, 1);
                SetSelection(a, b);
            } else {
                SetSelection((m.WParam & MK_SHIFT) ? anchor_ : p, p);
                selecting_ = true;
                if (handle_) SetCapture(handle_);
            }
            m.Result = 0;
            return;
        }
        case WM_MOUSEMOVE:
            if (selecting_ && (m.WParam & MK_LBUTTON)) SetSelection(anchor_, HitTest(m.XPos(), m.YPos()));
            m.Result = 0;
            return;
        case WM_LBUTTONUP:
            if (selecting_) {
                selecting_ = false;
                if (handle_ && GetCapture() == handle_) ReleaseCapture();
            }
            m.Result = 0;
            return;
        case WM_CAPTURECHANGED: selecting_ = false; break;
        case WM_MBUTTONUP: {
            // A middle click pastes the primary selection where it points.
            if (ReadOnly()) {
                m.Result = 0;
                return;
            }
            std::string text = ClipboardGetText(true);
            Pos p = HitTest(m.XPos(), m.YPos());
            SetSelection(p, p);
            if (!text.empty()) Insert(text, false);
            m.Result = 0;
            return;
        }
        case WM_CONTEXTMENU:
            if (handle_ && GetFocus() != handle_) ::platform::SetFocus(handle_);
            ShowContextMenu(std::int16_t(LOWORD(std::uintptr_t(m.LParam))), std::int16_t(HIWORD(std::uintptr_t(m.LParam))));
            m.Result = 0;
            return;
        case WM_VSCROLL: VScroll(LOWORD(m.WParam), HIWORD(m.WParam)); m.Result = 0; return;
        case WM_HSCROLL: HScroll(LOWORD(m.WParam)); m.Result = 0; return;
        case WM_MOUSEWHEEL:
            if (MultiLine() && RowCount() > VisibleRows()) {
                int delta = std::int16_t(HIWORD(m.WParam));
                SetTopRow(topRow_ - delta / WHEEL_DELTA * Mouse->WheelScrollLines());
                m.Result = 0;
                return;
            }
            break;
        case WM_COPY:
            if (anchor_ != caret_ && !passwordChar_) ClipboardSetText(SelText());
            m.Result = 0;
            return;
        case WM_CUT:
            if (anchor_ != caret_ && !passwordChar_ && !ReadOnly()) {
                ClipboardSetText(SelText());
                ReplaceRange(anchor_, caret_, "", false, true);
            }
            m.Result = 0;
            return;
        case WM_PASTE:
            if (ReadOnly()) {
                m.Result = 0;
                return;
            }
            if (std::string text = ClipboardGetText(); !text.empty()) Insert(text, false);
            m.Result = 0;
            return;
        case WM_CLEAR:
            if (anchor_ != caret_ && !ReadOnly()) ReplaceRange(anchor_, caret_, "", false, true);
            m.Result = 0;
            return;
        case WM_UNDO:
        case EM_UNDO:
            m.Result = !undo_.empty() && !ReadOnly();
            if (m.Result) UndoStepBack();
            return;
        case EM_CANUNDO: m.Result = !undo_.empty(); return;
        case EM_EMPTYUNDOBUFFER:
            undo_.clear();
            undoSealed_ = true;
            m.Result = 0;
            return;
        case EM_GETSEL: {
            int from = SelStart(), to = from + SelLength();
            if (m.WParam) *reinterpret_cast<DWORD*>(m.WParam) = DWORD(from);
            if (m.LParam) *reinterpret_cast<DWORD*>(m.LParam) = DWORD(to);
            m.Result = MAKELONG(WORD(std::min(from, 0xFFFF)), WORD(std::min(to, 0xFFFF)));
            return;
        }
        case EM_SETSEL: {
            int from = int(m.WParam), to = int(m.LParam);
            int len = GetTextLen();
            if (from < 0) {
                SetSelection(caret_, caret_);
            } else {
                if (to < 0) to = len;
                SetSelection(ToPos(std::min(from, len)), ToPos(std::min(to, len)));
            }
            m.Result = 0;
            return;
        }
        case EM_REPLACESEL: {
            std::string text = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
            if (!MultiLine()) {
                std::size_t cut = text.find_first_of("\r\n");
                if (cut != std::string::npos) text.resize(cut);
            }
            std::size_t depth = undo_.size();
            ReplaceRange(anchor_, caret_, text, false, true);
            if (!m.WParam) undo_.resize(std::min(depth, undo_.size()));
            m.Result = 0;
            return;
        }
        case EM_GETRECT:
            if (m.LParam) *reinterpret_cast<RECT*>(m.LParam) = FormatRect();
            m.Result = 0;
            return;
        case EM_SETRECT:
        case EM_SETRECTNP:
            if (m.LParam) {
                formatRect_ = *reinterpret_cast<const RECT*>(m.LParam);
                formatRectSet_ = true;
            } else {
                formatRectSet_ = false;
            }
            Relayout();
            m.Result = 0;
            return;
        case EM_GETMODIFY: m.Result = modified_; return;
        case EM_SETMODIFY: modified_ = m.WParam != 0; m.Result = 0; return;
        case EM_LIMITTEXT: maxLength_ = int(m.WParam); m.Result = 0; return;
        case EM_GETLIMITTEXT: m.Result = maxLength_ ? maxLength_ : 0x7FFFFFFE; return;
        case EM_SETREADONLY:
            editStyle_ = m.WParam ? (editStyle_ | ES_READONLY) : (editStyle_ & ~ES_READONLY);
            if (handle_) {
                DWORD style = DWORD(GetWindowLongA(handle_, GWL_STYLE));
                SetWindowLongA(handle_, GWL_STYLE, LONG(m.WParam ? (style | ES_READONLY) : (style & ~ES_READONLY)));
            }
            InvalidateText();
            m.Result = TRUE;
            return;
        case EM_SETPASSWORDCHAR:
            passwordChar_ = char(m.WParam);
            if (passwordChar_ && primaryClaimed_) {
                ClipboardReleasePrimary(this);
                primaryClaimed_ = false;
            }
            Relayout();
            m.Result = 0;
            return;
        case EM_GETPASSWORDCHAR: m.Result = static_cast<unsigned char>(passwordChar_); return;
        case EM_GETLINECOUNT: m.Result = RowCount(); return;
        case EM_GETFIRSTVISIBLELINE: m.Result = topRow_; return;
        case EM_LINEFROMCHAR: {
            Pos p = m.WParam == WPARAM(-1) ? caret_ : ToPos(int(m.WParam));
            m.Result = RowOf(p);
            return;
        }
        case EM_LINEINDEX: {
            int row = m.WParam == WPARAM(-1) ? RowOf(caret_) : int(m.WParam);
            if (row < 0 || row >= RowCount()) {
                m.Result = -1;
                return;
            }
            Row r = RowAt(row);
            m.Result = ToIndex(Pos{r.line, r.start});
            return;
        }
        case EM_LINELENGTH: {
            Pos p = ToPos(int(m.WParam));
            Row r = RowAt(RowOf(p));
            m.Result = r.end - r.start;
            return;
        }
        case EM_GETLINE: {
            int row = int(m.WParam);
            auto* buffer = reinterpret_cast<char*>(m.LParam);
            if (!buffer || row < 0 || row >= RowCount()) {
                m.Result = 0;
                return;
            }
            Row r = RowAt(row);
            // The buffer's first word holds its size.
            WORD size = *reinterpret_cast<WORD*>(buffer);
            std::size_t n = std::min<std::size_t>(size, std::size_t(r.end - r.start));
            std::copy_n(lines_[std::size_t(r.line)].data() + r.start, n, buffer);
            m.Result = LRESULT(n);
            return;
        }
        case EM_SCROLLCARET: EnsureCaretVisible(); m.Result = TRUE; return;
        case EM_LINESCROLL: SetTopRow(topRow_ + int(m.LParam)); m.Result = TRUE; return;
        case EM_SCROLL:
            VScroll(int(m.WParam), 0);
            m.Result = TRUE;
            return;
        case EM_POSFROMCHAR: {
            Pos p = ToPos(int(m.WParam));
            RECT rect = FormatRect();
            int x = XOf(p), y = int(rect.top) + (RowOf(p) - topRow_) * LineHeight();
            m.Result = MAKELONG(WORD(std::int16_t(x)), WORD(std::int16_t(y)));
            return;
        }
        case EM_CHARFROMPOS: {
            Pos p = HitTest(std::int16_t(LOWORD(std::uintptr_t(m.LParam))), std::int16_t(HIWORD(std::uintptr_t(m.LParam))));
            m.Result = MAKELONG(WORD(std::min(ToIndex(p), 0xFFFF)), WORD(std::min(RowOf(p), 0xFFFF)));
            return;
        }
        default: break;
    }
    TWinControl::DefaultHandler(m);
}

// ---------------------------------------------------------------- TCustomMemo

// The memo's lines as a string list: the text's lines, without the empty one after a
// final line break.
class TCustomMemo::TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
    int Count() const override {
        int n = memo_->LineCount();
        if (n > 1 && memo_->LineText(n - 1).empty()) --n;
        if (n == 1 && memo_->LineText(0).empty()) n = 0;
        return n;
    }
    std::string Get(int index) const override {
        if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        return memo_->LineText(index);
    }
    void Put(int index, const std::string& s) override {
        if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        Replace(Pos{index, 0}, Pos{index, int(memo_->LineText(index).size())}, s);
    }
    void Insert(int index, const std::string& s) override {
        int count = Count();
        if (index < 0 || index > count) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        if (index < count) {
            Replace(Pos{index, 0}, Pos{index, 0}, s + "\r\n");
        } else {
            // At the end: after the last line, which then ends with a line break.
            int last = memo_->LineCount() - 1;
            Pos end{last, int(memo_->LineText(last).size())};
            Replace(end, end, (count > 0 && !memo_->LineText(last).empty() ? "\r\n" : "") + s + "\r\n");
        }
    }
    void Delete(int index) override {
        if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        Pos to = index + 1 < memo_->LineCount() ? Pos{index + 1, 0} : Pos{index, int(memo_->LineText(index).size())};
        Replace(Pos{index, 0}, to, "");
    }
    void Clear() override { memo_->SetText(""); }

private:
    void Replace(Pos from, Pos to, const std::string& text) {
        memo_->ReplaceRange(from, to, text, false, false);
        memo_->ForgetUndo();
    }
    TCustomMemo* memo_;
};

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner) {
    width_ = 185;
    height_ = 89;
    controlStyle_ &= ~csFixedHeight;
    SetAutoSelect(false);
    memoLines_ = new TMemoStrings(this);
    ApplyEditStyle();
}

TCustomMemo::~TCustomMemo() {
    DestroyHandle();
    delete memoLines_;
}

DWORD TCustomMemo::EditStyleBits() const {
    DWORD bits = (TCustomEdit::EditStyleBits() & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_AUTOVSCROLL;
    if (!wordWrap_ || scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) bits |= ES_AUTOHSCROLL;
    if (wantReturns_) bits |= ES_WANTRETURN;
    return bits;
}

void TCustomMemo::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
}

void TCustomMemo::SetWordWrap(bool value) {
    if (wordWrap_ == value) return;
    wordWrap_ = value;
    ApplyEditStyle();
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
    if (scrollBars_ == value) return;
    scrollBars_ = value;
    if (handle_) {
        ShowScrollBar(handle_, SB_VERT, value == ssVertical || value == ssBoth);
        ShowScrollBar(handle_, SB_HORZ, value == ssHorizontal || value == ssBoth);
    }
    ApplyEditStyle();
}

void TCustomMemo::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_GETDLGCODE:
            TCustomEdit::Dispatch(m);
            if (wantTabs_)
                m.Result |= DLGC_WANTTAB;
            else
                m.Result &= ~DLGC_WANTTAB;
            if (!wantReturns_) m.Result &= ~DLGC_WANTALLKEYS;
            return;
        case WM_CHAR:
            if ((m.WParam == '\t' && !wantTabs_) || (m.WParam == '\r' && !wantReturns_)) {
                m.Result = 0;
                return;
            }
            TCustomEdit::Dispatch(m);
            return;
        default: TCustomEdit::Dispatch(m); return;
    }
}

}  // namespace platform
