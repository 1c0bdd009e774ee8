#pragma once
// The sqlite3 command-line shell as the tests' independent reader and writer of database
// files: it makes fixtures from SQL text, reads back what the data set wrote, and holds a
// write lock from a separate process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/process.h"

namespace datatest {

// Runs SQL on the file with the shell and returns its output (fields split by "|").
inline std::string Shell(const std::string& file, const std::string& sql, int* status = nullptr) {
    return testsupport::Capture("sqlite3 -batch " + testsupport::ShellQuote(file) + " " + testsupport::ShellQuote(sql) +
                                    " 2>&1",
                                status);
}

// A shell kept running, fed statements one by one; each Run waits until the shell has
// answered, so the test knows the statement took effect without waiting on a clock.
class ShellSession {
public:
    explicit ShellSession(const std::string& file) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(in[1]);
            close(out[0]);
            execlp("sqlite3", "sqlite3", "-batch", file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = fdopen(in[1], "w");
        from_ = fdopen(out[0], "r");
    }
    ~ShellSession() {
        if (to_) std::fclose(to_);
        if (from_) std::fclose(from_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    // Runs sql, then returns what the shell printed up to a marker it echoes.
    std::string Run(const std::string& sql) {
        if (!to_ || !from_) return "no shell";
        std::fprintf(to_, "%s\n.print --done--\n", sql.c_str());
        std::fflush(to_);
        std::string out;
        char line[1024];
        while (std::fgets(line, sizeof line, from_)) {
            if (std::string(line) == "--done--\n") return out;
            out += line;
        }
        return out + "(shell ended)";
    }

private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

}  // namespace datatest
