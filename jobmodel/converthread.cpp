#include "jobmodel/converthread.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "jobmodel/convertstate.h"
#include "jobmodel/htmlpage.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/outputnames.h"
#include "jobmodel/playerbridge.h"
#include "libs/morvmessage/morvmessage.h"
#include "platform/core/files.h"
#include "platform/windows/window.h"

namespace jobmodel {

namespace {

// The worker's own messages carry the result lines and the end of the run, so a full queue
// (the converter's progress messages can fill it) delays them instead of losing them. The
// wait is bounded: a window whose thread no longer reads its queue must not hold the worker
// for ever.
void PostUntilTaken(platform::HWND window, platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
    using namespace std::chrono;
    const auto giveUp = steady_clock::now() + seconds(10);
    while (!platform::PostMessage(window, message, wParam, lParam)) {
        if (!platform::IsWindow(window) || steady_clock::now() > giveUp) return;
        std::this_thread::sleep_for(milliseconds(1));
    }
}

namespace fs = std::filesystem;

const ConvertLibrary kRealLibrary;
std::atomic<const ConvertLibrary*> activeLibrary{&kRealLibrary};


int TrimmedLength(const MediaItem& item) { return item.timeRange ? item.timeRange->end - item.timeRange->start : 0; }

std::string FileStem(const std::string& path) { return fs::path(path).stem().string(); }

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// A converter job that is freed however the row ends.
class Job {
public:
    Job(const ConvertLibrary& lib, const DvdDisc* disc, const CustomSetting& cs) : lib_(lib) {
        lib_.createGroupForDvd(&group_, disc, cs.FormatName, cs.FormatNumber);
    }
    Job(const ConvertLibrary& lib, const char* format) : lib_(lib) { lib_.createGroup(&group_, format, 0); }
    ~Job() {
        if (group_) lib_.freeGroup(&group_);
    }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    GroupMediaUIOption* get() const { return group_; }
    std::string OutputPath() const { return group_ ? FieldText(group_->outputPath) : ""; }

private:
    const ConvertLibrary& lib_;
    GroupMediaUIOption* group_ = nullptr;
};

// A player record, freed with everything it holds however the row ends.
struct PlayerFree {
    void operator()(KbnUIGroupOption* player) const { freeKbnUIGroupOption(&player); }
};
using PlayerPtr = std::unique_ptr<KbnUIGroupOption, PlayerFree>;

PlayerPtr NewPlayer() {
    KbnUIGroupOption* player = nullptr;
    createKbnUIGroupOption(&player);
    return PlayerPtr(player);
}

// The crop, picture settings and streams of the row an input is made for.
void ApplyLook(const MediaItem& item, MediaUIOption& input) {
    if (item.crop) SetMediaCrop(*item.crop, input);
    if (item.effect) SetMediaEffect(*item.effect, input);
    input.audioId = item.audioId;
    input.subtitleId = item.subtitleId;
}

class RowConverter {
public:
    RowConverter(const ConvertRunSetup& setup, const ConvertLibrary& lib) : s_(setup), lib_(lib) {}

    void ConvertRow(PlannedRow& job) {
        MediaItem* row = &job.item;
        inHand_ = row;
        // A new row never works in the folder of the previous one.
        ConvertJobDir.clear();
        if ((row->kind == mkDvdTitle || row->kind == mkDvdChapter) && row->role == rrFile) ShareDestination(job);
        if (!row->customSetting) {
            ItemEnd(*row, prNoInput, 0);
            return;
        }
        switch (row->kind) {
            case mkMerge: Merge(job); break;
            case mkSlide: Slide(job); break;
            default: Single(job); break;
        }
    }

private:
    const CustomSetting& Cs(const MediaItem& row) const { return *row.customSetting; }

    // The DVD window's row of a job-list DVD row is the one sharing its time range.
    void ShareDestination(const PlannedRow& job) {
        if (!s_.dvdRows || !job.range) return;
        OnUiThread([&] {
            for (Row node = NextRowInOrder(*s_.dvdRows, nullptr); node; node = NextRowInOrder(*s_.dvdRows, node)) {
                MediaItem* item = s_.dvdRows->Item(node);
                if (item && item->timeRange == job.range) {
                    CopyTextField(item->row.destination, job.item.row.destination);
                    return;
                }
            }
        });
    }

