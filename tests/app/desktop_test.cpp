// The desktop smoke test: lumacast on its own virtual X display (Xvfb) with a temporary
// home and settings store. Its main window appears centred in the skin's size and rounded
// shape; btnMenu opens the help menu and "Homepage" reaches the desktop's opener (a
// stand-in xdg-open first on PATH); a drag on the background moves the window; close ends
// the program with 0 and leaves the settings it wrote. A screenshot goes to artifacts/.
// The program also lives through what its surroundings do to it: standard error on a pipe
// nobody reads, a busy display that turns its first connections away, and the programs it
// starts get no descriptor of its own.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "app_support.h"
#include "support/desktop.h"
#include "support/process.h"

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

// Starts the program with standard error on `errFd` and SIGPIPE at its default (a test
// runner may ignore it, and an ignored signal stays ignored across exec).
pid_t SpawnWithStandardError(const std::string& program, int errFd, const std::string& out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Starts a program with standard input from /dev/null, output and error to files, and no
// other descriptor (none of the test runner's).
pid_t SpawnClean(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or 128 + the signal that ended it; -1 while it runs.
int Ended(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 255;
}

// The main window's id once it shows (empty when it did not, or the program ended first).
std::string WaitForMainWindow(pid_t pid, int& status) {
    std::string id;
    desktop::WaitLong([&] {
        if ((status = Ended(pid)) != -1) return true;
        id = Shell("xdotool search --onlyvisible --name '^Velmorasoft Lumacast$'");
        return !id.empty();
    });
    return id.substr(0, id.find('\n'));
}

// Closes the main window with its close button and returns the exit status.
int CloseMainWindow(pid_t pid, const std::string& id) {
    Shell("xdotool mousemove --window " + id + " 801 19 click 1");
    int status = -1;
    if (!desktop::WaitLong([&] { return (status = Ended(pid)) != -1; })) {
        desktop::Stop(pid);
        return -1;
    }
    return status;
}

// A display of its own number in front of the test's Xvfb: it turns the first connections
// away (taken and closed at once, as a busy server does now and then) and passes the later
// ones through to the real display.
class TurningAwayDisplay {
public:
    ~TurningAwayDisplay() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::thread& relay : relays_) relay.join();
        if (listener_ >= 0) close(listener_);
        if (!path_.empty()) unlink(path_.c_str());
    }

    // The display name (":N"); empty when no free number could be bound.
    std::string Start(const std::string& real, int turnAway) {
        realPath_ = "/tmp/.X11-unix/X" + real.substr(1);
        for (int number = 400 + getpid() % 400, tries = 0; tries < 50; ++number, ++tries) {
            std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            if (fs::exists(path) || fs::exists("/tmp/.X" + std::to_string(number) + "-lock")) continue;
            int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd, 16) == 0) {
                listener_ = fd;
                path_ = path;
                acceptor_ = std::thread([this, turnAway] { Accept(turnAway); });
                return ":" + std::to_string(number);
            }
            close(fd);
        }
        return "";
    }

    int TurnedAway() const { return turnedAway_; }

private:
    void Accept(int turnAway) {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            if (turnedAway_ < turnAway) {
                ++turnedAway_;
                close(client);
                continue;
            }
            int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", realPath_.c_str());
            if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                close(server);
                close(client);
                continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            relays_.emplace_back([this, client, server] { Relay(client, server); });
        }
    }

    void Relay(int a, int b) {
        char buffer[65536];
        bool open = true;
        while (open && !stop_) {
            pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
            if (poll(p, 2, 50) <= 0) continue;
            for (int i = 0; i < 2 && open; ++i) {
                if (!p[i].revents) continue;
                ssize_t n = read(p[i].fd, buffer, sizeof buffer);
                open = n > 0;
                for (ssize_t done = 0; open && done < n;) {
                    ssize_t w = send(p[1 - i].fd, buffer + done, std::size_t(n - done), MSG_NOSIGNAL);
                    open = w > 0;
                    done += w;
                }
            }
        }
        close(a);
        close(b);
    }

    int listener_ = -1;
    std::string path_, realPath_;
    std::atomic<bool> stop_{false};
    std::atomic<int> turnedAway_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> relays_;
};

