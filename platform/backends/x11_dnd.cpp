// Drags between programs on X11, by the XDND protocol (version 5). As a target: every
// top-level window says it takes drops (XdndAware); what another program drags over one of
// them goes to the registered IDropTarget under the pointer, whose data object reads the
// XdndSelection. As a source: when the program's drag leaves its windows, the window under
// the pointer that takes drops is told through XdndEnter/Position/Leave/Drop, and the drag's
// data object is served as the XdndSelection. A target that names a proxy (XdndProxy, which
// a desktop program sets on the root window, and some toolkits on their windows) gets its
// messages through the proxy, still naming the target itself in them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstring>

#include "platform/backends/x11.h"
#include "platform/windows/dnd_internal.h"
#include "platform/windows/selection.h"
#include "platform/windows/window.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr long kVersion = 5;

struct Atoms {
    Atom aware, proxy, typeList, enter, position, status, leave, drop, finished, copy, move, link, selection;
    explicit Atoms(Display* d) {
        aware = XInternAtom(d, "XdndAware", False);
        proxy = XInternAtom(d, "XdndProxy", False);
        typeList = XInternAtom(d, "XdndTypeList", False);
        enter = XInternAtom(d, "XdndEnter", False);
        position = XInternAtom(d, "XdndPosition", False);
        status = XInternAtom(d, "XdndStatus", False);
        leave = XInternAtom(d, "XdndLeave", False);
        drop = XInternAtom(d, "XdndDrop", False);
        finished = XInternAtom(d, "XdndFinished", False);
        copy = XInternAtom(d, "XdndActionCopy", False);
        move = XInternAtom(d, "XdndActionMove", False);
        link = XInternAtom(d, "XdndActionLink", False);
        selection = XInternAtom(d, "XdndSelection", False);
    }
    DWORD EffectOf(Atom action) const {
        return action == copy ? DROPEFFECT_COPY : action == move ? DROPEFFECT_MOVE : action == link ? DROPEFFECT_LINK : DROPEFFECT_NONE;
    }
    Atom ActionOf(DWORD effect) const {
        return (effect & DROPEFFECT_COPY) ? copy : (effect & DROPEFFECT_MOVE) ? move : (effect & DROPEFFECT_LINK) ? link : None;
    }
};

// A message to `to` about the window `about` (the same window unless `to` is its proxy).
void Send(Display* d, ::Window to, ::Window about, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = about;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, to, False, NoEventMask, &e);
    XFlush(d);
}

void Send(Display* d, ::Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    Send(d, to, to, type, l0, l1, l2, l3, l4);
}

// ---- Target side ------------------------------------------------------------------------

struct IncomingDrag {
    ::Window source = 0;
    HWND top = nullptr;
    std::vector<std::string> types;
    TComPtr<IDataObject> data;
    HWND targetWindow = nullptr;
    TComPtr<IDropTarget> target;
    DWORD effect = DROPEFFECT_NONE;
    POINTL last;
    Clock::time_point touched;
};

class TXdndTarget {
public:
    explicit TXdndTarget(Display* d) : d_(d), a_(d) {}

    void MarkAware(unsigned long xid) {
        long version = kVersion;
        XChangeProperty(d_, xid, a_.aware, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&version), 1);
    }

    bool Filter(XEvent& e) {
        // A source that goes away mid-drag ends it.
        if (e.type == DestroyNotify && drag_.source && e.xdestroywindow.window == drag_.source) {
            End();
            return true;
        }
        if (e.type != ClientMessage || e.xclient.format != 32) return false;
        Atom t = e.xclient.message_type;
        if (t != a_.enter && t != a_.position && t != a_.leave && t != a_.drop) return false;
        HWND top = x11::WindowFromX(e.xclient.window);
        if (!top) return true;  // malformed or for a window that is gone: dropped
        const long* l = e.xclient.data.l;
        ::Window source = ::Window(l[0]);
        if (t == a_.enter) {
            End();
            drag_.source = source;
            XSelectInput(d_, source, StructureNotifyMask);
            drag_.top = top;
            drag_.types = Types(source, l);
            drag_.data = X11SelectionObject(TSelectionKind::Drag, drag_.types);
            drag_.touched = Clock::now();
            return true;
        }
        if (source != drag_.source || !drag_.data) return true;  // not the drag that entered
        drag_.touched = Clock::now();
        if (t == a_.position) {
            POINT p{LONG((unsigned long)(l[2]) >> 16 & 0xFFFF), LONG(l[2] & 0xFFFF)};
            Position(p, a_.EffectOf(Atom(l[4])));
            return true;
        }
        if (t == a_.leave) {
            End();
            return true;
        }
        // Drop.
        DWORD effect = DROPEFFECT_NONE;
        if (drag_.target && drag_.effect != DROPEFFECT_NONE) {
            effect = drag_.effect;
            TComPtr<IDropTarget> target = drag_.target;
            drag_.target.Reset();
            if (target->Drop(drag_.data.Get(), MK_LBUTTON, drag_.last, &effect) != S_OK) effect = DROPEFFECT_NONE;
            effect &= drag_.effect | DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        }
        Send(d_, source, a_.finished, long(x11::WindowOf(drag_.top)), effect ? 1 : 0, long(a_.ActionOf(effect)), 0, 0);
        End();
        return true;
    }

