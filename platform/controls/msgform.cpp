// The message box of the application: a small modal form with the icon the flags ask for,
// the text and its buttons, centred along the bottom.
#include <algorithm>

#include "platform/controls/extctrls.h"

namespace platform {

namespace {

struct ButtonChoice {
    const char* caption;
    int answer;
};

std::vector<ButtonChoice> ButtonsFor(UINT flags) {
    switch (flags & 0xF) {
        case MB_OKCANCEL: return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
        case MB_ABORTRETRYIGNORE: return {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
        case MB_YESNOCANCEL: return {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
        case MB_YESNO: return {{"Yes", IDYES}, {"No", IDNO}};
        case MB_RETRYCANCEL: return {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
        default: return {{"OK", IDOK}};
    }
}

// The standard icons, 32 x 32, drawn with the canvas: a blue disc with a white "i" or "?",
// a yellow triangle with a black "!", a red disc with a white cross.
class TMessageIcon : public TGraphicControl {
public:
    static constexpr int kSize = 32;
    TMessageIcon(TComponent* owner, UINT kind) : TGraphicControl(owner), kind_(kind) {
        SetBounds(0, 0, kSize, kSize);
    }

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        const TColor kBlue = TColor(RGB(32, 96, 208)), kBlueEdge = TColor(RGB(16, 56, 144));
        const TColor kRed = TColor(RGB(208, 32, 32)), kRedEdge = TColor(RGB(136, 16, 16));
        const TColor kYellow = TColor(RGB(255, 208, 0));
        auto disc = [&](TColor fill, TColor edge) {
            c->Pen()->SetWidth(1);
            c->Pen()->SetColor(edge);
            c->Brush()->SetColor(fill);
            c->Ellipse(0, 0, kSize, kSize);
        };
        auto mark = [&](TColor color, int width) {
            c->Pen()->SetColor(color);
            c->Pen()->SetWidth(width);
            c->Brush()->SetColor(color);
        };
        switch (kind_) {
            case MB_ICONINFORMATION:
                disc(kBlue, kBlueEdge);
                mark(clWhite, 1);
                c->Ellipse(13, 5, 19, 11);
                c->Rectangle(13, 13, 19, 27);
                break;
            case MB_ICONQUESTION:
                disc(kBlue, kBlueEdge);
                mark(clWhite, 3);
                // The hook: counter-clockwise from its lower right end over the top to the left.
                c->Arc(10, 5, 22, 17, 20, 16, 9, 11);
                c->MoveTo(19, 16);
                c->LineTo(16, 19);
                c->LineTo(16, 22);
                mark(clWhite, 1);
                c->Ellipse(14, 24, 19, 29);
                break;
            case MB_ICONEXCLAMATION:
                c->Pen()->SetColor(clBlack);
                c->Brush()->SetColor(kYellow);
                c->Polygon({TPoint(16, 1), TPoint(31, 29), TPoint(1, 29)});
                mark(clBlack, 1);
                c->Rectangle(14, 9, 18, 21);
                c->Rectangle(14, 23, 18, 27);
                break;
            case MB_ICONERROR:
                disc(kRed, kRedEdge);
                mark(clWhite, 4);
                c->MoveTo(10, 10);
                c->LineTo(22, 22);
                c->MoveTo(22, 10);
                c->LineTo(10, 22);
                break;
            default: break;
        }
    }

private:
    UINT kind_;
};

class TMessageForm : public TForm {
public:
    TMessageForm(const std::string& text, const std::string& caption, UINT flags) : TForm(nullptr) {
        constexpr int kMargin = 16, kTextWidth = 320, kButtonWidth = 80, kButtonHeight = 25, kButtonGap = 8;
        SetBorderStyle(bsDialog);
        SetPosition(poScreenCenter);
        SetCaption(caption);
        SetKeyPreview(true);
        UINT icon = flags & 0xF0;
        int textLeft = kMargin;
        int iconBottom = 0;
        if (icon == MB_ICONINFORMATION || icon == MB_ICONQUESTION || icon == MB_ICONEXCLAMATION || icon == MB_ICONERROR) {
            auto* picture = new TMessageIcon(this, icon);
            picture->SetParent(this);
            picture->SetBounds(kMargin, kMargin, TMessageIcon::kSize, TMessageIcon::kSize);
            textLeft = kMargin + TMessageIcon::kSize + kMargin;
            iconBottom = kMargin + TMessageIcon::kSize;
        }
        auto* label = new TLabel(this);
        label->SetParent(this);
        label->SetWordWrap(true);
        label->SetAutoSize(false);
        label->SetBounds(textLeft, kMargin, kTextWidth, 10);
        label->SetCaption(text);
        label->SetAutoSize(true);
        // A short text stands level with the middle of the icon.
        if (iconBottom && label->Height() < TMessageIcon::kSize)
            label->SetTop(kMargin + (TMessageIcon::kSize - label->Height()) / 2);
        buttons_ = ButtonsFor(flags);
        int top = std::max({48, iconBottom + kMargin, label->Top() + label->Height() + kMargin});
        int count = int(buttons_.size());
        int row = count * kButtonWidth + (count - 1) * kButtonGap;
        int width = std::max(textLeft + kTextWidth + kMargin, row + 2 * kMargin);
        int x = (width - row) / 2;
        for (const ButtonChoice& choice : buttons_) {
            auto* button = new TPanel(this);
            button->SetParent(this);
            button->SetBounds(x, top, kButtonWidth, kButtonHeight);
            button->SetCaption(choice.caption);
            int answer = choice.answer;
            button->OnClick = [this, answer](TObject*) { SetModalResult(answer); };
            x += kButtonWidth + kButtonGap;
        }
        SetClientWidth(width);
        SetClientHeight(top + kButtonHeight + kMargin);
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_RETURN) SetModalResult(buttons_.front().answer);
            if (key == VK_ESCAPE) SetModalResult(buttons_.size() > 1 ? buttons_.back().answer : buttons_.front().answer);
        };
    }

private:
    std::vector<ButtonChoice> buttons_;
};

}  // namespace

int ShowMessageForm(const std::string& text, const std::string& caption, UINT flags) {
    TMessageForm form(text, caption, flags);
    form.AfterConstruction();
    int answer = form.ShowModal();
    return answer == mrCancel && (flags & 0xF) == MB_OK ? IDOK : answer;
}

}  // namespace platform
