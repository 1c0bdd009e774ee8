// The clipboard on a real X display: xclip reads what the program copied and the program
// pastes what xclip wrote (non-ASCII, and 8 MB in increments both ways), an owner that
// never answers, or sends its increments slowly, gives an empty paste after the deadline
// without running any handler, a program taking the clipboard releases the held object,
// and a clipboard manager keeps the text after the program has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "platform/backends/x11.h"
#include "platform/core/messages.h"
#include "support/desktop.h"
#include "platform/windows/backend.h"
#include "platform/windows/clipboard.h"

// Last: Xlib's macros (None, Bool) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace desktop;

class ClipboardDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xclip"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(xvfb.Start());
        SetBackend(CreateX11Backend());
        ASSERT_EQ(Backend().Name(), "x11");
        dir = fs::temp_directory_path() / ("lumacast-clip-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Runs a program while this one keeps serving its selections; its exit status.
    int RunServing(const std::vector<std::string>& args, const std::string& in = "", const std::string& out = "") {
        pid_t pid = Spawn(args, in, out);
        if (pid <= 0) return -1;
        int fd = ConnectionNumber(x11::CurrentDisplay());
        for (int i = 0; i < 3000; ++i) {
            Backend().PollInput();
            int rc = Finished(pid);
            if (rc >= 0) return rc;
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 10);
        }
        Stop(pid);
        return -2;
    }

    ::Window Owner(const char* selection) {
        Display* d = x11::CurrentDisplay();
        return XGetSelectionOwner(d, XInternAtom(d, selection, False));
    }

    // Waits until another window than before owns the selection.
    bool OwnedElsewhere(const char* selection, ::Window before = None) {
        for (int i = 0; i < 500; ++i) {
            ::Window w = Owner(selection);
            if (w != None && w != before) return true;
            usleep(10000);
        }
        return false;
    }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    Xvfb xvfb;
    fs::path dir;
};

TEST_F(ClipboardDesktop, XclipReadsWhatTheProgramCopied) {
    const std::string text = "caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC";
    Clipboard()->SetAsText(text);
    PrimarySelection()->SetAsText("primary " + text);
    struct Case {
        const char* selection;
        const char* target;
        std::string expected;
    } cases[] = {
        {"clipboard", "UTF8_STRING", text},
        {"clipboard", "text/plain;charset=utf-8", text},
        {"clipboard", "STRING", "caf\xE9 ? ??"},
        {"primary", "UTF8_STRING", "primary " + text},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunServing({"xclip", "-o", "-selection", c.selection, "-t", c.target}, "", Path("out")), 0) << c.target;
        EXPECT_EQ(ReadFile(Path("out")), c.expected) << c.selection << " " << c.target;
    }
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}, "", Path("targets")), 0);
    std::string targets = ReadFile(Path("targets"));
    for (const char* t : {"TARGETS", "UTF8_STRING", "text/plain", "STRING"})
        EXPECT_NE(targets.find(std::string(t) + "\n"), std::string::npos) << t << " in " << targets;
}

std::string LargeText(std::size_t bytes) {
    std::string s;
    s.reserve(bytes + 64);
    for (int line = 0; s.size() < bytes; ++line) s += "line " + std::to_string(line) + " \xC3\xBF\xE2\x82\xAC\xE2\x9C\x93\n";
    return s;
}

TEST_F(ClipboardDesktop, EightMegabytesTravelInIncrementsBothWays) {
    const std::string big = LargeText(8 << 20);
    Clipboard()->SetAsText(big);
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "", Path("out")), 0);
    EXPECT_TRUE(ReadFile(Path("out")) == big) << "xclip read " << fs::file_size(Path("out")) << " bytes";

    // xclip writes, the program pastes (xclip sends in increments above about 1 MB).
    const std::string other = LargeText((8 << 20) + 12345).substr(3);
    std::ofstream(Path("in"), std::ios::binary) << other;
    ::Window before = Owner("CLIPBOARD");
    pid_t writer = Spawn({"xclip", "-i", "-selection", "clipboard", "-loops", "1", "-quiet", Path("in")}, "", Path("log"));
    ASSERT_GT(writer, 0);
    ASSERT_TRUE(OwnedElsewhere("CLIPBOARD", before));
    // Pasted at once, before the notice that the clipboard went elsewhere was read.
    std::string pasted = Clipboard()->AsText();
    EXPECT_FALSE(Clipboard()->Owned());
    EXPECT_EQ(pasted.size(), other.size());
    EXPECT_TRUE(pasted == other);
    for (int i = 0; i < 300 && Finished(writer) < 0; ++i) usleep(10000);
    Stop(writer);
}

