#include "platform/webview/localserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace platform {

namespace fs = std::filesystem;

namespace {

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

const char* Reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        default: return "Error";
    }
}

// Percent-decoding; false on a malformed escape or a NUL.
bool Decode(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
                return false;
            c = static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        if (c == '\0') return false;
        out += c;
    }
    return true;
}

bool Inside(const fs::path& folder, const fs::path& file) {
    auto f = folder.begin();
    auto p = file.begin();
    for (; f != folder.end(); ++f, ++p)
        if (p == file.end() || *f != *p) return false;
    return p != file.end();
}

}  // namespace

TLocalFileServer::TLocalFileServer(std::string root) : root_(std::move(root)) {}

TLocalFileServer::~TLocalFileServer() { Stop(); }

std::string TLocalFileServer::Origin() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

std::string TLocalFileServer::ContentTypeOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript"},            {".mjs", "text/javascript"},
        {".wasm", "application/wasm"},         {".json", "application/json"},
        {".map", "application/json"},          {".css", "text/css"},
        {".swf", "application/x-shockwave-flash"}, {".flv", "video/x-flv"},
        {".jpg", "image/jpeg"},                {".jpeg", "image/jpeg"},
        {".png", "image/png"},                 {".gif", "image/gif"},
        {".xml", "text/xml"},                  {".txt", "text/plain; charset=utf-8"},
        {".mp3", "audio/mpeg"},
    };
    for (auto& [e, type] : types)
        if (ext == e) return type;
    return "application/octet-stream";
}

TLocalFileServer::Answer TLocalFileServer::Resolve(const std::string& method, const std::string& target) const {
    Answer a;
    if (method != "GET") {
        a.status = 405;
        return a;
    }
    std::string path;
    if (target.empty() || target[0] != '/' || !Decode(target.substr(0, target.find_first_of("?#")), path)) {
        a.status = 400;
        return a;
    }
    // Only the two folders, and no step up anywhere (the canonical check below also
    // catches links that lead out).
    if (path.rfind("/temp/", 0) != 0 && path.rfind("/ruffle/", 0) != 0) {
        a.status = 403;
        return a;
    }
    for (const fs::path& part : fs::path(path))
        if (part == "..") {
            a.status = 403;
            return a;
        }
    std::error_code ec;
    fs::path root = fs::canonical(root_, ec);
    if (ec) return a;
    fs::path file = fs::weakly_canonical(root / path.substr(1), ec);
    if (ec) return a;
    std::string top = path.substr(1, path.find('/', 1) - 1);
    if (!Inside(fs::canonical(root / top, ec), file)) {
        a.status = ec ? 404 : 403;
        return a;
    }
    if (!fs::is_regular_file(file, ec)) return a;
    a.status = 200;
    a.file = file.string();
    a.contentType = ContentTypeOf(a.file);
    return a;
}

bool TLocalFileServer::Start() {
    Stop();
    stopping_ = false;
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t length = sizeof(addr);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(listener_, 32) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) != 0 || pipe2(stopPipe_, O_CLOEXEC) != 0) {
        Stop();
        return false;
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void TLocalFileServer::Stop() {
    stopping_ = true;
    if (stopPipe_[1] >= 0) {
        char c = 0;
        (void)!write(stopPipe_[1], &c, 1);
    }
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int fd : clients_) shutdown(fd, SHUT_RDWR);
        workers.swap(workers_);
    }
    for (Worker& w : workers) w.thread.join();
    for (int* fd : {&listener_, &stopPipe_[0], &stopPipe_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    port_ = 0;
}

void TLocalFileServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents || stopping_) return;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        timeval timeout{5, 0};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            close(client);
            return;
        }
        // Finished connections give their threads back.
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (*it->done) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        clients_.push_back(client);
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([this, client, done] {
                                Serve(client);
                                *done = true;
                            }),
                            done});
    }
}

void TLocalFileServer::Serve(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        ssize_t n = recv(client, buffer, sizeof(buffer), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
    }
    std::string line = request.substr(0, request.find("\r\n"));
    size_t s1 = line.find(' ');
    size_t s2 = s1 == std::string::npos ? s1 : line.find(' ', s1 + 1);
    Answer a;
    if (s1 == std::string::npos || s2 == std::string::npos || request.find("\r\n\r\n") == std::string::npos)
        a.status = 400;
    else
        a = Resolve(line.substr(0, s1), line.substr(s1 + 1, s2 - s1 - 1));
    int file = -1;
    struct stat info {};
    if (a.status == 200) {
        file = open(a.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (file < 0 || fstat(file, &info) != 0) a.status = 404;
    }
    std::string head = "HTTP/1.1 " + std::to_string(a.status) + " " + Reason(a.status) + "\r\n";
    head += "Cache-Control: no-store\r\nConnection: close\r\nX-Content-Type-Options: nosniff\r\n";
    if (a.status == 405) head += "Allow: GET\r\n";
    if (a.status == 200) {
        head += "Content-Type: " + a.contentType + "\r\nContent-Length: " + std::to_string(info.st_size) + "\r\n\r\n";
    } else {
        head += "Content-Length: 0\r\n\r\n";
    }
    bool ok = SendAll(client, head.data(), head.size());
    if (file >= 0) {
        for (ssize_t n; ok && (n = read(file, buffer, sizeof(buffer))) > 0;)
            ok = SendAll(client, buffer, static_cast<size_t>(n));
        close(file);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
    shutdown(client, SHUT_WR);
    close(client);
}

}  // namespace platform
