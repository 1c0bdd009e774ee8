// The generated script texts, byte for byte.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <string>

#include "playermaker/script.h"

namespace {

using namespace morvbrindle;

template <std::size_t N>
void SetText(char (&field)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

// A group with value records (not allocated by the library; these tests never free them).
struct Records {
    KbnUIGroupOption group{};
    KbnUIGenerateOption generate{};
    KbnUIPlayerOption player{};
    KbnUIOverlayADOption overlay{};
    KbnUIMediaOption media[KBN_MAX_MEDIA]{};

    Records() {
        group.generate = &generate;
        group.player = &player;
        generate.swfType = stEmbedded;
        player.width = 320;
        player.height = 240;
        player.frameRate = 25;
    }
    KbnUIMediaOption& AddMedia(const std::string& title, const std::string& flv, const std::string& thumb) {
        KbnUIMediaOption& m = media[group.mediaCount];
        group.media[group.mediaCount++] = &m;
        SetText(m.title, title);
        SetText(m.flvPath, flv);
        SetText(m.thumbnailPath, thumb);
        return m;
    }
};

TEST(PlayerSetupScript, ExampleText) {
    Records r;
    r.player.mouseAutoHide = 1;
    r.player.skinAutoHide = 1;
    r.player.hideDelay = 5;
    r.player.autoPlay = 1;
    EXPECT_EQ(PlayerSetupScript(r.group),
              "function initPlayer() {\n"
              "\tinitPlayerStage(1, 320, 240);\n"
              "\tinitPlayerComponent(false, true, true, true, true, true, true, true, true);\n"
              "\tinitAutoHide(true, true, false, 5000);\n"
              "\tbtn_Interval = 0;\n"
              "\tmaxPlayTime = 0;\n"
              "\tmargins = 0;\n"
              "\tBufferTime=5;\n"
              "\tautoplay=true;\n"
              "\n}");
}

TEST(PlayerSetupScript, EachOptionReachesItsValue) {
    struct Case {
        const char* name;
        void (*change)(Records&);
        const char* line;
    };
    const Case cases[] = {
        {"hideAll keeps the eight flags", [](Records& r) { r.player.hideAll = 1; },
         "\tinitPlayerComponent(true, true, true, true, true, true, true, true, true);\n"},
        {"hideVolumeBar is the fourth value", [](Records& r) { r.player.hideVolumeBar = 1; },
         "\tinitPlayerComponent(false, true, true, false, true, true, true, true, true);\n"},
        {"visibility order", [](Records& r) {
             r.player.hidePreNextBtn = 1;
             r.player.hidePlayingTime = 1;
             r.player.hidePlayList = 1;
         },
         "\tinitPlayerComponent(false, false, true, true, false, true, true, true, false);\n"},
        {"order of the rest", [](Records& r) {
             r.player.hideMuteBtn = 1;
             r.player.hideFullscreenBtn = 1;
             r.player.hidePlayingProcessBar = 1;
             r.player.hidePlaylistBtn = 1;
         },
         "\tinitPlayerComponent(false, true, false, true, true, false, false, false, true);\n"},
        {"hideDelay 0", [](Records& r) { r.player.hideDelay = 0; }, "\tinitAutoHide(false, false, false, 3000);\n"},
        {"hideDelay negative", [](Records& r) { r.player.hideDelay = -4; }, "\tinitAutoHide(false, false, false, 3000);\n"},
        {"slider auto-hide", [](Records& r) { r.player.sliderAutoHide = 7; r.player.hideDelay = 1; },
         "\tinitAutoHide(false, false, true, 1000);\n"},
        {"hideDelay large", [](Records& r) { r.player.hideDelay = 3000000; },
         "\tinitAutoHide(false, false, false, 3000000000);\n"},
        {"bufferTime 10", [](Records& r) { r.player.bufferTime = 10; }, "\tBufferTime=10;\n"},
        {"bufferTime negative", [](Records& r) { r.player.bufferTime = -1; }, "\tBufferTime=5;\n"},
        {"autoplay off", [](Records& r) { r.player.autoPlay = 0; }, "\tautoplay=false;\n"},
        {"preview", [](Records& r) { r.group.isPreview = 1; r.player.width = 340; r.player.height = 255; },
         "\tinitPlayerStage(1, 340, 255);\n\tinitPlayerComponent"},
        {"preview play-time limit", [](Records& r) { r.group.isPreview = 1; }, "\tmaxPlayTime = 4;\n"},
        {"progressive", [](Records& r) { r.generate.swfType = stProgressive; }, "\tinitPlayerStage(2, 320, 240);\n"},
    };
    for (const Case& c : cases) {
        Records r;
        c.change(r);
        EXPECT_NE(PlayerSetupScript(r.group).find(c.line), std::string::npos) << c.name << "\n"
                                                                              << PlayerSetupScript(r.group);
    }
}

TEST(EmbeddedPlaylistScript, FrameRateWithTwoDecimalsInAnyLocale) {
    EXPECT_EQ(EmbeddedPlaylistScript(25.0f), "function initPlayList() {\n\tframerate=25.00;\n\tinit();\n}\n");
    const std::unique_ptr<char, void (*)(void*)> saved(strdup(std::setlocale(LC_ALL, nullptr)), std::free);
    bool commaLocale = false;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            commaLocale = commaLocale || std::strcmp(std::localeconv()->decimal_point, ",") == 0;
            break;
        }
    }
    EXPECT_NE(EmbeddedPlaylistScript(29.97f).find("\tframerate=29.97;\n"), std::string::npos);
    EXPECT_NE(EmbeddedPlaylistScript(12.5f).find("\tframerate=12.50;\n"), std::string::npos);
    std::setlocale(LC_ALL, saved.get());
    if (!commaLocale) GTEST_LOG_(INFO) << "no locale with a decimal comma installed";
}

