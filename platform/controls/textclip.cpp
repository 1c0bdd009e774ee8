// The controls' clipboard text: an in-process default behind replaceable functions.
#include "platform/controls/textclip.h"

#include <utility>

namespace platform {

namespace {

struct Local {
    std::string clipboard;
    const void* primaryOwner = nullptr;
    std::function<std::string()> primary;
    std::string primaryCopy;  // what the last owner held when it let go
};

Local& L() {
    static Local local;
    return local;
}

TTextClipboard Defaults() {
    TTextClipboard c;
    c.Get = [](bool primary) -> std::string {
        if (!primary) return L().clipboard;
        return L().primary ? L().primary() : L().primaryCopy;
    };
    c.Set = [](const std::string& text) { L().clipboard = text; };
    c.ClaimPrimary = [](const void* owner, std::function<std::string()> text) {
        L().primaryOwner = owner;
        L().primary = std::move(text);
    };
    c.ReleasePrimary = [](const void* owner) {
        if (L().primaryOwner != owner) return;
        L().primaryCopy = L().primary ? L().primary() : std::string();
        L().primaryOwner = nullptr;
        L().primary = nullptr;
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
