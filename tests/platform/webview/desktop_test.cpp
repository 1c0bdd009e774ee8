// The embedded browser on a virtual X display (Xvfb): a generated movie shown in a form
// plays by itself inside the form's native area, and a helper that died is started again.
// Screenshots land under the build tree (artifacts/).
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "harness/ruffle.h"
#include "platform/controls/forms.h"
#include "platform/controls/webbrowser.h"
#include "platform/windows/backend.h"
#include "swf/swf.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace platform;
using State = TCppWebBrowser::TState;

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), p)) out += buffer;
        pclose(p);
    }
    return out;
}

// One virtual display for the whole program, started before the first window.
class VirtualDisplay : public testing::Environment {
public:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xwininfo", "import"})
            if (!OnPath(tool)) {
                missing = std::string(tool) + " is not installed";
                return;
            }
        int fds[2];
        if (pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", nullptr};
        if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid = -1;
        close(fds[1]);
        std::string number;
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) {
            missing = "Xvfb did not start";
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("LUMACAST_HEADLESS");
        auto backend = CreateX11Backend();
        if (!backend) {
            missing = "the virtual display cannot be opened";
            return;
        }
        SetBackend(std::move(backend));
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
    std::string missing;
};

VirtualDisplay* gDisplay = nullptr;

// A 320 x 240 movie, 24 frames a second: a square (red unless told) crosses a dark blue
// stage, again and again.
void WriteMovie(const std::string& path, harness::Rgb colour = {255, 0, 0}) {
    SWFMovie movie = newSWFMovie();
    SWFMovie_setDimension(movie, 320, 240);
    SWFMovie_setRate(movie, 24);
    SWFMovie_setBackground(movie, 0, 0, 80);
    SWFShape square = newSWFShape();
    SWFFill red = SWFShape_addSolidFill(square, colour.r, colour.g, colour.b, 255);
    SWFShape_setRightFill(square, red);
    SWFShape_movePenTo(square, 0, 0);
    SWFShape_drawLine(square, 60, 0);
    SWFShape_drawLine(square, 0, 60);
    SWFShape_drawLine(square, -60, 0);
    SWFShape_drawLine(square, 0, -60);
    SWFDisplayItem item = SWFMovie_add(movie, (SWFBlock)square);
    for (int frame = 0; frame < 48; ++frame) {
        SWFDisplayItem_moveTo(item, frame * 5, 90);
        SWFMovie_nextFrame(movie);
    }
    ASSERT_GT(SWFMovie_save(movie, path.c_str()), 0) << SWF_getLastError();
    destroySWFFill(red);
    destroySWFShape(square);
    destroySWFMovie(movie);
}

class EmbeddedBrowser : public testing::Test {
protected:
    void SetUp() override {
        if (!gDisplay->missing.empty()) GTEST_SKIP() << gDisplay->missing;
        const char* program = std::getenv("LUMACAST_PROGRAM_DIR");
        ASSERT_NE(program, nullptr);
        folder = fs::path(program);
        ASSERT_TRUE(fs::exists(folder / "lumacast-webview")) << "the helper is not built";
        ASSERT_TRUE(fs::exists(folder / "ruffle/ruffle.js")) << "the player copy is missing";
        fs::create_directories(folder / "temp");
        movie = (folder / "temp" / ("webview-test-" + std::to_string(getpid()) + ".swf")).string();
        WriteMovie(movie);
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);

        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetCaption("lumacast webview test");
        form->SetBounds(100, 100, 400, 300);
        form->SetColor(clBtnFace);
        form->AfterConstruction();
        browser = new TCppWebBrowser(form);
        browser->SetParent(form);
        browser->SetBounds(20, 30, 320, 240);
        browser->SetProgramFolder(folder.string());
        browser->SetHelperProgram((folder / "lumacast-webview").string());
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override {
        delete form;
        if (Application) Application->ProcessMessages();
        if (!movie.empty()) fs::remove(movie);
    }
    // Runs the program's loop until the view reaches state (or gives up after two minutes:
    // the player's WebAssembly is compiled on every page load, slowly on a busy machine).
    bool WaitFor(State state) {
        for (int i = 0; i < 2400; ++i) {
            Application->ProcessMessages();
            if (browser->State() == state) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // The view's area of the screen.
    std::string Shot(const std::string& name) {
        std::string path = (artifacts / name).string();
        Capture("import -window root -crop 320x240+120+130 +repage " + path);
        return path;
    }

    fs::path folder;
    fs::path artifacts;
    std::string movie;
    TForm* form = nullptr;
    TCppWebBrowser* browser = nullptr;
};

// The process and every process below it.
std::vector<pid_t> WithDescendants(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parents;  // (pid, parent)
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
        if (!f) continue;
        char line[1024] = {};
        size_t n = std::fread(line, 1, sizeof(line) - 1, f);
        std::fclose(f);
        std::string stat(line, n);
        size_t close = stat.rfind(')');
        if (close == std::string::npos || close + 4 >= stat.size()) continue;
        parents.emplace_back(std::stoi(name), std::atoi(stat.c_str() + close + 4));
    }
    std::vector<pid_t> out = {root};
    for (size_t i = 0; i < out.size(); ++i)
        for (auto [pid, parent] : parents)
            if (parent == out[i]) out.push_back(pid);
    return out;
}

// The sockets of these processes that listen, TCP over IPv4 or IPv6 or local (Unix), as
// "<pid> <table> <line>": anything another user or a web page could connect to.
std::vector<std::string> ListeningSockets(const std::vector<pid_t>& pids) {
    std::vector<std::string> found;
    for (pid_t pid : pids) {
        std::vector<std::string> inodes;
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            std::string target = fs::read_symlink(fd.path(), ec).string();
            if (target.rfind("socket:[", 0) == 0) inodes.push_back(target.substr(8, target.size() - 9));
        }
        for (const char* table : {"tcp", "tcp6", "unix"}) {
            std::string text = Capture("cat /proc/" + std::to_string(pid) + "/net/" + table);
            size_t start = text.find('\n');
            while (start != std::string::npos && start + 1 < text.size()) {
                size_t end = text.find('\n', start + 1);
                std::string line = text.substr(start + 1, end - start - 1);
                start = end;
                std::vector<std::string> fields;
                for (size_t at = 0; at < line.size();) {
                    size_t from = line.find_first_not_of(' ', at);
                    if (from == std::string::npos) break;
                    at = line.find(' ', from);
                    fields.push_back(line.substr(from, at - from));
                }
                bool listening;
                std::string inode;
                if (std::string(table) == "unix") {
                    // Num RefCount Protocol Flags Type St Inode [Path]; flag 0x10000 accepts.
                    if (fields.size() < 7) continue;
                    listening = (std::stoul(fields[3], nullptr, 16) & 0x10000) != 0;
                    inode = fields[6];
                } else {
                    // sl local remote st ... inode (the tenth field); state 0A listens.
                    if (fields.size() < 10) continue;
                    listening = fields[3] == "0A";
                    inode = fields[9];
                }
                if (listening && std::find(inodes.begin(), inodes.end(), inode) != inodes.end())
                    found.push_back(std::to_string(pid) + " " + table + " " + line);
            }
        }
    }
    return found;
}

bool Differ(const harness::Image& a, const harness::Image& b) {
    if (a.width != b.width || a.height != b.height) return true;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            harness::Rgb p = a.At(x, y), q = b.At(x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b) return true;
        }
    return false;
}

