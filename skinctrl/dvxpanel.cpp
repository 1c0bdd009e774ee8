#include "skinctrl/dvxpanel.h"

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

TdvxCustomPanel::TdvxCustomPanel(TComponent* owner) : TdvxControl(owner), picture_(std::make_unique<TPicture>()) {
    picture_->OnChange = [this](TObject* sender) { PictureChanged(sender); };
    SetBevelInner(bvNone);
    SetBevelOuter(bvNone);
}

TdvxCustomPanel::~TdvxCustomPanel() { picture_->OnChange = nullptr; }

void TdvxCustomPanel::SetPicture(TPicture* value) {
    picture_->Assign(value);
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::SetDrawStyle(TdvxDrawStyle value) {
    drawStyle_ = value;
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::SetTransparent(bool value) {
    transparent_ = value;
    if (picture_->Graphic()) ApplyTransparent();
    Refreshed();
}

void TdvxCustomPanel::SetAutoSize(bool value) {
    autoSize_ = value;
    if (picture_->Graphic()) ApplyAutoSize();
}

void TdvxCustomPanel::SetCaptionPosX(int value) {
    captionPosX_ = value;
    Refreshed();
}

void TdvxCustomPanel::SetCaptionPosY(int value) {
    captionPosY_ = value;
    Refreshed();
}

void TdvxCustomPanel::ClearPanel() {
    if (!Canvas()) return;
    Canvas()->Brush()->SetColor(Color());
    if (ParentWindow() && HandleAllocated()) Canvas()->FillRect(ClientRect());
}

void TdvxCustomPanel::PictureChanged(TObject*) {
    if (TGraphic* g = picture_->Graphic(); g && !g->Empty()) {
        if (autoSize_) ApplyAutoSize();
        ApplyTransparent();
    }
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::ApplyAutoSize() {
    if (!autoSize_) return;
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    int w = Width(), h = Height();
    if (Align() != alTop && Align() != alBottom && Align() != alClient) w = g->Width();
    if (Align() != alLeft && Align() != alRight && Align() != alClient) h = g->Height();
    SetBounds(Left(), Top(), w, h);
}

void TdvxCustomPanel::ApplyTransparent() {
    TGraphic* g = picture_->Graphic();
    if (g && g->Transparent() != transparent_) g->SetTransparent(transparent_);
}

void TdvxCustomPanel::Resize() {
    TdvxControl::Resize();
    Refreshed();
}

void TdvxCustomPanel::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) {
        RepaintText(ClientRect());
        Refreshed();
        return;
    }
    TdvxControl::Dispatch(m);
}

void TdvxCustomPanel::PaintBuffer(TCanvas* canvas) {
    TRect client(0, 0, ClientWidth(), ClientHeight());
    TGraphic* g = picture_->Graphic();
    if (g && !g->Empty()) {
        switch (drawStyle_) {
            case dvxStretch: canvas->StretchDraw(client, g); break;
            case dvxTile: TileDraw(canvas, picture_.get(), client); break;
            case dvxNormal: canvas->Draw(0, 0, g); break;
        }
    } else if (!transparent_) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    }
    std::string text = Text();
    if (Trim(text).empty()) return;
    canvas->Brush()->SetStyle(bsClear);
    canvas->SetFont(Font());
    HDC dc = TextDC(canvas);
    if (captionPosX_ == -1 || captionPosY_ == -1) {
        UINT align = Alignment() == taLeftJustify ? DT_LEFT : Alignment() == taRightJustify ? DT_RIGHT : DT_CENTER;
        DrawText(dc, text, &client, DT_SINGLELINE | DT_VCENTER | align);
    } else {
        TRect r(captionPosX_, captionPosY_, captionPosX_, captionPosY_);
        DrawText(dc, text, &r, DT_SINGLELINE | DT_NOCLIP);
    }
}

}  // namespace skinctrl
