// The main window, headless, over a temporary store and program folder: its state before
// the first showing, the item buttons and their pictures, the help menu's place, the
// links and the updater, the profile list, the skin catalogue and re-skinning.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "app/mainfrm.h"
#include "app_support.h"
#include "dialogs/customfrm.h"
#include "dialogs/optionfrm.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"
#include "platform/controls/dialogs.h"
#include "platform/controls/filectrl.h"
#include "platform/core/shell.h"
#include "platform/graphics/graphics.h"

namespace {

using namespace apptest;
using namespace platform;

class Recorder : public TProcessLauncher {
public:
    explicit Recorder(std::vector<std::vector<std::string>>* log) : log_(log) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        log_->push_back(argv);
        return true;
    }

private:
    std::vector<std::vector<std::string>>* log_;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { UseHeadlessDisplay(); }
    void Make() {
        main = std::make_unique<TfrmMain>(nullptr);
        main->AfterConstruction();
    }
    void TearDown() override {
        main.reset();
        if (frmCustom) delete frmCustom;
        if (frmOption) delete frmOption;
        frmCustom = nullptr;
        frmOption = nullptr;
    }
    Sandbox box;
    std::unique_ptr<TfrmMain> main;
};

struct Named {
    const char* item;
    skinctrl::TdvxImageButton* TfrmMain::*button;
};
const Named kCommandButtons[] = {
    {"edit", &TfrmMain::edit},           {"clip", &TfrmMain::clip},       {"merge", &TfrmMain::merge},
    {"slide", &TfrmMain::slide},         {"customize", &TfrmMain::customize}, {"btnConvert", &TfrmMain::btnConvert},
    {"btnPlay", &TfrmMain::btnPlay},     {"btnStop", &TfrmMain::btnStop}, {"btnPhoto", &TfrmMain::btnPhoto},
};

// The centre pixel of a picture file.
TColor CentrePixel(const std::string& path) {
    TPicture picture;
    picture.LoadFromFile(path);
    return picture.Bitmap()->Canvas()->Pixels(picture.Width() / 2, picture.Height() / 2);
}

TEST_F(MainWindowTest, BeforeTheFirstShowingTheListIsHiddenAndTheCommandsAreDisabledWithTheirPictures) {
    Make();
    EXPECT_FALSE(main->NodeTree->Visible());
    for (const Named& n : kCommandButtons) EXPECT_FALSE((main.get()->*n.button)->Enabled()) << n.item;
    EXPECT_TRUE(main->addFile->Enabled());
    // The skin gives the window its size and the output folder shows in its edit.
    EXPECT_EQ(main->Width(), main->Skin().Width());
    EXPECT_EQ(main->Height(), main->Skin().Height());
    EXPECT_EQ(main->OutputPath->Text(), main->OutputFolder);
    EXPECT_EQ(main->SkinPath, box.DefaultSkin());

    main->Show();
    Application->ProcessMessages();
    for (const Named& n : kCommandButtons) {
        skinctrl::TdvxImageButton* b = main.get()->*n.button;
        TPoint centre = b->ClientToScreen(TPoint(b->Width() / 2, b->Height() / 2));
        TPoint inForm = main->ScreenToClient(centre);
        EXPECT_EQ(GetWindowSurfacePixel(main->Handle(), inForm.x, inForm.y),
                  CentrePixel(main->Skin().PicturePath(n.item, ssDisabled)))
            << n.item;
    }
    SaveWindowImage(main->Handle(), "mainwin-start.png");
}

