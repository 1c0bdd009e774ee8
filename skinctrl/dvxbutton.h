#pragma once
// The push buttons: a four-state picture (normal, mouse over, pressed, disabled) painted
// off-screen, a centred caption, an optional focus rectangle, a repeat event while the mouse
// is held, modal results handed to the form, Default/Cancel keys and accelerators.
//
//   TdvxImageButton        four pictures of the caller's own (PicNormal is the fall-back)
//   TdvxButton             the style's button strip stretched over the button, optional glyph
//   TdvxControlButton      one frame of any picture entry of the style table
//   TdvxArrowButton        the button strip with a small black triangle (spin buttons)
//   TdvxToolBarSpeedButton a small gradient panel button with a glyph (form frame)
#include <cstdint>
#include <memory>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/core/timer.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

using platform::TCanvas;
using platform::TMessage;
using platform::TNotifyEvent;
using platform::TPicture;

// Answered with 1 by every skinned button: "a focused skinned button lets accelerators
// through without Alt".
constexpr platform::UINT DVXM_CANPROCESSKEY = 0x8BB8;

class TdvxCustomButton : public TdvxControl<platform::TCustomControl> {
public:
    explicit TdvxCustomButton(platform::TComponent* owner);
    ~TdvxCustomButton() override;

    void Dispatch(TMessage& message) override;
    void Click() override;
    void SetEnabled(bool value) override;