int Pixels(const harness::Image& img, harness::Rgb colour) {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (harness::Near(img.At(x, y), colour)) ++n;
    return n;
}

int RedPixels(const harness::Image& img) { return Pixels(img, {255, 0, 0}); }

TEST_F(EmbeddedBrowser, PlaysTheMovieInsideTheFormWithNoInput) {
    browser->Navigate(movie);
    ASSERT_NE(browser->HelperPid(), 0) << browser->Unavailability();
    ASSERT_TRUE(WaitFor(State::Playing)) << browser->Unavailability() << " " << browser->PageError();
    EXPECT_EQ(browser->PageError(), "");

    // The page, the player and the movie reached the view with nothing listening for them:
    // neither the program nor the helper and its browser processes accept connections.
    std::vector<pid_t> processes = WithDescendants(browser->HelperPid());
    processes.push_back(getpid());
    EXPECT_GE(processes.size(), 3u) << "the helper's browser processes were not found";
    std::vector<std::string> listening = ListeningSockets(processes);
    EXPECT_TRUE(listening.empty()) << listening.front();

    // The area is a child of the form's window, at the view's place, with the helper's
    // window embedded in it.
    std::string area = Capture("xwininfo -children -id " + std::to_string(browser->AreaId()));
    EXPECT_NE(area.find("1 child:"), std::string::npos) << area;
    EXPECT_NE(area.find("320x240+0+0"), std::string::npos) << area;
    std::string formId = Capture("xdotool search --name '^lumacast webview test$'");
    if (!formId.empty()) {
        unsigned long id = std::stoul(formId);
        char parent[64];
        std::snprintf(parent, sizeof(parent), "Parent window id: 0x%lx", id);
        EXPECT_NE(area.find(parent), std::string::npos) << area;
    }
    std::string geometry = Capture("xwininfo -id " + std::to_string(browser->AreaId()));
    EXPECT_NE(geometry.find("Absolute upper-left X:  120"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Absolute upper-left Y:  130"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Map State: IsViewable"), std::string::npos) << geometry;

    // The frames advance by themselves: two pictures a second apart differ.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Application->ProcessMessages();
    harness::Image first = harness::ReadPng(Shot("webview-playing-1.png"));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Application->ProcessMessages();
    harness::Image second = harness::ReadPng(Shot("webview-playing-2.png"));
    Capture("import -window root -crop 400x300+100+100 +repage " + (artifacts / "webview-form.png").string());
    ASSERT_EQ(first.width, 320);
    EXPECT_GT(RedPixels(first), 500);
    EXPECT_GT(RedPixels(second), 500);
    EXPECT_TRUE(Differ(first, second));

    // A new movie in the loaded page (only the movie is reloaded).
    browser->Navigate(movie);
    EXPECT_TRUE(WaitFor(State::Playing)) << browser->Unavailability();
}

