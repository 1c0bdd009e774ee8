// The clipboard and the primary selection as X selections. This program's data object is
// rendered only when another program asks for a target; large data goes in increments
// (INCR) both ways; a paste waits for the owner with one deadline for the whole transfer,
// reading only selection traffic so that no window handler runs inside it; a flush (and the program's exit) hands
// the clipboard to a clipboard manager (SAVE_TARGETS) when one runs.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/backends/x11.h"
#include "platform/windows/selection.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
// The most a paste from another program may bring.
constexpr std::size_t kMaxPaste = std::size_t(512) << 20;
// How many clipboard timeouts a whole transfer may take, increments and all: an owner
// that sends each piece just before the wait for it runs out cannot hold the paste (and
// the windows, which meanwhile see only selection traffic) beyond this.
constexpr int kTransferTimeouts = 4;

class TX11Selections;
TX11Selections* gSelections = nullptr;

class TX11Selections : public TSelectionService {
public:
    explicit TX11Selections(Display* display) : d_(display) {
        ::Window root = DefaultRootWindow(d_);
        XSetWindowAttributes a{};
        a.event_mask = PropertyChangeMask;
        win_ = XCreateWindow(d_, root, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, CWEventMask, &a);
        selection_[0] = XInternAtom(d_, "CLIPBOARD", False);
        selection_[1] = XA_PRIMARY;
        selection_[2] = XInternAtom(d_, "XdndSelection", False);
        targets_ = XInternAtom(d_, "TARGETS", False);
        timestamp_ = XInternAtom(d_, "TIMESTAMP", False);
        multiple_ = XInternAtom(d_, "MULTIPLE", False);
        atomPair_ = XInternAtom(d_, "ATOM_PAIR", False);
        incr_ = XInternAtom(d_, "INCR", False);
        manager_ = XInternAtom(d_, "CLIPBOARD_MANAGER", False);
        saveTargets_ = XInternAtom(d_, "SAVE_TARGETS", False);
        property_ = XInternAtom(d_, "LUMACAST_SELECTION", False);
        long maxRequest = XExtendedMaxRequestSize(d_);
        if (maxRequest == 0) maxRequest = XMaxRequestSize(d_);
        chunk_ = std::size_t(std::clamp<long>(maxRequest * 4 - 1024, 4096, 4 << 20));
        gSelections = this;
        x11::AddEventFilter([](XEvent& e) { return gSelections && gSelections->Filter(e); });
        // The program's exit hands the clipboard over like a flush.
        std::atexit([] {
            if (gSelections && gSelections->ConnectionAlive() && OwnedSelection(TSelectionKind::Clipboard))
                OleFlushClipboard();
        });
    }

    bool Own(TSelectionKind kind, bool own) override {
        int k = int(kind);
        if (own) {
            time_[k] = ServerTime();
            XSetSelectionOwner(d_, selection_[k], win_, time_[k]);
            return XGetSelectionOwner(d_, selection_[k]) == win_;
        }
        if (XGetSelectionOwner(d_, selection_[k]) == win_) XSetSelectionOwner(d_, selection_[k], None, ServerTime());
        XFlush(d_);
        return true;
    }

    bool StillOwned(TSelectionKind kind) override { return XGetSelectionOwner(d_, selection_[int(kind)]) == win_; }
    TComPtr<IDataObject> Foreign(TSelectionKind kind) override;

    void HandOff(TSelectionKind kind) override {
        if (kind != TSelectionKind::Clipboard || XGetSelectionOwner(d_, manager_) == None) return;
        if (XGetSelectionOwner(d_, selection_[0]) != win_) return;
        // The targets to keep: everything offered but the meta targets.
        std::vector<Atom> keep;
        for (Atom a : TargetList(OwnedSelection(kind).Get()))
            if (a != targets_ && a != timestamp_ && a != multiple_ && a != saveTargets_) keep.push_back(a);
        XChangeProperty(d_, win_, property_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(keep.data()),
                        int(keep.size()));
        XConvertSelection(d_, manager_, saveTargets_, property_, win_, ServerTime());
        XFlush(d_);
        XEvent reply;
        // The manager reads the targets meanwhile: they are served while this waits.
        WaitFor(reply, 4 * ClipboardTimeout(), [this](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == win_ && e.xselection.selection == manager_;
        });
        XDeleteProperty(d_, win_, property_);
        XFlush(d_);
    }

