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

}  // namespace skinctrl
