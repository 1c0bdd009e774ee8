// The properties dialog: what a generated clip shows against what ffprobe reports, the
// forms of the eight texts, and a row without media information.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <sstream>

#include "app/app_support.h"
#include "dialogs/profrm.h"
#include "dialogs_support.h"
#include "support/process.h"

namespace {

using namespace platform;
using testsupport::Capture;
using testsupport::ShellQuote;

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        std::string error;
        ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
        pro = std::make_unique<TfrmPro>(nullptr);
        pro->AfterConstruction();
    }
    std::vector<std::string> Shown() const {
        return {pro->Text_N->Text(), pro->Text_L->Text(), pro->Text_R->Text(), pro->Text_vb->Text(),
                pro->Text_F->Text(), pro->Text_S->Text(), pro->Text_C->Text(), pro->Text_AB->Text()};
    }
    apptest::Sandbox box;
    std::unique_ptr<TfrmPro> pro;
};

// ffprobe's "key=value" lines of the first stream of a kind.
std::string Probe(const std::string& file, const char* stream, const char* key) {
    std::string out = Capture("ffprobe -v error -select_streams " + std::string(stream) +
                              ":0 -show_streams " + ShellQuote(file));
    std::istringstream lines(out);
    std::string line, prefix = std::string(key) + "=";
    while (std::getline(lines, line))
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "";
}

TEST_F(PropertiesTest, AGeneratedClipShowsWhatFfprobeReports) {
    std::string clip = box.store.str() + "/clip.mp4";
    int status = 0;
    Capture("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=30000/1001 -f lavfi "
            "-i sine=frequency=440:sample_rate=44100 -t 2 -ac 2 -c:v mpeg4 -b:v 400k -c:a aac -b:a 128k " +
                ShellQuote(clip),
            &status);
    ASSERT_EQ(status, 0);

    jobmodel::MediaItem item{};
    std::snprintf(item.name, sizeof item.name, "clip.mp4");
    std::snprintf(item.row.originalLength, sizeof item.row.originalLength, "00:00:02");
    item.mediaInfo = jobmodel::NewMediaInfo();
    std::snprintf(item.mediaInfo->path, sizeof item.mediaInfo->path, "%s", clip.c_str());
    ASSERT_EQ(getFileInfo(item.mediaInfo), 0);

    // The user's locale must not turn the point into a comma.
    const char* before = std::setlocale(LC_ALL, nullptr);
    std::string saved = before ? before : "C";
    std::setlocale(LC_ALL, "");
    pro->SetMediaItem(&item);
    pro->Show();
    testsupport::PumpWindows();
    std::setlocale(LC_ALL, saved.c_str());

    // ffprobe's r_frame_rate is a fraction ("30000/1001").
    std::string rate = Probe(clip, "v", "r_frame_rate");
    int num = 0, den = 1;
    ASSERT_EQ(std::sscanf(rate.c_str(), "%d/%d", &num, &den), 2) << rate;
    char expectedRate[32];
    std::snprintf(expectedRate, sizeof expectedRate, "%.2f fps", double(num) / den);
    EXPECT_STREQ(expectedRate, "29.97 fps");
    EXPECT_EQ(pro->Text_F->Text(), expectedRate);
    EXPECT_EQ(pro->Text_S->Text(), Probe(clip, "a", "sample_rate") + " Hz");
    EXPECT_EQ(pro->Text_S->Text(), "44100 Hz");
    EXPECT_EQ(pro->Text_C->Text(), Probe(clip, "a", "channels") + " Channel");
    EXPECT_EQ(pro->Text_C->Text(), "2 Channel");
    EXPECT_EQ(pro->Text_R->Text(), Probe(clip, "v", "width") + "x" + Probe(clip, "v", "height"));
    EXPECT_EQ(pro->Text_N->Text(), "clip.mp4");
    EXPECT_EQ(pro->Text_L->Text(), "00:00:02");
    EXPECT_EQ(pro->Width(), pro->Skin().Width());
    dialogtest::Screenshot(pro.get(), "properties.png");

    // The title's close button closes it; nothing of the row changed.
    dialogtest::ClickAt(pro.get(), pro->btnClose);
    EXPECT_FALSE(pro->Visible());
    EXPECT_EQ(item.mediaInfo->audioSampleRate, 44100);
    jobmodel::Drop(item.mediaInfo);
}

TEST_F(PropertiesTest, TextsTakeTheirFormsAndARowWithoutInformationShowsEmptyFields) {
    jobmodel::MediaItem item{};
    std::snprintf(item.name, sizeof item.name, "Title 1");
    std::snprintf(item.row.originalLength, sizeof item.row.originalLength, "01:02:03");
    MediaInfo info{};
    info.width = 720;
    info.height = 480;
    info.videoBitrate = 4500;
    info.frameRate = 25.0f;
    info.audioSampleRate = 44100;
    info.audioChannels = 2;
    info.audioBitrate = 128;
    item.mediaInfo = &info;
    pro->SetMediaItem(&item);
    pro->Show();
    testsupport::PumpWindows();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Title 1", "01:02:03", "720x480", "4500 kbps", "25.00 fps",
                                                 "44100 Hz", "2 Channel", "128 kbps"}));
    dialogtest::ClickAt(pro.get(), pro->btnOK);
    EXPECT_FALSE(pro->Visible());

    // The next row has no media information: the fields of the one before do not stay.
    item.mediaInfo = nullptr;
    pro->Show();
    testsupport::PumpWindows();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Title 1", "01:02:03", "", "", "", "", "", ""}));
    pro->Hide();
    // No row at all.
    pro->SetMediaItem(nullptr);
    pro->Show();
    testsupport::PumpWindows();
    EXPECT_EQ(Shown(), std::vector<std::string>(8, ""));
}

}  // namespace
