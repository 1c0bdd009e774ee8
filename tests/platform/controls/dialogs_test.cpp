// The common dialogs driven by injected keys over a temporary folder: patterns against
// mixed-case names, several files in the list's order, typed and "~" paths, a path that
// does not exist, names that are not UTF-8, custom colours, font fields, the folder
// browser, the answering hook, and the current directory left alone.
#include <fstream>
#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/controls/dialogs.h"
#include "support/tempdir.h"

using namespace platform;

namespace {

class DialogTest : public test::ControlsFixture {
protected:
    void SetUp() override {
        ControlsFixture::SetUp();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT flags) {
            messages.push_back(text);
            return (flags & MB_YESNO) ? answer : IDOK;
        };
        for (const char* name : {"video_ts.ifo", "VTS_01_0.IFO", "movie.VOB", "readme.txt", "clip.mpg", "b.AVI",
                                 "noext", "a.avi", "bad\xff.ifo"})
            std::ofstream(dir / name) << "x";
        std::filesystem::create_directory(dir.path() / "sub");
        std::ofstream(dir / "sub/inner.ifo") << "x";
        cwd = CurrentFolder();
    }
    void TearDown() override {
        TearDownShooter();
        EXPECT_EQ(CurrentFolder(), cwd);  // no dialog moved the current directory
        ControlsFixture::TearDown();
    }
    // Keys typed into the dialog once it shows.
    static void Keys(const std::vector<std::pair<WORD, std::string>>& keys) {
        for (const auto& [vk, text] : keys) {
            if (!text.empty()) {
                for (unsigned char c : text) InputChar(c);
                continue;
            }
            InputKey(vk, true);
            InputKey(vk, false);
        }
    }
    static void Alt(char letter) {
        InputKey(VK_MENU, true);
        InputKey(WORD(std::toupper(letter)), true);
        InputChar(unsigned(letter));
        InputKey(WORD(std::toupper(letter)), false);
        InputKey(VK_MENU, false);
    }
    // Saves the dialog's picture once it has been painted, before the keys given after this
    // call reach it (they wait for the timer's message to be handled first).
    void ShotLater(TForm* form, const std::string& name) {
        HWND h = form->Handle();
        TearDownShooter();
        shooter_ = AllocateHWnd([h, name](HWND self, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == WM_TIMER) {
                KillTimer(self, 1);
                PaintPendingWindows();
                test::Shot(h, name);
            }
            return 0;
        });
        SetTimer(shooter_, 1, 0);
    }
    void TearDownShooter() {
        if (shooter_) DeallocateHWnd(shooter_);
        shooter_ = nullptr;
    }
    HWND shooter_ = nullptr;
    template <class T>
    static T* Find(TForm* form) {
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* c = dynamic_cast<T*>(form->Components(i))) return c;
        return nullptr;
    }

    testsupport::TempDir dir;
    std::string cwd;
    std::vector<std::string> messages;
    int answer = IDYES;
};

using KeyList = std::vector<std::pair<WORD, std::string>>;
const std::pair<WORD, std::string> Enter{VK_RETURN, ""}, Esc{VK_ESCAPE, ""}, Tab{VK_TAB, ""};
std::pair<WORD, std::string> Text(const std::string& s) { return {0, s}; }

TEST_F(DialogTest, OpenListsWhatThePatternMatchesIgnoringCaseAndTakesATypedName) {
    TOpenDialog open(nullptr);
    open.SetFilter("DVD IFO Files (*.IFO)|*.IFO");
    open.SetInitialDir(dir.str());
    std::vector<std::string> shown, names;
    open.OnShow = [&](TObject*) {
        TFileListBox* list = Find<TFileListBox>(open.Form());
        names = list->Names();
        for (int i = 0; i < list->Count(); ++i) shown.push_back(list->ItemText(i));
        ShotLater(open.Form(), "dialog_open.png");
        Keys({Text("video_ts.ifo"), Enter});
    };
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(names, (std::vector<std::string>{"bad\xff.ifo", "video_ts.ifo", "VTS_01_0.IFO"}));
    EXPECT_EQ(shown[0], "bad\xEF\xBF\xBD.ifo");  // shown with a replacement character
    EXPECT_EQ(open.FileName(), dir / "video_ts.ifo");
    EXPECT_EQ(open.Files()->Count(), 1);

    // Chosen from the list by keys, a name that is not UTF-8 comes back as its bytes.
    open.OnShow = [&](TObject*) { Keys({Tab, {VK_HOME, ""}, Enter}); };
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), dir / "bad\xff.ifo");
}

