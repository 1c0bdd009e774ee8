// Skin archives, skin record data, file themes and the theme manager, on fixtures made at
// test time: one outcome table for archives, one for record data, the theme's search order
// through temporary XDG folders, and the rules by which themes reach controls.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/graphics/resources.h"
#include "platform/windows/windows_test_support.h"
#include "skin_support.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/skinarchive.h"
#include "theme_support.h"

using namespace platform;
using namespace skinctrl;
using skintest::MakeBmp;
using skintest::MakeSk2;
using skintest::MakeVxk;

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

const char* const kThreeRecords =
    R"({"records":[{"name":"A","type":1,"value":{"int":5}},{"name":"B","type":2,"value":{"byte":2}},)"
    R"({"name":"C","type":1,"value":{"int":7}}]})";

class Archives : public skintest::SkinFixture {};

TEST_F(Archives, OutcomeTable) {
    fs::path sk2 = Path("data.sk2");
    MakeSk2(sk2, kThreeRecords);
    const std::string data = ReadFile(sk2);
    using R = TExtractResult;
    struct Row {
        const char* what;
        std::string options;  // for make_skin.py; "" with a custom maker below
        std::string password;
        R expected;
    };
    const Row rows[] = {
        {"deflated", "", "", R::Extracted},
        {"stored", "--store", "", R::Extracted},
        {"right password", "--password s3cret", "s3cret", R::Extracted},
        {"wrong password", "--password s3cret", "secret", R::QuietlyNotLoaded},
        {"empty password", "--password s3cret", "", R::QuietlyNotLoaded},
        {"a ZIP archive", "--pk", "", R::NotReadable},
        {"a comment", "--comment note", "", R::NotReadable},
        {"lower-case name", "--name skindata.sk2", "", R::Extracted},
        {"in a folder", "--name dir/SKINDATA.SK2", "", R::NotReadable},
        {"up a folder", "--name ../SKINDATA.SK2", "", R::NotReadable},
        {"another entry", "--name OTHER.SK2", "", R::NotReadable},
        {"flipped CRC", "--flip-crc", "", R::QuietlyNotLoaded},
        {"flipped CRC, stored", "--store --flip-crc", "", R::QuietlyNotLoaded},
        {"wrong size", "--grow-size", "", R::QuietlyNotLoaded},
        {"unsupported method", "--method 12", "", R::NotReadable},
    };
    fs::path target = tmp / "entry";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::path archive = Path("skin.vxk");
        MakeVxk(archive, sk2, row.options);
        R got = ExtractEntry(archive.string(), "SKINDATA.SK2", target.string(), row.password);
        EXPECT_EQ(int(got), int(row.expected));
        if (got == R::Extracted) {
            EXPECT_EQ(ReadFile(target), data);
            fs::remove(target);
        }
        EXPECT_EQ(skintest::FilesIn(tmp), 0) << "nothing left behind";
        EXPECT_EQ(skintest::FilesIn(dir.path()), 3) << "no file appears beside the archive";  // data, archive, tmp
    }

    // Damage made by cutting and by hand.
    fs::path good = Path("good.vxk");
    MakeVxk(good, sk2);
    const std::string bytes = ReadFile(good);
    struct Cut {
        const char* what;
        std::string bytes;
    };
    const Cut cuts[] = {
        {"empty", ""},
        {"two bytes", "SK"},
        {"short", bytes.substr(0, 21)},
        {"half", bytes.substr(0, bytes.size() / 2)},
        {"no last byte", bytes.substr(0, bytes.size() - 1)},
        {"end record only", bytes.substr(bytes.size() - 22)},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.what);
        WriteFile(Path("cut.vxk"), c.bytes);
        EXPECT_EQ(int(ExtractEntry(Path("cut.vxk").string(), "SKINDATA.SK2", target.string(), "")),
                  int(R::NotReadable));
        EXPECT_EQ(skintest::FilesIn(tmp), 0);
    }
    EXPECT_EQ(int(ExtractEntry(Path("missing.vxk").string(), "SKINDATA.SK2", target.string(), "")),
              int(R::NotReadable));
    EXPECT_EQ(int(ExtractEntry(dir.str(), "SKINDATA.SK2", target.string(), "")), int(R::NotReadable)) << "a folder";
    // Larger than any skin: refused before it is read (a sparse file).
    { std::ofstream(Path("huge.vxk")) << "SK"; }
    fs::resize_file(Path("huge.vxk"), kMaxSkinArchiveSize + 1);
    EXPECT_EQ(int(ExtractEntry(Path("huge.vxk").string(), "SKINDATA.SK2", target.string(), "")), int(R::NotReadable));
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
}

