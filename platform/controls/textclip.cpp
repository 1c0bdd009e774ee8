// The controls' clipboard text: the platform clipboard behind replaceable functions.
#include "platform/controls/textclip.h"

#include "platform/windows/clipboard.h"

#include <utility>

namespace platform {

namespace {

// The controls' text goes to the platform clipboard: the display's selections on X11, an
// in-process clipboard headless. The primary selection takes the owner's text when it is
// claimed (a control claims it again at every change of its selection).
const void*& PrimaryOwner() {
    static const void* owner = nullptr;
    return owner;
}

TTextClipboard Defaults() {
    TTextClipboard c;
    c.Get = [](bool primary) -> std::string {
        return (primary ? PrimarySelection() : Clipboard())->AsText();
    };
    c.Set = [](const std::string& text) { Clipboard()->SetAsText(text); };
    c.ClaimPrimary = [](const void* owner, std::function<std::string()> text) {
        PrimaryOwner() = owner;
        PrimarySelection()->SetAsText(text ? text() : std::string());
    };
    // The text stays with the selection until another source claims it, as X programs do.
    c.ReleasePrimary = [](const void* owner) {
        if (PrimaryOwner() == owner) PrimaryOwner() = nullptr;
    };
    return c;
}

TTextClipboard& Current() {
    static TTextClipboard current = Defaults();
    return current;
}

}  // namespace

TTextClipboard SetTextClipboard(TTextClipboard clipboard) {
    TTextClipboard old = Current();
    TTextClipboard defaults = Defaults();
    if (!clipboard.Get) clipboard.Get = defaults.Get;
    if (!clipboard.Set) clipboard.Set = defaults.Set;
    if (!clipboard.ClaimPrimary) clipboard.ClaimPrimary = defaults.ClaimPrimary;
    if (!clipboard.ReleasePrimary) clipboard.ReleasePrimary = defaults.ReleasePrimary;
    Current() = std::move(clipboard);
    return old;
}

std::string ClipboardGetText(bool primary) { return Current().Get(primary); }
void ClipboardSetText(const std::string& text) { Current().Set(text); }
void ClipboardClaimPrimary(const void* owner, std::function<std::string()> text) {
    Current().ClaimPrimary(owner, std::move(text));
}
void ClipboardReleasePrimary(const void* owner) { Current().ReleasePrimary(owner); }

}  // namespace platform
