#pragma once
// The skin layout engine: what every window takes from the skin document in use. Each
// window names its section, its size item and its picture sub-folder and hands one table
// of its skinned controls to a TSkinWindow, which places them, loads their pictures,
// re-reads them after a skin change and gives the window its size and rounded region.
//
// The skin reader is reached through a table that tests replace (a recording reader). An
// item the document lacks keeps the control where and as its window built it, with the
// reader's one warning; a picture that cannot be loaded keeps the control's old picture and
// is reported once.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "libs/morvanalyzeimg/morvanalyzeimg.h"
#include "platform/controls/forms.h"

namespace skinctrl {
class TdvxImageButton;
class TdvxCustomPanel;
class TdvxTrackBar;
}  // namespace skinctrl

// The skin reader as the windows reach it.
struct SkinReader {
    decltype(&::OpenSkinDocument) OpenSkinDocument = ::OpenSkinDocument;
    decltype(&::GetSkinSection) GetSkinSection = ::GetSkinSection;
    decltype(&::GetSkinItem) GetSkinItem = ::GetSkinItem;
    decltype(&::GetSkinImageFolder) GetSkinImageFolder = ::GetSkinImageFolder;
    decltype(&::GetSkinInfo) GetSkinInfo = ::GetSkinInfo;
    decltype(&::GetSkinLastError) GetSkinLastError = ::GetSkinLastError;
};
const SkinReader& ActiveSkinReader();
// nullptr restores the real reader.
void SetSkinReader(const SkinReader* reader);

// The picture folder of the skin in use, always ending in "/".
extern std::string SkinImageFolder;

// Picture states of a button.
enum TSkinState { ssNormal = 0, ssMouseOn = 1, ssMouseDown = 2, ssDisabled = 3 };

// base + ".bmp", "-move.bmp", "-down.bmp" or "-dis.bmp" for states 0 to 3; "" otherwise.
std::string SkinImageName(const std::string& base, int state);
// Joins path pieces with "/": exactly one "/" between two pieces, none added at the end.
std::string JoinSkinPath(const std::string& folder, const std::string& piece);
// The reader's picture folder as the windows use it: blanks and control characters taken
// off both ends, "/" at the end. An empty folder becomes the document's own folder.
std::string NormaliseImageFolder(const std::string& folder, const std::string& documentPath);
// Opens a document and takes its picture folder into SkinImageFolder; false (nothing
// changed, the reader's reason in `error`) when the reader refuses it.
bool OpenSkin(const std::string& documentPath, std::string& error);

// Puts the form at (0, 0) with that size and gives it the rounded region of the corner
// ellipse, redrawn at once. A size below 1 leaves the form as it is.
void SetRoundRectWindow(platform::TCustomForm* form, int width, int height, int cornerWidth, int cornerHeight);
// When (x, y) lies inside the form, lets the system move the window with the mouse.
void StartWindowDrag(int formHeight, int formWidth, int x, int y, platform::TCustomForm* form);

// The bytes of a skin's file; raises EFOpenError for a file that cannot be opened or is no
// regular file (a FIFO or device is refused without waiting on it).
std::vector<platform::BYTE> ReadSkinFile(const std::string& path);
// Where a window's skin warnings go (a missing picture, a picture that does not decode).
// Each different text is reported once. Default: standard error.
void SetSkinReport(std::function<void(const std::string&)> report);
void ReportSkinProblem(const std::string& message);

// How a control takes its item.
enum class TSkinUse {
    Place,        // position, size and visibility
    Button,       // placed; normal, mouse-over and pressed pictures
    Tab,          // placed; normal picture (the window picks which tab shows state 1)
    Panel,        // placed; the picture of state 0 (a background)
    PicturesOnly, // not placed; normal, mouse-over and pressed pictures (a second look of a button)
    Slider,       // not placed; state 0 into a track bar's slider
};

struct SkinEntry {
    const char* item;
    platform::TControl* control;
    TSkinUse use;
};

// One window's life with a skin.
class TSkinWindow {
public:
    TSkinWindow(const char* section, const char* sizeItem, const char* folder);

    // Takes the window's section from the current document.
    void TakeSection();
    // Reads the size item, then places every control of the table in its order.
    void Layout(const std::vector<SkinEntry>& table);
    // Loads the pictures of the table in its order, repainting each control.
    void LoadPictures(const std::vector<SkinEntry>& table);
    // Section again, layout, pictures: after a skin change.
    void Reload(const std::vector<SkinEntry>& table);
    // Gives the form the size and corners of the size item (at creation only).
    void ApplyFrame(platform::TCustomForm* form) const;
    // Gives a form whose window does not exist yet the size item's size, so that its
    // window is made once, at that size (ApplyFrame then only adds the region).
    void SizeBeforeCreation(platform::TCustomForm* form) const;

    // The item's record, or nullptr when the section lacks it.
    const SkinItem* Find(const char* item) const;
    // The picture of an item in a state: SkinImageFolder + sub-folder + SkinImageName.
    std::string PicturePath(const char* item, int state) const;
    // Loads a picture file into a picture slot; false (old picture kept, reported) when it
    // cannot be used.
    static bool LoadPicture(platform::TPicture* slot, const std::string& path);
    // Loads the item's picture of a state into the button's normal slot and repaints it
    // (a disabled button shows its state-3 picture there).
    void ShowButtonState(skinctrl::TdvxImageButton* button, const char* item, int state) const;
    // Enables or disables a button and shows the matching picture.
    void SetButtonEnabled(skinctrl::TdvxImageButton* button, const char* item, bool enabled) const;

    SkinSectionHandle Section() const { return section_; }
    const char* SectionName() const { return sectionName_; }
    const char* Folder() const { return folder_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int CornerWidth() const { return cornerWidth_; }
    int CornerHeight() const { return cornerHeight_; }

private:
    void LoadButton(const SkinEntry& entry) const;
    // Moves a title label that the skin's window buttons would cover to beside them, and
    // back to its own place when the skin leaves that free.
    void KeepTitlesBesideButtons(const std::vector<SkinEntry>& table);
    const char* sectionName_;
    const char* sizeItem_;
    const char* folder_;
    SkinSectionHandle section_ = 0;
    int width_ = 0, height_ = 0, cornerWidth_ = 0, cornerHeight_ = 0;
    // The place each title label had before any skin moved it.
    std::map<platform::TControl*, int> titleHome_;
};
