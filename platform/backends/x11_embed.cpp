#include "platform/backends/x11_embed.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace platform {

namespace {

// XEmbed messages and flags.
constexpr long kEmbeddedNotify = 0;
constexpr long kWindowActivate = 1;
constexpr long kFocusIn = 4;
constexpr long kFocusCurrent = 0;
constexpr long kInfoMapped = 1;
constexpr long kVersion = 0;

}  // namespace

X11EmbedAreas::X11EmbedAreas(Display* display) : display_(display) {
    xembed_ = XInternAtom(display_, "_XEMBED", False);
    xembedInfo_ = XInternAtom(display_, "_XEMBED_INFO", False);
}

// The areas go with the connection: the backend may close it before this is destroyed.
X11EmbedAreas::~X11EmbedAreas() = default;

std::uint64_t X11EmbedAreas::Create(::Window parent) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    // Substructure redirection makes this window the one that maps and sizes its client.
    attributes.event_mask = SubstructureNotifyMask | SubstructureRedirectMask | StructureNotifyMask;
    ::Window socket = XCreateWindow(display_, parent, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWBackPixel | CWEventMask, &attributes);
    if (!socket) return 0;
    areas_[socket] = Area();
    XFlush(display_);
    return socket;
}

void X11EmbedAreas::Place(std::uint64_t id, const TRect& rect, bool visible) {
    auto it = areas_.find(::Window(id));
    if (it == areas_.end()) return;
    Area& area = it->second;
    area.width = std::max<LONG>(1, rect.Width());
    area.height = std::max<LONG>(1, rect.Height());
    XMoveResizeWindow(display_, it->first, rect.left, rect.top, unsigned(area.width), unsigned(area.height));
    if (area.client) XMoveResizeWindow(display_, area.client, 0, 0, unsigned(area.width), unsigned(area.height));
    if (visible && !rect.IsEmpty()) {
        XMapRaised(display_, it->first);
    } else {
        XUnmapWindow(display_, it->first);
    }
    XFlush(display_);
}

void X11EmbedAreas::Destroy(std::uint64_t id) {
    auto it = areas_.find(::Window(id));
    if (it == areas_.end()) return;
    XDestroyWindow(display_, it->first);
    areas_.erase(it);
    XFlush(display_);
}

bool X11EmbedAreas::HasClient(std::uint64_t id) const {
    auto it = areas_.find(::Window(id));
    return it != areas_.end() && it->second.client != 0;
}

void X11EmbedAreas::SendXEmbed(::Window to, long message, long detail, long data1, long data2) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = to;
    e.xclient.message_type = xembed_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = CurrentTime;
    e.xclient.data.l[1] = message;
    e.xclient.data.l[2] = detail;
    e.xclient.data.l[3] = data1;
    e.xclient.data.l[4] = data2;
    XSendEvent(display_, to, False, NoEventMask, &e);
}

void X11EmbedAreas::Embed(::Window socket, Area& area, ::Window client) {
    if (area.client == client) return;
    area.client = client;
    XSelectInput(display_, client, PropertyChangeMask | StructureNotifyMask);
    XMoveResizeWindow(display_, client, 0, 0, unsigned(area.width), unsigned(area.height));
    SendXEmbed(client, kEmbeddedNotify, 0, long(socket), kVersion);
    SendXEmbed(client, kWindowActivate, 0, 0, 0);
    SendXEmbed(client, kFocusIn, kFocusCurrent, 0, 0);
    FollowInfo(client);
}

// The client says through _XEMBED_INFO whether it wants to be seen.
void X11EmbedAreas::FollowInfo(::Window client) {
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool mapped = true;
    if (XGetWindowProperty(display_, client, xembedInfo_, 0, 2, False, xembedInfo_, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count >= 2)
        mapped = (reinterpret_cast<long*>(data)[1] & kInfoMapped) != 0;
    if (data) XFree(data);
    if (mapped) {
        XMapWindow(display_, client);
    } else {
        XUnmapWindow(display_, client);
    }
    XFlush(display_);
}

bool X11EmbedAreas::Handle(XEvent& e) {
    if (areas_.empty()) return false;
    switch (e.type) {
        case CreateNotify:
        case ReparentNotify:
        case MapRequest:
        case ConfigureRequest:
        case DestroyNotify:
        case UnmapNotify:
        case ConfigureNotify:
        case MapNotify:
        case ClientMessage:
            break;
        case PropertyNotify:
            if (e.xproperty.atom != xembedInfo_) return false;
            for (auto& [socket, area] : areas_)
                if (area.client == e.xproperty.window) {
                    FollowInfo(area.client);
                    return true;
                }
            return false;
        default: return false;
    }
    auto it = areas_.find(e.xany.window);
    if (it == areas_.end()) {
        // Events of a client window itself.
        for (auto& [socket, area] : areas_)
            if (area.client && area.client == e.xany.window) return true;
        return false;
    }
    ::Window socket = it->first;
    Area& area = it->second;
    switch (e.type) {
        case CreateNotify:
            if (e.xcreatewindow.parent == socket) Embed(socket, area, e.xcreatewindow.window);
            break;
        case ReparentNotify:
            if (e.xreparent.parent == socket) {
                Embed(socket, area, e.xreparent.window);
            } else if (e.xreparent.window == area.client) {
                area.client = 0;
            }
            break;
        case MapRequest:
            if (e.xmaprequest.window == area.client) XMapWindow(display_, area.client);
            break;
        case ConfigureRequest:
            // The client fills the area, whatever size it asks for.
            XMoveResizeWindow(display_, e.xconfigurerequest.window, 0, 0, unsigned(area.width), unsigned(area.height));
            break;
        case DestroyNotify:
            if (e.xdestroywindow.window == area.client) area.client = 0;
            break;
        default: break;
    }
    return true;
}

}  // namespace platform