struct CountingText : TMemoryDataObject {
    static inline std::atomic<int> alive{0};
    CountingText() {
        ++alive;
        Put(CF_UNICODETEXT, Utf8ToUnicodeText("held"));
    }
    ~CountingText() override { --alive; }
};

TEST_F(ClipboardDesktop, AnotherProgramTakingTheClipboardReleasesTheHeldObject) {
    OleSetClipboard(TComPtr<IDataObject>(new CountingText).Get());
    ASSERT_EQ(CountingText::alive, 1);
    std::ofstream(Path("in")) << "xclip's";
    ::Window before = Owner("CLIPBOARD");
    pid_t writer = Spawn({"xclip", "-i", "-selection", "clipboard", "-loops", "1", "-quiet", Path("in")}, "", Path("log"));
    ASSERT_TRUE(OwnedElsewhere("CLIPBOARD", before));
    for (int i = 0; i < 500 && CountingText::alive > 0; ++i) {
        Backend().PollInput();
        usleep(10000);
    }
    EXPECT_EQ(CountingText::alive, 0);
    EXPECT_EQ(Clipboard()->AsText(), "xclip's");
    Stop(writer);
}

// Owners that misbehave, on a connection of their own served by a thread.
TEST_F(ClipboardDesktop, AnOwnerThatStallsGivesAnEmptyPasteWithoutRunningHandlers) {
    for (bool incrStall : {false, true}) {
        Display* other = XOpenDisplay(nullptr);
        ASSERT_NE(other, nullptr);
        ::Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
        Atom clipboard = XInternAtom(other, "CLIPBOARD", False);
        Atom targets = XInternAtom(other, "TARGETS", False);
        Atom utf8 = XInternAtom(other, "UTF8_STRING", False);
        Atom incr = XInternAtom(other, "INCR", False);
        XSetSelectionOwner(other, clipboard, w, CurrentTime);
        XSync(other, False);
        std::atomic<bool> stop{false};
        std::thread owner([&] {
            while (!stop) {
                while (XPending(other)) {
                    XEvent e;
                    XNextEvent(other, &e);
                    if (e.type != SelectionRequest) continue;
                    XSelectionRequestEvent& r = e.xselectionrequest;
                    XSelectionEvent reply{};
                    reply.type = SelectionNotify;
                    reply.requestor = r.requestor;
                    reply.selection = r.selection;
                    reply.target = r.target;
                    reply.property = r.property;
                    reply.time = r.time;
                    if (r.target == targets) {
                        Atom list[] = {targets, utf8};
                        XChangeProperty(other, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                        reinterpret_cast<unsigned char*>(list), 2);
                    } else if (incrStall) {
                        long size = 1 << 20;  // announces increments, then sends none
                        XChangeProperty(other, r.requestor, r.property, incr, 32, PropModeReplace,
                                        reinterpret_cast<unsigned char*>(&size), 1);
                    } else {
                        continue;  // never answers
                    }
                    XSendEvent(other, r.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
                    XFlush(other);
                }
                usleep(5000);
            }
        });
        int handled = 0;
        HWND target = AllocateHWnd([&](HWND h, UINT m, WPARAM w2, LPARAM l) -> LRESULT {
            if (m == WM_USER) ++handled;
            (void)h;
            (void)w2;
            (void)l;
            return 0;
        });
        PostMessage(target, WM_USER, 0, 0);
        SetClipboardTimeout(300);
        EXPECT_EQ(Clipboard()->AsText(), "") << (incrStall ? "stalled increments" : "silent owner");
        EXPECT_EQ(handled, 0) << "a paste handles only selection traffic";
        MSG msg;
        while (PeekMessage(&msg, target, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
        EXPECT_EQ(handled, 1);
        DeallocateHWnd(target);
        stop = true;
        owner.join();
        XCloseDisplay(other);
    }
    SetClipboardTimeout(2000);
}

// An owner that announces increments and then sends one byte at a time, each just before
// the wait for it would run out: the paste as a whole still ends at its deadline, empty,
// and the windows answer again. Sent in full, the text would have taken about four times
// that deadline.
TEST_F(ClipboardDesktop, AnOwnerDribblingIncrementsCannotHoldThePastePastItsDeadline) {
    constexpr int kTimeoutMs = 300;
    constexpr int kPieceEveryMs = 200;  // under the timeout: each wait alone is met
    const std::string text(4 * 4 * kTimeoutMs / kPieceEveryMs, 'x');
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    ::Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    Atom clipboard = XInternAtom(other, "CLIPBOARD", False);
    Atom targets = XInternAtom(other, "TARGETS", False);
    Atom utf8 = XInternAtom(other, "UTF8_STRING", False);
    Atom incr = XInternAtom(other, "INCR", False);
    XSetSelectionOwner(other, clipboard, w, CurrentTime);
    XSync(other, False);
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread owner([&] {
        ::Window requestor = None;
        Atom property = None;
        std::size_t next = 0;
        while (!stop) {
            while (XPending(other)) {
                XEvent e;
                XNextEvent(other, &e);
                if (e.type == SelectionRequest) {
                    XSelectionRequestEvent& r = e.xselectionrequest;
                    XSelectionEvent reply{};
                    reply.type = SelectionNotify;
                    reply.requestor = r.requestor;
                    reply.selection = r.selection;
                    reply.target = r.target;
                    reply.property = r.property;
                    reply.time = r.time;
                    if (r.target == targets) {
                        Atom list[] = {targets, utf8};
                        XChangeProperty(other, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                        reinterpret_cast<unsigned char*>(list), 2);
                    } else {
                        long size = long(text.size());
                        XSelectInput(other, r.requestor, PropertyChangeMask);
                        XChangeProperty(other, r.requestor, r.property, incr, 32, PropModeReplace,
                                        reinterpret_cast<unsigned char*>(&size), 1);
                        requestor = r.requestor;
                        property = r.property;
                        next = 0;
                    }
                    XSendEvent(other, r.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
                    XFlush(other);
                } else if (e.type == PropertyNotify && e.xproperty.window == requestor &&
                           e.xproperty.atom == property && e.xproperty.state == PropertyDelete) {
                    // The last piece was read: the next one (or the empty end) a while later.
                    usleep(kPieceEveryMs * 1000);
                    std::size_t n = next < text.size() ? 1 : 0;
                    XChangeProperty(other, requestor, property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text.data() + next), int(n));
                    XFlush(other);
                    next += n;
                    ++sent;
                }
            }
            usleep(2000);
        }
    });
    int handled = 0;
    HWND target = AllocateHWnd([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER) ++handled;
        return 0;
    });
    PostMessage(target, WM_USER, 0, 0);
    SetClipboardTimeout(kTimeoutMs);
    EXPECT_EQ(Clipboard()->AsText(), "") << "the dribbled text arrived whole";
    EXPECT_GT(sent.load(), 1) << "the owner sent its pieces";
    EXPECT_EQ(handled, 0) << "a paste handles only selection traffic";
    MSG msg;
    while (PeekMessage(&msg, target, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    EXPECT_EQ(handled, 1) << "the window answers after the paste";
    DeallocateHWnd(target);
    stop = true;
    owner.join();
    XCloseDisplay(other);
    SetClipboardTimeout(2000);
}

TEST_F(ClipboardDesktop, AClipboardManagerKeepsTheTextAfterTheProgramEnds) {
    if (!fs::exists("/usr/bin/python3") || std::system("/usr/bin/python3 -c 'import Xlib' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-xlib is not installed";
    pid_t manager = Spawn({"/usr/bin/python3", std::string(LUMACAST_SOURCE) + "/tests/platform/services/clipboard_manager.py"},
                          "", Path("manager.log"));
    ASSERT_GT(manager, 0);
    ASSERT_TRUE(OwnedElsewhere("CLIPBOARD_MANAGER"));
    const std::string text = "kept \xE2\x9C\x93 after exit";
    pid_t peer = Spawn({SERVICES_PEER, "copy", text}, "", Path("peer.log"));
    int rc = -1;
    for (int i = 0; i < 1000 && (rc = Finished(peer)) < 0; ++i) usleep(10000);
    EXPECT_EQ(rc, 0) << ReadFile(Path("peer.log"));
    ASSERT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "", Path("out")), 0);
    EXPECT_EQ(ReadFile(Path("out")), text);
    EXPECT_NE(ReadFile(Path("manager.log")).find("saved"), std::string::npos);
    Stop(manager);
}

}  // namespace
}  // namespace platform
