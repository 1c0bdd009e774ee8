#pragma once
// The library's texts: the title-bar system menu and the address its About text names.

namespace skinctrl {

inline constexpr const char* DVX_TITLE_MENUITEM_MINIMIZE = "Mi&nimize";
inline constexpr const char* DVX_TITLE_MENUITEM_MAXIMIZE = "Ma&ximize/Restore";
inline constexpr const char* DVX_TITLE_MENUITEM_CLOSE = "&Close";
// The project's own web address: the build's one setting (LUMACAST_WEB_ADDRESS).
#ifndef LUMACAST_WEB_ADDRESS
#define LUMACAST_WEB_ADDRESS "https://lumacast.example.org/"
#endif
inline constexpr const char* DVX_URL = LUMACAST_WEB_ADDRESS;

}  // namespace skinctrl