TEST_F(Archives, ABombIsRefused) {
    ASSERT_TRUE(skintest::Run("python3 " + skintest::Q(skintest::SourceDir() + "/tests/skinctrl/make_skin.py") +
                              " bomb " + skintest::Q(Path("bomb.vxk").string()) + " 65"));
    fs::path target = tmp / "entry";
    EXPECT_EQ(int(ExtractEntry(Path("bomb.vxk").string(), "SKINDATA.SK2", target.string(), "")),
              int(TExtractResult::NotReadable));
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
}

class RecordData : public skintest::SkinFixture {};

TEST_F(RecordData, OutcomeTable) {
    fs::path bmp = Path("red.bmp");
    MakeBmp(bmp, 6, 5, "red");
    const std::string bmpValue = R"({"file":")" + bmp.string() + R"("})";
    const std::string name64(64, 'N');
    struct Row {
        const char* what;
        std::string layout;
        bool loaded;
        std::vector<std::pair<std::string, int>> integers;  // expected GetInteger answers
        std::vector<std::pair<std::string, bool>> flags;    // expected GetBool answers
    };
    const Row rows[] = {
        {"three records, the last unread", kThreeRecords, true, {{"A", 5}, {"C", -1}, {"Z", -1}}, {{"B", true}, {"Z", false}}},
        {"type 7 passed over",
         R"({"records":[{"name":"X","type":7,"value":{"int":1}},{"name":"A","type":1,"value":{"int":9}},{"name":"E"}]})",
         true, {{"A", 9}, {"X", -1}}, {}},
        {"first of two names wins, ignoring case",
         R"({"records":[{"name":"abc","type":1,"value":{"int":1}},{"name":"ABC","type":1,"value":{"int":2}},{"name":"E"}]})",
         true, {{"ABC", 1}}, {}},
        {"integers of 2 bytes and flags of 4 are skipped",
         R"({"records":[{"name":"I","type":1,"value":{"int16":3}},{"name":"F","type":2,"value":{"bytes4":1}},{"name":"E"}]})",
         true, {{"I", -1}}, {{"F", false}}},
        {"a flag of 0x100 reads its low byte",
         R"({"records":[{"name":"F","type":2,"value":{"byte":0}},{"name":"G","type":2,"value":{"byte":255}},{"name":"E"}]})",
         true, {}, {{"F", false}, {"G", true}}},
        {"a name of 64 bytes",
         R"({"records":[{"name":")" + name64 + R"(","type":1,"value":{"int":4}},{"name":"E"}]})", true, {{name64, 4}}, {}},
        {"a bitmap and a text", R"({"records":[{"name":"P","type":0,"value":)" + bmpValue +
                                    R"(},{"name":"T","type":3,"value":{"text":"hello"}},{"name":"E"}]})",
         true, {}, {}},
        {"value outside the data",
         R"({"records":[{"name":"A","type":1,"value":{"int":5},"value_pos":100000},{"name":"E"}]})", false, {}, {}},
        {"value length past the end",
         R"({"records":[{"name":"T","type":3,"value":{"text":"x"},"value_len":4294967295},{"name":"E"}]})", false, {}, {}},
        {"next record outside the data",
         R"({"records":[{"name":"A","type":1,"value":{"int":5},"next":99999},{"name":"E"}]})", false, {}, {}},
        {"a cycle", R"({"records":[{"name":"A","type":1,"value":{"int":5}},{"name":"B","type":1,"value":{"int":6},"next":"first"}]})",
         false, {}, {}},
        {"first record outside", R"({"first":5000,"records":[{"name":"E"}]})", false, {}, {}},
        {"header length below 24", R"({"header_length":20,"records":[{"name":"A","type":1,"value":{"int":5}},{"name":"E"}]})",
         false, {}, {}},
        {"header length past the end", R"({"header_length":9999,"records":[{"name":"E"}]})", false, {}, {}},
        {"short header", R"({"truncate":20,"records":[{"name":"E"}]})", false, {}, {}},
        {"cut inside a record", R"({"truncate":60,"records":[{"name":"A","type":1,"value":{"int":5}},{"name":"E"}]})",
         false, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::path file = Path("r.sk2");
        MakeSk2(file, row.layout);
        std::string bytes = ReadFile(file);
        Tsk2SkinFileReader reader;
        EXPECT_EQ(reader.LoadFromData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), row.loaded);
        EXPECT_EQ(reader.Loaded(), row.loaded);
        for (const auto& [name, value] : row.integers) EXPECT_EQ(reader.GetInteger(name), value) << name;
        for (const auto& [name, value] : row.flags) EXPECT_EQ(reader.GetBool(name), value) << name;
        if (!row.loaded) {
            EXPECT_EQ(reader.BitmapCount(), 0u);
            EXPECT_EQ(reader.GetInteger("A"), -1) << "nothing of a refused chain stays";
        }
    }
}