TEST(ProgressivePlaylistScript, Texts) {
    const std::string closing =
        "\n\tVideoUrl=playTeam[0][1];\n\tVideoClickurl=playTeam[0][3];\n\tVideoClicktarget=playTeam[0][4];\n"
        "\tinit();\n}\n";
    {
        Records r;
        r.generate.swfType = stProgressive;
        r.AddMedia("a", "a.flv", "a.jpg");
        EXPECT_EQ(ProgressivePlaylistScript(r.group), "function initPlayList() {\n\tloadxml(\"medialist.xml\");\n}\n");
        r.generate.playlistInScript = 1;
        r.group.mediaCount = 0;
        EXPECT_EQ(ProgressivePlaylistScript(r.group), "function initPlayList() {\n" + closing);
    }
    {
        Records r;
        r.generate.playlistInScript = 1;
        r.AddMedia("First", "one.flv", "one.jpg");
        r.AddMedia("Second", "two.flv", "");
        EXPECT_EQ(ProgressivePlaylistScript(r.group),
                  "function initPlayList() {\n"
                  "\n\tadd_play(\"First\",\"one.flv\",\"one.jpg\",\"\",\"\");"
                  "\n\tadd_play(\"Second\",\"two.flv\",\"\",\"\",\"\");" +
                      closing);
    }
    {
        Records r;
        r.generate.playlistInScript = 1;
        r.AddMedia("First", "one.flv", "one.jpg");
        r.AddMedia("Second", "two.flv", "two.jpg");
        r.group.overlay = &r.overlay;
        r.overlay.kind = okText;
        SetText(r.overlay.text, "Hello");
        SetText(r.overlay.file, "unused.png");
        SetText(r.overlay.fontFile, "Arial");
        SetText(r.overlay.clickUrl, "http://example.com/");
        SetText(r.overlay.target, "_blank");
        r.overlay.endTime = 3725;
        r.overlay.red = 255;
        r.overlay.blue = 16;
        r.overlay.x = 10;
        r.overlay.y = 20;
        r.overlay.width = 100;
        r.overlay.height = 30;
        r.overlay.fontSize = 12;
        const std::string advert =
            ",\"00:00:00:000\",\"01:02:05:000\",\"txt\",\"Hello\",\"http://example.com/\",\"_blank\", "
            "0,1,1,\"\",10,20,100,30,12,\"Arial\",0xff0010);";
        EXPECT_EQ(ProgressivePlaylistScript(r.group),
                  "function initPlayList() {\n"
                  "\n\tadd_play(\"First\",\"one.flv\",\"one.jpg\",\"http://example.com/\",\"_blank\");"
                  "\n\tadd_advert(1" + advert +
                      "\n\tadd_play(\"Second\",\"two.flv\",\"two.jpg\",\"http://example.com/\",\"_blank\");"
                      "\n\tadd_advert(2" + advert + closing);

        struct Case {
            int kind, red, green, blue;
            const char* part;
        };
        const Case kinds[] = {
            {okImage, 300, 0, 0, ",\"img\",\"unused.png\","},
            {okImage, 300, 0, 0, ",0x2c0000);"},
            {okNone, 0, 0, 1, ",\"flv\",\"unused.png\","},
            {okNone, 0, 0, 1, ",0x1);"},
            {okVideo, 1, 2, 3, ",\"flv\",\"unused.png\","},
            {okText, -1, 256, 255, ",0xff00ff);"},
        };
        for (const Case& c : kinds) {
            r.overlay.kind = c.kind;
            r.overlay.red = c.red;
            r.overlay.green = c.green;
            r.overlay.blue = c.blue;
            EXPECT_NE(ProgressivePlaylistScript(r.group).find(c.part), std::string::npos) << c.part;
        }
    }
}

