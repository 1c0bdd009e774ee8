// Theme services. The visual-styles library is looked for by name and is never found on
// this platform, so themes are not available and nothing is ever opened or drawn; the
// reference counting and flags behave as they would with a library that failed to load.
#include "treeview/themesrv.h"

#include <memory>
#include <mutex>

namespace treeview {

using namespace platform;

namespace {

const char* const kClassNames[ThemedElementCount] = {
    "button", "clock", "combobox", "edit", "explorerbar", "header", "listview", "menu",
    "page", "progress", "rebar", "scrollbar", "spin", "startpanel", "status", "tab",
    "taskband", "taskbar", "toolbar", "tooltip", "trackbar", "traynotify", "treeview", "window",
};

const char* const kEntryPoints[ThemeEntryPointCount] = {
    "OpenThemeData", "CloseThemeData", "DrawThemeBackground", "DrawThemeText", "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent", "GetThemePartSize", "GetThemeTextExtent", "GetThemeTextMetrics",
    "GetThemeBackgroundRegion", "HitTestThemeBackground", "DrawThemeEdge", "DrawThemeIcon", "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent", "GetThemeColor", "GetThemeMetric", "GetThemeString", "GetThemeBool",
    "GetThemeInt", "GetThemeEnumValue", "GetThemePosition", "GetThemeFont", "GetThemeRect", "GetThemeMargins",
    "GetThemeIntList", "GetThemePropertyOrigin", "SetWindowTheme", "GetThemeFilename", "GetThemeSysColor",
    "GetThemeSysColorBrush", "GetThemeSysBool", "GetThemeSysSize", "GetThemeSysFont", "GetThemeSysString",
    "GetThemeSysInt", "IsThemeActive", "IsAppThemed", "GetWindowTheme", "EnableThemeDialogTexture",
    "IsThemeDialogTextureEnabled", "GetThemeAppProperties", "SetThemeAppProperties", "GetCurrentThemeName",
    "GetThemeDocumentationProperty", "DrawThemeParentBackground", "EnableTheming",
};

struct Loader {
    std::mutex lock;
    int references = 0;
    void* library = nullptr;  // never loaded here
    void* entries[ThemeEntryPointCount] = {};
};

Loader& TheLoader() {
    static Loader loader;
    return loader;
}

// The platform has no visual-styles library to load.
void* LoadThemeLibrary() { return nullptr; }

}  // namespace

const char* ThemeClassName(TThemedElement element) {
    return unsigned(element) < unsigned(ThemedElementCount) ? kClassNames[element] : "";
}

const char* ThemeEntryPointName(int index) {
    return index >= 0 && index < ThemeEntryPointCount ? kEntryPoints[index] : "";
}

bool InitThemeLibrary() {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    ++loader.references;
    if (loader.library) return true;
    loader.library = LoadThemeLibrary();
    return loader.library != nullptr;
}

void FreeThemeLibrary() {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    if (loader.references > 0) --loader.references;
    if (loader.library && loader.references == 0) {
        loader.library = nullptr;
        for (void*& entry : loader.entries) entry = nullptr;
    }
}

bool UseThemes() {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    return loader.library != nullptr && loader.entries[36] && loader.entries[37];
}

int ThemeLibraryReferenceCount() {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    return loader.references;
}

bool ThemeLibraryLoaded() {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    return loader.library != nullptr;
}

void* ThemeEntryPoint(int index) {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> guard(loader.lock);
    return index >= 0 && index < ThemeEntryPointCount ? loader.entries[index] : nullptr;
}

// ---- services ----

TThemeServices::TThemeServices(HWND window) : window_(window) {
    themesAvailable_ = InitThemeLibrary();
    UpdateThemes();
}

TThemeServices::~TThemeServices() {
    UnloadThemeData();
    FreeThemeLibrary();
}

void TThemeServices::UpdateThemes() {
    if (useThemes_) UnloadThemeData();
    // No common-controls library of version 6 exists here either.
    useThemes_ = false;
    controlsEnabled_ = false;
}

void TThemeServices::UnloadThemeData() {
    for (HTHEME& theme : themes_) theme = nullptr;
}

HTHEME TThemeServices::GetTheme(TThemedElement element) {
    if (unsigned(element) >= unsigned(ThemedElementCount)) return nullptr;
    return useThemes_ ? themes_[element] : nullptr;
}

bool TThemeServices::WindowProc(UINT msg) {
    constexpr UINT WM_THEMECHANGED = 0x031A;
    if (msg != WM_THEMECHANGED) return false;
    UpdateThemes();
    DoOnThemeChange();
    return true;
}

void TThemeServices::DoOnThemeChange() {
    if (OnThemeChange) OnThemeChange(this);
}

void TThemeServices::DrawElement(HDC, const TThemedElementDetails& details, const TRect&, const TRect*) {
    GetTheme(details.Element);
}

void TThemeServices::DrawEdge(HDC, const TThemedElementDetails& details, const TRect& rect, unsigned, unsigned,
                              TRect* contentRect) {
    GetTheme(details.Element);
    if (contentRect) *contentRect = rect;
}

void TThemeServices::DrawIcon(HDC, const TThemedElementDetails& details, const TRect&, void*, int) {
    GetTheme(details.Element);
}

void TThemeServices::DrawText(HDC, const TThemedElementDetails& details, const std::string&, const TRect&, unsigned,
                              unsigned) {
    GetTheme(details.Element);
}

TRect TThemeServices::ContentRect(HDC, const TThemedElementDetails& details, const TRect& bounds) {
    GetTheme(details.Element);
    return bounds;
}

bool TThemeServices::HasTransparentParts(const TThemedElementDetails& details) {
    return GetTheme(details.Element) != nullptr;
}

TColor TThemeServices::ColorToRGB(TColor color, const TThemedElementDetails* details) {
    if (color < 0 && details) return TColor(platform::ColorToRGB(color));
    return color;
}

void TThemeServices::DrawParentBackground(HWND, HDC, const TThemedElementDetails* details, bool onlyIfTransparent,
                                          const TRect*) {
    if (onlyIfTransparent && details && !HasTransparentParts(*details)) return;
}

void TThemeServices::PaintBorder(HWND, bool) {
    if (!GetThemesEnabled()) return;
}

TThemeServices* ThemeServices() {
    static std::unique_ptr<TThemeServices> services(new TThemeServices(nullptr));
    return services.get();
}

}  // namespace treeview
