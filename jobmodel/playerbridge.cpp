#include "jobmodel/playerbridge.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

#include "jobmodel/creditplace.h"
#include "jobmodel/fonts.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/outputnames.h"
#include "platform/core/files.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;

// The option record's credit texts.
constexpr std::size_t kCreditTextWidth = 1024;

void Put(char (&field)[KBN_TEXT_WIDTH], const std::string& text) { CopyTextField(field, text.c_str()); }

void RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

// A font face of the option record as the file the embedded player reads.
std::string FontFileOf(const std::string& face) { return face.empty() ? "" : FontsFolder() + FindFontFile(face); }

// One credit card as the option record describes it; `fontSize` and the text position
// are the caller's, since the conversion and the preview place the text differently.
void AttachCredit(KbnUIInsertAdOption*& slot, const char* image, const char* text, const char* face, int fontSize,
                  int x, int y, RGBColor textColour, RGBColor cardColour, int duration) {
    if (!createKbnUIInsertAdOption(&slot)) return;
    Put(slot->image, FieldText(image, kCreditTextWidth));
    Put(slot->text, FieldText(text, kCreditTextWidth));
    Put(slot->fontFile, FontFileOf(FieldText(face, kCreditTextWidth)));
    slot->fontSize = fontSize;
    slot->x = x;
    slot->y = y;
    slot->textRed = textColour.r, slot->textGreen = textColour.g, slot->textBlue = textColour.b;
    slot->cardRed = cardColour.r, slot->cardGreen = cardColour.g, slot->cardBlue = cardColour.b;
    slot->duration = duration;
}

// The credit text centred on the item's own output height, as the customisation dialog
// centres it; the stored position when the text is taller than the picture.
int CentredCreditTop(const CustomSetting& cs, int fontSize, int storedY) {
    int y = CreditTextOffset(kCreditVertical, fontSize, cs.Width, cs.Height);
    return y < 0 ? storedY : y;
}

// Head and tail cards of an embedded player. The conversion scales the font by the
// record's area ratio and centres the text; the preview scales by the ratio of the
// player's area to the browser's and keeps the stored position.
void FillCredits(const CustomSetting& cs, KbnUIGroupOption* group, bool preview, double previewRatio) {
    if (cs.SwfType != stEmbedded) return;
    auto size = [&](int stored) {
        return preview ? static_cast<int>(std::trunc(previewRatio * stored))
                       : static_cast<int>(std::trunc(stored * cs.dscale));
    };
    if (cs.IsCreditHead) {
        int fs = size(cs.Head_fontSize);
        AttachCredit(group->headCredit, cs.Head_imagePath, cs.Head_textContent, cs.Head_fontType, fs, cs.Head_fontX,
                     preview ? cs.Head_fontY : CentredCreditTop(cs, fs, cs.Head_fontY), cs.Head_fontColor,
                     cs.Head_backgroundColor, cs.Head_duration);
    }
    if (cs.IsCreditTail) {
        int fs = size(cs.Tail_fontSize);
        AttachCredit(group->tailCredit, cs.Tail_imagePath, cs.Tail_textContent, cs.Tail_fontType, fs, cs.Tail_fontX,
                     preview ? cs.Tail_fontY : CentredCreditTop(cs, fs, cs.Tail_fontY), cs.Tail_fontColor,
                     cs.Tail_backgroundColor, cs.Tail_duration);
    }
}