TEST_F(DialogTest, AddFileFilterWithATrailingSeparatorMatchesOnlyItsPatterns) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"clip.mpg", true}, {"CLIP.MPG", true}, {"b.AVI", true}, {"readme.txt", false}, {"noext", false}, {"", false},
    };
    for (const auto& [name, match] : cases) EXPECT_EQ(MatchesFilterMask(name, "*.avi;*.MPG;"), match) << name;
    EXPECT_FALSE(MatchesFilterMask("anything", ";"));
    EXPECT_TRUE(MatchesFilterMask("noext", "*.*"));
    EXPECT_EQ(ParseFilter("A (*.a)|*.a|All|*.*").size(), 2u);
    EXPECT_EQ(ExpandTypedPath("../x/./y", "/a/b"), "/a/x/y");
}

TEST_F(DialogTest, SeveralFilesComeInTheListsOrder) {
    TOpenDialog open(nullptr);
    open.SetFilter("Media|*.avi;*.MPG;");
    open.SetInitialDir(dir.str());
    open.SetOptions(ofAllowMultiSelect | ofFileMustExist);
    // To the list, the last item, then Shift+Home selects all three; Enter accepts.
    open.OnShow = [&](TObject*) {
        Keys({Tab, {VK_END, ""}});
        InputKey(VK_SHIFT, true);
        Keys({{VK_HOME, ""}});
        InputKey(VK_SHIFT, false);
        Keys({Enter});
    };
    ASSERT_TRUE(open.Execute());
    std::vector<std::string> files;
    for (int i = 0; i < open.Files()->Count(); ++i) files.push_back(open.Files()->Get(i));
    EXPECT_EQ(files, (std::vector<std::string>{dir / "a.avi", dir / "b.AVI", dir / "clip.mpg"}));
}

TEST_F(DialogTest, TypedPathsHomeAndMissingFiles) {
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.str().c_str(), 1);
    TOpenDialog open(nullptr);
    open.SetInitialDir("/");
    std::string listed;
    open.OnShow = [&](TObject*) {
        // A folder typed with "~" opens it; a missing file gets a message and the dialog
        // stays; a pattern filters; the typed relative name then opens.
        Keys({Text("~/sub"), Enter, Text("missing.ifo"), Enter});
        Keys({{VK_HOME, ""}});
        InputKey(VK_SHIFT, true);
        Keys({{VK_END, ""}});
        InputKey(VK_SHIFT, false);
        Keys({Text("inner.ifo"), Enter});
    };
    ASSERT_TRUE(open.Execute());
    setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(open.FileName(), dir / "sub/inner.ifo");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("missing.ifo"), std::string::npos);
    EXPECT_NE(messages[0].find("File not found"), std::string::npos);

    // Escape cancels and leaves the old result alone.
    open.OnShow = [&](TObject*) { Keys({Text("video_ts.ifo"), Esc}); };
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(open.FileName(), dir / "sub/inner.ifo");
}

