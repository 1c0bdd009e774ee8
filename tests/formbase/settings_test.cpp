// The program settings over a temporary store: defaults, what is written back, and values
// of any content.
#include <gtest/gtest.h>

#include "app/app_support.h"

namespace {

using namespace apptest;

struct SettingsCase {
    const char* name;
    const char* autoUpdate;  // nullptr: not stored
    const char* skin;        // nullptr: not stored; "@other": another existing skin; "@folder": a folder
    int wantAutoUpdate;
    const char* wantStoredAutoUpdate;
    const char* wantSkin;    // "@default" or "@other"
    int wantReports;
};

TEST(ProgramSettings, TableOfStoredValues) {
    const SettingsCase cases[] = {
        {"first run", nullptr, nullptr, 0, "0", "@default", 0},
        {"AutoUpdate 0", "0", nullptr, 0, "0", "@default", 0},
        {"AutoUpdate 1", "1", nullptr, 1, "1", "@default", 0},
        {"AutoUpdate garbage", "yes please", nullptr, 0, "0", "@default", 1},
        {"AutoUpdate beyond 32 bits", "99999999999", nullptr, 0, "0", "@default", 1},
        {"deleted skin", "1", "/nowhere/Gone.xml", 1, "1", "@default", 0},
        {"another skin", "0", "@other", 0, "0", "@other", 0},
        {"skin names a folder", nullptr, "@folder", 0, "0", "@default", 0},
        {"skin 0", nullptr, "0", 0, "0", "@default", 0},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        Reports reports;
        std::string other = box.Folder() + "Images/Graphite.xml";
        auto resolve = [&](const std::string& s) {
            if (s == "@other") return other;
            if (s == "@folder") return box.Folder() + "Images";
            if (s == "@default") return box.DefaultSkin();
            return s;
        };
        if (c.autoUpdate) StoreSetting("AutoUpdate", c.autoUpdate);
        if (c.skin) StoreSetting("Skin", resolve(c.skin));

        ProgramSettings settings;
        LoadProgramSettings(settings, box.program.str());
        std::string home = box.store.str() + "/";
        EXPECT_EQ(settings.OutputFolder, home + "VelmoraSoft Product OutPut/");
        EXPECT_EQ(settings.SnapshotFolder, home + "VelmoraSoft Product Snapshot/");
        EXPECT_EQ(settings.AutoUpdate, c.wantAutoUpdate);
        EXPECT_EQ(settings.SkinPath, resolve(c.wantSkin));
        EXPECT_EQ(StoredSetting("AutoUpdate"), c.wantStoredAutoUpdate);
        EXPECT_EQ(StoredSetting("Skin"), resolve(c.wantSkin));
        // The folders are neither written nor created.
        EXPECT_EQ(StoredSetting("media_output_dir"), "<missing>");
        EXPECT_FALSE(fs::exists(settings.OutputFolder));
        EXPECT_EQ(int(reports.lines.size()), c.wantReports);
    }
}

TEST(ProgramSettings, FoldersAreTakenAsStoredAndZeroMeansUnset) {
    Sandbox box;
    StoreSetting("media_output_dir", "0");
    StoreSetting("snapshot_output_dir", "/data/shots");
    ProgramSettings settings;
    LoadProgramSettings(settings, box.program.str());
    EXPECT_EQ(settings.OutputFolder, box.store.str() + "/VelmoraSoft Product OutPut/");
    EXPECT_EQ(settings.SnapshotFolder, "/data/shots");
}

TEST(ProgramSettings, ValuesOfAnotherTypeAreReportedAndTakeTheDefaults) {
    Sandbox box;
    Reports reports;
    {
        platform::TRegistry registry;
        registry.SetRootKey(platform::HKEY_CURRENT_USER);
        ASSERT_TRUE(registry.OpenKey(kSettingKey, true));
        registry.WriteInteger("AutoUpdate", 1);
        std::uint8_t bytes[3] = {1, 2, 3};
        registry.WriteBinaryData("Skin", bytes, 3);
    }
    ProgramSettings settings;
    LoadProgramSettings(settings, box.program.str());
    EXPECT_EQ(settings.AutoUpdate, 0);
    EXPECT_EQ(settings.SkinPath, box.DefaultSkin());
    EXPECT_EQ(reports.lines.size(), 2u);
}
}  // namespace