TEST_F(MainWindowTest, ItemButtonsFollowTheSelectedRow) {
    Make();
    treeview::TVastStringTree& tree = *main->NodeTree;
    auto row = [&](treeview::PVastNode parent, int kind, int role) {
        treeview::PVastNode node = tree.AddChild(parent);
        jobmodel::MediaItem* item = jobmodel::ItemOf(tree, node);
        item->kind = kind;
        jobmodel::SetRowRole(*item, jobmodel::RowRole(role));
        return node;
    };
    treeview::PVastNode file = row(nullptr, jobmodel::mkFile, 0);
    treeview::PVastNode group = row(nullptr, jobmodel::mkMerge, 2);
    treeview::PVastNode member = row(group, jobmodel::mkMerge, 0);
    treeview::PVastNode slide = row(nullptr, jobmodel::mkSlide, 3);
    treeview::PVastNode segment = row(file, jobmodel::mkSegment, 1);
    treeview::PVastNode dvd = row(nullptr, jobmodel::mkDvdTitle, 0);

    struct Case {
        const char* name;
        treeview::PVastNode node;
        bool editClip, mergeSlideCustomize;
    };
    for (const Case& c : {Case{"file", file, true, true}, Case{"merge group", group, false, true},
                          Case{"slide group", slide, false, true}, Case{"member", member, false, false},
                          Case{"segment", segment, true, true}, Case{"DVD title", dvd, true, true}}) {
        SCOPED_TRACE(c.name);
        main->DisableItemButtons(true);
        main->UpdateItemButtons(c.node);
        EXPECT_EQ(main->edit->Enabled(), c.editClip);
        EXPECT_EQ(main->clip->Enabled(), c.editClip);
        EXPECT_EQ(main->merge->Enabled(), c.mergeSlideCustomize);
        EXPECT_EQ(main->slide->Enabled(), c.mergeSlideCustomize);
        EXPECT_EQ(main->customize->Enabled(), c.mergeSlideCustomize);
        EXPECT_TRUE(main->btnConvert->Enabled());
        EXPECT_TRUE(main->btnPlay->Enabled());
    }

    // A mouse release over the list, by what is selected.
    auto select = [&](std::initializer_list<treeview::PVastNode> nodes) {
        tree.ClearSelection();
        for (treeview::PVastNode n : nodes) tree.SetSelected(n, true);
        main->UpdateItemButtons(file);  // everything on, Stop and Snapshot aside
        main->btnStop->SetEnabled(true);
        main->NodeTreeMouseUp(&tree, mbLeft, {}, 0, 0);
    };
    select({});
    EXPECT_FALSE(main->edit->Enabled());
    EXPECT_FALSE(main->merge->Enabled());
    EXPECT_FALSE(main->btnPlay->Enabled());
    EXPECT_FALSE(main->btnStop->Enabled());
    EXPECT_TRUE(main->btnConvert->Enabled());
    select({file});
    EXPECT_TRUE(main->edit->Enabled());
    EXPECT_TRUE(main->btnStop->Enabled());
    select({file, dvd});
    EXPECT_FALSE(main->edit->Enabled());
    EXPECT_FALSE(main->clip->Enabled());
    EXPECT_FALSE(main->customize->Enabled());
    EXPECT_TRUE(main->merge->Enabled());
    EXPECT_TRUE(main->slide->Enabled());
    EXPECT_TRUE(main->btnPlay->Enabled());  // keeps its state
    select({file, member});
    EXPECT_FALSE(main->merge->Enabled());
    EXPECT_FALSE(main->btnConvert->Enabled());
    EXPECT_FALSE(main->btnPlay->Enabled());
    // Each change of enabling swaps the picture in the normal slot.
    TPicture dis;
    dis.LoadFromFile(main->Skin().PicturePath("merge", ssDisabled));
    EXPECT_EQ(main->merge->PicNormal()->Bitmap()->Canvas()->Pixels(5, 5), dis.Bitmap()->Canvas()->Pixels(5, 5));
}