TEST_F(RecordData, BitmapsTextsAndChanges) {
    fs::path bmp = Path("red.bmp");
    MakeBmp(bmp, 6, 5, "red");
    fs::path file = Path("r.sk2");
    MakeSk2(file, R"({"records":[{"name":"SKIN2_BUTTON","type":0,"value":{"file":")" + bmp.string() +
                      R"("}},{"name":"T","type":3,"value":{"text":"hello"}},{"name":"E"}]})");
    std::string bytes = ReadFile(file);
    Tsk2SkinFileReader reader;
    ASSERT_TRUE(reader.LoadFromData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    TBitmap* b = reader.GetBitmap("skin2_button");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 6);
    EXPECT_EQ(b->Height(), 5);
    EXPECT_EQ(ColorToRGB(b->Canvas()->Pixels(2, 2)), RGB(255, 0, 0));
    EXPECT_EQ(reader.GetStr("T"), "hello");
    EXPECT_EQ(reader.GetStr("U"), "");
    EXPECT_EQ(reader.GetBitmap("nothing"), nullptr);

    TBitmap other;
    skintest::FillUnique(other, 3, 3);
    reader.SetBitmap("NEW", &other);
    EXPECT_EQ(reader.BitmapCount(), 1u) << "SetBitmap of an unknown name adds nothing";
    reader.SetBitmap("SKIN2_BUTTON", &other);
    EXPECT_EQ(reader.GetBitmap("SKIN2_BUTTON")->Width(), 3);
    reader.SetInteger("N", 12);
    reader.SetInteger("N", 13);
    EXPECT_EQ(reader.GetInteger("N"), 13);
    reader.SetBool("F", true);
    EXPECT_TRUE(reader.GetBool("F"));
    reader.ProcessTransparentColor(RGB(1, 2, 3));
    EXPECT_EQ(reader.GetBitmap("SKIN2_BUTTON")->TransparentMode(), tmFixed);
    EXPECT_EQ(ColorToRGB(reader.GetBitmap("SKIN2_BUTTON")->TransparentColor()), RGB(1, 2, 3));
}

