// Start-up of the whole program as a user starts it, against the floor of the same run: a
// plain Xlib program that maps a window of the main window's size and puts the same
// background picture into it.
//
// Both run on a display of their own (Xvfb), one after the other, round after round. A run
// lasts from the start of the process until it reports, through the descriptor named by
// LUMACAST_PRESENTED_FD, that the server has its first window's picture; the process is
// then ended and its processor time (user and system, from its resource usage) read.
// Medians of wall and processor time are printed with their ratios to the floor, and the
// load average before and after.
//
// startup_process_bench [--runs N] [PROGRAM_FOLDER...]
// Without a folder the build's program folder is measured; several folders (an older build
// beside the new one) are measured in the same rounds.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/desktop.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The main window's size in the default skin and its background picture.
constexpr int kMainWidth = 820;
constexpr int kMainHeight = 600;
constexpr const char* kBackground = "Images/DefaultImage/main/Background.bmp";
constexpr int kReportFd = 3;
constexpr int kTimeoutMs = 60000;
constexpr const char* kFloorProgram = LUMACAST_STARTUP_FLOOR;
constexpr const char* kBuiltProgramFolder = LUMACAST_PROGRAM_DIR_DEFAULT;

struct Sample {
    double wallMs = 0;
    double cpuMs = 0;
};

double Ms(const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; }

// Starts the program, waits for its report, ends it. False when it never reported.
bool RunOnce(const std::vector<std::string>& args, const std::string& errorFile, Sample& sample) {
    // Both ends close on exec; the child gets the writing end as kReportFd only (moved out of
    // the way first, should the pipe have been given that number).
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    int writer = fcntl(fds[1], F_DUPFD_CLOEXEC, kReportFd + 1);
    close(fds[1]);
    if (writer < 0) {
        close(fds[0]);
        return false;
    }
    fds[1] = writer;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kReportFd);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    auto start = Clock::now();
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return false;
    }
    bool reported = false;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (!reported && poll(&p, 1, kTimeoutMs) == 1 && read(fds[0], &c, 1) == 1) reported = c == '\n';
    auto end = Clock::now();
    close(fds[0]);
    kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
    sample.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
    return reported;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Contender {
    std::string name;
    std::vector<std::string> args;
    std::vector<double> wall, cpu;
};

std::string LoadText() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 15;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            folders.push_back(a);
    }
    if (folders.empty()) {
        const char* dir = std::getenv("LUMACAST_PROGRAM_DIR");
        folders.push_back(dir ? dir : kBuiltProgramFolder);
    }
    for (const std::string& f : folders)
        if (!fs::exists(fs::path(f) / "lumacast") || !fs::exists(fs::path(f) / kBackground)) {
            std::fprintf(stderr, "%s is not a built program folder\n", f.c_str());
            return 2;
        }
    if (!desktop::OnPath("Xvfb")) {
        std::fprintf(stderr, "Xvfb is not installed\n");
        return 2;
    }

    // A home and settings store of the bench's own: the program starts as at a user's first
    // start, and the user's own settings are never read or written.
    char home[] = "/tmp/lumacast-startup-XXXXXX";
    if (!mkdtemp(home)) return 2;
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (std::string(home) + "/config").c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (std::string(home) + "/store").c_str(), 1);
    setenv("LUMACAST_PRESENTED_FD", std::to_string(kReportFd).c_str(), 1);
    desktop::Xvfb display;
    if (!display.Start()) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }

    std::vector<Contender> contenders;
    contenders.push_back({"floor", {kFloorProgram, (fs::path(folders[0]) / kBackground).string(),
                                    std::to_string(kMainWidth), std::to_string(kMainHeight)}, {}, {}});
    for (const std::string& f : folders)
        contenders.push_back({f, {(fs::path(f) / "lumacast").string()}, {}, {}});

    std::string errorFile = std::string(home) + "/stderr.txt";
    std::string loadBefore = LoadText();
    // One round unmeasured, so that every file is in the page cache for both.
    for (int round = -1; round < runs; ++round) {
        for (Contender& c : contenders) {
            Sample s;
            // A start that never reports is tried once more (a busy display server can drop a
            // new client); twice is a fault.
            if (!RunOnce(c.args, errorFile, s) && !RunOnce(c.args, errorFile, s)) {
                std::fprintf(stderr, "%s did not report its first picture:\n%s\n", c.name.c_str(),
                             desktop::ReadFile(errorFile).c_str());
                return 1;
            }
            if (round < 0) continue;
            c.wall.push_back(s.wallMs);
            c.cpu.push_back(s.cpuMs);
        }
    }
    std::string loadAfter = LoadText();

    double floorWall = Median(contenders[0].wall), floorCpu = Median(contenders[0].cpu);
    std::printf("start-up to the first window's picture on the server, medians of %d alternating runs\n", runs);
    std::printf("load average before: %s, after: %s\n", loadBefore.c_str(), loadAfter.c_str());
    std::printf("%-50s %10s %10s %10s %10s\n", "", "wall ms", "cpu ms", "wall x", "cpu x");
    for (const Contender& c : contenders) {
        double wall = Median(c.wall), cpu = Median(c.cpu);
        std::printf("%-50s %10.1f %10.1f %10.2f %10.2f\n", c.name.c_str(), wall, cpu,
                    floorWall > 0 ? wall / floorWall : 0, floorCpu > 0 ? cpu / floorCpu : 0);
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
