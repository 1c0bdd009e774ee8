// The decoration: a text or a JPEG picture over the video, linked to a web address, and
// the frame over the preview browser that shows where it goes. The frame's rectangle is
// kept relative to the browser, whose size the output scales are taken from, so the
// decoration lands in the output where the frame showed it.
#include <algorithm>
#include <exception>

#include "dialogs/customfrm.h"
#include "jobmodel/mediaitem.h"
#include "platform/core/files.h"
#include "platform/core/sysutils.h"

using namespace platform;
using FrameBox = customrules::Rect;

namespace customrules {

int FrameZone(int x, int y, int width, int height) {
    if (x < 0 || y < 0 || x >= width || y >= height) return -1;
    if (x < 3) return 3;
    if (x >= width - 2) return 4;
    if (y < 3) return 1;
    if (y >= height - 2) return 2;
    return 0;
}

Rect ResizeFrame(Rect r, int edge, int x, int y, int boundsWidth, int boundsHeight) {
    switch (edge) {
    case 1:  // top
        if (r.top <= 0) {
            r.top = 0;
        } else if (r.height < 10) {
            r.height = 10;
        } else if (y < 0) {
            int grow = std::min(-y, r.top);  // never above the browser
            r.top -= grow, r.height += grow;
        } else if (y > 0 && r.height > 10) {
            int shrink = std::min(y, r.height - 10);
            r.top += shrink, r.height -= shrink;
        }
        break;
    case 2: {  // bottom
        if (r.top + r.height > boundsHeight) {
            r.height = boundsHeight - r.top;
        } else if (r.height < 10) {
            r.height = 10;
        } else {
            int s = y - r.height;
            if (s < 0 && r.height > 10) r.height = std::max(10, r.height + s);
            if (s > 0) r.height = std::min(r.height + s, boundsHeight - r.top);
        }
        break;
    }
    case 3:  // left
        if (r.left <= 0) {
            r.left = 0;
        } else if (r.width < 10) {
            r.width = 10;
        } else if (x < 0) {
            int grow = std::min(-x, r.left);
            r.left -= grow, r.width += grow;
        } else if (x > 0 && r.width > 10) {
            int shrink = std::min(x, r.width - 10);
            r.left += shrink, r.width -= shrink;
        }
        break;
    case 4: {  // right
        if (r.left + r.width > boundsWidth) {
            r.width = boundsWidth - r.left;
        } else if (r.width < 10) {
            r.width = 10;
        } else {
            int s = x - r.width;
            if (s < 0 && r.width > 10) r.width = std::max(10, r.width + s);
            if (s > 0) r.width = std::min(r.width + s, boundsWidth - r.left);
        }
        break;
    }
    default: break;
    }
    return r;
}

Rect MoveFrame(Rect r, int dx, int dy, Rect bounds) {
    r.left += dx;
    if (dx < 0 && r.left < bounds.left) r.left = bounds.left + 5;
    if (dx >= 0 && r.left + r.width > bounds.left + bounds.width) r.left = bounds.left + bounds.width - r.width - 5;
    r.top += dy;
    if (dy < 0 && r.top < bounds.top) r.top = bounds.top + 5;
    if (dy >= 0 && r.top + r.height > bounds.top + bounds.height) r.top = bounds.top + bounds.height - r.height - 5;
    return r;
}

}  // namespace customrules

FrameBox TfrmCustom::FrameRect() const {
    return {imgPanel->Left() - webBrowser->Left(), imgPanel->Top() - webBrowser->Top(), imgPanel->Width(),
            imgPanel->Height()};
}

void TfrmCustom::SetFrameRect(const FrameBox& r) {
    imgPanel->SetBounds(webBrowser->Left() + r.left, webBrowser->Top() + r.top, r.width, r.height);
}

int TfrmCustom::UpdateDecorationControls() {
    jobmodel::CustomSetting& working = Working();
    bool on = addCredits->Checked();
    text->SetEnabled(on);
    img->SetEnabled(on);
    urlValue->SetEnabled(on);
    bool withText = on && text->Checked(), withPicture = on && !text->Checked() && img->Checked();
    textValue->SetEnabled(withText);
    decoFont->SetEnabled(withText);
    imgValue->SetEnabled(withPicture);
    decoOpen->SetEnabled(withPicture);
    if (withText) working.FileType = 2;
    if (withPicture) working.FileType = 1;
    working.IsDecorate = on ? 1 : 0;
    return working.IsDecorate;
}

