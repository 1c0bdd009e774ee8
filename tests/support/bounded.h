#pragma once
// Running a piece of code on hostile input in a child process: a CPU-time limit ends it if
// it runs away (instead of hanging the test), and its peak memory is measured, so that a
// test can say what the input was allowed to cost without timing anything.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace testsupport {

struct Bounded {
    bool finished = false;   // ended by itself (not killed by the CPU limit or a crash)
    int exitCode = -1;       // what the code returned, when finished
    int signal = 0;          // the signal that ended it, when not finished
    long peakGrowthKb = -1;  // resident memory at its peak beyond where it started
    std::string Describe() const {
        return finished ? "exit " + std::to_string(exitCode) + ", peak +" + std::to_string(peakGrowthKb) + " KB"
                        : "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
    }
};

namespace bounded_detail {
inline long StatusKb(const char* field) {
    long kb = -1;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        size_t n = std::strlen(field);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, field, n) == 0) kb = std::strtol(line + n, nullptr, 10);
        std::fclose(f);
    }
    return kb;
}
}  // namespace bounded_detail

// Runs `code` (returning an int, the child's exit code) in a forked child with at most
// `cpuSeconds` of CPU time. The peak is the kernel's high-water mark of resident memory,
// reset when the child starts.
template <class F>
Bounded RunBounded(int cpuSeconds, F&& code) {
    Bounded result;
    int pipefd[2];
    if (pipe(pipefd) != 0) return result;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return result;
    }
    if (pid == 0) {
        close(pipefd[0]);
        rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds)};
        setrlimit(RLIMIT_CPU, &cpu);
        if (int fd = open("/proc/self/clear_refs", O_WRONLY); fd >= 0) {
            (void)!write(fd, "5", 1);  // resets the high-water mark to what is resident now
            close(fd);
        }
        long start = bounded_detail::StatusKb("VmRSS:");
        int rc = code();
        long growth = bounded_detail::StatusKb("VmHWM:") - start;
        (void)!write(pipefd[1], &growth, sizeof growth);
        _exit(rc & 0xFF);
    }
    close(pipefd[1]);
    long growth = -1;
    if (read(pipefd[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(pipefd[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.finished = true;
        result.exitCode = WEXITSTATUS(status);
        result.peakGrowthKb = growth;
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace testsupport