    // A chapter of a DVD title as the trim left it: the input it gives.
    struct ChapterPart {
        const DvdChapter* chapter;
        TimeRange range;
    };

    // MapTrimToChapters over the DVD window's list, on the thread that owns it; the title's
    // chapters that give an input come back as values. False when the title is not there.
    bool MapTrim(const MediaItem& item, const MediaItem& trimmed, std::vector<ChapterPart>& parts) {
        bool found = false;
        if (s_.dvdRows) OnUiThread([&] {
            const Row title = MapTrimToChapters(*s_.dvdRows, item, trimmed);
            found = title != nullptr;
            JobRows& dvd = *s_.dvdRows;
            for (Row node = title ? dvd.FirstChild(title) : nullptr; node; node = dvd.NextSibling(node)) {
                const MediaItem* chapter = dvd.Item(node);
                if (chapter && chapter->timeRange && chapter->timeRange->end != 0)
                    parts.push_back({chapter->dvdChapter, *chapter->timeRange});
            }
        });
        return found;
    }

    // Runs `write` on the user-interface thread and waits for it: the rows of both lists
    // are read and written only there, never while that thread paints them or changes them.
    void OnUiThread(const std::function<void()>& write) {
        platform::SendMessage(s_.progressWindow, WM_CONVERT_TREE_WRITE, 0, reinterpret_cast<platform::LPARAM>(&write));
    }

    void Single(PlannedRow& planned) {
        MediaItem& row = planned.item;
        const CustomSetting& cs = Cs(row);
        Job job(lib_, row.dvdDisc, cs);
        const bool segment = row.role == rrSegment;
        int result = job.get() ? 0 : crInternalError;
        if (result == 0 && row.dvdKind == mkDvdTitle) {
            const MediaItem* parent = segment ? (planned.parent ? &planned.parent->item : nullptr) : &row;
            std::vector<ChapterPart> parts;
            const bool title = parent && MapTrim(*parent, segment ? row : *parent, parts);
            result = title ? PrepareGroupOutput(row, *job.get()) : prTitleNotFound;
            if (result == 0 && AddTitleInputs(job.get(), row, parts) == 0) result = prNoInput;
        } else if (result == 0 && row.dvdKind == mkDvdChapter) {
            MediaUIOption* input = lib_.createDvdInput(job.get(), row.dvdChapter);
            result = input ? PrepareChapterOutput(row, *job.get(), *input, false, segment) : prNoInput;
        } else if (result == 0) {
            result = PrepareGroupOutput(row, *job.get());
            if (result == 0 && !AddFileInput(job.get(), row)) result = prNoInput;
        }
        const int length = TrimmedLength(row);
        ItemStart(length);
        if (result == 0) result = ConvertAndFinish(job, cs, JobName(row), length);
        if (result == 0) result = WritePage(cs, JobName(row), FileStem(job.OutputPath()));
        ItemEnd(row, result, length);
        CleanUp(cs);
    }

    void Merge(PlannedRow& planned) {
        MediaItem& row = planned.item;
        const CustomSetting& cs = Cs(row);
        Job job(lib_, row.dvdDisc, cs);
        int result = job.get() ? PrepareGroupOutput(row, *job.get()) : crInternalError;
        int length = 0, inputs = 0;
        for (const auto& member : planned.members) {
            // A member that cannot give its input would leave a hole in the merged video.
            if (result == 0) result = AddMemberInputs(job.get(), *member, inputs);
            length += TrimmedLength(member->item);
        }
        if (result == 0 && inputs == 0) result = prNoInput;
        ItemStart(length);
        if (result == 0) result = ConvertAndFinish(job, cs, FieldText(row.name), length);
        if (result == 0) result = WritePage(cs, JobName(row), FileStem(job.OutputPath()));
        ItemEnd(row, result, length);
        CleanUp(cs);
    }