TEST_F(MainWindowTest, HelpMenuOpensJustBelowTheMenuButtonWhereverTheWindowStands) {
    Make();
    for (TPoint at : {TPoint(0, 0), TPoint(137, 59)}) {
        main->SetBounds(at.x, at.y, main->Width(), main->Height());
        TPoint menu = main->HelpMenuPoint();
        TPoint button = main->btnMenu->ClientToScreen(TPoint(0, main->btnMenu->Height()));
        EXPECT_EQ(menu, button);
        EXPECT_EQ(menu, TPoint(at.x + 712, at.y + 8 + 22));  // the default skin's btnMenu
    }
    ASSERT_EQ(main->Help_Menu->Items()->Count(), 6);
    const char* captions[] = {"Help", "Support", "-", "Homepage", "Update Product", "About"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(main->Help_Menu->Items()->Items(i)->Caption(), captions[i]);
}

TEST_F(MainWindowTest, LinksAndTheUpdaterGoThroughTheShell) {
    Make();
    std::vector<std::vector<std::string>> launched;
    auto previous = SetProcessLauncher(std::make_unique<Recorder>(&launched));
    main->Help_Menu->Items()->Items(0)->Click();
    main->Help_Menu->Items()->Items(1)->Click();
    main->Help_Menu->Items()->Items(3)->Click();
    main->btnHelp->Click();
    // No updater beside the program: nothing starts.
    main->Help_Menu->Items()->Items(4)->Click();
    std::string web = LUMACAST_WEB_ADDRESS;
    ASSERT_EQ(launched.size(), 4u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", web + "how-to/lumacast/"}));
    EXPECT_EQ(launched[1], (std::vector<std::string>{"xdg-open", web + "support-center/"}));
    EXPECT_EQ(launched[2], (std::vector<std::string>{"xdg-open", web}));
    EXPECT_EQ(launched[3], launched[0]);

    std::string updater = box.Folder() + "Update/update";
    box.program.Write("Update/update", "#!/bin/sh\n");
    chmod(updater.c_str(), 0755);
    main->Help_Menu->Items()->Items(4)->Click();
    ASSERT_EQ(launched.size(), 5u);
    EXPECT_EQ(launched[4], (std::vector<std::string>{updater, "/SilentCheck", "/Lang:UpdateLang.ini"}));
    SetProcessLauncher(std::move(previous));
}

TEST_F(MainWindowTest, AddFileDialogOffersTheVideoFormatsOneByOneAndEachFilters) {
    Make();
    std::string filter;
    TOpenOptions options = 0;
    DialogHandler = [&](TCommonDialog& dialog) {
        if (auto* open = dynamic_cast<TOpenDialog*>(&dialog)) {
            filter = open->Filter();
            options = open->Options();
        }
        return false;
    };
    main->addFileClick(main.get());
    DialogHandler = nullptr;
    EXPECT_TRUE(options & ofAllowMultiSelect);
    // Each entry with the names of the folder below that it lists.
    struct Entry {
        std::string description, patterns;
        std::vector<std::string> lists;
    };
    const std::vector<Entry> expected = {
        {"All Supported Video Formats(*.*)", "*.wmv;*.3gp;*.mov;*.vob;*.mpg;*.asf;*.flv;*.avi;*.rm;*.rmvb;*.mp4;*.mkv;",
         {"a.wmv", "b.3GP", "c.mov", "d.VOB", "e.mpg", "f.asf", "g.flv", "h.AVI", "i.rm", "j.rmvb", "k.mp4", "l.mkv"}},
        {"Windows Media Video (*.wmv)", "*.wmv", {"a.wmv"}},
        {"Mobile iPhone 3GP files(*.3gp)", "*.3gp", {"b.3GP"}},
        {"Quick Time Files(*.mov)", "*.mov", {"c.mov"}},
        {"DVD VOB Files(*.vob)", "*.vob", {"d.VOB"}},
        {"MPG/MPEG2(*.mpg)", "*.mpg", {"e.mpg"}},
        {"Windows Media Video(*.asf)", "*.asf", {"f.asf"}},
        {"Flash Video Files(*.flv)", "*.flv", {"g.flv"}},
        {"Windows AVI Video Files(*.avi)", "*.avi", {"h.AVI"}},
        {"Real Media Files (*.rm;*.rmvb)", "*.rm;*.rmvb", {"i.rm", "j.rmvb"}},
        {"MPEG4 Files (*.mp4)", "*.mp4", {"k.mp4"}},
        {"MKV files(*.mkv)", "*.mkv", {"l.mkv"}},
    };
    std::vector<std::pair<std::string, std::string>> entries = ParseFilter(filter);
    ASSERT_EQ(entries.size(), expected.size()) << filter;
    testsupport::TempDir folder;
    for (const char* name : {"a.wmv", "b.3GP", "c.mov", "d.VOB", "e.mpg", "f.asf", "g.flv", "h.AVI", "i.rm", "j.rmvb",
                             "k.mp4", "l.mkv", "m.mpeg", "n.txt", "o.webm", "p.ts", "noext", "q.avi.part"})
        folder.Write(name, "x");
    TFileListBox list(nullptr);
    list.SetDirectory(folder.str());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].first, expected[i].description) << i;
        EXPECT_EQ(entries[i].second, expected[i].patterns) << i;
        list.SetMask(entries[i].second);
        EXPECT_EQ(list.Names(), expected[i].lists) << expected[i].description;
    }
}

