// The masked edit: places from the mask, typing place by place, text with and without
// literals.
#include "platform/controls/mask.h"

#include <cctype>

#include "platform/controls/textclip.h"

namespace platform {

TCustomMaskEdit::TCustomMaskEdit(TComponent* owner) : TCustomEdit(owner) {}

void TCustomMaskEdit::SetEditMask(const std::string& value) {
    std::string keep = Text();
    mask_ = value;
    places_.clear();
    saveLiterals_ = true;
    blank_ = '_';
    // The sections: picture ; save literals ; blank. A ';' after '\' belongs to the picture.
    std::string picture;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (rest.empty() && value[i] == '\\' && i + 1 < value.size()) {
            picture += value.substr(i, 2);
            ++i;
        } else if (value[i] == ';') {
            rest.emplace_back();
        } else if (rest.empty()) {
            picture += value[i];
        } else {
            rest.back() += value[i];
        }
    }
    if (!rest.empty() && rest[0] == "0") saveLiterals_ = false;
    if (rest.size() > 1 && !rest[1].empty()) blank_ = rest[1][0];
    int letterCase = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        char c = picture[i];
        Place p;
        if (c == '\\' && i + 1 < picture.size()) {
            p.literal = picture[++i];
        } else if (c == '<' && i + 1 < picture.size() && picture[i + 1] == '>') {
            letterCase = 0;
            ++i;
            continue;
        } else if (c == '>' || c == '<') {
            letterCase = c == '>' ? 1 : -1;
            continue;
        } else if (c == '!') {
            continue;
        } else if (std::string("09#LlAaCc").find(c) != std::string::npos) {
            p.kind = c;
            p.letterCase = letterCase;
        } else {
            p.literal = c;
        }
        places_.push_back(p);
    }
    if (places_.empty()) {
        TCustomEdit::SetText(keep);
        return;
    }
    SetMaxLength(int(places_.size()));
    SetText(keep);
}

bool TCustomMaskEdit::Fits(const Place& place, char& c) const {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u >= 0x80) return false;
    bool ok = false;
    switch (place.kind) {
        case '0':
        case '9': ok = std::isdigit(u); break;
        case '#': ok = std::isdigit(u) || c == '+' || c == '-'; break;
        case 'L':
        case 'l': ok = std::isalpha(u); break;
        case 'A':
        case 'a': ok = std::isalnum(u); break;
        case 'C':
        case 'c': ok = true; break;
        default: break;
    }
    if (ok && place.letterCase > 0) c = char(std::toupper(u));
    if (ok && place.letterCase < 0) c = char(std::tolower(u));
    return ok;
}

int TCustomMaskEdit::NextEditable(int from, int direction) const {
    for (int i = from; i >= 0 && i < int(places_.size()); i += direction)
        if (!places_[std::size_t(i)].literal) return i;
    return -1;
}

std::vector<char> TCustomMaskEdit::Values() const {
    std::string shown = TCustomEdit::Text();
    std::vector<char> values(places_.size(), 0);
    for (std::size_t i = 0; i < places_.size() && i < shown.size(); ++i)
        if (!places_[i].literal && shown[i] != blank_) values[i] = shown[i];
    return values;
}

std::string TCustomMaskEdit::Shown(const std::vector<char>& values) const {
    std::string s;
    for (std::size_t i = 0; i < places_.size(); ++i)
        s += places_[i].literal ? places_[i].literal : values[i] ? values[i] : blank_;
    return s;
}

void TCustomMaskEdit::Show(const std::vector<char>& values, int caret) {
    std::string s = Shown(values);
    if (s != TCustomEdit::Text()) TCustomEdit::SetText(s);
    SetSelStart(std::max(0, caret));
    SetSelLength(0);
}

