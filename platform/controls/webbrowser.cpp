#include "platform/controls/webbrowser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/core/files.h"
#include "platform/core/timer.h"
#include "platform/graphics/graphics.h"
#include "platform/webview/previewfiles.h"
#include "platform/windows/backend.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"

extern char** environ;

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPreviewPage = "ruffle/preview.html";

// A path below the program folder as the path of its address under the helper's scheme ("" when the
// file lies elsewhere).
std::string ServedPath(const std::string& folder, const std::string& path) {
    std::error_code ec;
    fs::path root = fs::canonical(folder, ec);
    if (ec) return "";
    fs::path file = fs::weakly_canonical(path, ec);
    if (ec) return "";
    fs::path relative = file.lexically_relative(root);
    if (relative.empty()) return "";
    std::string top = relative.begin()->string();
    if ((top != "temp" && top != "ruffle") || std::distance(relative.begin(), relative.end()) < 2) return "";
    for (const fs::path& part : relative)
        if (part == "..") return "";
    std::string url = "/";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : relative.generic_string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

bool IsMovie(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".swf";
}

}  // namespace

TCppWebBrowser::TCppWebBrowser(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 300, 150);
    SetColor(clBlack);
    timer_ = new TTimer(this);
    timer_->SetInterval(100);
    timer_->SetEnabled(false);
    timer_->SetOnTimer([this](TObject*) { Poll(); });
}

TCppWebBrowser::~TCppWebBrowser() { StopHelper(); }

std::string TCppWebBrowser::ProgramFolder() const {
    return programFolder_.empty() ? ProgramDir() : IncludeTrailingPathDelimiter(programFolder_);
}

void TCppWebBrowser::SetProgramFolder(const std::string& folder) {
    if (folder == programFolder_) return;
    programFolder_ = folder;
    // The helper gives the files of the folder it was started with.
    StopHelper();
    pageReady_ = false;
}

std::string TCppWebBrowser::HelperProgram() const {
    return helperProgram_.empty() ? ProgramDir() + "lumacast-webview" : helperProgram_;
}

void TCppWebBrowser::Fail(const std::string& why) {
    state_ = TState::Unavailable;
    unavailable_ = why;
    PlaceArea();
    Invalidate();
}

void TCppWebBrowser::Navigate(const std::string& path) {
    Poll();
    navigations_.push_back({path, Width(), Height(), Showing()});
    location_ = path;
    unavailable_.clear();
    pageError_.clear();
    std::string folder = ProgramFolder();
    std::string served = ServedPath(folder, path);
    if (served.empty()) return Fail("the page lies outside the program folder");
    if (!fs::is_regular_file(path)) return Fail("the page does not exist");

    // A display without native areas (headless): the placeholder stands for the page.
    HWND top = HandleAllocated() ? GetAncestor(Handle(), GA_ROOT) : nullptr;
    if (!area_ && top) area_ = Backend().CreateEmbedArea(top);
    if (!area_) {
        state_ = TState::Placeholder;
        Invalidate();
        return;
    }
    if (!fs::is_regular_file(folder + "ruffle/ruffle.js") || !fs::is_regular_file(folder + kPreviewPage))
        return Fail("the program folder has no copy of the Flash player");
    if (!helperPid_ && !StartHelper()) return Fail("the preview helper cannot start");

    const std::string origin = kPreviewOrigin;
    bool sent;
    if (IsMovie(path) && pageReady_ && keepPageLoaded_) {
        sent = Send("movie " + origin + served.substr(1));
    } else if (IsMovie(path)) {
        pageReady_ = false;
        sent = Send("navigate " + origin + kPreviewPage + "?movie=" + served);
    } else {
        pageReady_ = false;
        sent = Send("navigate " + origin + served.substr(1));
    }
    if (!sent) {
        StopHelper();
        return Fail("the preview helper stopped");
    }
    state_ = TState::Loading;
    PlaceArea();
    Invalidate();
}

TCppWebBrowser::TState TCppWebBrowser::State() {
    Poll();
    return state_;
}

