#include "platform/core/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/threads.h"

extern char** environ;

namespace platform {
namespace {

// Reaps the programs started below when they end, so that none lingers as a zombie while
// nobody waits for it. One thread, running while there are children to reap, looks every
// little while; as the program ends it is stopped and joined (children still running are
// left to the system).
class TChildReaper {
public:
    void Add(pid_t pid) {
        std::lock_guard<std::mutex> lock(mutex_);
        children_.push_back(pid);
        if (running_) return;
        if (thread_.joinable()) thread_.join();  // the last one ended with no children left
        if (registration_ == 0) registration_ = AtPlatformThreadsEnd([this] { Stop(); });
        stopping_ = false;
        running_ = true;
        thread_ = std::thread([this] { Loop(); });
    }

    void Stop() {
        std::thread thread;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            registration_ = 0;
            thread.swap(thread_);
        }
        wake_.notify_all();
        if (thread.joinable()) thread.join();
    }

private:
    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_ && !children_.empty()) {
            for (auto it = children_.begin(); it != children_.end();) {
                int status = 0;
                pid_t r = waitpid(*it, &status, WNOHANG);
                if (r == *it || (r < 0 && errno == ECHILD)) it = children_.erase(it);
                else ++it;
            }
            if (!children_.empty()) wake_.wait_for(lock, std::chrono::milliseconds(100));
        }
        running_ = false;
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<pid_t> children_;
    std::thread thread_;
    bool running_ = false;
    bool stopping_ = false;
    int registration_ = 0;
};

TChildReaper& Reaper() {
    static auto* reaper = new TChildReaper;
    return *reaper;
}

// Starts the program with posix_spawnp and hands it to the reaper, so the caller never
// waits.
class TSpawnLauncher : public TProcessLauncher {
public:
    explicit TSpawnLauncher(std::string directory = {}) : directory_(std::move(directory)) {}

    bool Launch(const std::vector<std::string>& argv, std::string& error) override {
        if (argv.empty()) {
            error = "no program";
            return false;
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!directory_.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory_.c_str());
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            error = std::strerror(rc);
            return false;
        }
        Reaper().Add(pid);
        return true;
    }

private:
    std::string directory_;
};

class TSystemctlPower : public TPowerControl {
public:
    bool PowerOff() override {
        std::string error;
        return ProcessLauncher().Launch({"systemctl", "poweroff"}, error);
    }
};

std::mutex gServicesLock;

std::unique_ptr<TProcessLauncher>& LauncherSlot() {
    static auto* slot = new std::unique_ptr<TProcessLauncher>(std::make_unique<TSpawnLauncher>());
    return *slot;
}

std::unique_ptr<TPowerControl>& PowerSlot() {
    static auto* slot = new std::unique_ptr<TPowerControl>(std::make_unique<TSystemctlPower>());
    return *slot;
}

bool IsAddress(const std::string& s) {
    std::size_t colon = s.find("://");
    if (colon == std::string::npos || colon == 0) return s.rfind("mailto:", 0) == 0;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = s[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

HINSTANCE Result(int code) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code)); }

}  // namespace

TProcessLauncher& ProcessLauncher() {
    std::lock_guard<std::mutex> lock(gServicesLock);
    return *LauncherSlot();
}

TPowerControl& PowerControl() {
    std::lock_guard<std::mutex> lock(gServicesLock);
    return *PowerSlot();
}

std::unique_ptr<TProcessLauncher> SetProcessLauncher(std::unique_ptr<TProcessLauncher> launcher) {
    std::lock_guard<std::mutex> lock(gServicesLock);
    if (!launcher) launcher = std::make_unique<TSpawnLauncher>();
    std::swap(launcher, LauncherSlot());
    return launcher;
}

std::unique_ptr<TPowerControl> SetPowerControl(std::unique_ptr<TPowerControl> control) {
    std::lock_guard<std::mutex> lock(gServicesLock);
    if (!control) control = std::make_unique<TSystemctlPower>();
    std::swap(control, PowerSlot());
    return control;
}

std::vector<std::string> SplitParameters(const std::string& parameters) {
    std::vector<std::string> out;
    std::string current;
    bool inWord = false, quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) out.push_back(current);
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) out.push_back(current);
    return out;
}

int ShellExecuteResult(HINSTANCE result) { return static_cast<int>(reinterpret_cast<std::intptr_t>(result)); }

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* directory, int) {
    std::string v = verb ? verb : "open";
    std::string target = file ? file : "";
    if (target.empty()) return Result(SE_ERR_FNF);
    std::vector<std::string> argv;
    // A local target goes on as an absolute path: a name such as "--help" or "-x" is then
    // never read as an option by the opener, and a program is never looked up on PATH.
    if (v == "explore" || !IsAddress(target)) {
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(target, ec);
        if (ec) return Result(SE_ERR_FNF);
        target = absolute.string();
    }
    if (v == "explore") {
        struct stat st {};
        if (stat(target.c_str(), &st) != 0) return Result(SE_ERR_FNF);
        if (!S_ISDIR(st.st_mode)) return Result(SE_ERR_PNF);
        argv = {"xdg-open", target};
    } else if (v == "open") {
        if (IsAddress(target)) {
            argv = {"xdg-open", target};
        } else {
            struct stat st {};
            if (stat(target.c_str(), &st) != 0) return Result(SE_ERR_FNF);
            if (S_ISREG(st.st_mode) && access(target.c_str(), X_OK) == 0) {
                // A program: started itself, with its parameters and working folder.
                argv.push_back(target);
                for (std::string& p : SplitParameters(parameters ? parameters : "")) argv.push_back(std::move(p));
                std::string error;
                TSpawnLauncher inFolder(directory ? directory : "");
                TProcessLauncher& launcher = (directory && *directory && dynamic_cast<TSpawnLauncher*>(&ProcessLauncher()))
                                                 ? static_cast<TProcessLauncher&>(inFolder)
                                                 : ProcessLauncher();
                return Result(launcher.Launch(argv, error) ? SE_SUCCESS : SE_ERR_ACCESSDENIED);
            }
            argv = {"xdg-open", target};
        }
    } else {
        return Result(SE_ERR_NOASSOC);
    }
    std::string error;
    return Result(ProcessLauncher().Launch(argv, error) ? SE_SUCCESS : SE_ERR_ACCESSDENIED);
}

BOOL ExitWindowsEx(unsigned flags, DWORD) {
    if (!(flags & (EWX_SHUTDOWN | EWX_POWEROFF))) return FALSE;
    return PowerControl().PowerOff() ? TRUE : FALSE;
}

}  // namespace platform
