#pragma once
// A small HTTP server on 127.0.0.1 for the web view: the browser's player refuses pages
// opened from files, so the preview page, the player and the movie come from here. It
// serves plain files of two folders of one root (temp/ and ruffle/), GET only, never
// cached, and refuses anything that leads elsewhere (.., encoded dots, links out).
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class TLocalFileServer {
public:
    // root: the folder whose temp/ and ruffle/ are served.
    explicit TLocalFileServer(std::string root);
    ~TLocalFileServer();
    TLocalFileServer(const TLocalFileServer&) = delete;
    TLocalFileServer& operator=(const TLocalFileServer&) = delete;

    // Listens on a free port of 127.0.0.1; false (and nothing running) when it cannot.
    bool Start();
    void Stop();
    int Port() const { return port_; }
    // "http://127.0.0.1:<port>/"
    std::string Origin() const;

    // What a request line asks for, and the answer's status, type and file: the rules of
    // the server without the network (status 200 with the file's path, or an error status).
    struct Answer {
        int status = 404;
        std::string contentType;
        std::string file;
    };
    Answer Resolve(const std::string& method, const std::string& target) const;
    static std::string ContentTypeOf(const std::string& path);

private:
    void AcceptLoop();
    void Serve(int client);

    std::string root_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
    std::vector<int> clients_;
    std::atomic<bool> stopping_{false};
};

}  // namespace platform
