// The common dialogs driven by injected keys over a temporary folder: patterns against
// mixed-case names, several files in the list's order, typed and "~" paths, a path that
// does not exist, names that are not UTF-8, custom colours, font fields, the folder
// browser, the answering hook, and the current directory left alone.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/controls/dialogs.h"
#include "platform/controls/extctrls.h"
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
    // Runs look inside the dialog's modal loop before any key given after this call reaches
    // it (a posted message goes before input), with the dialog painted.
    void LookSoon(std::function<void()> look) {
        if (!looker_)
            looker_ = AllocateHWnd([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
                if (msg == WM_USER && look_) {
                    PaintPendingWindows();
                    auto run = std::move(look_);
                    look_ = nullptr;
                    run();
                }
                return 0;
            });
        look_ = std::move(look);
        PostMessage(looker_, WM_USER, 0, 0);
    }
    HWND looker_ = nullptr;
    std::function<void()> look_;
    void TearDownShooter() {
        if (looker_) DeallocateHWnd(looker_);
        looker_ = nullptr;
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

// The leftmost column of a list entry's ink (window coordinates), -1 for none.
int InkLeft(TCustomListBox* list, int index) {
    TRect r = list->ItemRect(index);
    TPoint origin = list->ClientOrigin();
    RECT window;
    GetWindowRect(list->Handle(), &window);
    int dx = origin.x - window.left, dy = origin.y - window.top;
    COLORREF background = ColorToRGB(list->Color());
    int left = -1;
    for (int y = r.top + 1; y < r.bottom - 1; ++y)
        for (int x = 0; x < r.right; ++x)
            if (GetWindowSurfacePixel(list->Handle(), x + dx, y + dy) != background) {
                if (left < 0 || x < left) left = x;
                break;
            }
    return left;
}

TEST_F(DialogTest, TypingAFoldersFirstLettersSelectsItInTheFolderLists) {
    for (const char* name : {"alpha", "beta", "bravo", "Bronze"}) std::filesystem::create_directory(dir.path() / name);
    // The folder browser: "b", "br", "bro" step from beta over bravo to Bronze (any case);
    // Enter opens it, Enter again takes it.
    TBrowseFolderDialog browser(nullptr);
    browser.SetFolder(dir.str());
    int rootLeft = -1, subLeft = -1, subLevel = 0;
    browser.OnShow = [&](TObject*) {
        auto* folders = Find<TDirectoryListBox>(browser.Form());
        LookSoon([&, folders] {
            test::Shot(browser.Form()->Handle(), "dialog_folder_typeahead.png");
            int sub = folders->Items()->IndexOf("Bronze");  // inside the shown folder, not selected
            ASSERT_GT(sub, 0);
            rootLeft = InkLeft(folders, 0);
            subLeft = InkLeft(folders, sub);
            subLevel = folders->ItemLevel(sub);
            EXPECT_EQ(folders->ItemText(0), "/");
        });
        Keys({Text("bro"), Enter, Enter});
    };
    ASSERT_TRUE(browser.Execute());
    EXPECT_EQ(browser.Folder(), dir / "Bronze");
    // The indent is still drawn: the deeper entry starts further right.
    ASSERT_GE(rootLeft, 0);
    EXPECT_GT(subLeft, rootLeft + 2 * subLevel) << "level " << subLevel;

    // The open dialog's folder list (third in the tab order): "al" and Enter open alpha.
    TOpenDialog open(nullptr);
    open.SetInitialDir(dir.str());
    std::string listed;
    open.OnShow = [&](TObject*) { Keys({Tab, Tab, Text("al"), Enter, Esc}); };
    open.OnClose = [&](TObject*) { listed = Find<TFileListBox>(open.Form())->Directory(); };
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(listed, dir / "alpha");
}

// What a message box shows: its icon's pixels by colour in the top left corner, and where
// its buttons stand.
struct BoxLook {
    int blue = 0, red = 0, yellow = 0, white = 0, black = 0;
    std::vector<bool> whiteMap;
    std::vector<TRect> buttons;
    int clientWidth = 0, textLeft = 0;
};

BoxLook LookAt(HWND box) {
    BoxLook look;
    auto* form = dynamic_cast<TForm*>(FindControl(box));
    if (!form) return look;
    RECT window;
    GetWindowRect(box, &window);
    TPoint origin = form->ClientOrigin();
    int dx = origin.x - window.left, dy = origin.y - window.top;
    constexpr int kCorner = 72;
    for (int y = 0; y < kCorner; ++y)
        for (int x = 0; x < kCorner; ++x) {
            COLORREF c = GetWindowSurfacePixel(box, x + dx, y + dy);
            int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            look.blue += b >= 160 && r < 100 && g < 160;
            look.red += r >= 160 && g < 80 && b < 80;
            look.yellow += r >= 200 && g >= 180 && b < 80;
            look.black += r < 40 && g < 40 && b < 40;
            look.white += c == RGB(255, 255, 255);
            look.whiteMap.push_back(c == RGB(255, 255, 255));
        }
    look.clientWidth = form->ClientWidth();
    for (int i = 0; i < form->ComponentCount(); ++i) {
        TComponent* c = form->Components(i);
        if (auto* button = dynamic_cast<TPanel*>(c)) look.buttons.push_back(button->BoundsRect());
        if (auto* text = dynamic_cast<TLabel*>(c)) look.textLeft = text->Left();
    }
    std::sort(look.buttons.begin(), look.buttons.end(), [](const TRect& a, const TRect& b) { return a.left < b.left; });
    return look;
}

TEST_F(DialogTest, MessageBoxesShowTheirIconAndCentreTheirButtons) {
    ASSERT_NE(ColorToRGB(clBtnFace), COLORREF(RGB(255, 255, 255)));
    struct Case {
        UINT flags;
        const char* name;
        int blue, red, yellow;  // 1: the icon's colour, 0: none of it
        int glyph;              // 1: a white mark, 2: a black one
    } cases[] = {
        {MB_OK | MB_ICONINFORMATION, "information", 1, 0, 0, 1},
        {MB_YESNO | MB_ICONQUESTION, "question", 1, 0, 0, 1},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, "exclamation", 0, 0, 1, 2},
        {MB_OKCANCEL | MB_ICONERROR, "error", 0, 1, 0, 1},
        {MB_OK, "plain", 0, 0, 0, 0},
    };
    std::vector<BoxLook> looks;
    std::string shot;
    HWND driver = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_USER) return 0;
        HWND box = FindWindowA("TMessageForm", nullptr);
        PaintPendingWindows();
        looks.push_back(LookAt(box));
        test::Shot(box, shot);
        InputKey(VK_ESCAPE, true);
        InputKey(VK_ESCAPE, false);
        return 0;
    });
    for (const Case& c : cases) {
        shot = std::string("msgbox_") + c.name + ".png";
        PostMessage(driver, WM_USER, 0, 0);
        ShowMessageForm("Do you want to save changes?", "Lumacast", c.flags);
        ASSERT_EQ(looks.size(), std::size_t(&c - cases + 1)) << c.name;
        const BoxLook& look = looks.back();
        constexpr int kShape = 300;  // of a 32 x 32 icon's 1024 pixels
        EXPECT_EQ(look.blue >= kShape, c.blue == 1) << c.name << " blue " << look.blue;
        EXPECT_EQ(look.red >= kShape, c.red == 1) << c.name << " red " << look.red;
        EXPECT_EQ(look.yellow >= kShape, c.yellow == 1) << c.name << " yellow " << look.yellow;
        if (c.glyph == 1) EXPECT_GE(look.white, 20) << c.name;
        if (c.glyph == 2) EXPECT_GE(look.black, 20) << c.name;
        if (c.glyph != 0) EXPECT_GE(look.textLeft, 48) << c.name << ": the text stands right of the icon";
        // The buttons centred, the same gap between each two.
        ASSERT_FALSE(look.buttons.empty()) << c.name << " " << look.clientWidth;
        int left = look.buttons.front().left, right = look.clientWidth - look.buttons.back().right;
        EXPECT_LE(std::abs(left - right), 1) << c.name << ": " << left << " left, " << right << " right";
        for (std::size_t i = 1; i + 1 < look.buttons.size(); ++i)
            EXPECT_EQ(look.buttons[i].left - look.buttons[i - 1].right, look.buttons[i + 1].left - look.buttons[i].right);
    }
    DeallocateHWnd(driver);
    // The information and question marks differ.
    EXPECT_NE(looks[0].whiteMap, looks[1].whiteMap);
}

