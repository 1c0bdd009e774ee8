// The skin layout engine.
#include "formbase/skinlayout.h"


#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <cstdio>
#include <mutex>
#include <set>

#include "platform/controls/stdctrls.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/messages.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxtrackbar.h"

using namespace platform;

namespace {

// The top strip of a window, where its title and window buttons stand, and the room a title
// keeps from a button beside it.
constexpr int kTitleStripHeight = 40;
constexpr int kTitleGap = 8;

const SkinReader kRealReader{};
std::atomic<const SkinReader*> gReader{&kRealReader};

std::mutex gReportLock;
std::function<void(const std::string&)> gReport;
std::set<std::string> gReported;

bool Blank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; }

}  // namespace

std::string SkinImageFolder;

const SkinReader& ActiveSkinReader() { return *gReader.load(); }
void SetSkinReader(const SkinReader* reader) { gReader = reader ? reader : &kRealReader; }

void SetSkinReport(std::function<void(const std::string&)> report) {
    std::lock_guard<std::mutex> guard(gReportLock);
    gReport = std::move(report);
    gReported.clear();
}

void ReportSkinProblem(const std::string& message) {
    std::function<void(const std::string&)> report;
    {
        std::lock_guard<std::mutex> guard(gReportLock);
        if (!gReported.insert(message).second) return;
        report = gReport;
    }
    if (report)
        report(message);
    else
        std::fprintf(stderr, "lumacast: %s\n", message.c_str());
}

std::string SkinImageName(const std::string& base, int state) {
    static const char* const kSuffixes[] = {".bmp", "-move.bmp", "-down.bmp", "-dis.bmp"};
    if (state < ssNormal || state > ssDisabled) return "";
    return base + kSuffixes[state];
}

std::string JoinSkinPath(const std::string& folder, const std::string& piece) {
    if (folder.empty()) return piece;
    if (piece.empty()) return folder;
    std::string joined = folder;
    while (joined.size() > 1 && joined.back() == '/') joined.pop_back();
    std::size_t start = 0;
    while (start < piece.size() && piece[start] == '/') ++start;
    if (joined != "/") joined += '/';
    return joined + piece.substr(start);
}

std::string NormaliseImageFolder(const std::string& folder, const std::string& documentPath) {
    std::size_t first = 0, last = folder.size();
    while (first < last && Blank(folder[first])) ++first;
    while (last > first && Blank(folder[last - 1])) --last;
    std::string result = folder.substr(first, last - first);
    if (result.empty()) {
        std::size_t slash = documentPath.rfind('/');
        result = slash == std::string::npos ? std::string("./") : documentPath.substr(0, slash + 1);
    }
    if (result.back() != '/') result += '/';
    return result;
}

bool OpenSkin(const std::string& documentPath, std::string& error) {
    const SkinReader& reader = ActiveSkinReader();
    if (reader.OpenSkinDocument(documentPath.c_str()) != 0) {
        const char* why = reader.GetSkinLastError();
        error = why && *why ? why : documentPath + ": not a skin document";
        return false;
    }
    const char* folder = nullptr;
    reader.GetSkinImageFolder(&folder);
    SkinImageFolder = NormaliseImageFolder(folder ? folder : "", documentPath);
    return true;
}

void SetRoundRectWindow(TCustomForm* form, int width, int height, int cornerWidth, int cornerHeight) {
    if (!form || width < 1 || height < 1) return;
    form->SetBounds(0, 0, width, height);
    SetWindowRgn(form->Handle(), CreateRoundRectRgn(0, 0, width, height, cornerWidth, cornerHeight), TRUE);
}

