// The skin reader: the shipped skins (schema, every name the windows ask for, their
// pictures), answers for missing names and stale handles, reopened and changed documents,
// and refused documents that leave the current one in place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "libs/morvanalyzeimg/morvanalyzeimg.h"
#include "libs/morvanalyzeimg/skin_names.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;
using skinnames::Pictures;

namespace {

fs::path ProgramImages() { return fs::path(std::getenv("LUMACAST_PROGRAM_DIR")) / "Images"; }

std::vector<fs::path> ShippedSkins() {
    std::vector<fs::path> skins;
    for (const auto& e : fs::directory_iterator(ProgramImages()))
        if (e.path().extension() == ".xml") skins.push_back(e.path());
    std::sort(skins.begin(), skins.end());
    return skins;
}

// Width and height from a BMP file's header, or {-1, -1}.
std::pair<int, int> BmpSize(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    unsigned char h[26] = {};
    if (!f.read(reinterpret_cast<char*>(h), 26) || h[0] != 'B' || h[1] != 'M') return {-1, -1};
    auto i32 = [&](int at) { return int(h[at] | (h[at + 1] << 8) | (h[at + 2] << 16) | (unsigned(h[at + 3]) << 24)); };
    return {i32(18), std::abs(i32(22))};
}

const char* const kSuffixes[] = {".bmp", "-move.bmp", "-down.bmp", "-dis.bmp"};

TEST(ShippedSkins, ValidateAgainstTheSchema) {
    auto skins = ShippedSkins();
    ASSERT_GE(skins.size(), 3u);
    std::string schema = std::string(std::getenv("LUMACAST_SOURCE_DIR")) + "/docs/skin.xsd";
    for (const auto& s : skins) {
        int status = 0;
        testsupport::Capture("xmllint --noout --schema " + testsupport::ShellQuote(schema) + " " +
                                 testsupport::ShellQuote(s.string()) + " 2>&1",
                             &status);
        EXPECT_EQ(status, 0) << s;
    }
}

TEST(ShippedSkins, AnswerEveryNameWithItsPictures) {
    std::set<std::string> names;
    for (const auto& skin : ShippedSkins()) {
        SCOPED_TRACE(skin.string());
        ASSERT_EQ(OpenSkinDocument(skin.c_str()), 0) << GetSkinLastError();
        const SkinInfo* info = GetSkinInfo();
        EXPECT_EQ(std::string(info->Path), skin.string());
        names.insert(info->Name);
        const char* folderText = nullptr;
        GetSkinImageFolder(&folderText);
        ASSERT_NE(folderText, nullptr);
        std::string folder = folderText;
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '/');
        for (const auto& window : skinnames::Windows()) {
            SkinSectionHandle section = GetSkinSection(window.section);
            const SkinItem* size = GetSkinItem(section, window.sizeItem);
            EXPECT_GT(size->Width, 0) << window.section;
            EXPECT_GT(size->Height, 0) << window.section;
            for (const auto& want : window.items) {
                const SkinItem* item = GetSkinItem(section, want.name);
                ASSERT_NE(item, nullptr);
                EXPECT_TRUE(item->Width > 0 && item->Height > 0) << window.section << "/" << want.name;
                if (want.pictures == Pictures::None) continue;
                std::string base = folder + window.folder + "/" + item->Image;
                ASSERT_STRNE(item->Image, "") << window.section << "/" << want.name << " names no picture";
                int states = want.pictures == Pictures::Button ? 4 : want.pictures == Pictures::Tab ? 2 : 1;
                for (int s = 0; s < states; ++s) {
                    auto [w, h] = BmpSize(base + kSuffixes[s]);
                    EXPECT_GT(w, 0) << base + kSuffixes[s];
                    if (want.pictures != Pictures::Normal || std::string(want.name).find("TrackBar") == std::string::npos) {
                        if (std::string(want.name) != "AdjustVolume") {
                            EXPECT_EQ(w, item->Width) << base + kSuffixes[s];
                            EXPECT_EQ(h, item->Height) << base + kSuffixes[s];
                        }
                    }
                }
            }
        }
        for (const auto& fixed : skinnames::FixedPictures()) EXPECT_GT(BmpSize(folder + fixed).first, 0) << fixed;
    }
    EXPECT_GE(names.size(), 3u) << "distinct skins";
}

