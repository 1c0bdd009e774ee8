#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "jobmodel/htmlpage.h"
#include "platform/core/exceptions.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace jobmodel {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CreateHtmlPlayingSWF Page(const std::string& title, const std::string& movie) {
    CreateHtmlPlayingSWF page;
    page.SetTitle(title);
    page.SetMovie(movie);
    page.SetPluginVersion("7,0,0,0");
    page.SetBgColor("000000");
    page.SetPlayerWidth(320);
    page.SetPlayerHeight(240);
    return page;
}

using testsupport::Capture;

TEST(HtmlPage, MatchesTheGoldenPageByteForByte) {
    testsupport::TempDir dir;
    std::string path = dir.str() + "/Clip.html";
    ASSERT_EQ(Page("Clip", "Clip").SaveHtml(path), 1);
    std::string golden = ReadFile(std::string(std::getenv("LUMACAST_SOURCE_DIR")) + "/tests/jobmodel/golden/Clip.html");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(ReadFile(path), golden);
    EXPECT_EQ(golden.substr(golden.size() - 9), "</html>\r\n");
    // Every line ends with CR LF.
    for (size_t i = golden.find('\n'); i != std::string::npos; i = golden.find('\n', i + 1))
        EXPECT_EQ(golden[i - 1], '\r') << "line ending at byte " << i;
}

// Names with quotes, ampersands and angle brackets neither break the markup nor the
// script: the parsed page gives the title and the player's names back as they were.
TEST(HtmlPage, EscapesWhatItWrites) {
    testsupport::TempDir dir;
    const std::string name = "Tom's \"Movie\" & <1>";
    std::string path = dir.str() + "/page.html";
    Page(name, name).SaveHtml(path);
    std::string page = ReadFile(path);
    EXPECT_EQ(page.find("<1>"), std::string::npos);
    EXPECT_EQ(page.find("'Tom's"), std::string::npos);

    auto xpath = [&](const std::string& expr) {
        std::string out = Capture("xmllint --html --xpath '" + expr + "' '" + path + "' 2>/dev/null");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    };
    EXPECT_EQ(xpath("string(//title)"), name);
    EXPECT_EQ(xpath("string(//embed/@name)"), name);
    EXPECT_EQ(xpath("string(//object/@id)"), name);
    EXPECT_EQ(xpath("string(//embed/@src)"), "Tom%27s %22Movie%22 %26 %3C1%3E.swf");

    // The script part parses, and its strings hold the names.
    std::string script = xpath("string((//script)[3])");
    std::string js = "const calls = []; function AC_FL_RunContent(...a) { calls.push(a); } "
                     "function alert() { throw new Error('alert'); }\n" + script +
                     "\nconst a = calls[0]; const get = k => a[a.indexOf(k) + 1];"
                     "process.stdout.write([get('id'), get('name'), get('src')].join('|'));";
    std::string jsPath = dir.str() + "/page.js";
    std::ofstream(jsPath) << js;
    EXPECT_EQ(Capture("node '" + jsPath + "'"), name + "|" + name + "|Tom%27s %22Movie%22 %26 %3C1%3E");
}

// Every address the page gives the browser (the embed's src, the object's movie param and
// the script's src and movie, to which the page script adds ".swf") must name the file
// beside the page, whatever the movie is called: resolved against the page's own address
// each stays on the page's server and in its folder, and names the movie's own file.
TEST(HtmlPage, EveryAddressNamesTheFileBesideThePage) {
    testsupport::TempDir dir;
    const std::string names[] = {"Lecture:1", "javascript:pwned=1", "C:clip", "Clip"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = dir.str() + "/page.html";
        Page(name, name).SaveHtml(path);
        auto xpath = [&](const std::string& expr) {
            std::string out = Capture("xmllint --html --xpath '" + expr + "' '" + path + "' 2>/dev/null");
            if (!out.empty() && out.back() == '\n') out.pop_back();
            return out;
        };
        std::string script = xpath("string((//script)[3])");
        std::string js = "const calls = []; function AC_FL_RunContent(...a) { calls.push(a); } "
                         "function alert() { throw new Error('alert'); }\n" + script +
                         "\nconst a = calls[0]; const get = k => a[a.indexOf(k) + 1];"
                         "const base = 'http://127.0.0.1:8000/jobs/Clip-2026-1-1-0-0-0/page.html';"
                         "const addresses = [get('src') + '.swf', get('movie') + '.swf', process.argv[2], process.argv[3]];"
                         "process.stdout.write(addresses.map(x => { const u = new URL(x, base);"
                         " return u.origin + ' ' + decodeURIComponent(u.pathname); }).join('|'));";
        std::string jsPath = dir.str() + "/page.js";
        std::ofstream(jsPath) << js;
        const std::string embed = xpath("string(//embed/@src)");
        const std::string param = xpath("string(//param[@name=\"movie\"]/@value)");
        const std::string want = "http://127.0.0.1:8000 /jobs/Clip-2026-1-1-0-0-0/" + name + ".swf";
        EXPECT_EQ(Capture("node '" + jsPath + "' '" + embed + "' '" + param + "'"),
                  want + "|" + want + "|" + want + "|" + want);
    }
}

TEST(HtmlPage, AnUncreatableFileRaisesAndLeavesNothing) {
    testsupport::TempDir dir;
    std::string path = dir.str() + "/missing/folder/page.html";
    EXPECT_THROW(Page("a", "a").SaveHtml(path), platform::EFCreateError);
    std::ofstream(dir.str() + "/old.html") << "old";
    // An existing page is replaced whole.
    EXPECT_EQ(Page("New", "New").SaveHtml(dir.str() + "/old.html"), 1);
    EXPECT_NE(ReadFile(dir.str() + "/old.html").find("<title>New</title>"), std::string::npos);
}

}  // namespace

namespace {

// A link planted where a temporary page might be written is never written through: its
// target keeps its bytes and the page is a file of its own.
TEST(HtmlPage, APlantedLinkIsNeverFollowed) {
    testsupport::TempDir dir;
    std::ofstream(dir.str() + "/victim.txt") << "keep";
    const std::string page = dir.str() + "/page.html";
    std::filesystem::create_symlink(dir.str() + "/victim.txt", page + ".tmp");
    EXPECT_EQ(Page("Clip", "Clip").SaveHtml(page), 1);
    EXPECT_EQ(ReadFile(dir.str() + "/victim.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(page)));
    EXPECT_NE(ReadFile(page).find("<title>Clip</title>"), std::string::npos);
}

}  // namespace

}  // namespace jobmodel
