#pragma once
// The picture panel: a picture drawn unscaled, stretched or tiled, optionally over what its
// parent paints, with a caption placed by Alignment or at a point. TdvxImagePanel is the one
// the windows place (backgrounds, title strips, labels over pictures; a background's
// mouse-down starts the window drag). The track bar's slider and the group boxes build on it.
#include <memory>

#include "platform/controls/extctrls.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

enum TdvxDrawStyle { dvxNormal, dvxStretch, dvxTile };

class TdvxCustomPanel : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxCustomPanel(platform::TComponent* owner);
    ~TdvxCustomPanel() override;
    void Dispatch(platform::TMessage& message) override;

    platform::TPicture* Picture() const { return picture_.get(); }
    void SetPicture(platform::TPicture* value);
    TdvxDrawStyle DrawStyle() const { return drawStyle_; }
    void SetDrawStyle(TdvxDrawStyle value);
    bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    int CaptionPosX() const { return captionPosX_; }
    void SetCaptionPosX(int value);
    int CaptionPosY() const { return captionPosY_; }
    void SetCaptionPosY(int value);

protected:
    virtual void ClearPanel();
    virtual void RepaintText(const platform::TRect&) {}
    virtual void PictureChanged(platform::TObject* sender);
    void Resize() override;
    bool IsTransparent() const override { return transparent_; }
    void PaintBuffer(platform::TCanvas* canvas) override;
    void ApplyAutoSize();
    void ApplyTransparent();

    std::unique_ptr<platform::TPicture> picture_;
    bool autoSize_ = false;
    bool transparent_ = false;
    int captionPosX_ = -1, captionPosY_ = -1;
    TdvxDrawStyle drawStyle_ = dvxNormal;
};

class TdvxImagePanel : public TdvxCustomPanel {
public:
    explicit TdvxImagePanel(platform::TComponent* owner) : TdvxCustomPanel(owner) {}
};

// The collapsible panel: a title strip with a caption and a push/pop button that rolls the
// panel up to its strip and down again in 15-pixel steps, with messages handled between
// steps. A Push or Pop asked for while the panel rolls is ignored.
class TdvxPanel : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxPanel(platform::TComponent* owner);
    ~TdvxPanel() override;

    platform::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(platform::TColor value);
    platform::TColor CaptionFontColor() const { return captionFontColor_; }
    void SetCaptionFontColor(platform::TColor value);
    bool ShowButton() const { return showButton_; }
    void SetShowButton(bool value);
    // The open height: a closed panel keeps its rolled-up height and opens to it.
    int OpenHeight() const { return openHeight_; }
    void SetHeight2(int value);
    // Raises EInvalidOperation for a panel aligned alClient, alLeft or alRight.
    void Push();
    void Pop();
    bool GetPushed() const { return !expanded_; }
    bool IsAnimating() const { return animating_; }
    int StripHeight() const;
    void AlignControls(platform::TControl* control, platform::TRect& rect) override;

    platform::TNotifyEvent OnPush;
    platform::TNotifyEvent OnPop;

protected:
    void UIStyleChanged() override;
    void MouseMove(platform::TShiftState shift, int x, int y) override;
    void MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void Resize() override;
    void PaintBuffer(platform::TCanvas* canvas) override;

private:
    bool ButtonShown() const;
    // Draws the button frame for the cursor's place now; sets the hover flag.
    void PaintButton(platform::TCanvas* canvas);
    void Roll(int target, int step);

    std::unique_ptr<platform::TBitmap> strip_;
    bool showButton_ = true;
    bool hover_ = false;
    bool expanded_ = true;
    platform::TColor borderColor_ = platform::clBlack;
    platform::TColor captionFontColor_ = platform::clBlack;
    int openHeight_ = 100;
    bool animating_ = false;
};

}  // namespace skinctrl
