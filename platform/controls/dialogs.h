#pragma once
// Common dialogs: open and save, folder browsing (SHBrowseForFolderA), colours and fonts.
// Each is a modal form of this layer made of its own controls and usable by keyboard alone
// (Tab moves, Enter accepts, Escape cancels). None of them changes the current directory.
//
// DialogHandler, when set, answers every dialog instead of showing it (tests of callers set
// it, as they set Application->MessageBoxHandler): it gets the dialog, may fill in its
// result (FileName, Files, Color, Font, Folder) and returns whether the user accepted.
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/filectrl.h"
#include "platform/controls/stdctrls.h"

namespace platform {

class TCommonDialog;
using TDialogHandler = std::function<bool(TCommonDialog& dialog)>;
extern TDialogHandler DialogHandler;

class TCommonDialog : public TComponent {
public:
    explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
    // Shows the dialog; true when the user accepted it.
    virtual bool Execute();
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value) { title_ = value; }
    // The form while the dialog shows (null otherwise): tests and hooks drive it.
    TForm* Form() const { return form_; }

    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

protected:
    // Builds the form (owned by the dialog while it shows); fills in the result on OK.
    virtual TForm* CreateForm() = 0;
    virtual void Accepted() {}
    TForm* form_ = nullptr;

private:
    std::string title_;
};

enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofAllowMultiSelect = 1u << 6,
    ofPathMustExist = 1u << 8,
    ofFileMustExist = 1u << 9,
    ofCreatePrompt = 1u << 10,
    ofEnableSizing = 1u << 20,
};
using TOpenOptions = unsigned;

class TOpenDialog : public TCommonDialog {
public:
    explicit TOpenDialog(TComponent* owner);
    ~TOpenDialog() override;
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& value) { fileName_ = value; }
    // The chosen files, full paths, in the file list's order.
    TStrings* Files() const { return files_; }
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& value) { filter_ = value; }
    // 1-based, as the filter's entries are counted.
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int value) { filterIndex_ = value; }
    const std::string& InitialDir() const { return initialDir_; }
    void SetInitialDir(const std::string& value) { initialDir_ = value; }
    const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const std::string& value) { defaultExt_ = value; }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions value) { options_ = value; }
    bool IsSave() const { return save_; }

protected:
    TForm* CreateForm() override;
    // The OK button: takes what the user typed or chose; false keeps the dialog open.
    bool Accept();
    bool save_ = false;

private:
    std::string fileName_;
    TStrings* files_ = nullptr;
    std::string filter_;
    int filterIndex_ = 1;
    std::string initialDir_;
    std::string defaultExt_;
    TOpenOptions options_ = ofHideReadOnly;
    TDirectoryListBox* dirs_ = nullptr;
    TFileListBox* list_ = nullptr;
    TEdit* nameEdit_ = nullptr;
    TFilterComboBox* types_ = nullptr;
    void Navigate(const std::string& folder);
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {
        save_ = true;
        SetOptions(ofHideReadOnly | ofOverwritePrompt);
    }
};

// The colour dialog: basic colours and sixteen custom ones, or red, green and blue typed.
// CustomColors holds "ColorA=..." to "ColorP=..." with the colour as "%.8X" (an empty or
// "FFFFFFFF" value is an unused slot).
class TColorDialog : public TCommonDialog {
public:
    explicit TColorDialog(TComponent* owner);
    ~TColorDialog() override;
    TColor Color() const { return color_; }
    void SetColor(TColor value) { color_ = value; }
    TStrings* CustomColors() const { return customColors_; }

protected:
    TForm* CreateForm() override;
    void Accepted() override;

private:
    TColor color_ = clBlack;
    TStrings* customColors_ = nullptr;
    class TSwatches;
    TSwatches* basic_ = nullptr;
    TSwatches* custom_ = nullptr;
    TEdit* rgb_[3] = {};
    TColor current_ = clBlack;
    void Show(TColor c, bool fromEdits);
};

// The font dialog: a family (fontconfig's installed families), a size, bold, italic,
// underline and the colour (the sixteen standard colours, the font's own colour as "Custom"
// when it is none of them, and "Custom..." that asks the colour dialog). A face that is not
// installed shows as the family drawn in its place; left so, the font keeps its name.
class TFontDialog : public TCommonDialog {
public:
    explicit TFontDialog(TComponent* owner);
    ~TFontDialog() override;
    TFont* Font() const { return font_; }
    void SetFont(TFont* value) { font_->Assign(value); }

protected:
    TForm* CreateForm() override;
    void Accepted() override;

private:
    TFont* font_ = nullptr;
    TListBox* families_ = nullptr;
    TEdit* family_ = nullptr;
    TEdit* size_ = nullptr;
    TCheckBox* bold_ = nullptr;
    TCheckBox* italic_ = nullptr;
    TCheckBox* underline_ = nullptr;
    TCustomComboBox* colors_ = nullptr;
    TControl* sample_ = nullptr;
    std::vector<TColor> colorValues_;  // per entry of colors_; the last, "Custom...", has none
    int colorIndex_ = -1;
    std::string shownFamily_;
    void SetCustomColor(TColor color);
    void PickCustomColor();
    TColor ChosenColor() const;
};

// ---------------------------------------------------------------- folder browsing

struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using LPITEMIDLIST = ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;

struct BROWSEINFOA {
    HWND hwndOwner = nullptr;
    PIDLIST_ABSOLUTE pidlRoot = nullptr;
    char* pszDisplayName = nullptr;  // MAX_PATH bytes: the chosen folder's name
    const char* lpszTitle = nullptr;
    UINT ulFlags = 0;
    BFFCALLBACK lpfn = nullptr;
    LPARAM lParam = 0;
    int iImage = 0;
};

// The folder browser seen by DialogHandler: Title from lpszTitle; Folder is the result.
class TBrowseFolderDialog : public TCommonDialog {
public:
    explicit TBrowseFolderDialog(TComponent* owner) : TCommonDialog(owner) {}
    const std::string& Folder() const { return folder_; }
    void SetFolder(const std::string& value) { folder_ = value; }

protected:
    TForm* CreateForm() override;
    void Accepted() override;

private:
    std::string folder_;
    TDirectoryListBox* dirs_ = nullptr;
};

// Shows the folder browser; the chosen folder as an item list (free it with
// CoTaskMemFree), or null when the user cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderA(BROWSEINFOA* info);
BOOL SHGetPathFromIDListA(PIDLIST_ABSOLUTE pidl, char* path);
void CoTaskMemFree(void* memory);

}  // namespace platform
