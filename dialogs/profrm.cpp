// The media properties dialog.
#include "dialogs/profrm.h"

#include <cstdio>

using namespace platform;

TfrmPro* frmPro = nullptr;

namespace {

// A fixed text field read up to its width, terminator or not.
std::string FieldText(const char* field, std::size_t width) {
    std::size_t n = 0;
    while (n < width && field[n]) ++n;
    return std::string(field, n);
}

}  // namespace

MediaProperties DescribeMedia(const jobmodel::MediaItem& item) {
    MediaProperties p;
    p.name = FieldText(item.name, sizeof item.name);
    p.length = FieldText(item.row.originalLength, sizeof item.row.originalLength);
    const MediaInfo* info = item.mediaInfo;
    if (!info) return p;
    p.resolution = std::to_string(info->width) + "x" + std::to_string(info->height);
    p.videoBitrate = std::to_string(info->videoBitrate) + " kbps";
    // snprintf's "%.2f" always writes a point, whatever the user's locale says: the
    // program never switches LC_NUMERIC away from "C".
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.2f fps", double(info->frameRate));
    p.frameRate = rate;
    p.sampleRate = std::to_string(info->audioSampleRate) + " Hz";
    p.channels = std::to_string(info->audioChannels) + " Channel";
    p.audioBitrate = std::to_string(info->audioBitrate) + " kbps";
    return p;
}

namespace {

TLabel* AddLabel(TComponent* owner, TWinControl* parent, const char* caption, int left, int top) {
    auto* label = new TLabel(owner);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

skinctrl::TdvxEdit* AddField(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* edit = new skinctrl::TdvxEdit(owner);
    edit->SetName(name);
    edit->SetParent(parent);
    edit->SetBounds(left, top, width, 22);
    edit->SetReadOnly(true);
    edit->SetText("");
    return edit;
}

}  // namespace

TfrmPro::TfrmPro(TComponent* owner)
    : TSkinnedForm(owner, "properties", "proFormCreate", "pro", "proPanel", 460, 380) {
    SetCaption("Properties");
    mainLabel = AddLabel(this, background, "Properties", 16, 12);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});
    AddLabel(this, background, "Name", 24, 56);
    Text_N = AddField(this, background, "Text_N", 100, 52, 336);
    AddLabel(this, background, "Length", 24, 88);
    Text_L = AddField(this, background, "Text_L", 100, 84, 120);
    AddLabel(this, background, "Video Information:", 24, 128);
    AddLabel(this, background, "Resolution", 24, 160);
    Text_R = AddField(this, background, "Text_R", 100, 156, 110);
    AddLabel(this, background, "Bit Rate", 24, 192);
    Text_vb = AddField(this, background, "Text_vb", 100, 188, 110);
    AddLabel(this, background, "Frame Rate", 24, 224);
    Text_F = AddField(this, background, "Text_F", 100, 220, 110);
    AddLabel(this, background, "Audio Information:", 240, 128);
    AddLabel(this, background, "Sample Rate", 240, 160);
    Text_S = AddField(this, background, "Text_S", 326, 156, 110);
    AddLabel(this, background, "Channel", 240, 192);
    Text_C = AddField(this, background, "Text_C", 326, 188, 110);
    AddLabel(this, background, "Bit Rate", 240, 224);
    Text_AB = AddField(this, background, "Text_AB", 326, 220, 110);
    btnOK = AddButton("btnOK", 320, 330, 110, 36);
    btnClose = AddButton("btnClose", 430, 8, 22, 22);
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnClose->OnClick = [this](TObject* s) { btnOKClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    TakeSkin();
}

void TfrmPro::FormShow(TObject*) {
    MediaProperties p = item_ ? DescribeMedia(*item_) : MediaProperties{};
    Text_N->SetText(p.name);
    Text_L->SetText(p.length);
    Text_R->SetText(p.resolution);
    Text_vb->SetText(p.videoBitrate);
    Text_F->SetText(p.frameRate);
    Text_S->SetText(p.sampleRate);
    Text_C->SetText(p.channels);
    Text_AB->SetText(p.audioBitrate);
}

void TfrmPro::btnOKClick(TObject*) {
    if (IsModal())
        SetModalResult(mrOk);
    else
        Close();
}
