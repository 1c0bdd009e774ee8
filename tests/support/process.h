#pragma once
// Running the independent checkers (ffprobe, ffmpeg, xmllint, lsdvd, node ...) from tests.
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace testsupport {

// A text quoted for the shell: 'it'\''s'.
inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `command` through the shell and returns what it wrote to standard output; its
// exit status (or -1 when it could not be started) goes to `status` when given.
inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        if (status) *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = rc == -1 ? -1 : (WIFEXITED(rc) ? WEXITSTATUS(rc) : -1);
    return out;
}

}  // namespace testsupport
