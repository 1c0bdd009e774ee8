#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "jobmodel/customsetting.h"
#include "jobmodel/customstore.h"
#include "jobmodel/report.h"
#include "platform/core/registry.h"
#include "support/tempdir.h"

namespace jobmodel {

namespace {

// Every test gets a store of its own and fresh working records.
class CustomStore : public ::testing::Test {
protected:
    testsupport::TempDir store;
    CustomSetting current{}, defaults{};
    std::vector<std::string> reports;
    JobModelReporter previous;

    void SetUp() override {
        setenv("LUMACAST_REGISTRY_DIR", store.str().c_str(), 1);
        InitCustomSetting(current);
        InitCustomSetting(defaults);
        CurrentCustomSetting = &current;
        DefaultCustomSetting = &defaults;
        previous = SetJobModelReporter([this](const std::string& m) { reports.push_back(m); });
    }
    void TearDown() override {
        SetJobModelReporter(previous);
        CurrentCustomSetting = DefaultCustomSetting = nullptr;
        unsetenv("LUMACAST_REGISTRY_DIR");
    }

    void Write(const std::string& name, const std::string& value) {
        platform::TRegistry reg;
        reg.SetRootKey(platform::HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(kCustomKey, true));
        reg.WriteString(name, value);
    }
    std::string Read(const std::string& name) {
        platform::TRegistry reg;
        reg.SetRootKey(platform::HKEY_CURRENT_USER);
        return reg.OpenKey(kCustomKey, false) ? reg.ReadString(name) : "<no key>";
    }
};

TEST_F(CustomStore, SaveWritesTheTextFormsInOrder) {
    current.FrameRate = 29.97f;
    current.dscale = 0.885813148788927;
    current.BackgrounColor = RGBColor{10, 1, 0};
    current.Head_fontColor = RGBColor{0x1FF, 0, 0};  // only the low 8 bits count
    current.IsDecorate = 1;
    current.IsGeneralSwf = 7;
    std::strcpy(current.ProfileName, "flv_normal");
    int storeWrites = 0;
    platform::SetRegistryWriteHook([&](const std::string&) { ++storeWrites; });
    SaveCustomSetting();
    platform::SetRegistryWriteHook(nullptr);
    EXPECT_EQ(storeWrites, 1);  // the whole record in one transaction, keys included
    EXPECT_EQ(Read("FrameRate"), "29.9699993133545");
    EXPECT_EQ(Read("dscale"), "0.885813148788927");
    EXPECT_EQ(Read("dscale_X"), "1");
    EXPECT_EQ(Read("BackgrounColor"), "266");
    EXPECT_EQ(Read("Head_fontColor"), "255");
    EXPECT_EQ(Read("IsDecorate"), "1");
    EXPECT_EQ(Read("IsGeneralSwf"), "7");
    EXPECT_EQ(Read("Dec_URL"), "http://");
    EXPECT_EQ(Read("ProfileName"), "flv_normal");

    platform::TRegistry reg;
    reg.SetRootKey(platform::HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(kCustomKey, false));
    EXPECT_FALSE(reg.ValueExists("FormatName"));  // the profile's description is not stored
    EXPECT_FALSE(reg.ValueExists("FileExtension"));
    EXPECT_FALSE(reg.ValueExists("FormatNumber"));
}

// Everything comes back as it was, through a save and a load.
TEST_F(CustomStore, RoundTripsEveryField) {
    testsupport::TempDir files;
    std::string picture = files.Write("head.jpg", "x").string();
    auto* base = reinterpret_cast<unsigned char*>(&current);
    int n = 0;
    for (const auto& f : CustomSettingFields()) {
        unsigned char* p = base + f.offset;
        ++n;
        switch (f.kind) {
        case FieldKind::ByteFlag: *p = static_cast<unsigned char>(*p ? 0 : 1); break;
        case FieldKind::Integer: { std::int32_t v = -50 + n * 37; std::memcpy(p, &v, 4); break; }
        case FieldKind::Float64: { double v = 1.0 / (n + 2); std::memcpy(p, &v, 8); break; }
        case FieldKind::Float32: { float v = 29.97f; std::memcpy(p, &v, 4); break; }
        case FieldKind::Colour: { RGBColor v{n, 2 * n, 255 - n}; std::memcpy(p, &v, sizeof v); break; }
        case FieldKind::Text: std::snprintf(reinterpret_cast<char*>(p), f.width, "%s \"text\" %d", f.name, n); break;
        }
    }
    current.IsCustom = 1;
    std::strcpy(current.Head_imagePath, picture.c_str());
    CustomSetting saved = current;
    SaveCustomSetting();

    InitCustomSetting(current);
    std::strcpy(current.FormatName, "kept");
    current.FormatNumber = 42;
    ASSERT_TRUE(LoadCustomSetting());
    EXPECT_TRUE(reports.empty());
    for (const auto& f : CustomSettingFields()) {
        if (!f.stored || std::strcmp(f.name, "Tail_imagePath") == 0) continue;
        const unsigned char* a = reinterpret_cast<const unsigned char*>(&current) + f.offset;
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&saved) + f.offset;
        if (f.kind == FieldKind::Float64) {
            double x, y;
            std::memcpy(&x, a, 8);
            std::memcpy(&y, b, 8);
            EXPECT_NEAR(x, y, std::abs(y) * 1e-14) << f.name;  // 15 significant digits
        } else {
            EXPECT_EQ(std::memcmp(a, b, f.width), 0) << f.name;
        }
    }
    EXPECT_STREQ(current.FormatName, "kept");
    EXPECT_EQ(current.FormatNumber, 42);
    EXPECT_STREQ(current.Tail_imagePath, "");  // no such file: forgotten
    EXPECT_STRNE(current.Dec_imagePath, "");   // kept without the test
}

TEST_F(CustomStore, EarlyExitsAndValueForms) {
    // Nothing saved yet: the key is made, nothing changes.
    current.Channel = 9;
    EXPECT_FALSE(LoadCustomSetting());
    EXPECT_EQ(Read("ProfileName"), "");
    for (const char* none : {"", "0"}) {
        Write("ProfileName", none);
        Write("Channel", "2");
        EXPECT_FALSE(LoadCustomSetting());
        EXPECT_EQ(current.Channel, 9);
    }

    // IsCustom 0: only the first five values are taken.
    Write("ProfileName", "p");
    Write("IsCustom", "0");
    Write("IssettingCustom", "7");
    Write("dscale", "0,5");  // a decimal comma reads too
    Write("dscale_X", "2");
    Write("dscale_Y", "3");
    EXPECT_TRUE(LoadCustomSetting());
    EXPECT_EQ(current.IsCustom, 0);
    EXPECT_EQ(current.IssettingCustom, 1);  // a byte flag: any nonzero number is 1
    EXPECT_EQ(current.dscale, 0.5);
    EXPECT_EQ(current.Channel, 9);
    EXPECT_STREQ(current.ProfileName, "");
}

// A value that cannot be read leaves the whole record as it was and is reported once.
TEST_F(CustomStore, AnUnreadableValueChangesNothing) {
    current.IsCustom = 1;
    std::strcpy(current.ProfileName, "saved");
    SaveCustomSetting();
    Write("Channel", "two");
    current.Channel = 5;
    std::strcpy(current.ProfileName, "before");
    EXPECT_FALSE(LoadCustomSetting());
    EXPECT_FALSE(LoadCustomSetting());
    EXPECT_EQ(current.Channel, 5);
    EXPECT_STREQ(current.ProfileName, "before");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Channel"), std::string::npos);

    // A value of another type is refused the same way.
    Write("Channel", "2");
    {
        platform::TRegistry reg;
        reg.SetRootKey(platform::HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKey(kCustomKey, false));
        reg.WriteInteger("Width", 5);
    }
    EXPECT_FALSE(LoadCustomSetting());
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(current.Channel, 5);

    // Colours keep their low 24 bits; a long text is cut to its field.
    Write("Width", "640");
    Write("BackgrounColor", "16777482");  // 2^24 + 266
    Write("VideoEncoder", std::string(40, 'v'));
    EXPECT_TRUE(LoadCustomSetting());
    EXPECT_EQ(current.BackgrounColor.r, 10);
    EXPECT_EQ(current.BackgrounColor.g, 1);
    EXPECT_EQ(current.BackgrounColor.b, 0);
    EXPECT_EQ(std::string(current.VideoEncoder), std::string(19, 'v'));
}

}  // namespace

}  // namespace jobmodel