    // Reads a target of a selection another program owns; false when the owner refuses,
    // does not answer or stalls an increment beyond the deadline.
    bool Request(Atom selection, Atom target, std::vector<std::uint8_t>& bytes, Atom* type = nullptr) {
        bytes.clear();
        stalled_ = false;
        XDeleteProperty(d_, win_, property_);
        XConvertSelection(d_, selection, target, property_, win_, CurrentTime);
        XFlush(d_);
        // Each wait is bounded by the clipboard timeout and by what is left of the
        // transfer's one deadline.
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kTransferTimeouts * ClipboardTimeout());
        auto bounded = [&] {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            return int(std::clamp<long long>(left, 0, ClipboardTimeout()));
        };
        XEvent notify;
        if (!WaitFor(notify, bounded(), [&](const XEvent& e) {
                return e.type == SelectionNotify && e.xselection.requestor == win_ && e.xselection.selection == selection;
            })) {
            stalled_ = true;
            return false;
        }
        if (notify.xselection.property == None) return false;
        Atom got = None;
        if (!ReadProperty(bytes, got)) return false;
        if (type) *type = got;
        if (got != incr_) return true;
        // Increments: every new value of the property is the next piece; an empty one ends.
        // The announced size (a lower bound) is reserved at once.
        std::uint32_t announced = 0;
        if (bytes.size() >= 4) std::memcpy(&announced, bytes.data(), 4);
        bytes.clear();
        bytes.reserve(std::min<std::uint32_t>(announced, 256u << 20));
        for (;;) {
            XEvent e;
            if (!WaitFor(e, bounded(), [this](const XEvent& ev) {
                    return ev.type == PropertyNotify && ev.xproperty.window == win_ && ev.xproperty.atom == property_ &&
                           ev.xproperty.state == PropertyNewValue;
                })) {
                // Stalled or too slow: what came so far is not the data, the paste is empty.
                bytes = {};
                stalled_ = true;
                return false;
            }
            std::size_t before = bytes.size();
            Atom pieceType = None;
            if (!ReadProperty(bytes, pieceType, true)) continue;
            if (bytes.size() == before) break;
            if (bytes.size() > kMaxPaste) {
                // Beyond what a paste may hold: the rest is not read, the paste is empty.
                bytes = {};
                return false;
            }
            if (type) *type = pieceType;
        }
        return true;
    }

    // False when the display has gone (its connection reads as closed): Xlib would end the
    // program on the first request.
    bool ConnectionAlive() {
        pollfd p{ConnectionNumber(d_), POLLIN, 0};
        if (poll(&p, 1, 0) < 0) return false;
        if (p.revents & (POLLHUP | POLLERR)) return false;
        if (p.revents & POLLIN) {
            char byte;
            if (recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return false;
        }
        return true;
    }

    // Whether the last request ran out of time (rather than being refused).
    bool Stalled() const { return stalled_; }

    Atom Intern(const std::string& name) { return XInternAtom(d_, name.c_str(), False); }
    std::string AtomName(Atom a) {
        char* n = a ? XGetAtomName(d_, a) : nullptr;
        std::string s = n ? n : "";
        if (n) XFree(n);
        return s;
    }
    Atom TargetsAtom() const { return targets_; }
    ::Window OwnerOf(Atom selection) { return XGetSelectionOwner(d_, selection); }
    ::Window HelperWindow() const { return win_; }

private:
    struct Outgoing {
        ::Window requestor;
        Atom property;
        Atom type;
        std::vector<std::uint8_t> data;
        std::size_t offset = 0;
        Clock::time_point touched;
    };

    // A server timestamp: the time of a property change on our own window.
    Time ServerTime() {
        XChangeProperty(d_, win_, property_, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XFlush(d_);
        XEvent e;
        if (WaitFor(e, 1000, [this](const XEvent& ev) {
                return ev.type == PropertyNotify && ev.xproperty.window == win_ && ev.xproperty.atom == property_;
            }))
            return e.xproperty.time;
        return CurrentTime;
    }

    // Reads (and deletes) our property into bytes, or after them with append.
    bool ReadProperty(std::vector<std::uint8_t>& bytes, Atom& type, bool append = false) {
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d_, win_, property_, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &count, &after,
                               &data) != Success)
            return false;
        if (!append) bytes.clear();
        if (data) {
            if (format == 32) {
                // Xlib hands 32-bit items as longs.
                auto* items = reinterpret_cast<long*>(data);
                std::size_t at = bytes.size();
                bytes.resize(at + count * 4);
                for (unsigned long i = 0; i < count; ++i) {
                    std::uint32_t v = std::uint32_t(items[i]);
                    std::memcpy(bytes.data() + at + i * 4, &v, 4);
                }
            } else {
                bytes.insert(bytes.end(), data, data + count * std::size_t(format / 8));
            }
            XFree(data);
        }
        return true;
    }

    // Selection traffic only: what a paste may read while it waits.
    static Bool IsSelectionTraffic(Display*, XEvent* e, XPointer self) {
        auto* s = reinterpret_cast<TX11Selections*>(self);
        switch (e->type) {
            case SelectionNotify:
            case SelectionRequest:
            case SelectionClear: return True;
            case PropertyNotify:
                if (e->xproperty.window == s->win_) return True;
                for (const Outgoing& o : s->outgoing_)
                    if (o.requestor == e->xproperty.window) return True;
                return False;
            default: return False;
        }
    }

    template <class Pred>
    bool WaitFor(XEvent& out, int timeoutMs, Pred match) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        XFlush(d_);
        for (;;) {
            if (XCheckIfEvent(d_, &out, IsSelectionTraffic, reinterpret_cast<XPointer>(this))) {
                if (match(out)) return true;
                Filter(out);
                continue;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return false;
            pollfd fd{ConnectionNumber(d_), POLLIN, 0};
            poll(&fd, 1, int(std::min<long long>(left, 50)));
        }
    }

    int KindOf(Atom selection) const {
        for (int k = 0; k < kSelectionKinds; ++k)
            if (selection_[k] == selection) return k;
        return -1;
    }

