// The embedded browser on a virtual X display (Xvfb): a generated movie shown in a form
// plays by itself inside the form's native area, and a helper that died is started again.
// Screenshots land under the build tree (artifacts/).
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