TEST_F(MainWindowTest, ProfileListHasOneLinePerEntryThenCustomWithTheDefaultSelected) {
    frmCustom = new TfrmCustom(nullptr);
    Make();
    main->LoadProfiles(box.Folder() + "profile/");
    TStrings* items = frmCustom->comProfile->Items();
    jobmodel::ProfileLines lines = jobmodel::LoadProfileCatalogue(box.Folder() + "profile/");
    ASSERT_GT(items->Count(), 1);
    ASSERT_EQ(items->Count(), int(lines.lines.size()));
    for (int i = 0; i < items->Count(); ++i) EXPECT_EQ(items->Strings(i), lines.lines[std::size_t(i)]);
    EXPECT_EQ(items->Strings(items->Count() - 1), "Custom");
    ASSERT_GE(frmCustom->comProfile->ItemIndex(), 0);
    EXPECT_EQ(items->Strings(frmCustom->comProfile->ItemIndex()), "Normal quality(Flash Video Files)");

    // An empty profile folder leaves the single line "Custom", nothing selected.
    testsupport::TempDir empty;
    main->LoadProfiles(empty.str() + "/");
    ASSERT_EQ(items->Count(), 1);
    EXPECT_EQ(items->Strings(0), "Custom");
}

TEST_F(MainWindowTest, AStoredSkinThatFailsToLoadFallsBackToTheDefaultAndIsRewritten) {
    std::string broken = box.program.Write("Images/Broken.xml", "<skin name=\"Broken\"><section").string();
    StoreSetting("Skin", broken);
    Make();
    EXPECT_EQ(main->SkinPath, box.DefaultSkin());
    EXPECT_EQ(StoredSetting("Skin"), box.DefaultSkin());
    EXPECT_EQ(main->Width(), 820);
    EXPECT_TRUE(main->edit->PicNormal()->Width() > 0);
}

TEST_F(MainWindowTest, CatalogueLeavesOutAMalformedDocumentAndEndsOnTheSkinInUse) {
    box.program.Write("Images/Broken.xml", "<skin name=\"Broken\">");
    frmOption = new TfrmOption(nullptr, nullptr);
    Make();
    main->LoadSkinCatalogue();
    // The documents in the order the folder lists them, the broken one left out.
    std::vector<std::string> expected;
    for (const auto& entry : fs::directory_iterator(box.program.path() / "Images"))
        if (entry.path().extension() == ".xml" && entry.path().filename() != "Broken.xml")
            expected.push_back(entry.path().string());
    std::vector<std::string> listed;
    for (auto& [index, info] : frmOption->SkinList) listed.push_back(info->Path);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(frmOption->SkinList.size(), 3u);
    EXPECT_EQ(frmOption->SkinList.rbegin()->first, 2);
    EXPECT_EQ(std::string(ActiveSkinReader().GetSkinInfo()->Path), main->SkinPath);
}

TEST_F(MainWindowTest, AReskinKeepsSizeAndRegionAndMovesTheControls) {
    Make();
    TRect before = main->BoundsRect();
    HRGN regionBefore = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(main->Handle(), regionBefore);
    std::string error;
    ASSERT_TRUE(OpenSkin(box.Folder() + "Images/Ocean.xml", error)) << error;
    main->ReloadAllSkins();
    EXPECT_EQ(main->BoundsRect(), before);
    HRGN regionAfter = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(main->Handle(), regionAfter);
    EXPECT_TRUE(EqualRgn(regionBefore, regionAfter));
    DeleteObject(regionBefore);
    DeleteObject(regionAfter);
    const SkinItem* close = main->Skin().Find("close");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(main->close->Left(), close->Left);
    EXPECT_EQ(main->close->Top(), close->Top);
    // Disabled buttons keep their disabled look in the new skin.
    TPicture dis;
    dis.LoadFromFile(main->Skin().PicturePath("edit", ssDisabled));
    EXPECT_EQ(main->edit->PicNormal()->Bitmap()->Canvas()->Pixels(5, 5), dis.Bitmap()->Canvas()->Pixels(5, 5));
}

}  // namespace