public:
    Atom SelectionAtom(TSelectionKind kind) const { return selection_[int(kind)]; }

    bool Filter(XEvent& e) {
        switch (e.type) {
            case SelectionRequest:
                if (e.xselectionrequest.owner != win_) return false;
                Serve(e.xselectionrequest);
                return true;
            case SelectionClear: {
                if (e.xselectionclear.window != win_) return false;
                int k = KindOf(e.xselectionclear.selection);
                if (k >= 0) SelectionLost(TSelectionKind(k));
                return true;
            }
            case SelectionNotify: return e.xselection.requestor == win_;
            case PropertyNotify:
                if (e.xproperty.window == win_) return true;
                if (e.xproperty.state == PropertyDelete) return SendNextPiece(e.xproperty.window, e.xproperty.atom);
                return false;
            default: return false;
        }
    }

    std::vector<Atom> TargetList(IDataObject* data) {
        std::vector<Atom> list = {targets_, timestamp_, multiple_};
        for (const FORMATETC& f : OfferedFormats(data))
            for (const std::string& t : ClipboardFormatTargets(f.cfFormat)) {
                Atom a = Intern(t);
                if (std::find(list.begin(), list.end(), a) == list.end()) list.push_back(a);
            }
        return list;
    }

    // Writes one target to the requestor's property; false when it cannot be given.
    bool Convert(IDataObject* data, Atom target, ::Window requestor, Atom property, Time time) {
        if (target == targets_) {
            std::vector<Atom> list = TargetList(data);
            XChangeProperty(d_, requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
            return true;
        }
        if (target == timestamp_) {
            long t = long(time);
            XChangeProperty(d_, requestor, property, XA_INTEGER, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&t), 1);
            return true;
        }
        std::string name = AtomName(target);
        UINT format = ClipboardFormatOfTarget(name);
        std::vector<std::uint8_t> raw;
        if (!format) return false;
        if (format == CF_UNICODETEXT || format == CF_TEXT) {
            // Text in either format serves every text target; UTF-8 needs no conversion.
            if (GetFormatBytes(data, CF_TEXT, raw))
                format = CF_TEXT;
            else if (GetFormatBytes(data, CF_UNICODETEXT, raw))
                format = CF_UNICODETEXT;
            else
                return false;
        } else if (!GetFormatBytes(data, CLIPFORMAT(format), raw)) {
            return false;
        }
        std::vector<std::uint8_t> bytes = FormatToTarget(format, name, raw.data(), raw.size());
        raw = {};
        Atom type = target;
        if (bytes.size() > chunk_) {
            // Too large for one request: in increments, each sent when the last is deleted.
            XSelectInput(d_, requestor, PropertyChangeMask);
            long size = long(bytes.size());
            XChangeProperty(d_, requestor, property, incr_, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size), 1);
            DropStaleTransfers();
            outgoing_.push_back(Outgoing{requestor, property, type, std::move(bytes), 0, Clock::now()});
            return true;
        }
        XChangeProperty(d_, requestor, property, type, 8, PropModeReplace, bytes.data(), int(bytes.size()));
        return true;
    }

    void Serve(const XSelectionRequestEvent& r) {
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = d_;
        reply.requestor = r.requestor;
        reply.selection = r.selection;
        reply.target = r.target;
        reply.time = r.time;
        reply.property = None;
        Atom property = r.property != None ? r.property : r.target;
        int k = KindOf(r.selection);
        TComPtr<IDataObject> data = k >= 0 ? OwnedSelection(TSelectionKind(k)) : nullptr;
        if (data && (r.time == CurrentTime || r.time >= time_[k])) {
            if (r.target == multiple_) {
                if (ServeMultiple(data.Get(), r.requestor, property, time_[k])) reply.property = property;
            } else if (Convert(data.Get(), r.target, r.requestor, property, time_[k])) {
                reply.property = property;
            }
        }
        XSendEvent(d_, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(d_);
    }

    bool ServeMultiple(IDataObject* data, ::Window requestor, Atom property, Time time) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(d_, requestor, property, 0, LONG_MAX / 4, False, atomPair_, &type, &format, &count, &after,
                               &raw) != Success ||
            !raw || format != 32) {
            if (raw) XFree(raw);
            return false;
        }
        std::vector<Atom> pairs(reinterpret_cast<Atom*>(raw), reinterpret_cast<Atom*>(raw) + count);
        XFree(raw);
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
            if (!Convert(data, pairs[i], requestor, pairs[i + 1], time)) pairs[i + 1] = None;
        XChangeProperty(d_, requestor, property, atomPair_, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(pairs.data()), int(pairs.size()));
        return true;
    }

    bool SendNextPiece(::Window requestor, Atom property) {
        for (auto it = outgoing_.begin(); it != outgoing_.end(); ++it) {
            if (it->requestor != requestor || it->property != property) continue;
            std::size_t n = std::min(chunk_, it->data.size() - it->offset);
            XChangeProperty(d_, requestor, property, it->type, 8, PropModeReplace, it->data.data() + it->offset, int(n));
            it->offset += n;
            it->touched = Clock::now();
            // The empty piece after the last one ends the transfer.
            if (n == 0) {
                XSelectInput(d_, requestor, NoEventMask);
                outgoing_.erase(it);
            }
            XFlush(d_);
            return true;
        }
        return false;
    }

    // A requestor that stopped reading (or went away) does not keep its data forever.
    void DropStaleTransfers() {
        auto limit = Clock::now() - std::chrono::milliseconds(10 * ClipboardTimeout());
        outgoing_.erase(std::remove_if(outgoing_.begin(), outgoing_.end(), [&](const Outgoing& o) { return o.touched < limit; }),
                        outgoing_.end());
    }

    Display* d_;
    ::Window win_ = 0;
    Atom selection_[kSelectionKinds] = {};
    Time time_[kSelectionKinds] = {};
    Atom targets_, timestamp_, multiple_, atomPair_, incr_, manager_, saveTargets_, property_;
    std::size_t chunk_ = 0;
    std::vector<Outgoing> outgoing_;
    bool stalled_ = false;

    friend class TX11DataObject;
};

