// The screen: its size and work area, the program-wide cursor, the installed fonts, and the
// forms with the active one.
#include <fontconfig/fontconfig.h>

#include <set>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"

namespace platform {

TScreen* Screen = TScreen::Instance();

TScreen* TScreen::Instance() {
    static TScreen screen(nullptr);
    return &screen;
}

void TScreen::ControlDestroyed(TControl* control) {
    if (activeControl_ == control) activeControl_ = nullptr;
    if (activeForm_ == control) activeForm_ = nullptr;
    if (focusedForm_ == control) focusedForm_ = nullptr;
}

int TScreen::Width() const { return Backend().ScreenRect().Width(); }
int TScreen::Height() const { return Backend().ScreenRect().Height(); }
TRect TScreen::WorkAreaRect() const { return Backend().WorkArea(); }

HCURSOR TScreen::Cursors(TCursor cursor) const {
    auto it = cursorSlots_.find(cursor);
    if (it != cursorSlots_.end()) return it->second;
    return LoadCursorA(nullptr, CursorToSystemId(cursor));
}

void TScreen::SetCursors(TCursor index, HCURSOR cursor) {
    if (cursor)
        cursorSlots_[index] = cursor;
    else
        cursorSlots_.erase(index);
}

void TScreen::SetCursor(TCursor value) {
    if (cursor_ == value) return;
    cursor_ = value;
    if (value != crDefault) {
        ::platform::SetCursor(Cursors(value));
    } else {
        // Let the window under the pointer choose again.
        POINT p;
        GetCursorPos(&p);
        if (HWND h = WindowFromPoint(p)) {
            LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(WORD(p.x), WORD(p.y)));
            SendMessage(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(WORD(hit), WORD(WM_MOUSEMOVE)));
        } else {
            ::platform::SetCursor(Cursors(crArrow));
        }
    }
}

const std::vector<std::string>& TScreen::Fonts() {
    if (fontsRead_) return fonts_;
    fontsRead_ = true;
    std::set<std::string> names;
    // A configuration of its own, freed at once: the list is read once per program.
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* set = FcFontList(config, pattern, objects);
        if (set) {
            for (int i = 0; i < set->nfont; ++i) {
                FcChar8* family = nullptr;
                if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch && family)
                    names.insert(reinterpret_cast<const char*>(family));
            }
            FcFontSetDestroy(set);
        }
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        FcConfigDestroy(config);
    }
    fonts_.assign(names.begin(), names.end());
    return fonts_;
}

}  // namespace platform