TEST_F(DialogTest, FontDialogChoosesTheColourAndShowsTheFamilyReallyUsed) {
    TFontDialog fonts(nullptr);
    // A face that is not installed: the dialog shows and selects the family drawn instead.
    fonts.Font()->SetName("MS Serif");
    fonts.Font()->SetSize(10);
    fonts.Font()->SetColor(clRed);
    std::string family, selected, shownColour;
    COLORREF swatch = 0;
    fonts.OnShow = [&](TObject*) {
        TListBox* families = Find<TListBox>(fonts.Form());
        TEdit* edit = Find<TEdit>(fonts.Form());
        auto* colours = Find<TCustomComboBox>(fonts.Form());
        family = edit->Text();
        if (!colours) {
            ADD_FAILURE() << "no colour choice";
            Keys({Esc});
            return;
        }
        selected = families->ItemIndex() >= 0 ? families->Items()->Get(families->ItemIndex()) : "";
        shownColour = colours->ItemIndex() >= 0 ? colours->Items()->Get(colours->ItemIndex()) : "";
        LookSoon([&, colours] {
            test::Shot(fonts.Form()->Handle(), "dialog_font_colour.png");
            // The closed box shows the colour's swatch at its left.
            RECT window;
            GetWindowRect(colours->Handle(), &window);
            TPoint origin = colours->ClientOrigin();
            TRect area = colours->ItemAreaRect();
            swatch = GetWindowSurfacePixel(colours->Handle(), area.left + 10 + origin.x - window.left,
                                           (area.top + area.bottom) / 2 + origin.y - window.top);
        });
        Alt('c');
        Keys({{VK_DOWN, ""}, Enter});  // from red to the next standard colour
    };
    ASSERT_TRUE(fonts.Execute());
    TFont probe;
    probe.SetName("MS Serif");
    std::string used = GetFontFamily(probe.Handle());
    EXPECT_EQ(used, "Liberation Serif");
    EXPECT_EQ(selected, used);
    EXPECT_EQ(family, used);
    EXPECT_EQ(shownColour, "Red");
    EXPECT_EQ(fonts.Font()->Color(), clLime);
    EXPECT_EQ(swatch, COLORREF(RGB(255, 0, 0)));
    EXPECT_EQ(fonts.Font()->Name(), "MS Serif") << "a family left as shown keeps the name asked for";

    // A colour outside the list shows as the custom entry and comes back unchanged; a
    // system colour left alone stays the system colour.
    for (TColor colour : {TColor(0x123456), clWindowText}) {
        fonts.Font()->SetColor(colour);
        fonts.OnShow = [&](TObject*) { Keys({Enter}); };
        ASSERT_TRUE(fonts.Execute());
        EXPECT_EQ(fonts.Font()->Color(), colour);
    }

    // "Custom..." asks the colour dialog.
    fonts.Font()->SetColor(clBlack);
    TColor offered = clBlack;
    fonts.OnShow = [&](TObject*) {
        DialogHandler = [&](TCommonDialog& dialog) {
            auto* colour = dynamic_cast<TColorDialog*>(&dialog);
            if (!colour) return false;
            offered = colour->Color();
            colour->SetColor(TColor(0xABCDEF));
            return true;
        };
        Alt('c');
        Keys({{VK_END, ""}, Enter});
    };
    ASSERT_TRUE(fonts.Execute());
    DialogHandler = nullptr;
    EXPECT_EQ(offered, clBlack);
    EXPECT_EQ(fonts.Font()->Color(), TColor(0xABCDEF));
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
