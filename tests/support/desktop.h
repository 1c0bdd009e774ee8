#pragma once
// The desktop tests' own X display (Xvfb) and the programs they start beside themselves.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

extern char** environ;

namespace desktop {

// What a command writes to standard output, its errors dropped (xdotool, xwininfo ...).
inline std::string Capture(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

// Sound for a program under test that plays, started from this process: the silent device;
// no session bus on the test display (the sound library would otherwise have one started for
// the display at its first use, which can stall for seconds on a busy machine; pointing at no
// bus makes that fail at once); and, under the sanitizer, the little memory SDL's sound
// start-up and the D-Bus library keep to the end of the process (neither is ours) left out
// of the leak report through a suppression file written in `folder`.
inline void QuietSound(const std::string& folder) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumacast-test-bus", 1);
    const std::string supp = folder + "/lsan.supp";
    std::ofstream(supp) << "leak:libSDL2-2.0.so\nleak:libdbus-1.so\n";
    std::string lsan = std::getenv("LSAN_OPTIONS") ? std::getenv("LSAN_OPTIONS") : "";
    setenv("LSAN_OPTIONS", (lsan + (lsan.empty() ? "" : ":") + "suppressions=" + supp).c_str(), 1);
}

inline bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Starts a program; stdin, stdout and stderr from/to files when named.
inline pid_t Spawn(const std::vector<std::string>& args, const std::string& in = "", const std::string& out = "",
                   const std::string& err = "") {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!in.empty()) posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    if (!out.empty()) posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!err.empty()) posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

// Polls until check() holds or about ten seconds passed.
template <class F> bool WaitFor(F check) {
    for (int i = 0; i < 200; ++i) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return check();
}

// Polls until check() holds, about ten seconds a round (three rounds by default: a
// sanitizer build on a busy machine starts slowly).
template <class F> bool WaitLong(F check, int rounds = 3) {
    for (int round = 0; round < rounds; ++round)
        if (WaitFor(check)) return true;
    return false;
}

// For checks that take screenshots (each takes a while): up to about forty tries.
template <class F> bool WaitShots(F check) {
    for (int i = 0; i < 40; ++i) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    return false;
}

// The exit status once the child ended, -1 while it runs.
inline int Finished(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The id of the first visible window whose name matches the pattern (xdotool's), waiting
// up to about thirty seconds; empty when none came.
inline std::string WaitForWindow(const std::string& pattern) {
    std::string id;
    for (int round = 0; round < 3 && id.empty(); ++round)
        WaitFor([&] {
            FILE* p = popen(("xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null").c_str(), "r");
            if (!p) return false;
            char line[64] = {};
            if (fgets(line, sizeof line, p)) id = line;
            pclose(p);
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        });
    return id;
}

// How many pixels of a region ("WxH+X+Y") differ between two screenshots; -1 when
// ImageMagick's compare could not tell.
inline long DifferentPixels(const std::string& a, const std::string& b, const std::string& crop) {
    // compare says the count on standard error.
    std::string command = "compare -metric AE '" + a + "[" + crop + "]' '" + b + "[" + crop + "]' null: 2>&1";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    return out.empty() ? -1 : std::atol(out.c_str());
}

// One figure ImageMagick computes over a region ("WxH+X+Y") of a screenshot; -1 when it
// could not read the picture.
inline double RegionFigure(const std::string& path, const std::string& crop, const std::string& operations,
                           const std::string& figure) {
    std::string command = "convert '" + path + "[" + crop + "]' " + operations + " -format '%[fx:" + figure +
                          "]' info: 2>/dev/null";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    return out.empty() ? -1 : std::atof(out.c_str());
}

// The mean colour saturation of a region, 0 (grey) to 1.
inline double MeanSaturation(const std::string& path, const std::string& crop) {
    return RegionFigure(path, crop, "-colorspace HSL -channel G -separate +channel", "mean");
}

// How much a region's pixels spread around their mean, 0 for one flat colour.
inline double Deviation(const std::string& path, const std::string& crop) {
    return RegionFigure(path, crop, "", "standard_deviation");
}

// A virtual X display of its own; DISPLAY points at it while it lives.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    // Starts a server on a free display and makes it the display of this process and of the
    // programs it starts. A server that named its display but does not answer on it (servers
    // starting at the same moment can trip over each other's lock files) is stopped and
    // another one started.
    bool Start() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (StartOnce() && std::system(("xdpyinfo -display " + display + " >/dev/null 2>&1").c_str()) == 0) {
                setenv("DISPLAY", display.c_str(), 1);
                unsetenv("LUMACAST_HEADLESS");
                return true;
            }
            Stop(pid);
        }
        return false;
    }
    bool StartOnce() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                    "", "/dev/null", "/dev/null");
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (pid <= 0 || number.empty()) return false;
        display = ":" + number;
        return true;
    }
    ~Xvfb() { Stop(pid); }
};

}  // namespace desktop