bool TCppWebBrowser::StartHelper() {
    std::string program = HelperProgram();
    if (access(program.c_str(), X_OK) != 0) return false;
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    // WebKit's warnings (no session bus, and so on) are not the program's output.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string id = std::to_string(area_);
    std::string folder = ProgramFolder();
    char* argv[] = {program.data(), id.data(), folder.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    helperPid_ = pid;
    channel_ = fds[0];
    input_.clear();
    pageReady_ = false;
    timer_->SetEnabled(true);
    return true;
}

void TCppWebBrowser::StopHelper() {
    timer_->SetEnabled(false);
    if (helperPid_) {
        Send("quit");
        // A moment to leave by itself, then it is ended.
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 20 && (done = waitpid(helperPid_, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (done == 0) {
            kill(helperPid_, SIGKILL);
            waitpid(helperPid_, &status, 0);
        }
        helperPid_ = 0;
    }
    if (channel_ >= 0) close(channel_);
    channel_ = -1;
    pageReady_ = false;
}

bool TCppWebBrowser::Send(const std::string& line) {
    if (channel_ < 0) return false;
    std::string text = line + "\n";
    const char* p = text.data();
    size_t left = text.size();
    for (int tries = 0; left > 0 && tries < 100; ++tries) {
        ssize_t n = send(channel_, p, left, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            left -= size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else {
            return false;
        }
    }
    return left == 0;
}

void TCppWebBrowser::Poll() {
    if (channel_ < 0) return;
    char buffer[1024];
    bool ended = false;
    for (;;) {
        ssize_t n = recv(channel_, buffer, sizeof(buffer), 0);
        if (n > 0) {
            input_.append(buffer, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    for (size_t end; (end = input_.find('\n')) != std::string::npos;) {
        HandleLine(input_.substr(0, end));
        input_.erase(0, end + 1);
    }
    int status = 0;
    bool reaped = waitpid(helperPid_, &status, WNOHANG) == helperPid_;
    if (ended || reaped) {
        // The helper is gone: the next Navigate starts it again.
        if (reaped) helperPid_ = 0;
        StopHelper();
        Fail("the preview helper stopped");
    }
}

void TCppWebBrowser::HandleLine(const std::string& line) {
    if (line.rfind("loaded ", 0) == 0) {
        if (line.find(kPreviewPage) != std::string::npos) pageReady_ = true;
        if (state_ == TState::Loading) state_ = TState::Loaded;
    } else if (line == "playing") {
        if (state_ != TState::Unavailable) state_ = TState::Playing;
    } else if (line.rfind("error ", 0) == 0) {
        pageError_ = line.substr(6);
    } else if (line.rfind("failed ", 0) == 0) {
        Fail("the page could not be loaded: " + line.substr(7));
    }
}

void TCppWebBrowser::PlaceArea() {
    if (!area_) return;
    bool visible = state_ != TState::Unavailable && Showing() && HandleAllocated();
    TRect rect;
    if (HandleAllocated()) {
        HWND top = GetAncestor(WindowHandle(), GA_ROOT);
        RECT mine, outer;
        GetWindowRect(WindowHandle(), &mine);
        GetWindowRect(top, &outer);
        rect = TRect(mine.left - outer.left, mine.top - outer.top, mine.right - outer.left, mine.bottom - outer.top);
    }
    Backend().PlaceEmbedArea(area_, rect, visible);
}

void TCppWebBrowser::DestroyWnd() {
    StopHelper();
    if (area_) Backend().DestroyEmbedArea(area_);
    area_ = 0;
    if (state_ != TState::Idle && state_ != TState::Unavailable) state_ = TState::Idle;
    TCustomControl::DestroyWnd();
}

void TCppWebBrowser::Dispatch(TMessage& message) {
    TCustomControl::Dispatch(message);
    switch (message.Msg) {
        case WM_WINDOWPOSCHANGED:
        case WM_SIZE:
        case WM_MOVE:
        case WM_SHOWWINDOW:
        case CM_SHOWINGCHANGED:
        case CM_VISIBLECHANGED:
            PlaceArea();
            break;
        default: break;
    }
}

void TCppWebBrowser::Paint() {
    // What lies under the embedded browser, and what shows when there is none.
    TCanvas* canvas = Canvas();
    TRect rect = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(state_ == TState::Unavailable ? TColor(0x303030) : Color());
    canvas->FillRect(rect);
    std::string text;
    if (state_ == TState::Unavailable) {
        text = "The preview is unavailable.";
    } else if (state_ == TState::Placeholder) {
        text = ExtractFileName(location_);
    }
    if (!text.empty()) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->SetFont(Font());
        canvas->Font()->SetColor(clWhite);
        DrawText(TextDC(canvas), text, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
    PlaceArea();
}

}  // namespace platform
