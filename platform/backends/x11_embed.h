#pragma once
// The X11 side of embedded areas: child X windows of a top-level window that act as
// XEmbed sockets for another process's window (the web view's GtkPlug).
#include <X11/Xlib.h>

#include <cstdint>
#include <map>

#include "platform/core/wintypes.h"

namespace platform {

class X11EmbedAreas {
public:
    explicit X11EmbedAreas(Display* display);
    ~X11EmbedAreas();

    std::uint64_t Create(::Window parent);
    void Place(std::uint64_t area, const TRect& rect, bool visible);
    void Destroy(std::uint64_t area);
    bool HasClient(std::uint64_t area) const;
    // Takes the events of the areas and their clients; false for any other event.
    bool Handle(XEvent& e);

private:
    struct Area {
        ::Window client = 0;
        int width = 1, height = 1;
    };
    void Embed(::Window socket, Area& area, ::Window client);
    void FollowInfo(::Window client);
    void SendXEmbed(::Window to, long message, long detail, long data1, long data2);

    Display* display_;
    Atom xembed_;
    Atom xembedInfo_;
    std::map<::Window, Area> areas_;
};

}  // namespace platform