int Field(const std::string& info, const std::string& name) {
    std::size_t at = info.find(name);
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
}

TEST(Desktop, MainWindowShowsOpensItsHelpMenuDragsAndCloses) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    testsupport::TempDir bin;
    fs::path opened = home.path() / "opened.txt";
    bin.Write("xdg-open", "#!/bin/sh\necho \"$@\" >> '" + opened.string() + "'\n");
    chmod((bin.path() / "xdg-open").c_str(), 0755);
    setenv("PATH", (bin.str() + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    fs::path program = BuiltProgramFolder() / "lumacast";
    pid_t pid = desktop::Spawn({program.string()}, "", (home.path() / "out.txt").string(),
                               (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    std::string id;
    ASSERT_TRUE(desktop::WaitLong([&] {
        id = Shell("xdotool search --onlyvisible --name '^Velmorasoft Lumacast$'");
        return !id.empty();
    })) << desktop::ReadFile((home.path() / "err.txt").string());
    id = id.substr(0, id.find('\n'));

    // The default skin's size, centred on the 1024 x 768 screen, with its rounded shape.
    std::string info = Shell("xwininfo -id " + id);
    EXPECT_EQ(Field(info, "Width: "), 820) << info;
    EXPECT_EQ(Field(info, "Height: "), 600) << info;
    int left = Field(info, "Absolute upper-left X: "), top = Field(info, "Absolute upper-left Y: ");
    EXPECT_EQ(left, (1024 - 820) / 2);
    EXPECT_EQ(top, (768 - 600) / 2);
    std::string shape = Shell("xwininfo -shape -id " + id);
    EXPECT_EQ(shape.find("No window shape defined"), std::string::npos) << shape;

    // btnMenu (712, 8, 22 x 22 in the default skin) opens the help menu just below it.
    Shell("xdotool mousemove --window " + id + " 723 19 click 1");
    std::string menu;
    ASSERT_TRUE(desktop::WaitLong([&] {
        std::string tree = Shell("xwininfo -root -tree");
        std::size_t at = tree.find("\"#32768\"");
        if (at == std::string::npos) return false;
        menu = tree.substr(tree.rfind('\n', at) + 1, tree.find('\n', at) - tree.rfind('\n', at) - 1);
        return true;
    })) << "the help menu did not open";
    EXPECT_NE(menu.find("+" + std::to_string(left + 712) + "+" + std::to_string(top + 30)), std::string::npos) << menu;
    if (desktop::OnPath("import")) Shell("import -window root " + (artifacts / "mainwin-menu.png").string());
    // Help, Support, (separator), Homepage.
    Shell("xdotool key Down Down Down Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }))
        << "Homepage did not reach the opener";
    EXPECT_EQ(desktop::ReadFile(opened.string()), std::string(LUMACAST_WEB_ADDRESS) + "\n");

    // A drag on the background moves the window.
    Shell("xdotool mousemove --window " + id +
        " 200 300 mousedown 1 mousemove_relative 40 30 mousemove_relative 10 10 mouseup 1");
    // The window follows each step of the pointer; it ends 50 right and 40 down.
    EXPECT_TRUE(desktop::WaitLong([&] {
        info = Shell("xwininfo -id " + id);
        return Field(info, "Absolute upper-left X: ") == left + 50 && Field(info, "Absolute upper-left Y: ") == top + 40;
    })) << info;
    if (desktop::OnPath("import")) {
        Shell("import -window root " + (artifacts / "mainwin-desktop.png").string());
        EXPECT_TRUE(fs::exists(artifacts / "mainwin-desktop.png"));
    }

    // close (790, 8) ends the program with 0.
    Shell("xdotool mousemove --window " + id + " 801 19 click 1");
    int status = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = desktop::Finished(pid)) != -1; })) << "it did not end";
    EXPECT_EQ(status, 0) << desktop::ReadFile((home.path() / "err.txt").string());
    EXPECT_EQ(StoredSetting("AutoUpdate"), "0");
    EXPECT_EQ(StoredSetting("Skin"), (BuiltProgramFolder() / "Images/DefaultImage.xml").string());
}

