// The message box of the application: a small modal form with the text and its buttons.
#include <algorithm>

#include "platform/controls/extctrls.h"

namespace platform {

namespace {

struct ButtonSpec {
    const char* caption;
    int answer;
};

std::vector<ButtonSpec> ButtonsFor(UINT flags) {
    switch (flags & 0xF) {
        case MB_OKCANCEL: return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
        case MB_ABORTRETRYIGNORE: return {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
        case MB_YESNOCANCEL: return {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
        case MB_YESNO: return {{"Yes", IDYES}, {"No", IDNO}};
        case MB_RETRYCANCEL: return {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
        default: return {{"OK", IDOK}};
    }
}

class TMessageForm : public TForm {
public:
    TMessageForm(const std::string& text, const std::string& caption, UINT flags) : TForm(nullptr) {
        SetBorderStyle(bsDialog);
        SetPosition(poScreenCenter);
        SetCaption(caption);
        SetKeyPreview(true);
        auto* label = new TLabel(this);
        label->SetParent(this);
        label->SetWordWrap(true);
        label->SetAutoSize(false);
        label->SetBounds(16, 16, 320, 10);
        label->SetCaption(text);
        label->SetAutoSize(true);
        buttons_ = ButtonsFor(flags);
        int top = std::max(48, label->Top() + label->Height() + 16);
        int x = 16;
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            auto* button = new TPanel(this);
            button->SetParent(this);
            button->SetBounds(x, top, 80, 25);
            button->SetCaption(buttons_[i].caption);
            int answer = buttons_[i].answer;
            button->OnClick = [this, answer](TObject*) { SetModalResult(answer); };
            x += 88;
        }
        SetClientWidth(std::max(352, x + 8));
        SetClientHeight(top + 25 + 16);
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_RETURN) SetModalResult(buttons_.front().answer);
            if (key == VK_ESCAPE) SetModalResult(buttons_.size() > 1 ? buttons_.back().answer : buttons_.front().answer);
        };
    }

private:
    std::vector<ButtonSpec> buttons_;
};

}  // namespace

int ShowMessageForm(const std::string& text, const std::string& caption, UINT flags) {
    TMessageForm form(text, caption, flags);
    form.AfterConstruction();
    int answer = form.ShowModal();
    return answer == mrCancel && (flags & 0xF) == MB_OK ? IDOK : answer;
}

}  // namespace platform
