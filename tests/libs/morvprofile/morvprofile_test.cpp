#include "libs/morvprofile/morvprofile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/tempdir.h"

namespace {

std::string Param(const std::string& name, const std::string& kind, const std::string& def,
                  const std::string& options) {
    return "<param name=\"" + name + "\" kind=\"" + kind + "\" default=\"" + def + "\">" + options + "</param>";
}

std::string Profile(const std::string& name, const std::string& display, const std::string& params,
                    const std::string& number = "1") {
    return "<?xml version=\"1.0\"?><profile name=\"" + name + "\" display=\"" + display +
           "\" format=\"flv\" extension=\"flv\" number=\"" + number + "\">" + params + "</profile>";
}

const ProfileParam* FindParam(const ProfileEntry& e, const char* name) {
    for (int i = 0; i < e.ParamCount; ++i)
        if (std::strcmp(e.Params[i].Name, name) == 0) return &e.Params[i];
    return nullptr;
}

TEST(ProfileCatalogue, ReadsEntriesInFileNameOrderWithParamsAndDefaults) {
    testsupport::TempDir dir;
    dir.Write("b.xml", Profile("second", "Normal quality(Flash Video Files)",
                               Param("s", "text", "320x240", "<option value=\"176x144\"/><option value=\"320x240\" label=\"QVGA\"/>") +
                                   Param("r", "decimal", "29.97", "<option value=\"25\"/><option value=\"29.97\"/>") +
                                   Param("ab", "integer", "64", "<option value=\"64\" label=\"64 kbps\"/>"),
                               "7"));
    dir.Write("a.xml", Profile("first", "One", ""));
    dir.Write("c.XML", Profile("third", "Three", ""));
    dir.Write("notes.txt", "not a profile");

    ProfileList list{};
    ASSERT_EQ(praseXMLFolder(dir.str().c_str(), &list), 0) << getProfileErrors();
    ASSERT_EQ(list.Count, 3);
    EXPECT_STREQ(list.Entries[0].ProfileName, "first");
    EXPECT_STREQ(list.Entries[1].ProfileName, "second");
    EXPECT_STREQ(list.Entries[2].ProfileName, "third");

    const ProfileEntry& e = list.Entries[1];
    EXPECT_STREQ(e.DisplayName, "Normal quality(Flash Video Files)");
    EXPECT_STREQ(e.FormatName, "flv");
    EXPECT_STREQ(e.FileExtension, "flv");
    EXPECT_EQ(e.FormatNumber, 7);
    ASSERT_EQ(e.ParamCount, 3);
    EXPECT_STREQ(e.Params[0].Name, "s");  // file order kept

    const ProfileParam* s = FindParam(e, "s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Kind, ProfileKindText);
    ASSERT_EQ(s->OptionCount, 2);
    EXPECT_EQ(s->DefaultIndex, 1);
    EXPECT_STREQ(s->Options[1].Value, "320x240");
    EXPECT_STREQ(s->Options[1].DisplayText, "QVGA");
    EXPECT_STREQ(s->Options[0].DisplayText, "176x144");  // no label: the value is shown

    const ProfileParam* r = FindParam(e, "r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Kind, ProfileKindDecimal);
    EXPECT_STREQ(r->Options[r->DefaultIndex].Value, "29.97");
    EXPECT_EQ(FindParam(e, "ab")->Kind, ProfileKindInteger);
}

TEST(ProfileCatalogue, SkipsInvalidFilesAndKeepsTheRest) {
    struct Case {
        const char* what;
        std::string content;
        const char* reason;
    };
    const Case cases[] = {
        {"not well-formed", "<profile name=", "not well-formed"},
        {"wrong root", "<?xml version=\"1.0\"?><settings/>", "<profile>"},
        {"missing attribute", "<profile name=\"x\" display=\"X\" format=\"flv\" number=\"1\"/>", "extension"},
        {"number not whole", Profile("x", "X", "", "1.5"), "format number"},
        {"integer value not integer", Profile("x", "X", Param("b", "integer", "fast", "<option value=\"fast\"/>")), "not a integer"},
        {"decimal value with comma", Profile("x", "X", Param("r", "decimal", "29,97", "<option value=\"29,97\"/>")), "not a decimal"},
        {"default not an option", Profile("x", "X", Param("ar", "integer", "48000", "<option value=\"44100\"/>")), "default"},
        {"no options", Profile("x", "X", Param("ar", "integer", "1", "")), "default"},
        {"unknown kind", Profile("x", "X", Param("ar", "number", "1", "<option value=\"1\"/>")), "kind"},
        {"binary garbage", std::string("\x00\xff\xfe<\x01", 5), "not well-formed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        dir.Write("a_good.xml", Profile("good", "Good", ""));
        dir.Write("b_bad.xml", c.content);
        ProfileList list{};
        EXPECT_EQ(praseXMLFolder(dir.str().c_str(), &list), 1);
        ASSERT_EQ(list.Count, 1);
        EXPECT_STREQ(list.Entries[0].ProfileName, "good");
        std::string errors = getProfileErrors();
        EXPECT_NE(errors.find("b_bad.xml: "), std::string::npos) << errors;
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
    }
}

TEST(ProfileCatalogue, MissingOrEmptyFolderGivesAnEmptyList) {
    ProfileList list{reinterpret_cast<ProfileEntry*>(1), 5};
    EXPECT_EQ(praseXMLFolder("/nonexistent/lumacast/profile", &list), -1);
    EXPECT_EQ(list.Count, 0);
    EXPECT_EQ(list.Entries, nullptr);
    EXPECT_EQ(praseXMLFolder(nullptr, &list), -1);
    EXPECT_EQ(praseXMLFolder("/tmp", nullptr), -1);

    testsupport::TempDir dir;
    EXPECT_EQ(praseXMLFolder(dir.str().c_str(), &list), 0);
    EXPECT_EQ(list.Count, 0);
}

TEST(ProfileCatalogue, LongTextsAreCutAtACharacterBoundaryAndEarlierCataloguesStayValid) {
    testsupport::TempDir dir;
    std::string name(556, 'n');  // one more than the field holds
    name[554] = '\xC3';         // a two-byte character straddling the field's end
    name[555] = '\xA9';
    dir.Write("a.xml", Profile(name, "First", ""));
    ProfileList first{};
    ASSERT_EQ(praseXMLFolder(dir.str().c_str(), &first), 0);
    std::string kept = first.Entries[0].ProfileName;
    EXPECT_EQ(kept, std::string(554, 'n'));  // the "é" does not fit whole, so it is left out

    dir.Write("a.xml", Profile("replaced", "Second", ""));
    ProfileList second{};
    ASSERT_EQ(praseXMLFolder(dir.str().c_str(), &second), 0);
    EXPECT_STREQ(second.Entries[0].ProfileName, "replaced");
    EXPECT_STREQ(first.Entries[0].DisplayName, "First");  // the first catalogue is untouched
}

// The profiles the program ships: each valid by the schema, read whole, one default.
TEST(ShippedProfiles, ValidateAndParse) {
    std::string source = std::getenv("LUMACAST_SOURCE_DIR");
    std::string folder = std::string(std::getenv("LUMACAST_PROGRAM_DIR")) + "/profile";
    std::string cmd = "xmllint --noout --schema '" + source + "/docs/profile.xsd' '" + folder + "'/*.xml 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;

    ProfileList list{};
    ASSERT_EQ(praseXMLFolder(folder.c_str(), &list), 0) << getProfileErrors();
    ASSERT_GE(list.Count, 4);
    int defaults = 0;
    for (int i = 0; i < list.Count; ++i) {
        const ProfileEntry& e = list.Entries[i];
        SCOPED_TRACE(e.ProfileName);
        if (std::strcmp(e.DisplayName, "Normal quality(Flash Video Files)") == 0) {
            ++defaults;
            EXPECT_STREQ(e.FormatName, "flv");
            EXPECT_STREQ(FindParam(e, "vcodec")->Options[0].Value, "flv");
        }
        for (const char* name : {"vcodec", "b", "s", "r", "acodec", "ab", "ar", "ac"})
            EXPECT_NE(FindParam(e, name), nullptr) << name;
        const ProfileParam* s = FindParam(e, "s");
        for (int k = 0; s && k < s->OptionCount; ++k) {
            int w = 0, h = 0;
            char rest = 0;
            EXPECT_EQ(std::sscanf(s->Options[k].Value, "%dx%d%c", &w, &h, &rest), 2) << s->Options[k].Value;
        }
    }
    EXPECT_EQ(defaults, 1);
}

}  // namespace