// Standard error on a pipe whose reader has gone (`lumacast 2>&1 | head`, a launcher whose
// log closed) and a damaged settings store, so that the first thing written goes nowhere:
// the program reports the store, goes on, and ends normally.
TEST(Desktop, LivesWithStandardErrorOnAPipeNobodyReads) {
    for (const char* tool : {"Xvfb", "xdotool"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    fs::path store = home.path() / "store";
    setenv("LUMACAST_REGISTRY_DIR", store.c_str(), 1);
    fs::create_directories(store);
    home.Write("store/registry", "not a settings store\n");
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]);
    pid_t pid = SpawnWithStandardError((BuiltProgramFolder() / "lumacast").string(), fds[1],
                                       (home.path() / "out.txt").string());
    close(fds[1]);
    ASSERT_GT(pid, 0);
    int status = -1;
    std::string id = WaitForMainWindow(pid, status);
    ASSERT_FALSE(id.empty()) << "the program ended with " << status << " before its window showed";
    // The damaged store was seen (and put aside), so the report was written.
    bool asideFound = false;
    for (const auto& entry : fs::directory_iterator(store))
        asideFound = asideFound || entry.path().filename().string().rfind("registry.damaged-", 0) == 0;
    EXPECT_TRUE(asideFound);
    EXPECT_EQ(CloseMainWindow(pid, id), 0);
}

