#pragma once
// File themes: a loaded skin file whose colours, pictures, numbers and flags controls paint
// with when their UIStyle is FromThemeFile; the built-in file theme, whose skin file comes
// as a block of bytes (a resource); and the theme manager, which hands one style and theme
// to a list of named controls of its form.
#include <memory>
#include <string>
#include <vector>

#include "platform/core/classes.h"
#include "platform/graphics/graphics.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxtheme.h"
#include "skinctrl/sk2reader.h"

namespace skinctrl {

// Turns skin-file elements into key names and asks the reader it holds (one per loaded skin).
class TdvxFileThemeMgr {
public:
    // False when the file does not exist (the skin loaded before stays), or when it does
    // not load (then no skin is held). Never raises.
    bool LoadFromFile(const std::string& fileName, const std::string& password);
    // With no skin: null, 0, 0 and false. A key the skin lacks gives -1 for a colour or integer.
    platform::TBitmap* GetBitmap(Tsk2SkinBitmapElement element) const;
    int GetColor(Tsk2SkinColorElement element) const;
    int GetInt(Tsk2IntElement element) const;
    bool GetBool(Tsk2BoolElement element) const;
    Tsk2SkinFileReader* Reader() const { return reader_.get(); }

private:
    std::unique_ptr<Tsk2SkinFileReader> reader_;
};

class TdvxFileTheme : public platform::TComponent {
public:
    explicit TdvxFileTheme(platform::TComponent* owner = nullptr) : TComponent(owner) {}

    const std::string& ThemeFile() const { return themeFile_; }
    // Finds the skin file (the name itself, then its file name in the program folder, in
    // $XDG_DATA_HOME/lumacast/skins and in each of $XDG_DATA_DIRS + /lumacast/skins) and
    // loads it. Nothing changes when no such file exists. Once loaded, the Tdvx components
    // of the owner form that use this theme apply it again.
    void SetThemeFile(const std::string& name);
    const std::string& Password() const { return password_; }
    // Stores it; a non-empty password loads the skin file again.
    void SetPassword(const std::string& value);
    bool Ready() const { return ready_; }
    void SetCanUse(bool) {}
    bool CanUse() const { return ready_; }

    platform::TColor GetColor(Tsk2SkinColorElement element) const { return platform::TColor(mgr_.GetColor(element)); }
    int GetInt(Tsk2IntElement element) const { return mgr_.GetInt(element); }
    bool GetBool(Tsk2BoolElement element) const { return mgr_.GetBool(element); }
    // Owned by the skin; copy it.
    platform::TBitmap* GetBitmap(Tsk2SkinBitmapElement element) const { return mgr_.GetBitmap(element); }
    // Frame spitIndex of spitCount of the skin bitmap when both are non-zero, else all of it.
    void GetBitmap2(Tsk2SkinBitmapElement element, platform::TBitmap* bitmap, int spitCount, int spitIndex) const;
    const TdvxFileThemeMgr& Manager() const { return mgr_; }

private:
    TdvxFileThemeMgr mgr_;
    std::string themeFile_;
    bool ready_ = false;
    std::string password_;
};

// A file theme whose skin file travels with the form as bytes ("SkinData").
class TdvxBuiltInFileTheme : public TdvxFileTheme {
public:
    explicit TdvxBuiltInFileTheme(platform::TComponent* owner = nullptr) : TdvxFileTheme(owner) {}
    // The path of the skin file whose bytes are written out; also loads it.
    const std::string& BuiltInThemeFile() const { return builtInThemeFile_; }
    void SetThemeFile2(const std::string& name);
    // The bytes to store: the whole file at BuiltInThemeFile; empty when it does not exist.
    std::vector<std::uint8_t> WriteSkinData() const;
    // Loads the skin from stored bytes through a private temporary file, removed afterwards.
    // False when no temporary file could be written (tried at most 10 times).
    bool ReadSkinData(const std::uint8_t* data, std::size_t size);
    // ReadSkinData of a raw-data resource; raises EResNotFound when it does not exist.
    bool LoadSkinResource(const std::string& resourceName);

private:
    std::string builtInThemeFile_;
};

// Sets UIStyle and FileTheme of named components of its form in one step.
class TdvxThemeManager : public platform::TComponent {
public:
    explicit TdvxThemeManager(platform::TComponent* owner);
    ~TdvxThemeManager() override;

    TdvxUIStyle UIStyle() const { return uiStyle_; }
    // Stores it and applies it; OnUIStyleChanged when it differs from the previous style.
    void SetUIStyle(TdvxUIStyle value);
    TdvxFileTheme* FileTheme() const { return fileTheme_; }
    void SetFileTheme(TdvxFileTheme* value);
    const std::vector<std::string>& CompList() const { return compList_; }
    void SetList(const std::vector<std::string>& names) { compList_ = names; }
    // When the owner is a form: each named component found gets UIStyle, then FileTheme.
    void UpdateAll();
    void UpdateTheme() { UpdateAll(); }

    platform::TNotifyEvent OnUIStyleChanged;

    void Notification(platform::TComponent* component, platform::TOperation operation) override;

private:
    TdvxUIStyle uiStyle_ = FromThemeFile;
    TdvxFileTheme* fileTheme_ = nullptr;
    std::vector<std::string> compList_;
};

}  // namespace skinctrl
