#include "playermaker/templates.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace morvbrindle {

namespace {

// Set by the program's user-interface thread, read by builds on the conversion worker.
std::mutex g_rootLock;
char g_templateRoot[1024] = {};

}  // namespace

void SetTemplateRoot(const char* folder) {
    std::lock_guard<std::mutex> lock(g_rootLock);
    if (!folder) {
        g_templateRoot[0] = '\0';
        return;
    }
    std::size_t n = strnlen(folder, sizeof g_templateRoot - 1);
    std::memcpy(g_templateRoot, folder, n);
    g_templateRoot[n] = '\0';
}

std::string TemplatePath(std::string_view rest) {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_rootLock);
        path = g_templateRoot;
    }
    path += "/templates/";
    path += rest;
    return path;
}

CipherFileResult ReadTemplate(std::string_view rest) {
    return ReadCipherFile(TemplatePath(rest), 1, kTemplateKey);
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (ok && left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace morvbrindle
