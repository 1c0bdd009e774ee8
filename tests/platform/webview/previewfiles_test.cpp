// What the web view's helper gives its pages under its own address scheme: which files,
// with which type, to which requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/webview/previewfiles.h"
#include "support/tempdir.h"

namespace {

using platform::TPreviewFiles;

class PreviewFiles : public testing::Test {
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
    }
    testsupport::TempDir dir;
    TPreviewFiles files{dir.str()};
};

TEST_F(PreviewFiles, GivesOnlyFilesOfTempAndRuffleToGetBelowTheOrigin) {
    const std::string o = platform::kPreviewOrigin;
    struct Case {
        std::string method;
        std::string uri;
        int status;
        std::string type;
        std::string body;
    } cases[] = {
        {"GET", o + "temp/movie.swf", 200, "application/x-shockwave-flash", "FWS-movie"},
        {"GET", o + "temp/movie.swf?v=3", 200, "application/x-shockwave-flash", "FWS-movie"},
        {"GET", o + "temp/movie.swf#frame", 200, "application/x-shockwave-flash", "FWS-movie"},
        {"GET", o + "temp/page%20name.html", 200, "text/html; charset=utf-8", "<p>page</p>"},
        {"GET", o + "ruffle/core.wasm", 200, "application/wasm", std::string("\0asm", 4)},
        {"GET", o + "ruffle/ruffle.js", 200, "text/javascript", "// player"},
        {"POST", o + "temp/movie.swf", 405, "", ""},
        {"HEAD", o + "temp/movie.swf", 405, "", ""},
        {"PUT", o + "temp/new.swf", 405, "", ""},
        {"GET", o + "secret.txt", 403, "", ""},
        {"GET", o + "Images/logo.jpg", 403, "", ""},
        {"GET", o, 403, "", ""},
        {"GET", o + "temp/../secret.txt", 403, "", ""},
        {"GET", o + "temp/%2e%2e/secret.txt", 403, "", ""},
        {"GET", o + "ruffle/..%2fsecret.txt", 403, "", ""},
        {"GET", o + "temp/link.txt", 403, "", ""},
        {"GET", o + "/temp/movie.swf", 403, "", ""},
        {"GET", o + "temp/missing.swf", 404, "", ""},
        {"GET", o + "temp/folder", 404, "", ""},
        {"GET", o + "temp/%zz", 400, "", ""},
        {"GET", o + "temp/a%00.swf", 400, "", ""},
        // Another origin of the scheme, or another scheme: nothing.
        {"GET", "lumacast://other/temp/movie.swf", 403, "", ""},
        {"GET", "lumacast://preview.example/temp/movie.swf", 403, "", ""},
        {"GET", "http://127.0.0.1/temp/movie.swf", 403, "", ""},
        {"GET", "file://" + dir.str() + "/temp/movie.swf", 403, "", ""},
        {"GET", "", 403, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.uri);
        TPreviewFiles::Answer a = files.Read(c.method, c.uri);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.body, c.body);
        if (c.status == 200) {
            EXPECT_EQ(a.contentType, c.type);
        }
    }
}

}  // namespace