private:
    std::vector<std::string> Types(::Window source, const long* l) {
        std::vector<Atom> atoms;
        if (l[1] & 1) {
            Atom type;
            int format;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d_, source, a_.typeList, 0, 1024, False, XA_ATOM, &type, &format, &count, &after, &data) ==
                    Success &&
                data && format == 32)
                atoms.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + count);
            if (data) XFree(data);
        } else {
            for (int i = 2; i <= 4; ++i)
                if (l[i]) atoms.push_back(Atom(l[i]));
        }
        std::vector<std::string> names;
        for (Atom a : atoms) {
            char* n = XGetAtomName(d_, a);
            if (n) {
                names.emplace_back(n);
                XFree(n);
            }
        }
        return names;
    }

    void Position(POINT p, DWORD proposed) {
        drag_.last = POINTL{p.x, p.y};
        HWND owner = nullptr;
        HWND under = WindowFromPoint(p);
        IDropTarget* target = under ? FindDropTarget(under, &owner) : nullptr;
        // The other program proposes one action; copy, move and link stay open to the target.
        DWORD allowed = proposed ? proposed : DROPEFFECT_COPY;
        DWORD effect = allowed;
        if (owner != drag_.targetWindow) {
            if (drag_.target) drag_.target->DragLeave();
            drag_.target = target;
            drag_.targetWindow = owner;
            if (!target || target->DragEnter(drag_.data.Get(), MK_LBUTTON, drag_.last, &effect) != S_OK) effect = DROPEFFECT_NONE;
        } else if (drag_.target) {
            if (drag_.target->DragOver(MK_LBUTTON, drag_.last, &effect) != S_OK) effect = DROPEFFECT_NONE;
        } else {
            effect = DROPEFFECT_NONE;
        }
        effect &= allowed;
        drag_.effect = effect;
        // Accepted (bit 0); ask for every move (bit 1), not only outside a rectangle.
        Send(d_, drag_.source, a_.status, long(x11::WindowOf(drag_.top)), (effect ? 1 : 0) | 2, 0, 0,
             long(a_.ActionOf(effect)));
    }

    void End() {
        if (drag_.target) drag_.target->DragLeave();
        if (drag_.source && !x11::WindowFromX(drag_.source)) XSelectInput(d_, drag_.source, NoEventMask);
        drag_ = IncomingDrag();
    }

    Display* d_;
    Atoms a_;
    IncomingDrag drag_;
};

// ---- Source side ------------------------------------------------------------------------

class TXdndSource : public TOutsideDrag {
public:
    explicit TXdndSource(Display* d) : d_(d), a_(d), self_(X11SelectionWindow()) {}
    ~TXdndSource() override {
        Leave();
        if (owning_) SetSelectionObject(TSelectionKind::Drag, nullptr);
    }