// A document in a temporary folder.
class Documents : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) { return dir.Write(name, text).string(); }
    static std::string Skin(const std::string& name, const std::string& body, const std::string& images = "pics") {
        return "<skin name=\"" + name + "\" images=\"" + images + "\">\n" + body + "</skin>\n";
    }
    testsupport::TempDir dir;
};

TEST_F(Documents, MissingNamesAndStaleHandlesGetHiddenEmptyItems) {
    std::string path = Write("a.xml", Skin("A", "<section name=\"main\">\n"
                                                "<item name=\"btnPlay\" left=\"1\" top=\"2\" width=\"3\" height=\"4\" image=\"play\"/>\n"
                                                "</section>\n"));
    ASSERT_EQ(OpenSkinDocument(path.c_str()), 0) << GetSkinLastError();
    SkinSectionHandle main = GetSkinSection("main");
    const SkinItem* play = GetSkinItem(main, "btnPlay");
    EXPECT_EQ(play->Visible, 1);
    EXPECT_EQ(play->Left, 1);
    EXPECT_EQ(play->Top, 2);
    EXPECT_EQ(play->Width, 3);
    EXPECT_EQ(play->Height, 4);
    EXPECT_STREQ(play->Image, "play");

    SkinSectionHandle nowhere = GetSkinSection("nosuchsection");
    struct Case {
        SkinSectionHandle handle;
        const char* item;
    };
    for (const Case& c : {Case{main, "nosuchitem"}, Case{nowhere, "btnPlay"}, Case{0, "btnPlay"},
                          Case{0xFFFFFF, "btnPlay"}, Case{main, ""}}) {
        const SkinItem* item = GetSkinItem(c.handle, c.item);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Visible, 0);
        EXPECT_EQ(item->Width, 0);
        EXPECT_EQ(item->Height, 0);
        ASSERT_NE(item->Image, nullptr);
        EXPECT_STREQ(item->Image, "");
    }
    GetSkinItem(main, "anotheritem");
    EXPECT_NE(std::string(GetSkinLastError()).find("anotheritem"), std::string::npos) << "the report names it";
    EXPECT_EQ(GetSkinItem(main, "nosuchitem"), GetSkinItem(main, "nosuchitem")) << "one record per missing name";
}

TEST_F(Documents, HandlesKeepTheirDocumentAndReopeningReusesTheParse) {
    std::string a = Write("a.xml", Skin("A", "<section name=\"main\"><item name=\"x\" left=\"5\" top=\"0\" width=\"1\" height=\"1\"/></section>"));
    std::string b = Write("b.xml", Skin("B", "<section name=\"main\"><item name=\"x\" left=\"7\" top=\"0\" width=\"1\" height=\"1\"/></section>"));
    ASSERT_EQ(OpenSkinDocument(a.c_str()), 0);
    SkinSectionHandle ha = GetSkinSection("main");
    const SkinItem* xa = GetSkinItem(ha, "x");
    const SkinInfo* infoA = GetSkinInfo();
    ASSERT_EQ(OpenSkinDocument(b.c_str()), 0);
    EXPECT_STREQ(GetSkinInfo()->Name, "B");
    EXPECT_NE(GetSkinSection("main"), ha);
    EXPECT_EQ(GetSkinItem(GetSkinSection("main"), "x")->Left, 7);
    EXPECT_EQ(GetSkinItem(ha, "x")->Left, 5) << "a handle keeps answering from its document";
    EXPECT_STREQ(infoA->Name, "A") << "the catalogue keeps its records";

    ASSERT_EQ(OpenSkinDocument(a.c_str()), 0);
    EXPECT_EQ(GetSkinSection("main"), ha);
    EXPECT_EQ(GetSkinItem(ha, "x"), xa) << "an unchanged document is not parsed again";
    EXPECT_EQ(GetSkinInfo(), infoA);

    Write("a.xml", Skin("A2", "<section name=\"main\"><item name=\"x\" left=\"9\" top=\"0\" width=\"1\" height=\"1\"/></section>"));
    ASSERT_EQ(OpenSkinDocument(a.c_str()), 0);
    EXPECT_STREQ(GetSkinInfo()->Name, "A2");
    EXPECT_EQ(GetSkinInfo(), infoA) << "one record per document path";
    EXPECT_EQ(GetSkinSection("main"), ha);
    EXPECT_EQ(GetSkinItem(ha, "x")->Left, 9) << "a changed document answers in its new version";
}

