#pragma once
// The library's texts: the title-bar system menu and the address its About text names.

namespace skinctrl {

inline constexpr const char* DVX_TITLE_MENUITEM_MINIMIZE = "Mi&nimize";
inline constexpr const char* DVX_TITLE_MENUITEM_MAXIMIZE = "Ma&ximize/Restore";
inline constexpr const char* DVX_TITLE_MENUITEM_CLOSE = "&Close";
// The project's own web address.
inline constexpr const char* DVX_URL = "https://lumacast.example.org/";

}  // namespace skinctrl