// Many records may name the same picture bytes: what counts is what they decode to. A skin
// whose pictures stay within the budget loads; one past it is refused with its own message
// before it holds more than the budget, through the record decoder and through the archive.
TEST_F(RecordData, PicturesNamedManyTimesStayWithinThePixelBudget) {
    fs::path bmp = Path("big.bmp");
    MakeBmp(bmp, 512, 512, "red");
    const std::uint64_t picture = 512 * 512;
    struct Row {
        int records;
        bool loaded;
    } rows[] = {{3, true}, {int(kMaxSkinPixels / picture), true}, {int(kMaxSkinPixels / picture) + 1, false},
                {200, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.records);
        fs::path file = Path("many.sk2");
        MakeSk2(file, R"({"records":[{"name":"P0","type":0,"value":{"file":")" + bmp.string() +
                          R"("}},{"name":"E"}],"repeat":[{"name":"P","type":0,"value":{"same_as":0}},)" +
                          std::to_string(row.records - 1) + "]}");
        std::string bytes = ReadFile(file);
        Tsk2SkinFileReader reader;
        std::string error;
        try {
            reader.LoadFromData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const Exception& e) {
            error = e.what();
        }
        EXPECT_LE(reader.PeakDecodedPixels(), kMaxSkinPixels);
        EXPECT_EQ(reader.Loaded(), row.loaded);
        if (row.loaded) {
            EXPECT_EQ(error, "");
            EXPECT_EQ(reader.BitmapCount(), std::size_t(row.records));
            EXPECT_EQ(reader.PeakDecodedPixels(), picture * std::uint64_t(row.records));
            continue;
        }
        EXPECT_EQ(error.rfind(SK2_PIXELS_ERROR, 0), 0u) << error;
        EXPECT_EQ(reader.BitmapCount(), 0u);
        // The same through a skin archive and a file theme: refused, nothing left behind.
        fs::path archive = Path("many.vxk");
        MakeVxk(archive, file);
        EXPECT_THROW(Tsk2SkinFileReader(archive.string(), ""), Exception);
        TdvxFileTheme theme;
        theme.SetThemeFile(archive.string());
        EXPECT_FALSE(theme.CanUse());
        EXPECT_EQ(skintest::FilesIn(tmp), 0);
    }
}

TEST_F(RecordData, ABadBitmapRaisesAndTheTemporaryFileGoes) {
    fs::path file = Path("r.sk2");
    MakeSk2(file, R"({"records":[{"name":"P","type":0,"value":{"raw":"424d0000"}},{"name":"E"}]})");
    fs::path archive = Path("bad.vxk");
    MakeVxk(archive, file);
    EXPECT_THROW(Tsk2SkinFileReader(archive.string(), ""), EInvalidGraphic);
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
    try {
        Tsk2SkinFileReader reader(Path("missing.vxk").string(), "");
        FAIL() << "a missing skin file raises";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to read skin file!");
    }
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
}

// ---------------------------------------------------------------- file themes

// A skin archive with a form colour, a button picture, an integer and a flag.
class Themes : public skintest::SkinFixture {
protected:
    void SetUp() override {
        SkinFixture::SetUp();
        platform::test::UseHeadlessBackend();
        fs::path bmp = Path("button.bmp");
        MakeBmp(bmp, 9, 4, "blue");
        MakeSk2(Path("skin.sk2"), R"({"records":[{"name":"SKIN2_FORMCOLOR","type":1,"value":{"int":1193046}},)"
                                  R"({"name":"SKIN2_BUTTON","type":0,"value":{"file":")" + bmp.string() + R"("}},)"
                                  R"({"name":"SKIN2_TITLEBARICONPOSX","type":1,"value":{"int":7}},)"
                                  R"({"name":"SKIN2_BUTTONTRANS","type":2,"value":{"byte":1}},{"name":"E"}]})");
    }
    fs::path Skin(const std::string& name, const std::string& options = "") {
        fs::path p = Path(name);
        fs::create_directories(p.parent_path());
        MakeVxk(p, Path("skin.sk2"), options);
        return p;
    }
};