TEST(ProgressivePlaylistScript, LongPlaylistIsWrittenWhole) {
    Records r;
    r.generate.playlistInScript = 1;
    std::string expected;
    for (int i = 0; i < KBN_MAX_MEDIA; ++i) {
        const std::string title = std::to_string(i) + std::string(1000, 'T');
        const std::string flv = std::string(1000, 'f') + std::to_string(i) + ".flv";
        r.AddMedia(title, flv, "t.jpg");
        expected += "\n\tadd_play(\"" + title + "\",\"" + flv + "\",\"t.jpg\",\"\",\"\");";
    }
    const std::string text = ProgressivePlaylistScript(r.group);
    EXPECT_GT(text.size(), 240000u);
    EXPECT_NE(text.find(expected), std::string::npos);
}

TEST(ScriptStrings, Escaping) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"My Movie-01 (final).flv", "My Movie-01 (final).flv"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\clips\\a.flv", "C:\\\\clips\\\\a.flv"},
        {"two\nlines\r\n", "two\\nlines\\r\\n"},
        {"tab\there", "tab\\there"},
        {"bell\x01", "bell\\x01"},
        {"caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac", "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac"},
        {"Latin-1 caf\xe9", "Latin-1 caf\\xe9"},
        {"cut \xe6\x97", "cut \\xe6\\x97"},
        {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
        {"'single'", "'single'"},
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeScriptString(c.in), c.out) << c.in;

    Records r;
    r.generate.playlistInScript = 1;
    r.AddMedia("\"); evil(); //", "a\\b.flv", "x\ny.jpg");
    EXPECT_NE(ProgressivePlaylistScript(r.group).find("add_play(\"\\\"); evil(); //\",\"a\\\\b.flv\",\"x\\ny.jpg\""),
              std::string::npos);
    EXPECT_EQ(OpenLinkAction("http://a/?q=\"x\"", "_blank"), "getURL(\"http://a/?q=\\\"x\\\"\", \"_blank\");");
    EXPECT_EQ(OpenLinkAction("http://example.com/", "_self"), "getURL(\"http://example.com/\", \"_self\");");
}

TEST(ScriptStrings, FixedFieldsAreReadWithinTheirWidth) {
    char target[KBN_TARGET_WIDTH];
    std::memset(target, 'x', sizeof target);  // no zero byte at all
    EXPECT_EQ(FieldText(target), std::string(KBN_TARGET_WIDTH, 'x'));
}

TEST(ScriptStrings, Clock) {
    struct Case {
        int seconds;
        const char* text;
    };
    const Case cases[] = {{0, "00:00:00"}, {59, "00:00:59"}, {3725, "01:02:05"}, {360000, "100:00:00"}, {-65, "00:-1:-5"}};
    for (const Case& c : cases) EXPECT_EQ(ScriptClock(c.seconds), c.text) << c.seconds;
}

TEST(ScriptStrings, AssembledWithOneNewlineBetweenParts) {
    EXPECT_EQ(AssemblePlayerScript("A", "B", "C", "D"), "A\nB\nC\nD");
    EXPECT_EQ(AssemblePlayerScript("", "", "", ""), "\n\n\n");
}

}  // namespace