void TfrmCustom::LoadFontsAndFrame() {
    jobmodel::CustomSetting& w = Working();
    auto load = [](TFontDialog* dialog, const char* face, int size, jobmodel::RGBColor colour) {
        dialog->Font()->SetName(face);
        dialog->Font()->SetSize(size);
        dialog->Font()->SetColor(TColor(colour.r | colour.g << 8 | colour.b << 16));
    };
    load(decoFontDialog, w.Dec_fontType, w.Dec_fontSize, w.Dec_fontColor);
    Dec_text->Font()->Assign(decoFontDialog->Font());
    load(headFontDialog, w.Head_fontType, w.Head_fontSize, w.Head_fontColor);
    load(tailFontDialog, w.Tail_fontType, w.Tail_fontSize, w.Tail_fontColor);
    if (!addCredits->Checked()) {
        imgPanel->SetVisible(false);
        return;
    }
    imgPanel->SetVisible(true);
    if (text->Checked()) {
        Dec_text->SetVisible(true);
        Image->SetVisible(false);
        SetFrameRect({w.Dec_text_X, w.Dec_text_Y, w.Dec_text_Width, w.Dec_text_Height});
    } else if (img->Checked()) {
        Image->SetBounds(0, 0, w.Dec_img_Width, w.Dec_img_Height);
        Image->SetVisible(true);
        Dec_text->SetVisible(false);
        SetFrameRect({w.Dec_img_X, w.Dec_img_Y, w.Dec_img_Width, w.Dec_img_Height});
    } else {
        Dec_text->SetVisible(false);
        Image->SetVisible(false);
        SetFrameRect({0, 0, 0, 0});
    }
}

void TfrmCustom::addCreditsClick(TObject*) {
    UpdateDecorationControls();
    LoadFontsAndFrame();
}

void TfrmCustom::textClick(TObject*) {
    UpdateDecorationControls();
    LoadFontsAndFrame();
    std::string content = jobmodel::FieldText(Working().Dec_textContent);
    if (!content.empty()) Dec_text->SetCaption(content);
}

void TfrmCustom::imgClick(TObject*) {
    UpdateDecorationControls();
    LoadFontsAndFrame();
    std::string path = jobmodel::FieldText(Working().Dec_imagePath);
    if (path.empty() || !FileExists(path)) return;
    try {
        Image->Picture()->LoadFromFile(path);
    } catch (const std::exception&) {
        // The picture stays empty; choosing it again says why.
    }
    Image->Invalidate();
}

void TfrmCustom::textValueChange(TObject*) {
    jobmodel::CopyTextField(Working().Dec_textContent, textValue->Text().c_str());
    // While the row is shown its text frame comes from its record, not from the label.
    if (showing_)
        Dec_text->SetCaption(textValue->Text());
    else
        UpdateDecorationText();
}

void TfrmCustom::UpdateDecorationText() {
    jobmodel::CustomSetting& w = Working();
    std::string content = textValue->Text();
    Dec_text->SetCaption(content);
    FrameBox frame = FrameRect();
    if (content.empty())
        frame = {1, 1, 0, 0};
    else
        frame.width = Dec_text->Width(), frame.height = Dec_text->Height();
    SetFrameRect(frame);
    w.Dec_text_Width = Dec_text->Width();
    w.Dec_text_Height = Dec_text->Height();
}

void TfrmCustom::urlValueChange(TObject*) {
    jobmodel::CopyTextField(Working().Dec_URL, Trim(urlValue->Text()).c_str());
}

void TfrmCustom::decoFontClick(TObject*) {
    if (decoFontDialog->Execute()) {
        jobmodel::CustomSetting& w = Working();
        TFont* font = decoFontDialog->Font();
        TColor c = font->Color();
        w.Dec_fontColor = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
        w.Dec_fontSize = font->Size();
        jobmodel::CopyTextField(w.Dec_fontType, font->Name().c_str());
        Dec_text->Font()->Assign(font);
        FrameBox frame = FrameRect();
        frame.width = Dec_text->Width(), frame.height = Dec_text->Height();
        SetFrameRect(frame);
    }
    RefreshPreview();
}

