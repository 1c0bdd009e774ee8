#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "jobmodel/customsetting.h"
#include "jobmodel/profileparams.h"
#include "jobmodel/profiles.h"
#include "jobmodel/report.h"
#include "support/tempdir.h"

namespace jobmodel {

namespace {

std::string Param(const std::string& name, const std::string& kind, const std::string& value) {
    return "<param name=\"" + name + "\" kind=\"" + kind + "\" default=\"" + value + "\"><option value=\"" + value +
           "\"/></param>";
}

std::string Profile(const std::string& name, const std::string& display, const std::string& params) {
    return "<profile name=\"" + name + "\" display=\"" + display + "\" format=\"fmt_" + name + "\" extension=\"ext_" +
           name + "\" number=\"" + std::to_string(name.size()) + "\">" + params + "</profile>";
}

struct Recorder {
    std::vector<std::string> messages;
    JobModelReporter previous;
    Recorder() { previous = SetJobModelReporter([this](const std::string& m) { messages.push_back(m); }); }
    ~Recorder() { SetJobModelReporter(previous); }
};

TEST(Profiles, TheDefaultProfileSeedsBothWorkingRecords) {
    testsupport::TempDir dir;
    dir.Write("1.xml", Profile("one", "Low", Param("b", "integer", "100")));
    dir.Write("2.xml", Profile("second", kDefaultProfileDisplayName,
                               Param("s", "text", "320x240") + Param("r", "decimal", "29.97") +
                                   Param("ar", "integer", "22050") + Param("AR", "integer", "8000") +
                                   Param("ac", "integer", "1") + Param("ab", "integer", "48") +
                                   Param("b", "integer", "300") + Param("b", "integer", "400") +
                                   Param("vcodec", "text", "flv") + Param("acodec", "text", "libmp3lame") +
                                   Param("other", "text", "x")));
    dir.Write("3.xml", Profile("three", "normal quality(flash video files)", ""));  // case differs: no match

    ProfileLines lines = LoadProfileCatalogue(dir.str());
    EXPECT_EQ(lines.lines, (std::vector<std::string>{"Low", kDefaultProfileDisplayName,
                                                      "normal quality(flash video files)", "Custom"}));
    EXPECT_EQ(lines.selected, 1);
    for (CustomSetting* cs : {CurrentCustomSetting, DefaultCustomSetting}) {
        ASSERT_NE(cs, nullptr);
        EXPECT_EQ(cs->Width, 320);
        EXPECT_EQ(cs->Height, 240);
        EXPECT_FLOAT_EQ(cs->FrameRate, 29.97f);
        EXPECT_EQ(cs->SimpleRate, 22050);  // "AR" is another name
        EXPECT_EQ(cs->Channel, 1);
        EXPECT_EQ(cs->AudioBitrate, 48);
        EXPECT_EQ(cs->VideoBitRate, 400);  // a later parameter of the same name wins
        EXPECT_STREQ(cs->VideoEncoder, "flv");
        EXPECT_STREQ(cs->AudioEncoder, "libmp3lame");
        EXPECT_STREQ(cs->ProfileName, "second");
        EXPECT_STREQ(cs->FormatName, "fmt_second");
        EXPECT_STREQ(cs->FileExtension, "ext_second");
        EXPECT_EQ(cs->FormatNumber, 6);
        EXPECT_STREQ(cs->PlayerSkinPath, "Christmas_h40");  // untouched fields keep defaults
    }
    EXPECT_NE(CurrentCustomSetting, DefaultCustomSetting);
}

// A value not of its form is skipped with a report; the rest of the profile still applies.
TEST(Profiles, AValueOfTheWrongFormKeepsItsDefault) {
    const struct {
        std::string params;
    } cases[] = {
        {Param("s", "text", "320X240")},
        {Param("s", "text", "320x")},
        {Param("s", "text", "wide")},
        {Param("ar", "text", "fast")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params);
        testsupport::TempDir dir;
        dir.Write("p.xml", Profile("p", kDefaultProfileDisplayName, c.params + Param("ac", "integer", "2")));
        Recorder recorder;
        LoadProfileCatalogue(dir.str());
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(CurrentCustomSetting->Width, 0);
        EXPECT_EQ(CurrentCustomSetting->SimpleRate, 0);
        EXPECT_EQ(CurrentCustomSetting->Channel, 2);
        EXPECT_STREQ(CurrentCustomSetting->ProfileName, "p");
    }
}

TEST(Profiles, WorkingRecordsExistWithoutTheDefaultProfile) {
    testsupport::TempDir dir;
    dir.Write("a.xml", Profile("first", "First", Param("ac", "integer", "1")));
    dir.Write("b.xml", Profile("second", "Second", ""));
    ProfileLines lines = LoadProfileCatalogue(dir.str());
    EXPECT_EQ(lines.selected, -1);
    EXPECT_STREQ(CurrentCustomSetting->ProfileName, "first");
    EXPECT_EQ(DefaultCustomSetting->Channel, 1);

    testsupport::TempDir empty;
    lines = LoadProfileCatalogue(empty.str());
    EXPECT_EQ(lines.lines, std::vector<std::string>{"Custom"});
    ASSERT_NE(CurrentCustomSetting, nullptr);
    EXPECT_STREQ(CurrentCustomSetting->ProfileName, "");
    EXPECT_STREQ(DefaultCustomSetting->PlayerSkinPath, "Christmas_h40");
}

// Every user of the table reaches a record field through the rule's pointer of its value's
// form, and the dialog finds each codec list through exactly one rule: a rule without its
// field, or a list named twice or never, would write nothing or the wrong field.
TEST(Profiles, EveryParameterRuleNamesItsFieldAndOneList) {
    std::set<std::string> names;
    std::multiset<CodecList> lists;
    for (const ProfileParamRule& rule : ProfileParamRules()) {
        SCOPED_TRACE(rule.name);
        EXPECT_TRUE(names.insert(rule.name).second) << "named twice";
        lists.insert(rule.list);
        EXPECT_EQ(rule.whole != nullptr, rule.value == ProfileValue::Whole);
        EXPECT_EQ(rule.text != nullptr, rule.value == ProfileValue::Text);
        EXPECT_EQ(rule.decimal != nullptr, rule.value == ProfileValue::Decimal);
        EXPECT_EQ(rule.list == CodecList::None, rule.value == ProfileValue::FrameSize);

        ProfileParam param{};
        std::strncpy(param.Name, rule.name, sizeof param.Name - 1);
        EXPECT_EQ(FindProfileParamRule(param), &rule);
        for (char& c : param.Name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindProfileParamRule(param), nullptr) << "letter case counts";
    }
    for (CodecList list : {CodecList::SampleRate, CodecList::Channels, CodecList::AudioEncoder, CodecList::AudioBitrate,
                           CodecList::VideoEncoder, CodecList::VideoBitrate, CodecList::FrameRate})
        EXPECT_EQ(lists.count(list), 1u) << static_cast<int>(list);
}

}  // namespace

}  // namespace jobmodel