    void Slide(PlannedRow& planned) {
        MediaItem& row = planned.item;
        const CustomSetting& cs = Cs(row);
        const auto& members = planned.members;
        if (!MakeJobFolder(FieldText(row.name))) {
            ItemStart(0);
            ItemEnd(row, prJobFolderFailed, 0);
            return;
        }
        // The show's player takes the group's name; the name it finally got is kept.
        const std::string playerPath =
            UniqueOutputPath(row, ConvertJobDir + PathPart(FieldText(row.name)) + ".swf");
        // The members take the show's option record.
        CopyTextField(row.name, FileStem(playerPath).c_str());
        for (const auto& member : members)
            if (member->item.customSetting != row.customSetting) {
                Drop(member->item.customSetting);
                member->item.customSetting = Share(row.customSetting);
            }
        OnUiThread([&] {
            // The row, if it is still there, takes the name too, and its members the show's
            // option record.
            const Row show = s_.jobRows ? FindRowOf(*s_.jobRows, planned.record) : nullptr;
            if (!show) return;
            MediaItem& shown = *s_.jobRows->Item(show);
            CopyTextField(shown.name, row.name);
            for (Row child = s_.jobRows->FirstChild(show); child; child = s_.jobRows->NextSibling(child)) {
                MediaItem* member = s_.jobRows->Item(child);
                if (member && member->customSetting != shown.customSetting) {
                    Drop(member->customSetting);
                    member->customSetting = Share(shown.customSetting);
                }
            }
        });
        PlayerPtr player = NewPlayer();
        FillGroupPlayer(cs, ConvertJobDir + FileStem(playerPath), player.get());

        int showLength = 0, added = 0;
        int lastResult = 0;
        for (std::size_t i = 0; i < members.size(); ++i) {
            MediaItem& member = members[i]->item;
            inHand_ = &member;
            Job job(lib_, member.dvdDisc, cs);
            int inputs = 0;
            int result = job.get() ? PrepareMemberOutput(member, *job.get()) : crInternalError;
            if (result == 0) result = AddMemberInputs(job.get(), *members[i], inputs);
            if (result == 0 && inputs == 0) result = prNoInput;
            const int length = TrimmedLength(member);
            showLength += length;
            ItemStart(length);
            if (result == 0) result = Convert(job, cs.FormatName, job.get()->formatNumber);
            if (result == 0) result = Thumbnail(cs, job.OutputPath());
            if (result == 0) {
                const std::string path = job.OutputPath();
                if (player && AddGroupMedia(cs, path, FileStem(path), player.get()))
                    ++added;
                else
                    result = prPlayerFailed;
            }
            // The last member's line also tells how the show's player and page went.
            if (i + 1 < members.size())
                ItemEnd(member, result, length);
            else
                lastResult = result;
        }
        int showResult = 0;
        if (cs.IsGeneralSwf && added > 0) {
            if (player->overlay) player->overlay->endTime = showLength;
            showResult = PlayerResult(lib_.generatePlayer(player.get()));
        }
        player.reset();
        if (showResult == 0 && added > 0) showResult = WritePage(cs, JobName(row), FileStem(playerPath));
        if (!members.empty())
            ItemEnd(members.back()->item, lastResult ? lastResult : showResult, TrimmedLength(members.back()->item));
        CleanUp(cs);
    }

    // Conversion, thumbnail and player of a single or merged row; 0 or the first failure.
    int ConvertAndFinish(const Job& job, const CustomSetting& cs, const std::string& title, int length) {
        int result = Convert(job, cs.FormatName, job.get()->formatNumber);
        if (result == 0) result = Thumbnail(cs, job.OutputPath());
        if (result == 0 && cs.IsGeneralSwf) {
            PlayerPtr player(MakeItemPlayerGroup(cs, job.OutputPath(), title, length));
            result = player ? PlayerResult(lib_.generatePlayer(player.get())) : prPlayerFailed;
        }
        return result;
    }

    // A converter job; when it fails, the converter's own words on why are kept for the
    // item's line.
    int Convert(const Job& job, const char* format, int number) {
        const int result = lib_.convert(job.get(), format, number);
        if (result != 0 && result != crCancelled && reason_.empty()) {
            char text[512] = {};
            if (lib_.failureText(job.get(), text, sizeof text) > 0) reason_ = text;
        }
        return result;
    }

    static int PlayerResult(int code) {
        if (code == 0) return 0;
        return code >= kbnErrNoSoundStream && code <= kbnErrNoMemory ? code : prPlayerFailed;
    }