void TfrmCustom::decoOpenClick(TObject*) {
    std::string folder = GetCurrentDir();
    if (decoOpenDialog->Execute()) {
        std::string path = Trim(decoOpenDialog->FileName());
        // The path becomes the decoration's only once its picture loaded.
        if (ShowDecorationImage(path)) {
            jobmodel::CustomSetting& w = Working();
            imgValue->SetText(path);
            jobmodel::CopyTextField(w.Dec_imagePath, path.c_str());
            FrameBox frame = FrameRect();
            w.Dec_img_X = frame.left, w.Dec_img_Y = frame.top;
            w.Dec_img_Width = frame.width, w.Dec_img_Height = frame.height;
        }
    }
    SetCurrentDir(folder);
}

bool TfrmCustom::ShowDecorationImage(const std::string& path) {
    TPicture picture;
    try {
        picture.LoadFromFile(path);
    } catch (const std::exception& e) {
        Application->MessageBox("The picture \"" + path + "\" cannot be shown: " + e.what(), "Customize",
                                MB_OK | MB_ICONERROR);
        return false;
    }
    int w = 100, h = 100;
    if (item_ && item_->customSetting && item_->customSetting->Dec_Width != 0 && item_->customSetting->Dec_Height != 0)
        w = item_->customSetting->Dec_Width, h = item_->customSetting->Dec_Height;
    SetFrameRect({0, 0, w, h});
    Image->SetBounds(0, 0, w, h);
    Image->Picture()->Assign(&picture);
    return true;
}

void TfrmCustom::FrameMouseDown(int x, int y) {
    int zone = customrules::FrameZone(x, y, imgPanel->Width(), imgPanel->Height());
    if (zone < 0) return;
    if (zone > 0) {
        resizing_ = true;
        edge_ = zone;
        return;
    }
    frameDrag_ = true;
    pressX_ = x, pressY_ = y;
    // The frame as pressed is the picture's place; a text frame is stored on release.
    if (img->Checked() && !text->Checked()) {
        FrameBox frame = FrameRect();
        jobmodel::CustomSetting& w = Working();
        w.Dec_img_X = frame.left, w.Dec_img_Y = frame.top, w.Dec_img_Width = frame.width, w.Dec_img_Height = frame.height;
    }
}

void TfrmCustom::FrameMouseMove(int x, int y) {
    int zone = customrules::FrameZone(x, y, imgPanel->Width(), imgPanel->Height());
    if (zone > 0) {
        edge_ = zone;
        Screen->SetCursor(zone >= 3 ? crSizeWE : crSizeNS);
    } else {
        Screen->SetCursor(crDefault);
        if (zone == 0 && frameDrag_) MoveDecorationFrame(pressX_, pressY_, x, y);
    }
    if (resizing_) {
        FrameBox r = customrules::ResizeFrame(FrameRect(), edge_, x, y, webBrowser->Width(), webBrowser->Height());
        SetFrameRect(r);
        Image->SetBounds(0, 0, r.width, r.height);
    }
}

void TfrmCustom::FrameMouseUp() {
    resizing_ = frameDrag_ = false;
    edge_ = 0;
    // The rectangle of the decoration shown takes the frame.
    FrameBox frame = FrameRect();
    jobmodel::CustomSetting& w = Working();
    if (text->Checked()) {
        w.Dec_text_X = frame.left, w.Dec_text_Y = frame.top;
        w.Dec_text_Width = frame.width, w.Dec_text_Height = frame.height;
    } else if (img->Checked()) {
        w.Dec_img_X = frame.left, w.Dec_img_Y = frame.top;
        w.Dec_img_Width = frame.width, w.Dec_img_Height = frame.height;
    }
}

void TfrmCustom::TextMouseDown(int x, int y) {
    textDrag_ = true;
    pressX_ = x, pressY_ = y;
}

void TfrmCustom::TextMouseMove(int x, int y) {
    if (textDrag_) MoveDecorationFrame(pressX_, pressY_, x, y);
}

void TfrmCustom::TextMouseUp() {
    textDrag_ = false;
    FrameMouseUp();  // the text's new place, as for a drag by the frame
}

void TfrmCustom::MoveDecorationFrame(int pressX, int pressY, int x, int y) {
    FrameBox bounds{0, 0, webBrowser->Width(), webBrowser->Height()};
    SetFrameRect(customrules::MoveFrame(FrameRect(), x - pressX, y - pressY, bounds));
}