TEST_F(Documents, RefusedDocumentsNameFileAndLineAndKeepTheCurrentOne) {
    std::string good = Write("good.xml", Skin("Good", "<section name=\"main\"/>"));
    fs::create_directories(dir.path() / "pics");
    fs::create_directory_symlink("/tmp", dir.path() / "outside");
    struct Case {
        const char* what;
        std::string text;
        int line;
    };
    const std::string item = "<section name=\"main\">\n<item name=\"x\" left=\"0\" top=\"0\" width=\"1\" height=\"1\" ";
    const Case cases[] = {
        {"not well-formed", "<skin name=\"x\" images=\"pics\">\n<section name=\"main\">\n</skin>\n", 3},
        {"not a skin", "<profile/>", 1},
        {"no name", "<skin images=\"pics\"/>", 1},
        {"letters in a number", Skin("x", item + "/>\n<item name=\"y\" left=\"12a\" top=\"0\" width=\"1\" height=\"1\"/></section>"), 4},
        {"out of range", Skin("x", item + "/>\n<item name=\"y\" left=\"100001\" top=\"0\" width=\"1\" height=\"1\"/></section>"), 4},
        {"negative width", Skin("x", "<section name=\"main\">\n<item name=\"y\" left=\"0\" top=\"0\" width=\"-1\" height=\"1\"/></section>"), 3},
        {"missing number", Skin("x", "<section name=\"main\">\n<item name=\"y\" left=\"0\" top=\"0\" width=\"1\"/></section>"), 3},
        {"bad flag", Skin("x", item + "visible=\"yes\"/></section>"), 3},
        {"duplicate item", Skin("x", item + "/>\n" + "<item name=\"x\" left=\"0\" top=\"0\" width=\"1\" height=\"1\"/></section>"), 4},
        {"duplicate section", Skin("x", "<section name=\"main\"/>\n<section name=\"main\"/>\n"), 3},
        {"unknown attribute", Skin("x", item + "colour=\"red\"/></section>"), 3},
        {"unknown element", Skin("x", "<section name=\"main\">\n<button/></section>"), 3},
        {"image leaves the folder", Skin("x", item + "image=\"../evil\"/></section>"), 3},
        {"folder goes up", Skin("x", "", "../pics"), 1},
        {"folder is absolute", Skin("x", "", "/tmp"), 1},
        {"folder links out", Skin("x", "", "outside"), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(OpenSkinDocument(good.c_str()), 0) << GetSkinLastError();
        std::string bad = Write("bad.xml", c.text);
        EXPECT_EQ(OpenSkinDocument(bad.c_str()), -1);
        EXPECT_EQ(std::string(GetSkinLastError()).rfind(bad + ":" + std::to_string(c.line) + ": ", 0), 0u)
            << GetSkinLastError();
        EXPECT_EQ(std::string(GetSkinInfo()->Path), good) << "the previous document stays current";
    }
    std::string big = Write("big.xml", Skin("x", "<!--" + std::string(1 << 20, ' ') + "-->"));
    EXPECT_EQ(OpenSkinDocument(big.c_str()), -1);
    std::string missing = (dir.path() / "missing.xml").string();
    EXPECT_EQ(OpenSkinDocument(missing.c_str()), -1);
    EXPECT_EQ(OpenSkinDocument(nullptr), -1);
    EXPECT_EQ(OpenSkinDocument(dir.str().c_str()), -1) << "a folder";
    EXPECT_EQ(std::string(GetSkinInfo()->Path), good);
}

TEST_F(Documents, ThePictureFolderIsAbsoluteBesideTheDocument) {
    fs::create_directories(dir.path() / "skins" / "pics");
    std::string path = Write("skins/s.xml", Skin("S", "", "pics"));
    ASSERT_EQ(OpenSkinDocument(path.c_str()), 0) << GetSkinLastError();
    const char* folder = nullptr;
    GetSkinImageFolder(&folder);
    EXPECT_EQ(std::string(folder), fs::weakly_canonical(dir.path() / "skins" / "pics").string() + "/");
}

}  // namespace