    // One picture of the converted video beside it, when thumbnails are asked for.
    int Thumbnail(const CustomSetting& cs, const std::string& outputPath) {
        if (!cs.IsGeneralThumbnail) return 0;
        Job job(lib_, "image2");
        const std::string picture = ThumbnailPath(outputPath);
        if (!job.get() || picture.size() >= sizeof job.get()->outputPath) return prThumbnailFailed;
        if (!lib_.createFileInput(job.get(), outputPath.c_str())) return prThumbnailFailed;
        CopyTextField(job.get()->outputPath, picture.c_str());
        job.get()->thumbnail = 1;
        job.get()->prepared = 1;
        const int result = Convert(job, "image2", 0);
        // A cancel during the picture is the row's cancel, not a failed thumbnail.
        if (result == crCancelled) return crCancelled;
        if (result != 0 || !IsFile(picture)) return prThumbnailFailed;
        return 0;
    }

    // The page that embeds the player `movie` (its file name without ".swf"), with the
    // page script beside it, when both the player and the page are asked for.
    int WritePage(const CustomSetting& cs, const std::string& name, const std::string& movie) {
        if (!cs.IsGeneralSwf || !cs.IsGeneralHtml || ConvertJobDir.empty()) return 0;
        CreateHtmlPlayingSWF page;
        page.SetTitle(name);
        page.SetMovie(movie);
        char colour[8];
        std::snprintf(colour, sizeof colour, "%02x%02x%02x", cs.BackgrounColor.r & 0xFF, cs.BackgrounColor.g & 0xFF,
                      cs.BackgrounColor.b & 0xFF);
        page.SetBgColor(colour);
        // Through a new file renamed into place: whatever lies under the script's name
        // (a link included) is replaced, never written through.
        if (!platform::CopyFile(s_.programFolder + "templates/AC_RunActiveContent.js",
                                ConvertJobDir + "AC_RunActiveContent.js", false))
            return prScriptCopyFailed;
        page.SetPlayerWidth(cs.Width);
        page.SetPlayerHeight(cs.Height);
        page.SetPluginVersion("7,0,0,0");
        try {
            page.SaveHtml(PagePath(ConvertJobDir, name));
        } catch (const std::exception&) {
            return prPageFailed;
        }
        return 0;
    }

