#pragma once
// The text the controls copy and paste: the clipboard and the primary selection (the text
// last selected, pasted by a middle click). The controls reach them only through these
// functions; SetTextClipboard swaps what lies behind them (the system clipboard of the
// display, or a stand-in in tests). The default is the platform clipboard (clipboard.h).
#include <functional>
#include <string>

namespace platform {

struct TTextClipboard {
    // Reads the clipboard's (primary: the primary selection's) text; empty when none.
    std::function<std::string(bool primary)> Get;
    // Puts text on the clipboard.
    std::function<void(const std::string& text)> Set;
    // Makes owner the primary selection's source: text() is asked when someone pastes.
    std::function<void(const void* owner, std::function<std::string()> text)> ClaimPrimary;
    // Gives the primary selection up, when owner still holds it.
    std::function<void(const void* owner)> ReleasePrimary;
};

// Replaces the functions behind the controls' copy and paste; an empty member keeps the
// in-process default for it. Returns the previous set.
TTextClipboard SetTextClipboard(TTextClipboard clipboard);

std::string ClipboardGetText(bool primary = false);
void ClipboardSetText(const std::string& text);
void ClipboardClaimPrimary(const void* owner, std::function<std::string()> text);
void ClipboardReleasePrimary(const void* owner);

}  // namespace platform