namespace {

TEST_F(MainWindowTest, GalleriesListTheirTemplatesAndAMissingFolderGivesAnEmptyGallery) {
    frmCustom = new TfrmCustom(nullptr);
    Make();
    for (const char* name : {"Players/Blue_h30.bmp", "Players/Blue_h30.swf", "Players/None.bmp",
                             "Players/PlayerMore.bmp", "Players/border.bmp", "Players/Sub.bmp/x.bmp",
                             "Effect/Snow.bmp", "Effect/EffectMore.bmp", "Effect/LoaderMore.bmp"})
        box.program.Write(std::string("templates/") + name, "x");
    // The thumbnails are real pictures (a gallery passes over one that does not decode).
    for (const char* name : {"Players/Blue_h30.bmp", "Effect/Snow.bmp"})
        fs::copy_file(apptest::BuiltProgramFolder() / "Default.bmp", box.program.path() / "templates" / name,
                      fs::copy_options::overwrite_existing);
    main->BuildTemplateGalleries();
    EXPECT_EQ(frmCustom->GalleryTemplates(TfrmCustom::gkPlayers), std::vector<std::string>{"Blue_h30"});
    EXPECT_EQ(frmCustom->GalleryTemplates(TfrmCustom::gkEffects), std::vector<std::string>{"Snow"});
    EXPECT_TRUE(frmCustom->GalleryTemplates(TfrmCustom::gkPreloaders).empty());  // no such folder
}

}  // namespace

// Nobody ever writes to these FIFOs: a reader that opened one the usual way would wait for
// ever, and the test's time limit is the only guard.
TEST_F(MainWindowTest, AFifoWhereASkinFileWasIsRefusedAtOnceAndTheProgramStarts) {
    const fs::path document = box.program.path() / "Images" / "Pipe.xml";
    const fs::path picture = box.program.path() / "Images" / "DefaultImage" / "main" / "btnHelp.bmp";
    ASSERT_EQ(mkfifo(document.c_str(), 0600), 0);
    fs::remove(picture);
    ASSERT_EQ(mkfifo(picture.c_str(), 0600), 0);
    StoreSetting("Skin", document.string());
    std::vector<std::string> reports;
    SetSkinReport([&](const std::string& m) { reports.push_back(m); });
    Make();
    EXPECT_EQ(main->SkinPath, box.DefaultSkin());
    EXPECT_EQ(StoredSetting("Skin"), box.DefaultSkin());
    EXPECT_TRUE(main->edit->PicNormal()->Width() > 0);
    EXPECT_EQ(main->btnHelp->PicNormal()->Width(), 0);
    auto mentioning = [&](const fs::path& p) {
        return std::count_if(reports.begin(), reports.end(),
                             [&](const std::string& m) { return m.find(p.string()) != std::string::npos; });
    };
    EXPECT_EQ(mentioning(document), 1) << testing::PrintToString(reports);
    EXPECT_EQ(mentioning(picture), 1) << testing::PrintToString(reports);
    // The skin catalogue lists the folder: the FIFO is left out and the three skins listed.
    frmOption = new TfrmOption(nullptr, nullptr);
    main->LoadSkinCatalogue();
    EXPECT_EQ(frmOption->SkinList.size(), 3u);
    for (auto& [index, info] : frmOption->SkinList) EXPECT_NE(std::string(info->Path), document.string());
    EXPECT_EQ(std::string(ActiveSkinReader().GetSkinInfo()->Path), box.DefaultSkin());
    SetSkinReport(nullptr);
}

// Rows of the window's pixels in a rectangle that show something other than the face behind
// them: a caption of dots covers a row or two at its foot, "Go" most of the caption's height.
int InkRows(TfrmMain& main, TControl* button) {
    const TPoint origin = main.ScreenToClient(button->ClientToScreen(TPoint(0, 0)));
    auto luminance = [](COLORREF c) { return 0.2126 * GetRValue(c) + 0.7152 * GetGValue(c) + 0.0722 * GetBValue(c); };
    int rows = 0;
    for (int y = 3; y < button->Height() - 3; ++y) {
        const double face = luminance(GetWindowSurfacePixel(main.Handle(), origin.x + 4, origin.y + y));
        bool ink = false;
        for (int x = 6; x < button->Width() - 6 && !ink; ++x)
            ink = std::abs(luminance(GetWindowSurfacePixel(main.Handle(), origin.x + x, origin.y + y)) - face) > 40;
        rows += ink;
    }
    return rows;
}

