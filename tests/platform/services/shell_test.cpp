#include "platform/core/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/tempdir.h"

namespace platform {
namespace {

struct Recorder : TProcessLauncher {
    std::vector<std::vector<std::string>>* calls;
    explicit Recorder(std::vector<std::vector<std::string>>* c) : calls(c) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        calls->push_back(argv);
        return true;
    }
};

struct ScopedLauncher {
    std::vector<std::vector<std::string>> calls;
    std::unique_ptr<TProcessLauncher> old;
    ScopedLauncher() { old = SetProcessLauncher(std::make_unique<Recorder>(&calls)); }
    ~ScopedLauncher() { SetProcessLauncher(std::move(old)); }
};

void WriteFile(const std::string& path, const std::string& text, bool executable) {
    std::ofstream(path) << text;
    if (executable) chmod(path.c_str(), 0755);
}

TEST(ShellExecute, VerbsAndTargetsReachTheRightProgram) {
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "page.html", "<p>", false);
    WriteFile(dir / "update", "#!/bin/sh\n", true);
    const std::string odd = "https://example.org/a b;$(touch x)&c='d'";
    struct Case {
        const char* verb;
        std::string file;
        const char* params;
        int result;
        std::vector<std::string> argv;  // empty: nothing started
    } cases[] = {
        {"open", odd, nullptr, SE_SUCCESS, {"xdg-open", odd}},
        {nullptr, "mailto:someone@example.org", nullptr, SE_SUCCESS, {"xdg-open", "mailto:someone@example.org"}},
        {"open", dir / "page.html", "ignored", SE_SUCCESS, {"xdg-open", dir / "page.html"}},
        {"open", dir / "folder", nullptr, SE_SUCCESS, {"xdg-open", dir / "folder"}},
        {"open", dir / "update", "/SilentCheck  \"/Lang:Update Lang.ini\"", SE_SUCCESS,
         {dir / "update", "/SilentCheck", "/Lang:Update Lang.ini"}},
        {"open", dir / "missing.html", nullptr, SE_ERR_FNF, {}},
        {"open", "", nullptr, SE_ERR_FNF, {}},
        {"explore", dir / "folder", nullptr, SE_SUCCESS, {"xdg-open", dir / "folder"}},
        {"explore", dir / "page.html", nullptr, SE_ERR_PNF, {}},
        {"explore", dir / "gone", nullptr, SE_ERR_FNF, {}},
        {"print", dir / "page.html", nullptr, SE_ERR_NOASSOC, {}},
    };
    for (const Case& c : cases) {
        ScopedLauncher launcher;
        int r = ShellExecuteResult(ShellExecuteA(nullptr, c.verb, c.file.c_str(), c.params, nullptr, 5));
        EXPECT_EQ(r, c.result) << (c.verb ? c.verb : "(null)") << " " << c.file;
        if (c.argv.empty()) {
            EXPECT_TRUE(launcher.calls.empty()) << c.file;
        } else {
            ASSERT_EQ(launcher.calls.size(), 1u) << c.file;
            EXPECT_EQ(launcher.calls[0], c.argv);
        }
    }
}

// The zombie children of this process (state Z in /proc), which a reaped child never is.
int ZombieChildren() {
    int count = 0;
    for (auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == getpid() && state == 'Z') ++count;
    }
    return count;
}

TEST(ShellExecute, OpenerGetsTheAddressAsOneArgumentAndIsReaped) {
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    // A stand-in opener on PATH that writes each argument on its own line.
    WriteFile(dir / "bin/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OPENER_OUT.tmp\"\nmv \"$OPENER_OUT.tmp\" \"$OPENER_OUT\"\n", true);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir.str() + "/bin:" + oldPath).c_str(), 1);
    setenv("OPENER_OUT", (dir / "args").c_str(), 1);
    const std::string target = "http://example.org/?q=1;touch " + (dir / "pwned") + "&x=$(id)";
    int r = ShellExecuteResult(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, 5));
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(r, SE_SUCCESS);
    // The opener runs on its own; the test waits for its output (not a timing check).
    for (int i = 0; i < 1000 && !std::filesystem::exists(dir / "args"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(dir / "args");
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(all, target + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
    int zombies = ZombieChildren();
    for (int i = 0; i < 1000 && zombies > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        zombies = ZombieChildren();
    }
    EXPECT_EQ(zombies, 0);
}

// Names typed relative to the working folder that look like options ("--help", "-x"):
// the real launcher hands the stand-in opener on PATH (or starts the program as) an
// absolute path, which no program reads as an option.
TEST(ShellExecute, LocalNamesThatLookLikeOptionsArriveAsAbsolutePaths) {
    testsupport::TempDir dir;
    std::filesystem::create_directory(dir / "bin");
    std::filesystem::create_directory(dir / "work");
    std::filesystem::create_directory(dir / "work/--help");
    WriteFile(dir / "work/-x.html", "<p>", false);
    const std::string record =
        "#!/bin/sh\n{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$OPENER_OUT.tmp\"\n"
        "mv \"$OPENER_OUT.tmp\" \"$OPENER_OUT\"\n";
    WriteFile(dir / "bin/xdg-open", record, true);
    WriteFile(dir / "work/--version", record, true);
    const std::string work = std::filesystem::canonical(dir / "work").string();
    struct Case {
        const char* verb;
        const char* file;
        std::string recorded;  // the program's $0, then its arguments
    } cases[] = {
        {"explore", "--help", dir / "bin/xdg-open\n" + work + "/--help\n"},
        {"open", "--help", dir / "bin/xdg-open\n" + work + "/--help\n"},
        {"open", "-x.html", dir / "bin/xdg-open\n" + work + "/-x.html\n"},
        {"open", "--version", work + "/--version\n"},
    };
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::filesystem::path oldDir = std::filesystem::current_path();
    setenv("PATH", (dir.str() + "/bin:" + oldPath).c_str(), 1);
    std::filesystem::current_path(work);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.file);
        std::filesystem::path out = dir / "args";
        std::filesystem::remove(out);
        setenv("OPENER_OUT", out.c_str(), 1);
        EXPECT_EQ(ShellExecuteResult(ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, 5)), SE_SUCCESS);
        // The program runs on its own; the test waits for its output (not a timing check).
        for (int i = 0; i < 1000 && !std::filesystem::exists(out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(out);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), c.recorded);
    }
    std::filesystem::current_path(oldDir);
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(ShellExecute, MissingOpenerIsAnErrorNotACrash) {
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    testsupport::TempDir dir;
    setenv("PATH", dir.str().c_str(), 1);
    int r = ShellExecuteResult(ShellExecuteA(nullptr, "open", "https://example.org", nullptr, nullptr, 5));
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(r, SE_ERR_ACCESSDENIED);
}

TEST(ExitWindows, PowerOffGoesThroughTheReplaceableService) {
    ScopedLauncher launcher;
    EXPECT_EQ(ExitWindowsEx(EWX_LOGOFF, 0), FALSE);
    EXPECT_TRUE(launcher.calls.empty());
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, 0), TRUE);
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0], (std::vector<std::string>{"systemctl", "poweroff"}));

    struct Refusing : TPowerControl {
        int* asked;
        explicit Refusing(int* a) : asked(a) {}
        bool PowerOff() override {
            ++*asked;
            return false;
        }
    };
    int asked = 0;
    auto old = SetPowerControl(std::make_unique<Refusing>(&asked));
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, 0), FALSE);
    SetPowerControl(std::move(old));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(launcher.calls.size(), 1u);
}

}  // namespace
}  // namespace platform