std::string TCustomMaskEdit::Text() const {
    if (places_.empty()) return TCustomEdit::Text();
    std::vector<char> values = Values();
    std::string s;
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (places_[i].literal) {
            if (saveLiterals_) s += places_[i].literal;
        } else {
            s += values[i] ? values[i] : ' ';
        }
    }
    // Blanks at the end are no text.
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void TCustomMaskEdit::SetText(const std::string& value) {
    if (places_.empty()) {
        TCustomEdit::SetText(value);
        return;
    }
    std::vector<char> values(places_.size(), 0);
    std::size_t k = 0;
    for (std::size_t i = 0; i < places_.size() && k < value.size(); ++i) {
        if (places_[i].literal) {
            if (saveLiterals_ && value[k] == places_[i].literal) ++k;
            continue;
        }
        char c = value[k++];
        if (c != ' ' && Fits(places_[i], c)) values[i] = c;
    }
    std::string s = Shown(values);
    if (s != TCustomEdit::Text()) TCustomEdit::SetText(s);
}

bool TCustomMaskEdit::IsComplete() const {
    std::vector<char> values = Values();
    for (std::size_t i = 0; i < places_.size(); ++i) {
        char k = places_[i].kind;
        if ((k == '0' || k == 'L' || k == 'A' || k == 'C') && !values[i]) return false;
    }
    return true;
}

void TCustomMaskEdit::TypeChar(char c) {
    if (ReadOnly()) return;
    int at = NextEditable(SelStart(), 1);
    if (at < 0 || !Fits(places_[std::size_t(at)], c)) {
        MessageBeep(0);
        return;
    }
    std::vector<char> values = Values();
    int from = SelStart(), to = SelStart() + SelLength();
    for (int i = from; i < to && i < int(values.size()); ++i) values[std::size_t(i)] = 0;
    values[std::size_t(at)] = c;
    int next = NextEditable(at + 1, 1);
    Show(values, next < 0 ? int(places_.size()) : next);
}

void TCustomMaskEdit::Blank(int from, int to) {
    std::vector<char> values = Values();
    for (int i = std::max(0, from); i < to && i < int(values.size()); ++i) values[std::size_t(i)] = 0;
    Show(values, std::max(0, from));
}

void TCustomMaskEdit::Dispatch(TMessage& m) {
    if (places_.empty()) {
        TCustomEdit::Dispatch(m);
        return;
    }
    switch (m.Msg) {
        case WM_CHAR: {
            char ch = m.WParam < 0x80 ? char(m.WParam) : 0;
            if (m.WParam < 0x80 && DoKeyPress(ch)) return;
            m.Result = 0;
            if (ch == 8) {
                if (ReadOnly()) return;
                if (SelLength() > 0) {
                    Blank(SelStart(), SelStart() + SelLength());
                } else if (int at = NextEditable(SelStart() - 1, -1); at >= 0) {
                    Blank(at, at + 1);
                }
                return;
            }
            if (static_cast<unsigned char>(ch) >= 32) {
                TypeChar(ch);
            } else if (m.WParam >= 0x80) {
                MessageBeep(0);
            } else {
                TCustomEdit::Dispatch(m);  // control keys (copy, select all ...)
            }
            return;
        }
        case WM_KEYDOWN: {
            WORD key = WORD(m.WParam);
            if (key == VK_DELETE) {
                if (DoKeyDown(key, m.LParam)) return;
                if (!ReadOnly()) Blank(SelStart(), SelStart() + std::max(1, SelLength()));
                m.Result = 0;
                return;
            }
            break;
        }
        case WM_CUT:
            if (ReadOnly()) return;
            Perform(WM_COPY);
            Blank(SelStart(), SelStart() + SelLength());
            m.Result = 0;
            return;
        case WM_PASTE: {
            if (ReadOnly()) return;
            std::string text = ClipboardGetText();
            for (char c : text) {
                if (NextEditable(SelStart(), 1) < 0) break;
                if (c == '\r' || c == '\n') break;
                TypeChar(c);
            }
            m.Result = 0;
            return;
        }
        default: break;
    }
    TCustomEdit::Dispatch(m);
}

}  // namespace platform