    // Without FLV output the job folder loses its FLV files, except the one a
    // progressive player streams: that player would have nothing to play.
    void CleanUp(const CustomSetting& cs) {
        if (cs.IsGeneralFlv || ConvertJobDir.empty()) return;
        if (cs.IsGeneralSwf && cs.SwfType == stProgressive) return;
        std::error_code ec;
        for (fs::directory_iterator it(ConvertJobDir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code ignored;
            if (it->path().extension() == ".flv" && it->is_regular_file(ignored)) fs::remove(it->path(), ignored);
        }
    }

    // Inputs of one chapter range per chapter of the title that the range reaches.
    int AddTitleInputs(GroupMediaUIOption* group, const MediaItem& look, const std::vector<ChapterPart>& parts) {
        int count = 0;
        for (const ChapterPart& part : parts) {
            MediaUIOption* input = lib_.createDvdInput(group, part.chapter);
            if (!input) continue;
            SetMediaTrim(part.range, *input);
            ApplyLook(look, *input);
            ++count;
        }
        return count;
    }

    bool AddFileInput(GroupMediaUIOption* group, const MediaItem& item) {
        if (!item.mediaInfo || item.mediaInfo->path[0] == 0) return false;
        MediaUIOption* input = lib_.createFileInput(group, FieldText(item.mediaInfo->path).c_str());
        if (!input) return false;
        if (item.timeRange) SetMediaTrim(*item.timeRange, *input);
        ApplyLook(item, *input);
        return true;
    }

    // Adds a group member's inputs; 0 or why it has none.
    int AddMemberInputs(GroupMediaUIOption* group, PlannedRow& planned, int& inputs) {
        const MediaItem& member = planned.item;
        const bool fromSegment = member.sourceKind == mkSegment;
        const bool needsSegment = fromSegment && member.dvdKind != 0;
        const MediaItem* segment = needsSegment && planned.segment ? &planned.segment->item : nullptr;
        if (needsSegment && !segment) return prSegmentNotFound;
        if (member.dvdKind == mkDvdTitle) {
            const MediaItem* parent = segment ? &planned.segment->parent->item : &member;
            std::vector<ChapterPart> parts;
            if (!MapTrim(*parent, segment ? *segment : *parent, parts)) return prTitleNotFound;
            inputs += AddTitleInputs(group, member, parts);
        } else if (member.dvdKind == mkDvdChapter) {
            MediaUIOption* input = lib_.createDvdInput(group, segment ? segment->dvdChapter : member.dvdChapter);
            if (!input) return prNoInput;
            if (segment && segment->timeRange) {
                SetMediaTrim(*segment->timeRange, *input);
            } else {
                input->trimStart = 0;
                input->trimLength = member.mediaInfo ? member.mediaInfo->durationSeconds : 0;
            }
            ApplyLook(member, *input);
            ++inputs;
        } else {
            // A plain file member: its own copy of the source's range is its trim.
            if (!AddFileInput(group, member)) return prNoInput;
            ++inputs;
        }
        return 0;
    }

public:
    // The line of the item in hand when an error stopped it before its line was posted.
    void Abort(int result) {
        if (inHand_) ItemEnd(*inHand_, result, 0);
    }

private:
    void Post(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
        PostUntilTaken(s_.progressWindow, message, wParam, lParam);
    }

    void ItemStart(int length) { Post(WM_CONVERT_ITEM_BAR, static_cast<platform::WPARAM>(length), 0); }

    void ItemEnd(MediaItem& item, int result, int length) {
        if (result != 0 && !reason_.empty())
            platform::SendMessage(s_.progressWindow, WM_CONVERT_ITEM_REASON, reinterpret_cast<platform::WPARAM>(item.name),
                                  reinterpret_cast<platform::LPARAM>(reason_.c_str()));
        reason_.clear();
        Post(WM_CONVERT_ITEM_BAR, static_cast<platform::WPARAM>(length), length);
        Post(WM_CONVERT_ITEM_DONE, static_cast<platform::WPARAM>(result), reinterpret_cast<platform::LPARAM>(item.name));
        TotalConvertedSeconds += length;
        inHand_ = nullptr;
    }

    const ConvertRunSetup& s_;
    const ConvertLibrary& lib_;
    // The item whose line is still to come (a slide show's member in hand).
    MediaItem* inHand_ = nullptr;
    // The converter's words on the first failure of the item in hand.
    std::string reason_;
};

}  // namespace

const ConvertLibrary& ActiveConvertLibrary() { return *activeLibrary.load(); }
void SetConvertLibrary(const ConvertLibrary* library) { activeLibrary = library ? library : &kRealLibrary; }

std::int32_t QueryConvertCancel() { return CancelState.load(); }

ConverThread::ConverThread(ConvertRunSetup setup) : platform::TThread(true), setup_(std::move(setup)) {
    if (setup_.jobRows) plan_ = MakeConvertPlan(*setup_.jobRows);
    SetFreeOnTerminate(false);
    Resume();
}

ConverThread::~ConverThread() {
    if (!Suspended()) WaitFor();
}

void ConverThread::Execute() {
    const ConvertLibrary& lib = ActiveConvertLibrary();
    // Exactly one end message, however the run ends.
    struct EndOfRun {
        platform::HWND window;
        ~EndOfRun() { PostUntilTaken(window, WM_CONVERT_ALL_DONE, 0, 0); }
    } end{setup_.progressWindow};

    const ProgressHandle handle{&QueryConvertCancel, setup_.progressWindow};
    lib.setMessagePoster(&platform::PostMessage);
    lib.setProgressHandle(&handle);
    TotalConvertedSeconds = 0;
    {
        RowConverter run(setup_, lib);
        try {
            for (const auto& job : plan_.jobs) {
                if (CancelState.load() == 1) break;
                run.ConvertRow(*job);
            }
        } catch (...) {
            // The run stops at the item in hand: it gets its line like any failed item,
            // the rows done so far keep theirs, and the window still hears the end.
            run.Abort(prRowAborted);
        }
    }
    lib.setProgressHandle(nullptr);
}

}  // namespace jobmodel
