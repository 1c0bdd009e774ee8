#pragma once
// A masked edit: an edit whose text keeps the shape of an edit mask, as in "!99/99/0000;1;_".
//
// The mask is up to three sections separated by ';': the picture, whether the literals are
// part of Text ("1", the default, or "0"), and the character shown in an empty place ("_").
// Picture characters: '0' a digit, '9' an optional digit, '#' an optional digit or sign,
// 'L' a letter, 'l' an optional letter, 'A' a letter or digit, 'a' an optional one, 'C' any
// character, 'c' an optional one; '>' makes what follows upper case, '<' lower case, "<>"
// neither; '\' takes the next character literally; '!' (dropped) and every other character
// stands as it is. Places hold one ASCII character each.
//
// Typing overwrites the place at or after the caret when the character fits it (else a
// beep), Backspace and Delete empty places, pasted text is typed in place by place. Without
// a mask it is an ordinary edit.
#include <string>
#include <vector>

#include "platform/controls/stdctrls.h"

namespace platform {

class TCustomMaskEdit : public TCustomEdit {
public:
    explicit TCustomMaskEdit(TComponent* owner);
    void Dispatch(TMessage& message) override;

    const std::string& EditMask() const { return mask_; }
    void SetEditMask(const std::string& value);
    bool IsMasked() const { return !places_.empty(); }
    // What the edit shows: literals and the blank character in empty places.
    std::string EditText() const { return TCustomEdit::Text(); }
    // The text without blanks, and without the literals when the mask says so.
    std::string Text() const override;
    // Fills the places from value (with or without literals, as Text gives it).
    void SetText(const std::string& value) override;
    // Whether every required place holds a character.
    bool IsComplete() const;

private:
    struct Place {
        char literal = 0;  // non-zero: a literal, not editable
        char kind = 0;     // the picture character of an editable place
        int letterCase = 0;  // 1 upper, -1 lower
    };
    bool Fits(const Place& place, char& c) const;
    int NextEditable(int from, int direction) const;
    void TypeChar(char c);
    void Blank(int from, int to);
    std::string Shown(const std::vector<char>& values) const;
    void Show(const std::vector<char>& values, int caret);
    std::vector<char> Values() const;

    std::string mask_;
    std::vector<Place> places_;
    bool saveLiterals_ = true;
    char blank_ = '_';
};

class TMaskEdit : public TCustomMaskEdit {
public:
    explicit TMaskEdit(TComponent* owner) : TCustomMaskEdit(owner) {}
};

}  // namespace platform