// The generate and player records, the same for every kind of build.
void FillPlayerRecords(const CustomSetting& cs, KbnUIGroupOption* group) {
    KbnUIGenerateOption* g = createKbnUIGenerateOption(&group->generate);
    KbnUIPlayerOption* p = createKbnUIPlayerOption(&group->player);
    if (!g || !p) return;
    g->isGeneralFlv = cs.IsGeneralFlv;
    g->isGeneralSwf = cs.IsGeneralSwf;
    g->swfType = cs.SwfType;
    g->isGeneralHtml = cs.IsGeneralHtml;
    g->playlistInScript = 1;
    g->group = group;

    p->group = group;
    p->width = cs.Width;
    p->height = cs.Height;
    p->frameRate = cs.FrameRate;
    p->backgroundRed = cs.BackgrounColor.r;
    p->backgroundGreen = cs.BackgrounColor.g;
    p->backgroundBlue = cs.BackgrounColor.b;
    const std::string skin = FieldText(cs.PlayerSkinPath);
    Put(p->skinFile, skin + ".swf");
    p->mouseAutoHide = cs.IsMouseAutoHide;
    p->skinAutoHide = cs.IsSkinAutoHide;
    p->sliderAutoHide = cs.IsSliderAutoHide;
    p->hideDelay = cs.hideDelay;
    p->autoPlay = cs.IsAutoPlay;
    p->hideAll = cs.IsHideAll != 0 ? cs.IsHideAll : (skin == "None" ? 1 : 0);
    if (cs.IsHideAll == 0) {
        p->hideMuteBtn = cs.IsHideMuteBtn;
        p->hideFullscreenBtn = cs.IsHideFullscreenBtn;
        p->hidePreNextBtn = cs.IsHidePreNextBtn;
        p->hidePlaylistBtn = cs.IsHidePlaylistBtn;
        p->hidePlayingProcessBar = cs.IsHidePlayingprocessBar;
        p->hideVolumeBar = cs.IsHideVolumeBar;
        p->hidePlayingTime = cs.IsHidePlayingTime;
        p->hidePlayList = cs.IsHidePlayList;
    }
    const std::string effect = FieldText(cs.EffectSkinPath);
    Put(p->effectFile, effect == "None" ? "" : effect + ".swf");
    const std::string preloader = FieldText(cs.PreloaderSkinPath);
    Put(p->preloaderFile, cs.SwfType == stProgressive && preloader != "None" ? preloader + ".swf" : "");
}

// Copies `picture` into `folder` without touching what is there: under its own name when
// that is free, else as "<name>(n).<ext>". Returns the name it got ("" when it could not
// be copied).
std::string CopyBeside(const std::string& picture, const std::string& folder) {
    const fs::path name = fs::path(picture).filename();
    const std::string stem = name.stem().string(), ext = name.extension().string();
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? name.string() : stem + "(" + std::to_string(n) + ")" + ext;
        std::error_code ec;
        if (fs::exists(fs::symlink_status(folder + candidate, ec))) continue;
        if (platform::CopyFile(picture, folder + candidate, true)) return candidate;
        if (errno != EEXIST) return "";
    }
    return "";
}

// The decoration, when it is switched on. A progressive player loads its picture from
// its own folder, so the picture is copied there.
void FillOverlay(const CustomSetting& cs, KbnUIGroupOption* group, const std::string& playerFolder, int endTime) {
    if (!cs.IsDecorate) return;
    KbnUIOverlayADOption* o = createKbnUIOverlayADOption(&group->overlay);
    if (!o) return;
    o->group = group;
    o->kind = cs.FileType;
    const std::string picture = FieldText(cs.Dec_imagePath);
    const std::string face = FieldText(cs.Dec_fontType);
    if (cs.SwfType == stEmbedded) {
        Put(o->file, picture);
        Put(o->fontFile, FontFileOf(face));
    } else {
        if (cs.SwfType == stProgressive && !picture.empty()) Put(o->file, CopyBeside(picture, playerFolder));
        Put(o->fontFile, face);
    }
    Put(o->text, FieldText(cs.Dec_textContent));
    o->fontSize = static_cast<int>(std::trunc(cs.Dec_fontSize * cs.dscale));
    o->red = cs.Dec_fontColor.r, o->green = cs.Dec_fontColor.g, o->blue = cs.Dec_fontColor.b;
    o->startTime = 0;
    o->endTime = endTime;
    Put(o->clickUrl, FieldText(cs.Dec_URL));
    CopyTextField(o->target, "_blank");
    o->x = static_cast<int>(std::trunc(cs.Dec_X * cs.dscale_X));
    o->y = static_cast<int>(std::trunc(cs.Dec_Y * cs.dscale_Y));
    o->width = static_cast<int>(std::trunc(cs.Dec_Width * cs.dscale_X));
    o->height = static_cast<int>(std::trunc(cs.Dec_Height * cs.dscale_Y));
}