// What another program holds, read on demand: the targets once, each format when asked.
class TX11DataObject : public TMemoryDataObject {
public:
    // targets: what the owner offers when known already (a drag announces them); else the
    // owner is asked for its TARGETS.
    TX11DataObject(TX11Selections* owner, Atom selection, std::vector<std::string> targets = {})
        : owner_(owner), selection_(selection), targets_(std::move(targets)) {
        std::vector<std::uint8_t> list;
        if (targets_.empty() && owner_->Request(selection_, owner_->TargetsAtom(), list))
            for (std::size_t i = 0; i + 4 <= list.size(); i += 4) {
                std::uint32_t a;
                std::memcpy(&a, list.data() + i, 4);
                targets_.push_back(owner_->AtomName(Atom(a)));
            }
        for (const std::string& t : targets_) {
            UINT f = ClipboardFormatOfTarget(t);
            if (f && std::find(formats_.begin(), formats_.end(), f) == formats_.end()) formats_.push_back(f);
        }
        // Text offered in one text format is offered in both.
        bool text = std::find(formats_.begin(), formats_.end(), UINT(CF_UNICODETEXT)) != formats_.end() ||
                    std::find(formats_.begin(), formats_.end(), UINT(CF_TEXT)) != formats_.end();
        if (text)
            for (UINT f : {UINT(CF_UNICODETEXT), UINT(CF_TEXT)})
                if (std::find(formats_.begin(), formats_.end(), f) == formats_.end()) formats_.push_back(f);
    }

