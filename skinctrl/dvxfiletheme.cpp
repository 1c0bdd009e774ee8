#include "skinctrl/dvxfiletheme.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/controls/forms.h"
#include "platform/core/files.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/resources.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

bool UsingFileTheme(TdvxFileTheme* fileTheme, TdvxUIStyle uiStyle, TdvxUIStyle& style) {
    style = uiStyle;
    if (uiStyle != FromThemeFile) return false;
    if (fileTheme && fileTheme->CanUse()) return true;
    style = DeepBlue;
    return false;
}

// ---------------------------------------------------------------- TdvxFileThemeMgr

bool TdvxFileThemeMgr::LoadFromFile(const std::string& fileName, const std::string& password) {
    if (!FileExists(fileName)) return false;
    reader_.reset();
    try {
        auto reader = std::make_unique<Tsk2SkinFileReader>(fileName, password);
        if (reader->Loaded()) reader_ = std::move(reader);
    } catch (...) {
        reader_.reset();
    }
    return reader_ != nullptr;
}

TBitmap* TdvxFileThemeMgr::GetBitmap(Tsk2SkinBitmapElement element) const {
    return reader_ ? reader_->GetBitmap(SKIN2_SKINFILE_KEYNAME[32 + element]) : nullptr;
}

int TdvxFileThemeMgr::GetColor(Tsk2SkinColorElement element) const {
    return reader_ ? reader_->GetInteger(SKIN2_SKINFILE_KEYNAME[element]) : 0;
}

int TdvxFileThemeMgr::GetInt(Tsk2IntElement element) const {
    return reader_ ? reader_->GetInteger(SKIN2_SKINFILE_KEYNAME[66 + element]) : 0;
}

bool TdvxFileThemeMgr::GetBool(Tsk2BoolElement element) const {
    return reader_ && reader_->GetBool(SKIN2_SKINFILE_KEYNAME[75 + element]);
}

// ---------------------------------------------------------------- TdvxFileTheme

namespace {

// The folders a skin file name is looked up in after the name itself.
std::vector<std::string> SkinFolders() {
    std::vector<std::string> folders{ProgramDir()};
    const char* home = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    if (home && *home) folders.push_back(std::string(home) + "/lumacast/skins");
    else if (user && *user) folders.push_back(std::string(user) + "/.local/share/lumacast/skins");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = (dirs && *dirs) ? dirs : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t colon = list.find(':', start);
        std::string dir = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty()) folders.push_back(dir + "/lumacast/skins");
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return folders;
}

std::string FindSkinFile(const std::string& name) {
    if (name.empty()) return "";
    if (FileExists(name)) return std::filesystem::absolute(name).lexically_normal().string();
    std::string file = ExtractFileName(name);
    if (file.empty()) return "";
    for (const std::string& folder : SkinFolders()) {
        std::string path = IncludeTrailingPathDelimiter(folder) + file;
        if (FileExists(path)) return path;
    }
    return "";
}

}  // namespace

void TdvxFileTheme::SetThemeFile(const std::string& name) {
    bool wasEmpty = themeFile_.empty();
    std::string found = FindSkinFile(name);
    if (found.empty()) return;
    themeFile_ = found;
    ready_ = mgr_.LoadFromFile(themeFile_, password_);
    auto* form = dynamic_cast<TCustomForm*>(Owner());
    if (!ready_ || !form) return;
    bool formUsesIt = false;
    for (int i = 0; i < form->ComponentCount(); ++i) {
        TComponent* component = form->Components(i);
        IdvxStyled* styled = AsStyled(component);
        if (!styled || styled->GetFileTheme() != this) continue;
        if (styled->IsFormFrame()) formUsesIt = true;
        if (component->ClassName().rfind("Tdvx", 0) == 0 && styled->PublishesFileTheme()) {
            styled->SetFileTheme(nullptr);
            styled->SetFileTheme(this);
        }
    }
    if (formUsesIt && !wasEmpty && form->HandleAllocated())
        SetWindowPos(form->Handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TdvxFileTheme::SetPassword(const std::string& value) {
    password_ = value;
    if (!password_.empty()) SetThemeFile(themeFile_);
}

void TdvxFileTheme::GetBitmap2(Tsk2SkinBitmapElement element, TBitmap* bitmap, int spitCount, int spitIndex) const {
    TBitmap* skin = GetBitmap(element);
    if (!bitmap || !skin) return;
    if (spitCount != 0 && spitIndex != 0) SpitBitmap(skin, bitmap, spitCount, spitIndex);
    else bitmap->Assign(skin);
}

// ---------------------------------------------------------------- TdvxBuiltInFileTheme

void TdvxBuiltInFileTheme::SetThemeFile2(const std::string& name) {
    builtInThemeFile_ = name;
    SetThemeFile(name);
}

std::vector<std::uint8_t> TdvxBuiltInFileTheme::WriteSkinData() const {
    if (!FileExists(builtInThemeFile_)) return {};
    std::ifstream f(builtInThemeFile_, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool TdvxBuiltInFileTheme::ReadSkinData(const std::uint8_t* data, std::size_t size) {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    // An unwritable temporary folder must not hold the form up for ever.
    constexpr int kAttempts = 10;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string path = folder + "/lumacast-skin-XXXXXX.vxk";
        int fd = mkostemps(path.data(), 4, O_CLOEXEC);
        if (fd < 0) continue;
        std::size_t written = 0;
        while (written < size) {
            ssize_t n = write(fd, data + written, size - written);
            if (n <= 0) break;
            written += std::size_t(n);
        }
        bool saved = close(fd) == 0 && written == size;
        if (saved) SetThemeFile(path);
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (saved) return true;
    }
    return false;
}

bool TdvxBuiltInFileTheme::LoadSkinResource(const std::string& resourceName) {
    ResourceData res = LoadResourceData(resourceName, RT_RCDATA);
    return ReadSkinData(res.data, res.size);
}

// ---------------------------------------------------------------- TdvxThemeManager

TdvxThemeManager::TdvxThemeManager(TComponent* owner) : TComponent(owner) { SetUIStyle(DeepBlue); }

TdvxThemeManager::~TdvxThemeManager() {
    if (fileTheme_) fileTheme_->RemoveFreeNotification(this);
}

void TdvxThemeManager::SetUIStyle(TdvxUIStyle value) {
    TdvxUIStyle previous = uiStyle_;
    uiStyle_ = value;
    UpdateAll();
    if (value != previous && OnUIStyleChanged) OnUIStyleChanged(this);
}

void TdvxThemeManager::SetFileTheme(TdvxFileTheme* value) {
    if (fileTheme_ != value) {
        if (fileTheme_) fileTheme_->RemoveFreeNotification(this);
        fileTheme_ = value;
        if (fileTheme_) fileTheme_->FreeNotification(this);
    }
    SetUIStyle(uiStyle_);
}

void TdvxThemeManager::UpdateAll() {
    if (!dynamic_cast<TCustomForm*>(Owner())) return;
    for (const std::string& name : compList_) {
        IdvxStyled* styled = AsStyled(Owner()->FindComponent(name));
        if (!styled) continue;
        styled->SetUIStyle(uiStyle_);
        if (styled->PublishesFileTheme()) styled->SetFileTheme(fileTheme_);
    }
}

void TdvxThemeManager::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component != this) {
        if (!component->Name().empty())
            std::erase_if(compList_, [&](const std::string& n) { return SameText(n, component->Name()); });
        if (component == fileTheme_) {
            fileTheme_ = nullptr;
            uiStyle_ = DeepBlue;
        }
    }
    TComponent::Notification(component, operation);
}

}  // namespace skinctrl