// The page kept loaded gets a movie rewritten under the same name again and again, some
// after the view has had time to prepare for the next one, some at once, and one under
// another name between them: each time the view shows the movie just written, never one
// the name held before.
TEST_F(EmbeddedBrowser, AMovieRewrittenUnderTheSameNameShowsItsNewPictures) {
    browser->Navigate(movie);
    ASSERT_TRUE(WaitFor(State::Playing)) << browser->Unavailability() << " " << browser->PageError();
    const std::string other = movie.substr(0, movie.size() - 4) + "-other.swf";
    struct Step {
        harness::Rgb colour;
        int settleMs;  // time given to the view before the rewritten movie is handed over
        bool otherName;
    } steps[] = {{{0, 255, 0}, 1500, false}, {{255, 255, 0}, 1500, false}, {{255, 0, 0}, 0, false},
                 {{0, 255, 0}, 0, false},    {{255, 0, 0}, 1500, true},     {{255, 255, 0}, 1500, false}};
    harness::Rgb before = {255, 0, 0};
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        for (int waited = 0; waited < step.settleMs; waited += 50) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const std::string& path = step.otherName ? other : movie;
        WriteMovie(path, step.colour);
        browser->Navigate(path);
        ASSERT_TRUE(WaitFor(State::Playing)) << browser->Unavailability() << " " << browser->PageError();
        for (int i = 0; i < 10; ++i) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        harness::Image shot = harness::ReadPng(Shot("webview-rewritten-" + std::to_string(n) + ".png"));
        EXPECT_GT(Pixels(shot, step.colour), 500);
        EXPECT_LT(Pixels(shot, before), 50);
        before = step.colour;
    }
    EXPECT_EQ(browser->PageError(), "");
    fs::remove(other);
}

TEST_F(EmbeddedBrowser, AHelperThatDiedIsStartedAgainByTheNextNavigate) {
    browser->Navigate(movie);
    pid_t first = browser->HelperPid();
    ASSERT_GT(first, 0) << browser->Unavailability();
    ASSERT_TRUE(WaitFor(State::Loaded) || browser->State() == State::Playing);
    kill(first, SIGKILL);
    ASSERT_TRUE(WaitFor(State::Unavailable));
    EXPECT_EQ(browser->HelperPid(), 0);
    Application->ProcessMessages();
    std::string hidden = Capture("xwininfo -id " + std::to_string(browser->AreaId()));
    EXPECT_NE(hidden.find("IsUnMapped"), std::string::npos) << hidden;
    Shot("webview-helper-died.png");

    browser->Navigate(movie);
    EXPECT_GT(browser->HelperPid(), 0);
    EXPECT_NE(browser->HelperPid(), first);
    EXPECT_TRUE(WaitFor(State::Playing)) << browser->Unavailability();
}

TEST_F(EmbeddedBrowser, WithoutItsHelperTheAreaSaysThePreviewIsUnavailable) {
    browser->SetHelperProgram((folder / "no-such-helper").string());
    browser->Navigate(movie);
    EXPECT_EQ(browser->State(), State::Unavailable);
    EXPECT_EQ(browser->HelperPid(), 0);
    Application->ProcessMessages();
    // The form paints the message where the preview would be.
    EXPECT_EQ(GetWindowSurfacePixel(browser->Handle(), 2, 2), RGB(0x30, 0x30, 0x30));
    Shot("webview-no-helper.png");
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    gDisplay = new VirtualDisplay;
    testing::AddGlobalTestEnvironment(gDisplay);
    return RUN_ALL_TESTS();
}