    HRESULT QueryGetData(const FORMATETC* format) override {
        if (!format) return E_POINTER;
        if (std::find(formats_.begin(), formats_.end(), UINT(format->cfFormat)) == formats_.end()) return DV_E_FORMATETC;
        if (!(format->tymed & (TYMED_HGLOBAL | TYMED_ISTREAM))) return DV_E_TYMED;
        return S_OK;
    }

    HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
        if (!medium || !format) return E_POINTER;
        *medium = STGMEDIUM();
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK) return hr;
        // Asked of the owner each time, as the data may change; handed over without a copy.
        std::vector<std::string> tries = ClipboardFormatTargets(format->cfFormat);
        if (format->cfFormat == CF_UNICODETEXT || format->cfFormat == CF_TEXT)
            tries = {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING"};
        std::vector<std::uint8_t> data;
        bool got = false;
        for (const std::string& t : tries) {
            if (std::find(targets_.begin(), targets_.end(), t) == targets_.end()) continue;
            std::vector<std::uint8_t> bytes;
            if (!owner_->Request(selection_, owner_->Intern(t), bytes)) {
                // An owner that did not answer in time is not asked again for another
                // target: the paste as a whole stays within one transfer's deadline.
                if (owner_->Stalled()) break;
                continue;
            }
            data = TargetToFormat(format->cfFormat, t, bytes.data(), bytes.size());
            got = true;
            break;
        }
        // An owner that does not answer gives empty data, not an error the caller must
        // know about: a paste of nothing.
        if (!got) data = TargetToFormat(format->cfFormat, "", nullptr, 0);
        if (format->tymed & TYMED_HGLOBAL) {
            medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
            if (!medium->hGlobal) return E_OUTOFMEMORY;
            medium->hGlobal->bytes.swap(data);
            medium->tymed = TYMED_HGLOBAL;
            return S_OK;
        }
        Put(format->cfFormat, std::move(data));
        return TMemoryDataObject::GetData(format, medium);
    }

    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override {
        if (!enumerator) return E_POINTER;
        *enumerator = nullptr;
        if (direction != DATADIR_GET) return OLE_S_USEREG;
        std::vector<FORMATETC> list;
        for (UINT f : formats_) {
            FORMATETC e;
            e.cfFormat = CLIPFORMAT(f);
            e.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
            list.push_back(e);
        }
        *enumerator = new TEnumFormatEtcList(std::move(list));
        (*enumerator)->AddRef();
        return S_OK;
    }

private:
    TX11Selections* owner_;
    Atom selection_;
    std::vector<std::string> targets_;
    std::vector<UINT> formats_;
};

TComPtr<IDataObject> TX11Selections::Foreign(TSelectionKind kind) {
    ::Window owner = XGetSelectionOwner(d_, selection_[int(kind)]);
    if (owner == None || owner == win_) return nullptr;
    return TComPtr<IDataObject>(new TX11DataObject(this, selection_[int(kind)]));
}

}  // namespace

TComPtr<IDataObject> X11SelectionObject(TSelectionKind kind, const std::vector<std::string>& targets) {
    SelectionService();
    if (!gSelections) return nullptr;
    return TComPtr<IDataObject>(new TX11DataObject(gSelections, gSelections->SelectionAtom(kind), targets));
}

unsigned long X11SelectionWindow() {
    SelectionService();
    return gSelections ? gSelections->HelperWindow() : 0;
}

bool X11SelectionEvent(void* xevent) { return gSelections && gSelections->Filter(*static_cast<XEvent*>(xevent)); }

std::unique_ptr<TSelectionService> CreateX11SelectionService() {
    Display* d = x11::CurrentDisplay();
    if (!d) return nullptr;
    return std::make_unique<TX11Selections>(d);
}

}  // namespace platform