TEST_F(Themes, UsingFileThemeRule) {
    TdvxFileTheme ready, unready;
    ready.SetThemeFile(Skin("a.vxk").string());
    ASSERT_TRUE(ready.Ready());
    struct Case {
        TdvxFileTheme* theme;
        TdvxUIStyle ui;
        bool uses;
        TdvxUIStyle style;
    };
    const Case cases[] = {
        {&ready, WinXP, false, WinXP},         {nullptr, WinXP, false, WinXP},
        {nullptr, FromThemeFile, false, DeepBlue}, {&unready, FromThemeFile, false, DeepBlue},
        {&ready, FromThemeFile, true, FromThemeFile},
    };
    for (const Case& c : cases) {
        TdvxUIStyle style = MacOS;
        EXPECT_EQ(UsingFileTheme(c.theme, c.ui, style), c.uses);
        EXPECT_EQ(style, c.style);
    }
}

TEST_F(Themes, LookupsGoThroughTheKeyTable) {
    TdvxFileTheme theme;
    EXPECT_EQ(theme.GetColor(SKIN2_FORMCOLOR), TColor(0)) << "nothing loaded";
    EXPECT_EQ(theme.GetBitmap(SKIN2_BUTTON), nullptr);
    theme.SetThemeFile(Skin("a.vxk").string());
    ASSERT_TRUE(theme.CanUse());
    EXPECT_EQ(theme.GetColor(SKIN2_FORMCOLOR), TColor(0x123456));
    EXPECT_EQ(theme.GetColor(SKIN2_TRANSCOLOR), TColor(-1)) << "a colour the skin lacks";
    EXPECT_EQ(theme.GetInt(SKIN2_TITLEBARICONPOSX), 7);
    EXPECT_TRUE(theme.GetBool(SKIN2_BUTTONTRANS));
    EXPECT_FALSE(theme.GetBool(SKIN2_TITLEBTNTRANS));
    TBitmap frame;
    theme.GetBitmap2(SKIN2_BUTTON, &frame, 3, 3);
    EXPECT_EQ(frame.Width(), 3);
    theme.GetBitmap2(SKIN2_BUTTON, &frame, 0, 0);
    EXPECT_EQ(frame.Width(), 9);
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
}

TEST_F(Themes, SkinFilesAreLookedForInTheXdgFolders) {
    fs::path home = Path("home"), first = Path("first"), second = Path("second");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    setenv("XDG_DATA_DIRS", (first.string() + ":" + second.string()).c_str(), 1);
    Skin("second/lumacast/skins/s.vxk");
    TdvxFileTheme theme;
    theme.SetThemeFile("s.vxk");
    EXPECT_EQ(theme.ThemeFile(), (second / "lumacast/skins/s.vxk").string());
    EXPECT_TRUE(theme.Ready());
    Skin("first/lumacast/skins/s.vxk");
    theme.SetThemeFile("s.vxk");
    EXPECT_EQ(theme.ThemeFile(), (first / "lumacast/skins/s.vxk").string()) << "earlier data folders first";
    Skin("home/lumacast/skins/s.vxk");
    theme.SetThemeFile("some/where/s.vxk");
    EXPECT_EQ(theme.ThemeFile(), (home / "lumacast/skins/s.vxk").string()) << "the user's folder before them";
    fs::path own = Skin("mine/s.vxk");
    theme.SetThemeFile(own.string());
    EXPECT_EQ(theme.ThemeFile(), own.string()) << "the name itself first";

    theme.SetThemeFile("nowhere.vxk");
    EXPECT_EQ(theme.ThemeFile(), own.string()) << "a file found nowhere changes nothing";
    EXPECT_TRUE(theme.Ready());
    WriteFile(Path("broken.vxk"), "SK broken");
    theme.SetThemeFile(Path("broken.vxk").string());
    EXPECT_FALSE(theme.Ready()) << "a file that does not load";
    EXPECT_EQ(theme.GetBitmap(SKIN2_BUTTON), nullptr);
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
}

TEST_F(Themes, PasswordsReloadWhenSet) {
    fs::path locked = Skin("locked.vxk", "--password pw");
    TdvxFileTheme theme;
    theme.SetThemeFile(locked.string());
    EXPECT_FALSE(theme.Ready()) << "no password: quietly not loaded";
    theme.SetPassword("");
    EXPECT_FALSE(theme.Ready());
    theme.SetPassword("pw");
    EXPECT_TRUE(theme.Ready());
    EXPECT_EQ(skintest::FilesIn(tmp), 0);
}