// A program the user starts from lumacast (here the desktop's opener, through Homepage)
// holds no descriptor of lumacast's: it has what the same opener has when started on its
// own (its standard input, output and error, and what its shell opens for itself).
TEST(Desktop, AStartedProgramGetsNoDescriptorOfTheProgramsOwn) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    testsupport::TempDir bin;
    fs::path listed = home.path() / "fds.txt";
    // The opener lists its own descriptors by number.
    bin.Write("xdg-open", "#!/bin/sh\nlist=\nfor f in /proc/$$/fd/*; do list=\"$list${f##*/} $(readlink \"$f\")\n\"; "
                          "done\nprintf \"$list\" > '" + listed.string() + ".part' && mv '" + listed.string() +
                          ".part' '" + listed.string() + "'\n");
    chmod((bin.path() / "xdg-open").c_str(), 0755);
    auto numbers = [&] {
        std::string list = desktop::ReadFile(listed.string());
        std::set<int> found;
        for (std::size_t at = 0; at < list.size(); at = list.find('\n', at) + 1) {
            found.insert(std::atoi(list.c_str() + at));
            if (list.find('\n', at) == std::string::npos) break;
        }
        return found;
    };
    pid_t alone = SpawnClean({(bin.path() / "xdg-open").string(), "x"}, (home.path() / "alone.txt").string(),
                             (home.path() / "alone.err").string());
    ASSERT_GT(alone, 0);
    int aloneStatus = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (aloneStatus = Ended(alone)) != -1; }));
    ASSERT_EQ(aloneStatus, 0);
    const std::set<int> baseline = numbers();
    ASSERT_TRUE(baseline.count(0) && baseline.count(1) && baseline.count(2)) << desktop::ReadFile(listed.string());
    fs::remove(listed);
    setenv("PATH", (bin.str() + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    pid_t pid = SpawnClean({(BuiltProgramFolder() / "lumacast").string()}, (home.path() / "out.txt").string(),
                           (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    int status = -1;
    std::string id = WaitForMainWindow(pid, status);
    ASSERT_FALSE(id.empty()) << desktop::ReadFile((home.path() / "err.txt").string());
    // Help menu, then Homepage (as above).
    Shell("xdotool mousemove --window " + id + " 723 19 click 1");
    ASSERT_TRUE(desktop::WaitLong([&] { return Shell("xwininfo -root -tree").find("\"#32768\"") != std::string::npos; }));
    Shell("xdotool key Down Down Down Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return fs::exists(listed); })) << "Homepage did not reach the opener";
    EXPECT_EQ(numbers(), baseline) << desktop::ReadFile(listed.string());
    EXPECT_EQ(CloseMainWindow(pid, id), 0) << desktop::ReadFile((home.path() / "err.txt").string());
}

// A display that turns connections away now and then (a desktop with a client polling it
// every millisecond, here beside the start as well) does not keep the program from
// starting: it tries the display again.
TEST(Desktop, StartsOnADisplayThatTurnsItsFirstConnectionsAway) {
    for (const char* tool : {"Xvfb", "xdotool"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    pid_t poller = desktop::Spawn({"/bin/sh", "-c", "while :; do xdotool getmouselocation; sleep 0.001; done"}, "/dev/null",
                                  "/dev/null", "/dev/null");
    TurningAwayDisplay busy;
    const std::string name = busy.Start(display.display, 2);
    ASSERT_FALSE(name.empty()) << "no display number free for the stand-in";
    setenv("DISPLAY", name.c_str(), 1);
    pid_t pid = desktop::Spawn({(BuiltProgramFolder() / "lumacast").string()}, "/dev/null",
                               (home.path() / "out.txt").string(), (home.path() / "err.txt").string());
    setenv("DISPLAY", display.display.c_str(), 1);
    ASSERT_GT(pid, 0);
    int status = -1;
    std::string id = WaitForMainWindow(pid, status);
    desktop::Stop(poller);
    ASSERT_FALSE(id.empty()) << "ended with " << status << ": " << desktop::ReadFile((home.path() / "err.txt").string());
    EXPECT_EQ(busy.TurnedAway(), 2);
    EXPECT_EQ(CloseMainWindow(pid, id), 0) << desktop::ReadFile((home.path() / "err.txt").string());
}

// Under a window manager that focuses what is clicked (openbox), a click on the main window
// while the options dialog is open leaves the keyboard focus with the dialog, which stays
// in front; the window manager is told it is a modal dialog of the main window. Screenshots
// go to artifacts/modal-*.png.
TEST(Desktop, AModalDialogKeepsTheKeyboardWhenTheWindowBehindIsClicked) {
    for (const char* tool : {"Xvfb", "xdotool", "xprop", "openbox"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    pid_t manager = desktop::Spawn({"openbox", "--sm-disable"}, "/dev/null", "/dev/null", (home.path() / "wm.txt").string());
    ASSERT_TRUE(desktop::WaitLong([] { return Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; }))
        << "openbox " << desktop::Finished(manager) << " " << display.display << " "
        << desktop::ReadFile((home.path() / "wm.txt").string()) << Shell("xprop -root 2>&1 | head -5");
    pid_t pid = desktop::Spawn({(BuiltProgramFolder() / "lumacast").string()}, "/dev/null",
                               (home.path() / "out.txt").string(), (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    int status = -1;
    std::string main = WaitForMainWindow(pid, status);
    ASSERT_FALSE(main.empty()) << desktop::ReadFile((home.path() / "err.txt").string());
    // option (328, 40, 72 x 56) opens the options dialog.
    Shell("xdotool mousemove --window " + main + " 364 68 click 1");
    std::string dialog = desktop::WaitForWindow("^Option$");
    ASSERT_FALSE(dialog.empty()) << "the options dialog did not open";
    auto focused = [&] { return Shell("xdotool getwindowfocus").substr(0, Shell("xdotool getwindowfocus").find('\n')); };
    ASSERT_TRUE(desktop::WaitLong([&] { return focused() == dialog; })) << "focus " << focused() << ", dialog " << dialog;
    EXPECT_NE(Shell("xprop -id " + dialog + " _NET_WM_STATE").find("_NET_WM_STATE_MODAL"), std::string::npos);
    EXPECT_NE(Shell("xprop -id " + dialog + " WM_TRANSIENT_FOR").find("window id"), std::string::npos);
    Shell("import -window root " + (artifacts / "modal-before.png").string());

    // The main window's left edge, outside the dialog, is clicked.
    Shell("xdotool mousemove --window " + main + " 30 560 click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(desktop::WaitLong([&] { return focused() == dialog; })) << "focus " << focused() << ", dialog " << dialog;
    // Front to back: the dialog stays above the main window.
    std::string stacking = Shell("xprop -root _NET_CLIENT_LIST_STACKING");
    auto hex = [](const std::string& id) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%lx", std::stoul(id));
        return std::string(text);
    };
    EXPECT_GT(stacking.find(hex(dialog)), stacking.find(hex(main))) << stacking;
    Shell("import -window root " + (artifacts / "modal-after-click.png").string());

    // Cancel (390, 370, 110 x 36) closes the dialog.
    Shell("xdotool mousemove --window " + dialog + " 445 388 click 1");
    EXPECT_TRUE(desktop::WaitLong([&] { return Shell("xdotool search --onlyvisible --name '^Option$'").empty(); }));
    EXPECT_EQ(CloseMainWindow(pid, main), 0) << desktop::ReadFile((home.path() / "err.txt").string());
    desktop::Stop(manager);
}

// Closed while a clip plays in the preview and the customisation wizard is open (the window
// manager's close, as no click reaches the main window then), the program ends with 0 and
// no thread of its own left running: each one was stopped and waited for before main
// returned (the program says so on standard error otherwise).
TEST(Desktop, EndsWithNoThreadLeftWhileAClipPlaysAndTheWizardIsOpen) {
    for (const char* tool : {"Xvfb", "xdotool", "import", "compare", "ffmpeg"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    if (std::system("/usr/bin/python3 -c 'import Xlib' 2>/dev/null") != 0) GTEST_SKIP() << "python3-xlib is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::QuietSound(home.str());
    std::string clip = (home.path() / "clip.mp4").string();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=320x240:r=25:d=60 -f lavfi -i "
                           "sine=frequency=600:duration=60 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
                           "-shortest " + clip).c_str()),
              0);
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    const std::string err = (home.path() / "err.txt").string();
    pid_t pid = desktop::Spawn({(BuiltProgramFolder() / "lumacast").string()}, "/dev/null",
                               (home.path() / "out.txt").string(), err);
    ASSERT_GT(pid, 0);
    int status = -1;
    std::string id = WaitForMainWindow(pid, status);
    ASSERT_FALSE(id.empty()) << desktop::ReadFile(err);
    auto click = [&](int x, int y) {
        Shell("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    };
    auto shot = [&](const std::string& name) {
        std::string path = (home.path() / name).string();
        Shell("import -window " + id + " " + path);
        return path;
    };
    // addFile (16, 40): the open dialog takes the clip's path; the row shows once probed.
    std::string empty = shot("empty.png");
    click(52, 68);
    std::string dialog = desktop::WaitForWindow("^Open$");
    ASSERT_FALSE(dialog.empty()) << "the open dialog did not come";
    Shell("xdotool mousemove --window " + dialog + " 250 262 click 1");
    Shell("xdotool type --delay 5 '" + clip + "'");
    Shell("xdotool key Return");
    std::string added;
    ASSERT_TRUE(desktop::WaitShots([&] {
        added = shot("added.png");
        return desktop::DifferentPixels(empty, added, "400x40+20+112") > 1000;
    })) << "the clip was not added";
    // The row shows while the probe still runs; Play stays disabled until the adding ends,
    // which Convert (660, 524, 140 x 56), disabled on the empty list, shows by its enabled face.
    ASSERT_TRUE(desktop::WaitShots([&] { return desktop::DifferentPixels(empty, shot("added-done.png"), "140x56+660+524") > 500; }))
        << "the adding did not end";
    // The row, then Play (440, 390): the picture shows in the panel (440, 110, 360 x 270).
    click(100, 140);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    click(458, 408);
    ASSERT_TRUE(desktop::WaitShots([&] { return desktop::DifferentPixels(added, shot("playing.png"), "360x270+440+110") > 10000; }))
        << "nothing played";
    // customize (250, 40) opens the wizard over the playing preview.
    const std::string before = Shell("xdotool search --onlyvisible --name ''");
    click(286, 68);
    ASSERT_TRUE(desktop::WaitLong([&] { return Shell("xdotool search --onlyvisible --name ''").size() > before.size(); }))
        << "the wizard did not open";
    // The window manager's close of the main window.
    Shell("/usr/bin/python3 -c \"from Xlib import display, X\nfrom Xlib.protocol import event\nd = display.Display()\n"
          "w = d.create_resource_object('window', " + id + ")\n"
          "w.send_event(event.ClientMessage(window=w, client_type=d.intern_atom('WM_PROTOCOLS'), "
          "data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0])))\nd.flush()\"");
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = Ended(pid)) != -1; })) << "it did not end";
    const std::string errors = desktop::ReadFile(err);
    EXPECT_EQ(status, 0) << errors;
    EXPECT_EQ(errors.find("threads still running"), std::string::npos) << errors;
}

}  // namespace