// "Browse..." (Open_img) asks for a folder and shows "..."; "Find target" (btnOpenpath) opens
// the folder and shows "Go": read on the window itself, under every shipped skin.
TEST_F(MainWindowTest, BrowseAndFindTargetEachShowTheirOwnCaption) {
    Make();
    main->Show();
    int skins = 0;
    for (const auto& document : fs::directory_iterator(box.program.path() / "Images")) {
        if (document.path().extension() != ".xml") continue;
        SCOPED_TRACE(document.path().filename().string());
        std::string error;
        ASSERT_TRUE(OpenSkin(document.path().string(), error)) << error;
        main->ReloadAllSkins();
        main->Repaint();
        Application->ProcessMessages();
        const int browse = InkRows(*main, main->Open_img), find = InkRows(*main, main->btnOpenpath);
        EXPECT_GE(browse, 1) << "a caption on Browse";
        EXPECT_LE(browse, 3) << "Browse shows the dots";
        EXPECT_GE(find, 6) << "Find target shows a word";
        ++skins;
    }
    EXPECT_EQ(skins, 3);
    SaveWindowImage(main->Handle(), "mainwin-output-buttons.png");
}

// Each job-list row shows the picture of its kind between its check box and its name: a
// file (or DVD row, or group member), a clip segment, a merge group, a slide group.
TEST_F(MainWindowTest, JobListRowsShowThePictureOfTheirKind) {
    Make();
    treeview::TVastStringTree& tree = *main->NodeTree;
    auto row = [&](treeview::PVastNode parent, int kind, int role, const char* name) {
        treeview::PVastNode node = tree.AddChild(parent);
        jobmodel::MediaItem* item = jobmodel::ItemOf(tree, node);
        item->kind = kind;
        jobmodel::SetRowRole(*item, jobmodel::RowRole(role));
        jobmodel::SetItemRow(item->row, name, "00:00:10", "00:00:10", "out.flv", 1, 2);
        return node;
    };
    struct Row {
        treeview::PVastNode node;
        int picture;
    };
    treeview::PVastNode file = row(nullptr, jobmodel::mkFile, 0, "movie.mpg");
    treeview::PVastNode segment = row(file, jobmodel::mkSegment, 1, "movie.mpg 1");
    treeview::PVastNode merge = row(nullptr, jobmodel::mkMerge, 2, "Merge1");
    treeview::PVastNode member = row(merge, jobmodel::mkMerge, 0, "movie.mpg");
    treeview::PVastNode slide = row(nullptr, jobmodel::mkSlide, 3, "Slide1");
    const Row rows[] = {{file, 0}, {segment, 1}, {merge, 2}, {member, 0}, {slide, 3}};
    tree.FullExpand();
    tree.SetVisible(true);
    main->Show();
    tree.Repaint();
    Application->ProcessMessages();
    SaveWindowImage(main->Handle(), "mainwin-joblist-rows.png");

    ASSERT_EQ(main->ImageList->Count(), 4);
    // The opaque pixels of each picture: those drawn alike over two different grounds.
    std::vector<std::vector<std::tuple<int, int, COLORREF>>> pictures(4);
    for (int i = 0; i < 4; ++i) {
        TBitmap a, b;
        for (TBitmap* g : {&a, &b}) {
            g->SetSize(16, 16);
            g->Canvas()->Brush()->SetColor(g == &a ? clBlack : clWhite);
            g->Canvas()->FillRect(TRect(0, 0, 16, 16));
            main->ImageList->Draw(g->Canvas(), 0, 0, i);
        }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                COLORREF p = ColorToRGB(a.Canvas()->Pixels(x, y));
                if (p == ColorToRGB(b.Canvas()->Pixels(x, y))) pictures[std::size_t(i)].emplace_back(x, y, p);
            }
        ASSERT_GE(pictures[std::size_t(i)].size(), 60u) << "picture " << i << " draws something";
        for (int j = 0; j < i; ++j) EXPECT_NE(pictures[std::size_t(i)], pictures[std::size_t(j)]);
    }
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << tree.GetText(r.node, 0));
        const TRect cell = tree.GetDisplayRect(r.node, 0, false);
        const TPoint at = main->ScreenToClient(tree.ClientToScreen(TPoint(cell.left, cell.top)));
        // Where in the row each picture appears whole.
        std::vector<int> found;
        for (int i = 0; i < 4; ++i)
            for (int y = 0; y + 16 <= cell.Height() && std::find(found.begin(), found.end(), i) == found.end(); ++y)
                for (int x = 0; x + 16 <= cell.Width(); ++x) {
                    bool whole = true;
                    for (auto [px, py, c] : pictures[std::size_t(i)])
                        if (GetWindowSurfacePixel(main->Handle(), at.x + x + px, at.y + y + py) != c) {
                            whole = false;
                            break;
                        }
                    if (whole) {
                        found.push_back(i);
                        break;
                    }
                }
        EXPECT_EQ(found, std::vector<int>{r.picture});
    }
}