TEST_F(Themes, BuiltInThemesLoadFromBytes) {
    std::string bytes = ReadFile(Skin("a.vxk"));
    TdvxBuiltInFileTheme theme;
    EXPECT_TRUE(theme.ReadSkinData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_TRUE(theme.Ready());
    EXPECT_EQ(theme.GetInt(SKIN2_TITLEBARICONPOSX), 7);
    EXPECT_EQ(skintest::FilesIn(tmp), 0) << "the temporary copy is gone";

    static std::string resource = bytes;
    RegisterResource("TEST_SKINDATA", RT_RCDATA, reinterpret_cast<const BYTE*>(resource.data()), resource.size());
    TdvxBuiltInFileTheme fromResource;
    EXPECT_TRUE(fromResource.LoadSkinResource("TEST_SKINDATA"));
    EXPECT_TRUE(fromResource.Ready());

    theme.SetThemeFile2(Path("a.vxk").string());
    EXPECT_EQ(theme.WriteSkinData(), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));

    setenv("TMPDIR", Path("no/such/folder").c_str(), 1);
    TdvxBuiltInFileTheme stuck;
    EXPECT_FALSE(stuck.ReadSkinData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        << "an unwritable temporary folder ends the attempts";
    EXPECT_FALSE(stuck.Ready());
}

class ThemesOnForms : public Themes {
protected:
    void SetUp() override {
        Themes::SetUp();
        form = new TForm(nullptr);
        form->AfterConstruction();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        Themes::TearDown();
    }
    skintest::TdvxProbe* Probe(const std::string& name) {
        auto* p = new skintest::TdvxProbe(form);
        p->SetParent(form);
        p->SetName(name);
        return p;
    }
    TForm* form = nullptr;
};

TEST_F(ThemesOnForms, LoadingASkinReappliesItToTheControlsUsingIt) {
    auto* theme = new TdvxFileTheme(form);
    auto* user = Probe("user");
    auto* other = Probe("other");
    user->SetFileTheme(theme);
    int userBefore = user->styleChanges, otherBefore = other->styleChanges;
    theme->SetThemeFile(Skin("a.vxk").string());
    EXPECT_EQ(user->styleChanges, userBefore + 2) << "theme emptied, then set again";
    EXPECT_EQ(user->GetFileTheme(), theme);
    EXPECT_EQ(other->styleChanges, otherBefore);
}

TEST_F(ThemesOnForms, TheManagerSetsItsListOfControls) {
    auto* a = Probe("a");
    auto* b = Probe("b");
    auto* theme = new TdvxFileTheme(form);
    auto* manager = new TdvxThemeManager(form);
    int events = 0;
    manager->OnUIStyleChanged = [&](TObject*) { ++events; };
    manager->SetList({"a", "gone"});
    manager->SetFileTheme(theme);
    EXPECT_EQ(events, 0) << "the style did not change";
    EXPECT_EQ(a->GetFileTheme(), theme);
    EXPECT_EQ(b->GetFileTheme(), nullptr) << "not on the list";
    manager->SetUIStyle(Protein);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(a->GetUIStyle(), Protein);
    EXPECT_EQ(b->GetUIStyle(), DeepBlue);
    a->SetUIStyle(WinXP);
    manager->SetUIStyle(Protein);
    EXPECT_EQ(events, 1) << "the same style fires nothing";
    EXPECT_EQ(a->GetUIStyle(), Protein) << "but is applied again";

    delete theme;
    EXPECT_EQ(manager->FileTheme(), nullptr);
    EXPECT_EQ(manager->UIStyle(), DeepBlue);
    EXPECT_EQ(a->GetUIStyle(), DeepBlue) << "the control falls back by itself";
    delete a;
    EXPECT_EQ(manager->CompList(), std::vector<std::string>({"gone"})) << "a removed component leaves the list";
}

}  // namespace
