// The tree's expand/collapse button bitmaps and its line pattern brush.
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

void TBaseVastTree::SetButtonStyle(TVTButtonStyle value) {
    if (value == buttonStyle_) return;
    buttonStyle_ = value;
    PrepareBitmaps(true, false);
    InvalidateTree();
}

void TBaseVastTree::SetButtonFillMode(TVTButtonFillMode value) {
    if (value == buttonFillMode_) return;
    buttonFillMode_ = value;
    PrepareBitmaps(true, false);
    InvalidateTree();
}

void TBaseVastTree::SetLineStyle(TVTLineStyle value) {
    if (value == lineStyle_) return;
    lineStyle_ = value;
    PrepareBitmaps(false, true);
    InvalidateTree();
}

void TBaseVastTree::DoGetLineStyle(TVTLinePattern& bits) {
    if (OnGetLineStyle) OnGetLineStyle(this, bits);
}

void TBaseVastTree::PrepareBitmaps(bool needButtons, bool needLines) {
    if (needButtons) {
        platform::TColor lineColor = colors_->GetColor(TVTColors::TreeLineColor);
        for (bool plus : {false, true})
            DrawButtonBitmap(plus ? plusBM_.get() : minusBM_.get(), plus, buttonStyle_, buttonFillMode_, Color(), lineColor,
                             Font()->Color());
        // Themed glyphs would be drawn over both here; themes are not available.
    }
    if (needLines) {
        TVTLinePattern bits = lineStyle_ == lsSolid ? SolidPattern : DottedPattern;
        if (lineStyle_ == lsCustomStyle) DoGetLineStyle(bits);
        dottedBrush_.reset(CreateLinePatternBrush(bits));
    }
}

void TBaseVastTree::Notification(platform::TComponent* component, platform::TOperation operation) {
    if (operation == platform::opRemove && component == customCheckImages_) {
        customCheckImages_ = nullptr;
        if (checkImageKind_ == ckCustom) checkImageKind_ = ckLightCheck;
        if (!(ComponentState() & platform::csDestroying)) InvalidateTree();
    }
    if (operation == platform::opRemove && component == images_) images_ = nullptr;
    if (operation == platform::opRemove && header_ && component == header_->Images()) header_->images_ = nullptr;
    if (operation == platform::opRemove && component == stateImages_) stateImages_ = nullptr;
    TCustomControl::Notification(component, operation);
}

}  // namespace treeview