KbnUIMediaOption* AppendMedia(KbnUIGroupOption* group, const std::string& title, const std::string& video,
                              const std::string& picture, int width, int height) {
    KbnUIMediaOption* m = createKbnUIMediaOption(group, nullptr);
    if (!m) return nullptr;
    Put(m->title, title);
    Put(m->flvPath, video);
    Put(m->thumbnailPath, picture);
    m->videoWidth = width;
    m->videoHeight = height;
    return m;
}

// A new group whose player is written to `swfPath`, the old file removed first.
KbnUIGroupOption* NewGroup(const std::string& swfPath) {
    RemoveFile(swfPath);
    KbnUIGroupOption* group = createKbnUIGroupOption(nullptr);
    if (group) Put(group->outputPath, swfPath);
    return group;
}

int BuildAndFree(KbnUIGroupOption* group) {
    if (!group) return kbnErrNoMemory;
    int result = generateFLVPlayer(group);
    freeKbnUIGroupOption(&group);
    return result;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The preview folders this process made, one per program folder, removed with the
// process. A child made by fork neither uses nor removes its parent's folders.
class TPreviewFolders {
public:
    ~TPreviewFolders() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (owner_ != getpid()) return;
        for (auto& [program, folder] : made_) {
            std::error_code ec;
            fs::remove_all(folder, ec);
        }
    }

    std::string For(const std::string& programFolder) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (owner_ != getpid()) {
            made_.clear();
            owner_ = getpid();
        }
        auto it = made_.find(programFolder);
        if (it != made_.end() && OwnFolder(it->second)) return it->second;
        // The preview and its samples go below temp/, which a fresh or tidied program
        // folder may lack; mkdtemp gives a name no other run has, mode 0700. The name
        // carries the process id, so that a later run can tell the folders of runs that
        // ended without tidying up.
        platform::ForceDirectories(programFolder + "temp");
        RemoveEndedRuns(programFolder + "temp/");
        std::string pattern = programFolder + "temp/preview-" + std::to_string(getpid()) + "-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) return "";
        std::string folder = std::string(name.data()) + "/";
        made_[programFolder] = folder;
        return folder;
    }

private:
    // The preview folders of this user's runs whose process is gone (a run that was
    // killed); those of live processes, and anything else, stay.
    static void RemoveEndedRuns(const std::string& temp) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(temp, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("preview-", 0) != 0) continue;
            const char* digits = name.c_str() + 8;
            char* end = nullptr;
            long pid = std::strtol(digits, &end, 10);
            if (end == digits || *end != '-' || pid <= 0 || pid == getpid()) continue;
            if (!OwnFolder(entry.path().string()) || kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
            fs::remove_all(entry.path(), ec);
        }
    }

    // Still the folder this run made: a real folder of this user that no one else may enter.
    static bool OwnFolder(const std::string& folder) {
        struct stat info {};
        return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
               (info.st_mode & 077) == 0;
    }

    std::mutex mutex_;
    pid_t owner_ = getpid();
    std::map<std::string, std::string> made_;
};

}  // namespace

std::string PreviewFolder(const std::string& programFolder) {
    static TPreviewFolders folders;
    return folders.For(programFolder);
}

std::string PreviewPlayerPath(const std::string& programFolder) {
    std::string folder = PreviewFolder(programFolder);
    return folder.empty() ? "" : folder + "velmora.swf";
}

