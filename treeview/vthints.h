#pragma once
// The tree's hint window: measures and paints node hints and the tooltips of cut-off
// cells, with a soft shadow at its right and bottom edges over a copy of the screen.
#include <memory>
#include <string>

#include "platform/controls/forms.h"
#include "platform/graphics/graphics.h"
#include "treeview/vasttrees.h"

namespace treeview {

// Width of the shadow at the right and bottom of a hint (0 without blending).
int HintShadowSize();
// Moves a window of rect's size so that it lies on the desktop: up and left when it
// reaches past the bottom or right, right when it begins left of it.
platform::TRect ClampToDesktop(platform::TRect rect, const platform::TRect& desktop);
// True while no tree hint window exists (also before the first).
bool HintWindowDestroyed();

class TVastTreeHintWindow : public platform::THintWindow {
public:
    explicit TVastTreeHintWindow(platform::TComponent* owner);
    ~TVastTreeHintWindow() override;
    void Dispatch(platform::TMessage& message) override;
    // data points to the tree's TVTHintData; an empty rectangle means no hint.
    platform::TRect CalcHintRect(int maxWidth, const std::string& hint, void* data) override;
    // Shows the hint at rect (screen coordinates), faded or slid in over the screen's copy
    // as the tree's DoGetAnimationType says, in the tree's Animate (on the program clock);
    // the last frame is the still hint.
    void ActivateHint(platform::TRect rect, const std::string& hint) override;
    // Key messages and moves over a frame do not end the hint.
    bool IsHintMsg(const platform::MSG& msg) override;
    const TVTHintData& HintData() const { return hintData_; }
    int TextHeight() const { return textHeight_; }
    // The frame shown: the painted hint with its shadow over the screen's copy (step and
    // stepSize as the hint animation gives them; 0, 0 for a still frame).
    void InternalPaint(int step, int stepSize);
    bool AnimationCallback(int step, int stepSize, void* data);
    platform::TBitmap* Frame() { return targetBuffer_.get(); }

protected:
    void CreateParams(platform::TCreateParams& params) override;
    void Paint() override;

private:
    void DrawShadow(platform::TCanvas* canvas, int width, int height);
    // The hint itself into the draw buffer, width x height (the shadow left out).
    void PaintContent(TBaseVastTree* tree, int width, int height);
    TVTHintData hintData_;
    THintAnimationType animation_ = hatNone;  // how the hint shown last comes in
    bool animating_ = false;                  // while it comes in
    std::unique_ptr<platform::TBitmap> backgroundBuffer_, drawBuffer_, targetBuffer_;
    int textHeight_ = 0;
};

}  // namespace treeview