void StartWindowDrag(int formHeight, int formWidth, int x, int y, TCustomForm* form) {
    if (!form || x < 0 || y < 0 || x >= formWidth || y >= formHeight) return;
    ReleaseCapture();
    SendMessage(form->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

TSkinWindow::TSkinWindow(const char* section, const char* sizeItem, const char* folder)
    : sectionName_(section), sizeItem_(sizeItem), folder_(folder) {}

void TSkinWindow::TakeSection() { section_ = ActiveSkinReader().GetSkinSection(sectionName_); }

const SkinItem* TSkinWindow::Find(const char* item) const {
    const SkinItem* record = ActiveSkinReader().GetSkinItem(section_, item);
    if (!record || record->Reserved == kSkinItemNotFound) return nullptr;
    return record;
}

void TSkinWindow::Layout(const std::vector<SkinEntry>& table) {
    if (const SkinItem* size = Find(sizeItem_)) {
        width_ = size->Width;
        height_ = size->Height;
        cornerWidth_ = size->Left;
        cornerHeight_ = size->Top;
    }
    for (const SkinEntry& entry : table) {
        if (!entry.control || entry.use == TSkinUse::PicturesOnly || entry.use == TSkinUse::Slider) continue;
        const SkinItem* record = Find(entry.item);
        if (!record) continue;  // the reader has said so; the control keeps its place
        entry.control->SetVisible(record->Visible != 0);
        entry.control->SetBounds(record->Left, record->Top, record->Width, record->Height);
    }
    KeepTitlesBesideButtons(table);
}

std::vector<BYTE> ReadSkinFile(const std::string& path) {
    // A FIFO or device named where a skin's picture was expected is refused at once
    // instead of waiting for ever for a writer.
    std::vector<BYTE> bytes;
    if (!ReadRegularFile(path, bytes)) {
        const int error = errno;
        throw EFOpenError("Cannot open file \"" + path + "\". " +
                          (error == EINVAL ? std::string("Not a regular file") : std::string(std::strerror(error))));
    }
    return bytes;
}

void TSkinWindow::KeepTitlesBesideButtons(const std::vector<SkinEntry>& table) {
    // A skin may put the window buttons at the left, where the windows write their titles.
    // The titles are the labels in the window's top strip, on the window's panels; the
    // buttons count where they stand in the window, whichever panel holds them.
    auto onScreen = [](TControl* c) {
        const TPoint p = c->ClientToScreen(TPoint(0, 0));
        return TRect(p.x, p.y, p.x + c->Width(), p.y + c->Height());
    };
    std::vector<TRect> covering;
    std::set<TWinControl*> containers;
    for (const SkinEntry& entry : table) {
        if (!entry.control) continue;
        if (entry.use == TSkinUse::Button && entry.control->Visible() && entry.control->Top() < kTitleStripHeight)
            covering.push_back(onScreen(entry.control));
        if (auto* panel = dynamic_cast<TWinControl*>(entry.control)) containers.insert(panel);
        if (entry.control->Parent()) containers.insert(entry.control->Parent());
    }
    for (TWinControl* container : containers)
        for (TControl* child : skinctrl::ChildControls(container)) {
            auto* label = dynamic_cast<TLabel*>(child);
            if (!label || label->Top() >= kTitleStripHeight) continue;
            const int home = titleHome_.try_emplace(label, label->Left()).first->second;
            TRect place = onScreen(label);
            const int toHome = home - label->Left();
            place.left += toHome;
            place.right += toHome;
            // Past every button it meets, in as many steps as there are buttons.
            int shift = 0;
            for (std::size_t step = 0; step <= covering.size(); ++step) {
                auto hit = std::find_if(covering.begin(), covering.end(), [&](const TRect& b) {
                    return place.left < b.right && b.left < place.right && place.top < b.bottom && b.top < place.bottom;
                });
                if (hit == covering.end()) break;
                const int by = hit->right + kTitleGap - place.left;
                place.left += by;
                place.right += by;
                shift += by;
            }
            if (label->Left() != home + shift) label->SetLeft(home + shift);
        }
}

std::string TSkinWindow::PicturePath(const char* item, int state) const {
    const SkinItem* record = Find(item);
    if (!record || !record->Image || !*record->Image) return "";
    return JoinSkinPath(JoinSkinPath(SkinImageFolder, folder_), SkinImageName(record->Image, state));
}

bool TSkinWindow::LoadPicture(TPicture* slot, const std::string& path) {
    if (!slot || path.empty()) return false;
    try {
        // The picture kind by the extension, as a picture file is loaded.
        std::string ext = std::filesystem::path(path).extension().string();
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        std::unique_ptr<TGraphic> graphic;
        if (ext == ".bmp") graphic = std::make_unique<TBitmap>();
        else if (ext == ".jpg" || ext == ".jpeg") graphic = std::make_unique<TJPEGImage>();
        else if (ext == ".png") graphic = std::make_unique<TPngImage>();
        else if (ext == ".ico") graphic = std::make_unique<TIcon>();
        const std::vector<BYTE> bytes = ReadSkinFile(path);
        if (!graphic) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
        if (ext == ".bmp" && (!slot->Graphic() || dynamic_cast<TBitmap*>(slot->Graphic()))) {
            // Straight into the slot's own bitmap (kept as it was when the bytes do not decode):
            // no copy of a picture that may be a megabyte or two.
            slot->Bitmap()->LoadFromBytes(bytes);
            return true;
        }
        graphic->LoadFromBytes(bytes);
        slot->SetGraphic(graphic.get());
        return true;
    } catch (const std::exception& e) {
        ReportSkinProblem(std::string("skin picture not used: ") + e.what());
        return false;
    }
}

void TSkinWindow::LoadButton(const SkinEntry& entry) const {
    auto* button = dynamic_cast<skinctrl::TdvxImageButton*>(entry.control);
    if (!button) return;
    LoadPicture(button->PicNormal(), PicturePath(entry.item, ssNormal));
    LoadPicture(button->PicMouseOn(), PicturePath(entry.item, ssMouseOn));
    LoadPicture(button->PicMouseDown(), PicturePath(entry.item, ssMouseDown));
    button->Invalidate();
}

void TSkinWindow::LoadPictures(const std::vector<SkinEntry>& table) {
    for (const SkinEntry& entry : table) {
        if (!entry.control) continue;
        switch (entry.use) {
            case TSkinUse::Place: break;
            case TSkinUse::Button:
            case TSkinUse::PicturesOnly: LoadButton(entry); break;
            case TSkinUse::Tab:
                if (auto* button = dynamic_cast<skinctrl::TdvxImageButton*>(entry.control)) {
                    LoadPicture(button->PicNormal(), PicturePath(entry.item, ssNormal));
                    button->Invalidate();
                }
                break;
            case TSkinUse::Panel:
                if (auto* panel = dynamic_cast<skinctrl::TdvxCustomPanel*>(entry.control)) {
                    LoadPicture(panel->Picture(), PicturePath(entry.item, ssNormal));
                    panel->Invalidate();
                }
                break;
            case TSkinUse::Slider:
                if (auto* bar = dynamic_cast<skinctrl::TdvxTrackBar*>(entry.control)) {
                    LoadPicture(bar->GetSliderImage(), PicturePath(entry.item, ssNormal));
                    bar->Invalidate();
                }
                break;
        }
    }
}

void TSkinWindow::Reload(const std::vector<SkinEntry>& table) {
    TakeSection();
    Layout(table);
    LoadPictures(table);
}

void TSkinWindow::ApplyFrame(TCustomForm* form) const {
    SetRoundRectWindow(form, width_, height_, cornerWidth_, cornerHeight_);
}

void TSkinWindow::SizeBeforeCreation(TCustomForm* form) const {
    if (form && !form->HandleAllocated() && width_ > 0 && height_ > 0) form->SetBounds(0, 0, width_, height_);
}

void TSkinWindow::ShowButtonState(skinctrl::TdvxImageButton* button, const char* item, int state) const {
    if (!button) return;
    LoadPicture(button->PicNormal(), PicturePath(item, state));
    button->Invalidate();
}

void TSkinWindow::SetButtonEnabled(skinctrl::TdvxImageButton* button, const char* item, bool enabled) const {
    if (!button) return;
    button->SetEnabled(enabled);
    ShowButtonState(button, item, enabled ? ssNormal : ssDisabled);
}