    DWORD Move(IDataObject* data, POINT p, DWORD keys, DWORD ok) override {
        if (!owning_) {
            owning_ = SetSelectionObject(TSelectionKind::Drag, data) == S_OK;
            Announce(data);
        }
        int version = 0;
        ::Window proxy = 0;
        ::Window target = AwareWindowAt(p, version, proxy);
        if (target != target_ || proxy != proxy_) {
            Leave();
            if (!target) return DROPEFFECT_NONE;
            target_ = target;
            proxy_ = proxy;
            version_ = std::min<long>(version, kVersion);
            long more = types_.size() > 3 ? 1 : 0;
            Send(d_, proxy_, target_, a_.enter, long(self_), (version_ << 24) | more, types_.size() > 0 ? long(types_[0]) : 0,
                 types_.size() > 1 ? long(types_[1]) : 0, types_.size() > 2 ? long(types_[2]) : 0);
            effect_ = DROPEFFECT_NONE;
        }
        // Over no window that takes drops: nobody is told anything (a message to window 0
        // would reach whatever window lies under the pointer).
        if (!target_) return DROPEFFECT_NONE;
        // The key state picks the action among those allowed: Ctrl copy, Shift move.
        DWORD want = (keys & MK_CONTROL) && (ok & DROPEFFECT_COPY)  ? DROPEFFECT_COPY
                     : (keys & MK_SHIFT) && (ok & DROPEFFECT_MOVE) ? DROPEFFECT_MOVE
                     : (ok & DROPEFFECT_COPY)                      ? DROPEFFECT_COPY
                     : (ok & DROPEFFECT_MOVE)                      ? DROPEFFECT_MOVE
                                                                   : DROPEFFECT_LINK;
        Send(d_, proxy_, target_, a_.position, long(self_), 0, (long(p.x) << 16) | (long(p.y) & 0xFFFF), CurrentTime,
             long(a_.ActionOf(want)));
        XEvent reply;
        if (WaitFor(reply, a_.status, 500)) {
            effect_ = (reply.xclient.data.l[1] & 1) ? a_.EffectOf(Atom(reply.xclient.data.l[4])) : DROPEFFECT_NONE;
            if ((reply.xclient.data.l[1] & 1) && effect_ == DROPEFFECT_NONE) effect_ = want;
        }
        return effect_ & ok;
    }

    void Leave() override {
        if (target_) Send(d_, proxy_, target_, a_.leave, long(self_), 0, 0, 0, 0);
        target_ = proxy_ = 0;
        effect_ = DROPEFFECT_NONE;
    }

    DWORD Drop() override {
        if (!target_) return DROPEFFECT_NONE;
        Send(d_, proxy_, target_, a_.drop, long(self_), 0, CurrentTime, 0, 0);
        target_ = proxy_ = 0;
        XEvent reply;
        // The target reads the data now; the wait serves it.
        if (!WaitFor(reply, a_.finished, 4 * ClipboardTimeout())) return DROPEFFECT_NONE;
        if (!(reply.xclient.data.l[1] & 1)) return DROPEFFECT_NONE;
        DWORD e = version_ >= 5 ? a_.EffectOf(Atom(reply.xclient.data.l[2])) : effect_;
        return e ? e : effect_;
    }

private:
    void Announce(IDataObject* data) {
        types_.clear();
        for (const FORMATETC& f : OfferedFormats(data))
            for (const std::string& t : ClipboardFormatTargets(f.cfFormat)) {
                Atom a = XInternAtom(d_, t.c_str(), False);
                if (std::find(types_.begin(), types_.end(), a) == types_.end()) types_.push_back(a);
            }
        XChangeProperty(d_, self_, a_.typeList, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(types_.data()),
                        int(types_.size()));
    }

