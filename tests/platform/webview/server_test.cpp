// The local server behind the web view: what it serves, to whom, and how.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/webview/localserver.h"
#include "support/tempdir.h"

namespace {

using platform::TLocalFileServer;

// Sends one raw request and returns the whole answer.
std::string Exchange(int port, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        for (ssize_t n; (n = recv(fd, buffer, sizeof(buffer), 0)) > 0;) answer.append(buffer, size_t(n));
    }
    close(fd);
    return answer;
}

std::string Header(const std::string& answer, const std::string& name) {
    auto at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    at += name.size() + 4;
    return answer.substr(at, answer.find("\r\n", at) - at);
}

class LocalServer : public testing::Test {
protected:
    void SetUp() override {
        dir.Write("temp/movie.swf", "FWS-movie");
        dir.Write("temp/page name.html", "<p>page</p>");
        dir.Write("ruffle/core.wasm", std::string("\0asm", 4));
        dir.Write("ruffle/ruffle.js", "// player");
        dir.Write("secret.txt", "not for the browser");
        dir.Write("Images/logo.jpg", "jpeg");
        std::filesystem::create_symlink(dir.path() / "secret.txt", dir.path() / "temp/link.txt");
        std::filesystem::create_directories(dir.path() / "temp/folder");
        ASSERT_TRUE(server.Start());
        ASSERT_GT(server.Port(), 0);
    }
    testsupport::TempDir dir;
    TLocalFileServer server{dir.str()};
};

TEST_F(LocalServer, ServesOnlyFilesOfTempAndRuffleWithGet) {
    struct Case {
        std::string request;
        int status;
        std::string type;
        std::string body;
    } cases[] = {
        {"GET /temp/movie.swf HTTP/1.1", 200, "application/x-shockwave-flash", "FWS-movie"},
        {"GET /temp/movie.swf?v=3 HTTP/1.1", 200, "application/x-shockwave-flash", "FWS-movie"},
        {"GET /temp/page%20name.html HTTP/1.1", 200, "text/html; charset=utf-8", "<p>page</p>"},
        {"GET /ruffle/core.wasm HTTP/1.1", 200, "application/wasm", std::string("\0asm", 4)},
        {"GET /ruffle/ruffle.js HTTP/1.1", 200, "text/javascript", "// player"},
        {"POST /temp/movie.swf HTTP/1.1", 405, "", ""},
        {"HEAD /temp/movie.swf HTTP/1.1", 405, "", ""},
        {"PUT /temp/new.swf HTTP/1.1", 405, "", ""},
        {"GET /secret.txt HTTP/1.1", 403, "", ""},
        {"GET /Images/logo.jpg HTTP/1.1", 403, "", ""},
        {"GET / HTTP/1.1", 403, "", ""},
        {"GET /temp/../secret.txt HTTP/1.1", 403, "", ""},
        {"GET /temp/%2e%2e/secret.txt HTTP/1.1", 403, "", ""},
        {"GET /ruffle/..%2fsecret.txt HTTP/1.1", 403, "", ""},
        {"GET /temp/link.txt HTTP/1.1", 403, "", ""},
        {"GET /temp/missing.swf HTTP/1.1", 404, "", ""},
        {"GET /temp/folder HTTP/1.1", 404, "", ""},
        {"GET /temp/%zz HTTP/1.1", 400, "", ""},
        {"GET /temp/a%00.swf HTTP/1.1", 400, "", ""},
        {"GET http://example.com/temp/movie.swf HTTP/1.1", 400, "", ""},
        {"garbage", 400, "", ""},
    };
    for (const Case& c : cases) {
        std::string answer = Exchange(server.Port(), c.request + "\r\nHost: 127.0.0.1\r\n\r\n");
        SCOPED_TRACE(c.request);
        ASSERT_EQ(answer.rfind("HTTP/1.1 ", 0), 0u) << answer;
        EXPECT_EQ(std::stoi(answer.substr(9, 3)), c.status);
        EXPECT_EQ(Header(answer, "Cache-Control"), "no-store");
        std::string body = answer.substr(answer.find("\r\n\r\n") + 4);
        EXPECT_EQ(body, c.body);
        if (c.status == 200) {
            EXPECT_EQ(Header(answer, "Content-Type"), c.type);
            EXPECT_EQ(Header(answer, "Content-Length"), std::to_string(c.body.size()));
        }
    }
}

TEST_F(LocalServer, ListensOnLoopbackOnlyAndStopsCleanly) {
    EXPECT_EQ(server.Origin(), "http://127.0.0.1:" + std::to_string(server.Port()) + "/");
    // Two servers at once take two free ports.
    TLocalFileServer other(dir.str());
    ASSERT_TRUE(other.Start());
    EXPECT_NE(other.Port(), server.Port());
    int port = server.Port();
    // A client that never finishes its request does not hold up the stop.
    int idle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    ASSERT_EQ(connect(idle, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    send(idle, "GET /temp/", 10, MSG_NOSIGNAL);
    server.Stop();
    close(idle);
    EXPECT_EQ(Exchange(port, "GET /temp/movie.swf HTTP/1.1\r\n\r\n"), "");
}

}  // namespace