TEST_F(DialogTest, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing) {
    TSaveDialog save(nullptr);
    save.SetInitialDir(dir.str());
    save.SetDefaultExt("txt");
    save.OnShow = [&](TObject*) { Keys({Text("readme"), Enter}); };
    answer = IDNO;
    // Asked, refused: the dialog stays; Escape then cancels.
    save.OnShow = [&](TObject*) { Keys({Text("readme"), Enter, Esc}); };
    EXPECT_FALSE(save.Execute());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("already exists"), std::string::npos);
    answer = IDYES;
    save.OnShow = [&](TObject*) { Keys({Text("readme"), Enter}); };
    EXPECT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName(), dir / "readme.txt");
    save.OnShow = [&](TObject*) { Keys({Text("new"), Enter}); };
    EXPECT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName(), dir / "new.txt");
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(DialogTest, ColorDialogKeepsCustomColors) {
    TColorDialog colors(nullptr);
    colors.SetColor(clRed);
    colors.CustomColors()->Add("ColorA=00FF0000");
    colors.OnShow = [&](TObject*) {
        ShotLater(colors.Form(), "dialog_color.png");
        Keys({{VK_RIGHT, ""}});  // from red to the next basic colour, yellow
        Alt('a');                // added to the first unused custom slot
        Keys({Enter});
    };
    ASSERT_TRUE(colors.Execute());
    EXPECT_EQ(colors.Color(), TColor(0x00FFFF));
    EXPECT_EQ(colors.CustomColors()->Values("ColorA"), "00FF0000");
    EXPECT_EQ(colors.CustomColors()->Values("ColorB"), "0000FFFF");
    EXPECT_EQ(colors.CustomColors()->Values("ColorP"), "00FFFFFF");
    // Typed red, green and blue.
    colors.OnShow = [&](TObject*) {
        Alt('g');
        Keys({Text("128"), Enter});
    };
    ASSERT_TRUE(colors.Execute());
    EXPECT_EQ(colors.Color(), TColor(RGB(255, 128, 0)));
}

TEST_F(DialogTest, FontDialogFields) {
    TFontDialog fonts(nullptr);
    fonts.Font()->SetName("Liberation Sans");
    fonts.Font()->SetSize(9);
    bool listed = false;
    fonts.OnShow = [&](TObject*) {
        TListBox* families = Find<TListBox>(fonts.Form());
        listed = families->Count() > 0 && families->ItemIndex() >= 0;
        ShotLater(fonts.Form(), "dialog_font.png");
        Keys({Text("DejaVu Serif")});  // the family field starts selected
        Alt('s');
        Keys({Text("14")});
        Alt('b');
        Alt('u');
        Keys({Enter});
    };
    ASSERT_TRUE(fonts.Execute());
    EXPECT_TRUE(listed);
    EXPECT_EQ(fonts.Font()->Name(), "DejaVu Serif");
    EXPECT_EQ(fonts.Font()->Size(), 14);
    EXPECT_TRUE(fonts.Font()->Style().Contains(fsBold));
    EXPECT_FALSE(fonts.Font()->Style().Contains(fsItalic));
    EXPECT_TRUE(fonts.Font()->Style().Contains(fsUnderline));
}

TEST_F(DialogTest, TheHookAnswersDialogsAndTheFolderBrowser) {
    std::vector<std::string> titles;
    DialogHandler = [&](TCommonDialog& dialog) {
        titles.push_back(dialog.Title());
        if (auto* open = dynamic_cast<TOpenDialog*>(&dialog)) open->SetFileName("/chosen/file.ifo");
        if (auto* folder = dynamic_cast<TBrowseFolderDialog*>(&dialog)) folder->SetFolder(dir.str());
        return true;
    };
    TOpenDialog open(nullptr);
    open.SetTitle("Pick");
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), "/chosen/file.ifo");
    BROWSEINFOA bi;
    char name[260];
    bi.pszDisplayName = name;
    bi.lpszTitle = "Please Select DVD Folder.";
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&bi);
    ASSERT_NE(pidl, nullptr);
    char path[260];
    ASSERT_TRUE(SHGetPathFromIDListA(pidl, path));
    EXPECT_EQ(std::string(path), dir.str());
    EXPECT_EQ(std::string(name), dir.path().filename().string());
    CoTaskMemFree(pidl);
    EXPECT_EQ(titles, (std::vector<std::string>{"Pick", "Please Select DVD Folder."}));
    DialogHandler = nullptr;

    // The real browser: to the last folder, Enter opens it, Enter again takes it; Escape
    // gives null.
    TBrowseFolderDialog browser(nullptr);
    browser.SetFolder(dir.str());
    browser.OnShow = [&](TObject*) {
        ShotLater(browser.Form(), "dialog_folder.png");
        Keys({{VK_END, ""}, Enter, Enter});
    };
    ASSERT_TRUE(browser.Execute());
    EXPECT_EQ(browser.Folder(), dir / "sub");
    TBrowseFolderDialog cancelled(nullptr);
    cancelled.OnShow = [&](TObject*) { Keys({Esc}); };
    EXPECT_FALSE(cancelled.Execute());
}

}  // namespace