    const std::string& GetCaption() const { return caption_; }
    // Stores caption and window text and repaints, even when the value is unchanged.
    void SetCaption2(const std::string& value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize2(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool PicTransparent() const { return picTransparent_; }
    void SetPicTransparent(bool value);
    platform::TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(platform::TModalResult value) { modalResult_ = value; }
    int MouseContinuouslyDownInterval() const { return repeatInterval_; }
    void SetMouseContinuouslyDownInterval(int value) { repeatInterval_ = value; }
    int FocusedRectMargin() const { return focusedRectMargin_; }
    void SetFocusedRectMargin(int value);

    // The shown state, for the program and tests.
    bool IsMouseOver() const { return mouseOver_; }
    bool IsMouseDown() const { return mouseDown_; }
    bool IsActiveDefault() const { return activeDefault_; }

    // OnMouseEnter is the control's own event.
    TNotifyEvent OnMouseExit;
    TNotifyEvent OnMouseContinuouslyDown;

protected:
    virtual void AutoSizeChanged();
    virtual void CaptionChanged() {}
    // Gives the canvas the font and repaints (on CM_FONTCHANGED).
    virtual void FontChangedHook();
    virtual void TransparentChanged() { picTransparent_ = transparent_; }
    virtual void EnableChanged() {}
    virtual void PaintPic(TCanvas* canvas, platform::TBitmap* picture);
    virtual void PaintText(TCanvas* canvas, const std::string& text);
    virtual void PaintFocus(TCanvas* canvas);
    virtual void PaintButtonNormal(platform::TBitmap* picture) { LoadStrip(picture, 1); }
    virtual void PaintButtonMouseOn(platform::TBitmap* picture) { LoadStrip(picture, 2); }
    virtual void PaintButtonMouseDown(platform::TBitmap* picture) { LoadStrip(picture, 3); }
    virtual void PaintButtonDisabled(platform::TBitmap* picture) { LoadStrip(picture, 1); }

    void CreateWnd() override;
    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void MouseMove(platform::TShiftState shift, int x, int y) override;
    bool IsTransparent() const override { return transparent_; }
    void PaintBuffer(TCanvas* canvas) override;

    // Frame (from 1) of the style's three-frame button strip, or of the file theme's.
    void LoadStrip(platform::TBitmap* picture, int frame);
    void StopRepeat() { timer_.reset(); }

    std::string caption_;
    bool autoSize_ = false;
    bool cancel_ = false;
    bool default_ = false;
    bool transparent_ = false;
    platform::TModalResult modalResult_ = 0;
    bool boldCaption_ = false;
    bool picTransparent_ = false;
    std::unique_ptr<platform::TTimer> timer_;
    int repeatInterval_ = 100;
    int focusedRectMargin_ = 2;
    bool activeDefault_ = false;
    bool mouseOver_ = false;
    bool mouseDown_ = false;
};

class TdvxImageButton : public TdvxCustomButton {
public:
    explicit TdvxImageButton(platform::TComponent* owner);
    ~TdvxImageButton() override;

    TPicture* PicNormal() const { return picNormal_.get(); }
    TPicture* PicMouseOn() const { return picMouseOn_.get(); }
    TPicture* PicMouseDown() const { return picMouseDown_.get(); }
    TPicture* PicDisabled() const { return picDisabled_.get(); }
    void SetPicNormalF(TPicture* value) { SetPic(picNormal_.get(), value); }
    void SetPicMouseOnF(TPicture* value) { SetPic(picMouseOn_.get(), value); }
    void SetPicMouseDownF(TPicture* value) { SetPic(picMouseDown_.get(), value); }
    void SetPicDisabledF(TPicture* value) { SetPic(picDisabled_.get(), value); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool DrawFocused() const { return drawFocused_; }
    void SetDrawFocused(bool value);

    // The image button reads no style: it always answers FromThemeFile.
    TdvxUIStyle GetUIStyle() const override { return FromThemeFile; }
    bool PublishesFileTheme() const override { return false; }

protected:
    void AutoSizeChanged() override;
    void PaintPic(TCanvas* canvas, platform::TBitmap* picture) override;
    void PaintFocus(TCanvas* canvas) override;
    void PaintButtonNormal(platform::TBitmap* picture) override;
    void PaintButtonMouseOn(platform::TBitmap* picture) override;
    void PaintButtonMouseDown(platform::TBitmap* picture) override;
    void PaintButtonDisabled(platform::TBitmap* picture) override;

private:
    void SetPic(TPicture* field, TPicture* value);
    // Copies the first of the pictures that holds a graphic into bitmap (nothing if none).
    static void CopyPicture(platform::TBitmap* bitmap, TPicture* picture, TPicture* fallBack);
    std::unique_ptr<TPicture> picDisabled_, picNormal_, picMouseDown_, picMouseOn_;
    bool stretch_ = false;
    bool drawFocused_ = false;
};

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TdvxButton : public TdvxCustomButton {
public:
    explicit TdvxButton(platform::TComponent* owner);
    ~TdvxButton() override;

    platform::TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(platform::TBitmap* value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    std::uint32_t ResHandle() const { return 0; }
    void SetResHandle(std::uint32_t) {}

protected:
    void UIStyleChanged() override;
    void PaintPic(TCanvas* canvas, platform::TBitmap* picture) override;
    void PaintText(TCanvas* canvas, const std::string& text) override;
    void PaintFocus(TCanvas* canvas) override;

private:
    std::unique_ptr<platform::TBitmap> glyph_;
    int captionX_ = 0, captionY_ = 0;
    TButtonLayout layout_ = blGlyphLeft;
    int spacing_ = 4;
};

class TdvxControlButton : public TdvxCustomButton {
public:
    explicit TdvxControlButton(platform::TComponent* owner);

    int ThemeID() const { return themeId_; }
    void SetThemeID(int value);
    int PicIndex() const { return picIndex_; }
    void SetPicIndex(int value);
    int PicCount() const { return picCount_; }
    void SetPicCount(int value);

protected:
    void PaintPic(TCanvas* canvas, platform::TBitmap* picture) override;
    void PaintButtonNormal(platform::TBitmap* picture) override;
    void PaintButtonMouseOn(platform::TBitmap* picture) override;
    void PaintButtonMouseDown(platform::TBitmap* picture) override;
    void PaintButtonDisabled(platform::TBitmap* picture) override;

private:
    void LoadFrame(platform::TBitmap* picture, int index);
    int picIndex_ = 0, picCount_ = 0, themeId_ = 0;
};

enum TdvxArrowButtonType { dvxUp, dvxDown };

class TdvxArrowButton : public TdvxCustomButton {
public:
    explicit TdvxArrowButton(platform::TComponent* owner);
    TdvxArrowButtonType Arrow() const { return arrow_; }
    void SetArrow(TdvxArrowButtonType value);

protected:
    void UIStyleChanged() override;
    void PaintPic(TCanvas* canvas, platform::TBitmap* picture) override;
    void PaintText(TCanvas*, const std::string&) override {}

private:
    TdvxArrowButtonType arrow_ = dvxUp;
};

class TdvxToolBarSpeedButton : public platform::TCustomPanel {
public:
    explicit TdvxToolBarSpeedButton(platform::TComponent* owner);
    ~TdvxToolBarSpeedButton() override;
    void Dispatch(TMessage& message) override;

    platform::TBitmap* Glyph() const { return glyph_.get(); }
    // Takes a copy; the next paint shows it.
    void SetGlyph(platform::TBitmap* value) { glyph_->Assign(value); }
    platform::TColor ToColor() const { return toColor_; }
    void SetToColor(platform::TColor value) { toColor_ = value; }
    bool IsMouseOver() const { return mouseOver_; }

protected:
    void PaintWindow(platform::HDC dc) override;

private:
    std::unique_ptr<platform::TBitmap> glyph_;
    platform::TColor toColor_ = platform::clBtnFace;
    bool mouseOver_ = false;
};

}  // namespace skinctrl