KbnUIGroupOption* FillGroupPlayer(const CustomSetting& cs, const std::string& swfBase, KbnUIGroupOption* group) {
    if (!group) return nullptr;
    RemoveFile(swfBase + ".swf");
    Put(group->outputPath, swfBase + ".swf");
    FillPlayerRecords(cs, group);
    FillCredits(cs, group, false, 0);
    FillOverlay(cs, group, FolderOf(swfBase), 0);
    group->isPreview = 0;
    return group;
}

KbnUIGroupOption* AddGroupMedia(const CustomSetting& cs, const std::string& outputPath, const std::string& title,
                                KbnUIGroupOption* group) {
    // The player reads the video as it was written: embedded players by its full path,
    // progressive players by its name beside the player.
    std::string video, picture;
    if (cs.SwfType == stEmbedded) {
        video = outputPath;
        picture = ThumbnailPath(outputPath);
    } else if (cs.SwfType == stProgressive) {
        video = FileName(outputPath);
        picture = FileName(ThumbnailPath(outputPath));
    }
    return AppendMedia(group, title, video, picture, cs.Width, cs.Height) ? group : nullptr;
}

KbnUIGroupOption* MakeItemPlayerGroup(const CustomSetting& cs, const std::string& outputPath, const std::string& title,
                                     int lengthSeconds) {
    KbnUIGroupOption* group = NewGroup(BasePath(outputPath) + ".swf");
    if (!group) return nullptr;
    FillPlayerRecords(cs, group);
    FillCredits(cs, group, false, 0);
    FillOverlay(cs, group, FolderOf(outputPath), lengthSeconds);
    AddGroupMedia(cs, outputPath, title, group);
    group->isPreview = 0;
    return group;
}

int GenerateItemPlayer(const CustomSetting& cs, const std::string& outputPath, const std::string& title,
                       int lengthSeconds) {
    return BuildAndFree(MakeItemPlayerGroup(cs, outputPath, title, lengthSeconds));
}

KbnUIGroupOption* MakePreviewPlayerGroup(const CustomSetting& cs, const std::string& programFolder, int browserWidth,
                                        int browserHeight) {
    const std::string folder = PreviewFolder(programFolder);
    if (folder.empty()) return nullptr;
    KbnUIGroupOption* group = NewGroup(folder + "velmora.swf");
    if (!group) return nullptr;
    FillPlayerRecords(cs, group);
    double area = static_cast<double>(browserWidth) * browserHeight;
    double ratio = area > 0 ? static_cast<double>(cs.Width) * cs.Height / area : 1.0;
    FillCredits(cs, group, true, ratio);
    // The samples are named by full path, so the preview never depends on the working folder.
    const std::string samples = programFolder + "templates/";
    if (cs.SwfType == stEmbedded) {
        AppendMedia(group, "velmoraQent", samples + "velmoraQent.flv", samples + "velmoraQent.jpg", 320, 240);
    } else if (cs.SwfType == stProgressive) {
        // A sample that cannot be copied is left out; an existing copy (or anything else
        // under its name) stays as it is.
        for (const char* name : {"velmoraQent.jpg", "velmoraQent.flv"})
            platform::CopyFile(samples + name, folder + name, true);
        AppendMedia(group, "velmoraQent", "velmoraQent.flv", "velmoraQent.jpg", 320, 240);
    } else {
        AppendMedia(group, "velmoraQent", "", "", 320, 240);
    }
    group->isPreview = 1;
    return group;
}

int GeneratePreviewPlayer(const CustomSetting& cs, const std::string& programFolder, int browserWidth,
                          int browserHeight) {
    if (PreviewFolder(programFolder).empty()) return kbnErrCannotWrite;
    return BuildAndFree(MakePreviewPlayerGroup(cs, programFolder, browserWidth, browserHeight));
}

}  // namespace jobmodel