    // The deepest window at the point that says it takes drops, within the top-level window
    // there (over the bare desktop, the root window when it names a proxy); 0 when none.
    // `proxy` is the window its messages go to: its proxy, or the window itself.
    ::Window AwareWindowAt(POINT p, int& version, ::Window& proxy) {
        ::Window root = DefaultRootWindow(d_), w = TopLevelAt(root, p), child = 0;
        if (!w) w = root;
        int x = 0, y = 0;
        for (int depth = 0; w && depth < 16; ++depth) {
            // Whether a window takes drops is asked of its proxy when it names one.
            ::Window to = ProxyOf(w);
            Atom type;
            int format;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d_, to, a_.aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
                data && count == 1) {
                version = int(*reinterpret_cast<long*>(data));
                XFree(data);
                if (x11::WindowFromX(w) || version < 3) return 0;
                proxy = to;
                return w;
            }
            if (data) XFree(data);
            if (w == root) break;
            // Frames of a window manager are passed through to what they hold.
            if (!XTranslateCoordinates(d_, root, w, p.x, p.y, &x, &y, &child) || !child) break;
            w = child;
        }
        return 0;
    }

    // The window named by a window's XdndProxy when that window names itself the same way;
    // else (no proxy, or one left behind by a program that ended) the window itself.
    ::Window ProxyOf(::Window w) {
        ::Window proxy = WindowProperty(w, a_.proxy);
        return proxy && WindowProperty(proxy, a_.proxy) == proxy ? proxy : w;
    }

    // A window-valued property (0 when missing, malformed, or the window is gone).
    ::Window WindowProperty(::Window w, Atom name) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        ::Window value = 0;
        if (XGetWindowProperty(d_, w, name, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
            data && type == XA_WINDOW && format == 32 && count == 1)
            value = ::Window(*reinterpret_cast<unsigned long*>(data));
        if (data) XFree(data);
        return value;
    }

    // The top-level window at the point, passing over this program's own: the loop asks only
    // where none of ours takes the pointer, yet the drag image lies right under it.
    ::Window TopLevelAt(::Window root, POINT p) {
        ::Window child = 0;
        int x = 0, y = 0;
        if (!XTranslateCoordinates(d_, root, root, p.x, p.y, &x, &y, &child)) return 0;
        if (!child || !x11::WindowFromX(child)) return child;
        ::Window parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d_, root, &root, &parent, &children, &count)) return 0;
        ::Window found = 0;
        // Top of the stack first.
        for (unsigned int i = count; i-- > 0 && !found;) {
            if (x11::WindowFromX(children[i])) continue;
            XWindowAttributes a;
            if (!XGetWindowAttributes(d_, children[i], &a) || a.map_state != IsViewable) continue;
            const int border = 2 * a.border_width;
            if (p.x >= a.x && p.x < a.x + a.width + border && p.y >= a.y && p.y < a.y + a.height + border)
                found = children[i];
        }
        if (children) XFree(children);
        return found;
    }

    // Waits for a message of the kind from the current target, serving selection requests
    // (the target reads the drag's data) and nothing else.
    bool WaitFor(XEvent& out, Atom kind, int timeoutMs) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (XCheckIfEvent(d_, &out, Traffic, reinterpret_cast<XPointer>(this))) {
                if (out.type == ClientMessage) {
                    if (out.xclient.message_type == kind) return true;
                    continue;  // a late answer to an earlier message
                }
                X11SelectionEvent(&out);
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return false;
            pollfd fd{ConnectionNumber(d_), POLLIN, 0};
            poll(&fd, 1, int(std::min<long long>(left, 20)));
        }
    }

    static Bool Traffic(Display*, XEvent* e, XPointer self) {
        auto* s = reinterpret_cast<TXdndSource*>(self);
        if (e->type == ClientMessage)
            return e->xclient.window == s->self_ &&
                   (e->xclient.message_type == s->a_.status || e->xclient.message_type == s->a_.finished);
        return e->type == SelectionRequest || e->type == SelectionNotify || e->type == SelectionClear ||
               e->type == PropertyNotify;
    }

    Display* d_;
    Atoms a_;
    ::Window self_;
    bool owning_ = false;
    std::vector<Atom> types_;
    ::Window target_ = 0;
    ::Window proxy_ = 0;  // where the target's messages go
    long version_ = kVersion;
    DWORD effect_ = DROPEFFECT_NONE;
};

TXdndTarget* gTarget = nullptr;

// The target side hooks in once the X11 backend exists.
void InstallTarget() {
    static bool done = false;
    Display* d = x11::CurrentDisplay();
    if (done || !d) return;
    done = true;
    gTarget = new TXdndTarget(d);
    x11::AddWindowCreatedHook([](HWND, unsigned long xid) { gTarget->MarkAware(xid); });
    x11::AddEventFilter([](XEvent& e) { return gTarget->Filter(e); });
}

}  // namespace

void GrabDragKeyboard(HWND top) {
    Display* d = x11::CurrentDisplay();
    if (!d) return;
    if (unsigned long xid = top ? x11::WindowOf(top) : 0)
        XGrabKeyboard(d, xid, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    else
        XUngrabKeyboard(d, CurrentTime);
    XFlush(d);
}

void PrepareOutsideDrops(HWND hwnd) {
    InstallTarget();
    if (!gTarget) return;
    if (unsigned long xid = x11::WindowOf(GetAncestor(hwnd, GA_ROOT))) gTarget->MarkAware(xid);
}

std::unique_ptr<TOutsideDrag> CreateOutsideDrag() {
    Display* d = x11::CurrentDisplay();
    if (!d) return nullptr;
    InstallTarget();
    return std::make_unique<TXdndSource>(d);
}

}  // namespace platform
