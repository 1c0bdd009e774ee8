#include "jobmodel/dvdload.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"
#include "platform/windows/devicemonitor.h"

namespace jobmodel {


namespace {

const DvdLibrary kRealDvdLibrary{};
std::atomic<const DvdLibrary*> g_library{&kRealDvdLibrary};

Row DiscRow(const JobRows& rows) { return rows.FirstChild(nullptr); }

// Mount-table fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '7' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::string Normal(const std::string& path) {
    std::string p = std::filesystem::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// The converter's media information for one chapter of the row's disc.
MediaInfo* ProbeDvdChapter(const DvdDisc* disc, const DvdChapter* chapter) {
    const DvdLibrary& lib = ActiveDvdLibrary();
    MediaInfo* info = NewMediaInfo();
    GroupMediaUIOption* group = nullptr;
    if (!lib.createGroupForDvd(&group, disc, nullptr, 0) || !group) return info;
    if (MediaUIOption* input = lib.createDvdInput(group, chapter)) {
        input->subtitleId = 0;
        input->audioId = 0;
    }
    info->group = group;
    lib.getDVDProperties(info);
    info->group = nullptr;  // the group lives only for this query
    lib.freeGroup(&group);
    return info;
}

const DvdChapter* FirstChapter(const MediaItem& row) {
    if (row.dvdChapter) return row.dvdChapter;
    return row.dvdTitle && row.dvdTitle->chapterCount > 0 ? row.dvdTitle->chapters : nullptr;
}

// The lengths the reader knows, written over a probe's.
void SetDvdDuration(MediaInfo& info, const MediaItem& row) {
    if (row.dvdChapter) {
        info.durationSeconds = row.dvdChapter->lengthSeconds;
        info.duration = row.dvdChapter->lengthMs / 1000.0;
    } else if (row.dvdTitle) {
        info.durationSeconds = row.dvdTitle->lengthSeconds;
        info.duration = row.dvdTitle->lengthSeconds;
    }
}

// Rows of one title set share the set's stream attributes: the first row of a set is
// probed, the others take a copy with their own lengths.
struct MediaInfoCache {
    std::map<const DvdTitleSet*, MediaInfo*> bySet;
    ~MediaInfoCache() {
        for (auto& [set, info] : bySet) Drop(info);
    }
    void Fill(MediaItem& row) {
        if (row.mediaInfo) return;
        auto it = bySet.find(row.dvdTitleSet);
        if (it == bySet.end()) {
            CreateDvdMediaInfo(row);
            bySet[row.dvdTitleSet] = Share(row.mediaInfo);
            return;
        }
        MediaInfo* info = NewMediaInfo();
        std::memcpy(static_cast<void*>(info), it->second, sizeof(MediaInfo));
        SetDvdDuration(*info, row);
        row.mediaInfo = info;
    }
};

void SetUpDvdRow(MediaItem& row, MediaItemKind kind, const std::string& name, const char* length,
                 std::uint8_t checkState, MediaInfoCache& cache) {
    row.kind = kind;
    row.dvdKind = kind;
    SetRowRole(row, kind == mkDvdTitle ? rrDvdTitle : rrDvdChapter);
    cache.Fill(row);
    CreateItemSettings(row, row.mediaInfo);
    const DvdTitle& t = *row.dvdTitle;
    row.subtitleId = t.subtitleCount > 0 ? t.subtitles[0].id : -1;
    row.audioId = t.audioCount > 0 ? t.audio[0].id : -1;
    CopyTextField(row.name, name.c_str());
    SetItemRow(row.row, name.c_str(), length, length, name.c_str(), 2, checkState);
}

void ForgetLoadedDvd(DvdLoadState& state) {
    state.loadedPath.clear();
    state.loadedDisc = nullptr;
}

void Parse(DvdLoadState& state, JobRows& dvdTree, const std::string& path, bool ifo, JobHost& host) {
    const DvdLibrary& lib = ActiveDvdLibrary();
    ClearItemTree(dvdTree);
    DvdDisc* disc = nullptr;
    const std::int32_t r = ifo ? lib.parseIFO(&disc, path.c_str(), 0) : lib.parseDVD(&disc, path.c_str(), 0);
    if (r != 0 || !disc) {
        // The tree was cleared: the same path must parse again next time.
        ForgetLoadedDvd(state);
        host.ShowMessage("Can't load the DVD (" + std::string(dvdReadErrorText(r ? r : DVD_ERR_NOT_A_DVD)) +
                         "): " + path);
        return;
    }
    BuildDvdTree(dvdTree, disc, host);
    state.reopen = false;
    state.loadedPath = path;
    state.loadedDisc = disc;
    host.ShowDvdWindow();
}

void LoadDvd(DvdLoadState& state, JobRows& dvdTree, const std::string& path, bool ifo, JobHost& host) {
    if (state.loadedPath.empty()) {
        Parse(state, dvdTree, path, ifo, host);
        return;
    }
    const bool yes = host.AskYesNo(kReplaceDvdText, kReplaceDvdCaption);
    const bool same = path == state.loadedPath;
    if (same && !yes) return;
    if (!same && yes) {
        Parse(state, dvdTree, path, ifo, host);
        return;
    }
    state.reopen = true;
    host.ShowDvdWindow();
}

}  // namespace

const DvdLibrary& ActiveDvdLibrary() { return *g_library.load(); }
void SetDvdLibrary(const DvdLibrary* library) { g_library.store(library ? library : &kRealDvdLibrary); }

// ---- drives ----

bool BuildDriveMenu(DvdLoadState& state, std::vector<DriveMenuEntry>& entries) {
    entries.clear();
    DvdDriveList list{};
    if (ActiveDvdLibrary().getAllDVDRomInfo(&list) != 0) return false;
    state.driveCount = list.count;
    state.nonDvdDriveCount = 0;
    for (int i = 0; i < list.count && i < DVD_MAX_DRIVES; ++i) {
        const DvdDriveEntry& e = list.entries[i];
        if (!e.listed) {
            ++state.nonDvdDriveCount;
            continue;
        }
        entries.push_back({std::string(1, e.driveId) + ":\\" + FieldText(e.text), e.driveId});
    }
    return true;
}

std::string DriveRootOf(char driveId) { return std::string(1, driveId) + ":\\"; }

char DriveIdOfPath(const std::string& path, const std::string& systemRoot) {
    if (path.size() >= 2 && path.size() <= 3 && path[1] == ':' && (path.size() == 2 || path[2] == '\\' || path[2] == '/')) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        return c >= 'A' && c <= 'Z' ? c : 0;
    }
    if (path.empty() || path[0] != '/') return 0;
    const std::string target = Normal(path);
    std::ifstream mounts(std::filesystem::path(systemRoot) / "proc/self/mounts");
    char best = 0;
    size_t bestLength = 0;
    for (std::string line; std::getline(mounts, line);) {
        const size_t space1 = line.find(' ');
        if (space1 == std::string::npos) continue;
        const size_t space2 = line.find(' ', space1 + 1);
        const char id = platform::OpticalDriveId(UnescapeMountField(line.substr(0, space1)));
        if (!id) continue;
        const std::string mount = Normal(UnescapeMountField(line.substr(space1 + 1, space2 - space1 - 1)));
        const bool inside = target == mount || (target.rfind(mount, 0) == 0 && (mount == "/" || target[mount.size()] == '/'));
        if (inside && mount.size() >= bestLength) {
            best = id;
            bestLength = mount.size();
        }
    }
    return best;
}

// ---- the DVD tree ----

std::string DvdRowName(const DvdTitle& title, const DvdChapter* chapter) {
    const std::string ifo = title.ifoPath ? title.ifoPath : "";
    const size_t slash = ifo.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? ifo : ifo.substr(slash + 1);
    const size_t underscore = file.find('_');
    const std::string volume = underscore == std::string::npos ? "" : file.substr(underscore + 1, 2);
    char number[32];
    std::snprintf(number, sizeof number, "_%02d", title.titleNumber + 1);
    if (!chapter) return "title_" + volume + number;
    char chapterNumber[16];
    std::snprintf(chapterNumber, sizeof chapterNumber, "_%02d", chapter->number + 1);
    return "chapter_" + volume + number + chapterNumber;
}

void CreateDvdMediaInfo(MediaItem& row) {
    if (row.mediaInfo) return;
    row.mediaInfo = ProbeDvdChapter(row.dvdDisc, FirstChapter(row));
    if (row.kind == mkDvdTitle && row.dvdTitle) row.mediaInfo->durationSeconds = row.dvdTitle->lengthSeconds;
}

void BuildDvdTree(JobRows& dvdTree, DvdDisc* disc, JobHost& host) {
    host.LoadOptionRecord();
    ClearItemTree(dvdTree);
    Row root = dvdTree.Add(nullptr);
    MediaItem& discRow = *dvdTree.Item(root);
    InitMediaItem(discRow);
    SetRowRole(discRow, rrDisc);
    discRow.dvdDisc = disc;
    SetItemRow(discRow.row, FieldText(disc->path).c_str(), nullptr, nullptr, nullptr, 0, 2);
    dvdTree.TakeCheckFromItem(root);

    MediaInfoCache cache;
    std::vector<Row> titles;
    for (int s = 0; s < disc->titleSetCount; ++s) {
        DvdTitleSet& set = disc->titleSets[s];
        for (int t = 0; t < set.titleCount; ++t) {
            DvdTitle& title = set.titles[t];
            if (!title.present) continue;
            Row titleNode = dvdTree.Add(root);
            titles.push_back(titleNode);
            MediaItem& titleRow = *dvdTree.Item(titleNode);
            titleRow.dvdTitleNumber = title.titleNumber;
            // InitMediaItem clears the DVD pointers: set them again after it.
            const auto keep = [&](MediaItem& row, DvdChapter* chapter) {
                row.dvdDisc = disc;
                row.dvdTitleSet = &set;
                row.dvdTitle = &title;
                row.dvdChapter = chapter;
            };
            InitMediaItem(titleRow);
            keep(titleRow, nullptr);
            SetUpDvdRow(titleRow, mkDvdTitle, DvdRowName(title, nullptr), FieldText(title.lengthText).c_str(), 2, cache);
            dvdTree.TakeCheckFromItem(titleNode);
            for (int c = 0; c < title.chapterCount; ++c) {
                DvdChapter& chapter = title.chapters[c];
                if (!chapter.present) continue;
                Row chapterNode = dvdTree.Add(titleNode);
                MediaItem& chapterRow = *dvdTree.Item(chapterNode);
                InitMediaItem(chapterRow);
                keep(chapterRow, &chapter);
                chapterRow.dvdTitleNumber = title.titleNumber;
                chapterRow.dvdChapterNumber = chapter.number;
                SetUpDvdRow(chapterRow, mkDvdChapter, DvdRowName(title, &chapter),
                            FieldText(chapter.lengthText).c_str(), 0, cache);
                dvdTree.TakeCheckFromItem(chapterNode);
            }
        }
    }
    dvdTree.SetExpanded(root, true);
    for (Row t : titles) dvdTree.SetExpanded(t, true);
    dvdTree.ClearSelection();
    if (!titles.empty()) {
        dvdTree.SetSelected(titles.front(), true);
        dvdTree.Focus(titles.front());
    }
}

void LoadDvdFolder(DvdLoadState& state, JobRows& jobTree, JobRows& dvdTree, const std::string& path, JobHost& host) {
    state.currentDrive = DriveIdOfPath(path, state.systemRoot);
    host.StopPreview();
    if (!jobTree.FirstChild(nullptr)) state.loadedPath.clear();
    LoadDvd(state, dvdTree, path, false, host);
}

void LoadIfoFile(DvdLoadState& state, JobRows&, JobRows& dvdTree, const std::string& path, JobHost& host) {
    host.StopPreview();
    LoadDvd(state, dvdTree, path, true, host);
}

// ---- device changes ----

int RemoveDiscRows(JobRows& jobTree, const DvdDisc* disc) {
    if (!disc) return 0;
    std::vector<Row> rows;
    int top = 0;
    for (Row row = NextRowInOrder(jobTree, nullptr); row; row = NextRowInOrder(jobTree, row)) {
        const MediaItem* item = jobTree.Item(row);
        if (!item || item->dvdDisc != disc) continue;
        const bool dvdRow = !jobTree.Parent(row) && (item->kind == mkDvdTitle || item->kind == mkDvdChapter);
        if (dvdRow || IsGroupMember(*item)) {
            rows.push_back(row);
            if (dvdRow) ++top;
        }
    }
    DeleteRows(jobTree, rows);
    return top;
}

void RunPendingDvdRemoval(DvdLoadState& state, JobRows& jobTree, JobHost& host) {
    if (!state.removalPending || host.ModalOpen()) return;
    state.removalPending = false;
    const char drive = state.currentDrive;
    const int removed = RemoveDiscRows(jobTree, state.loadedDisc);
    ForgetLoadedDvd(state);
    state.currentDrive = 0;
    if (removed > 0)
        host.ShowMessage("The DVD in drive " + std::string(1, drive) +
                         ": was removed; its titles and chapters were taken off the list.");
}

std::intptr_t OnDeviceChange(DvdLoadState& state, JobRows& jobTree, std::uintptr_t event, std::intptr_t driveId,
                             JobHost& host) {
    state.deviceChangeSeen = true;
    if (event != platform::DBT_DEVICEARRIVAL && event != platform::DBT_DEVICEREMOVECOMPLETE) return 0;
    std::vector<DriveMenuEntry> entries;
    BuildDriveMenu(state, entries);
    host.DriveMenuChanged(entries);
    for (const auto& e : entries)
        if (e.driveId == state.currentDrive) state.deviceChangeSeen = false;
    if (event != platform::DBT_DEVICEREMOVECOMPLETE || !state.currentDrive || !state.loadedDisc) return 0;
    // The event names its drive when it knows it; else the drive went when it is no
    // longer listed. A removal elsewhere leaves the list alone.
    const bool went = driveId ? driveId == state.currentDrive : state.deviceChangeSeen;
    if (!went) return 0;
    state.removalPending = true;
    RunPendingDvdRemoval(state, jobTree, host);
    return 0;
}

// ---- the player's title record, time ranges, stream menus ----

bool FillDvdPlaybackInfo(DvdPlaybackInfo& info, const MediaItem& row) {
    if (!row.dvdTitle) return false;
    const DvdTitle& t = *row.dvdTitle;
    info = DvdPlaybackInfo{};
    info.titleNumberPlus1 = t.titleNumber + 1;
    info.ifoPath = t.ifoPath;
    info.titleSetNumber = t.titleSetNumber;
    info.titleSetTitle = t.titleSetTitle;
    info.chapterCount = t.chapterCount;
    info.chapters = t.chapters;
    info.subtitleId = row.subtitleId;
    info.audioId = row.audioId;
    std::memcpy(info.palette, t.palette, sizeof info.palette);
    return true;
}

bool FillSelectedDvdPlaybackInfo(DvdPlaybackInfo& info, JobRows& rows, bool skipRoot) {
    Row row = rows.FirstSelected();
    if (!row) row = rows.FirstChild(nullptr);
    if (!row || (skipRoot && row == rows.FirstChild(nullptr))) return false;
    return FillDvdPlaybackInfo(info, *rows.Item(row));
}

void ResetDvdTimeRanges(JobRows& dvdTree) {
    Row disc = DiscRow(dvdTree);
    if (!disc) return;
    auto reset = [&](Row node) {
        MediaItem* row = dvdTree.Item(node);
        if (row && row->timeRange) *row->timeRange = {0, row->mediaInfo ? row->mediaInfo->durationSeconds : 0};
    };
    for (Row title = dvdTree.FirstChild(disc); title; title = dvdTree.NextSibling(title)) {
        for (Row chapter = dvdTree.FirstChild(title); chapter; chapter = dvdTree.NextSibling(chapter)) reset(chapter);
        reset(title);
    }
}

StreamMenus ItemStreamMenus(const MediaItem& row) {
    StreamMenus menus;
    if (row.kind == mkMerge || row.kind == mkSlide) {
        menus.moveEnabled = !IsGroupRole(row.role);
        return menus;
    }
    menus.streamsEnabled = true;
    if (const DvdTitle* t = row.dvdTitle) {
        for (int i = 0; i < t->audioCount && i < DVD_MAX_AUDIO_STREAMS; ++i)
            menus.audio.emplace_back(FieldText(t->audio[i].name), t->audio[i].id);
        for (int i = 0; i < t->subtitleCount && i < DVD_MAX_SUBTITLE_STREAMS; ++i)
            menus.subtitles.emplace_back(FieldText(t->subtitles[i].name), t->subtitles[i].id);
    }
    if (menus.audio.empty()) menus.audio.emplace_back("No Audio", -1);
    menus.subtitles.emplace_back("No Subtitle", -1);
    return menus;
}

void PropagateTrackChoice(JobRows& jobTree, const MediaItem& row) {
    const std::string name = FieldText(row.name);
    for (Row group = jobTree.FirstChild(nullptr); group; group = jobTree.NextSibling(group)) {
        const MediaItem* g = jobTree.Item(group);
        if (!g || (g->kind != mkMerge && g->kind != mkSlide)) continue;
        for (Row node = jobTree.FirstChild(group); node; node = jobTree.NextSibling(node)) {
            MediaItem& member = *jobTree.Item(node);
            if (&member == &row || FieldText(member.name) != name) continue;
            member.subtitleId = row.subtitleId;
            member.audioId = row.audioId;
        }
    }
}

void ApplyStreamChoice(JobRows& jobTree, bool audio, int tag) {
    Row node = jobTree.FirstSelected();
    if (!node) return;
    MediaItem& row = *jobTree.Item(node);
    (audio ? row.audioId : row.subtitleId) = tag;
    PropagateTrackChoice(jobTree, row);
}

// ---- the DVD window's records ----

std::vector<std::string> DvdAudioEntries(const MediaItem& row) {
    std::vector<std::string> entries;
    if (const DvdTitle* t = row.dvdTitle)
        for (int i = 0; i < t->audioCount && i < DVD_MAX_AUDIO_STREAMS; ++i) entries.push_back(FieldText(t->audio[i].name));
    if (entries.empty()) entries.push_back("No Audio");
    return entries;
}

std::vector<std::string> DvdSubtitleEntries(const MediaItem& row) {
    std::vector<std::string> entries;
    if (const DvdTitle* t = row.dvdTitle)
        for (int i = 0; i < t->subtitleCount && i < DVD_MAX_SUBTITLE_STREAMS; ++i)
            entries.push_back(FieldText(t->subtitles[i].name));
    entries.push_back("No Subtitle");
    return entries;
}

int SelectedAudioEntry(const MediaItem& row) {
    if (const DvdTitle* t = row.dvdTitle; t && row.audioId != -1)
        for (int i = 0; i < t->audioCount && i < DVD_MAX_AUDIO_STREAMS; ++i)
            if (t->audio[i].id == row.audioId) return i;
    return 0;
}

int SelectedSubtitleEntry(const MediaItem& row) {
    const int none = static_cast<int>(DvdSubtitleEntries(row).size()) - 1;
    if (const DvdTitle* t = row.dvdTitle; t && row.subtitleId != -1)
        for (int i = 0; i < t->subtitleCount && i < DVD_MAX_SUBTITLE_STREAMS; ++i)
            if (t->subtitles[i].id == row.subtitleId) return i;
    return none;
}

namespace {

void ChooseStream(JobRows& dvdTree, Row node, bool audio, int index) {
    MediaItem* row = dvdTree.Item(node);
    if (!row || !row->dvdTitle || index < 0) return;
    const DvdTitle& t = *row->dvdTitle;
    const int count = std::min(audio ? t.audioCount : t.subtitleCount, 32);
    // Entry i is stream i; after them the subtitles' "No Subtitle", or "No Audio" alone.
    const int entries = audio ? std::max(count, 1) : count + 1;
    if (index >= entries) return;
    const int id = index < count ? (audio ? t.audio[index].id : t.subtitles[index].id) : -1;
    (audio ? row->audioId : row->subtitleId) = id;
    if (row->kind == mkDvdTitle)
        for (Row chapter = dvdTree.FirstChild(node); chapter; chapter = dvdTree.NextSibling(chapter))
            (audio ? dvdTree.Item(chapter)->audioId : dvdTree.Item(chapter)->subtitleId) = id;
}

}  // namespace

void ChooseAudioEntry(JobRows& dvdTree, Row node, int index) { ChooseStream(dvdTree, node, true, index); }
void ChooseSubtitleEntry(JobRows& dvdTree, Row node, int index) { ChooseStream(dvdTree, node, false, index); }

DvdNavButtons DvdNavigation(const JobRows& dvdTree, Row sel) {
    DvdNavButtons b;
    Row disc = DiscRow(dvdTree);
    if (!sel) return b;
    if (sel == disc) {
        b.previous = b.next = NavButton::Disabled;
        return b;
    }
    b.play = true;
    Row parent = dvdTree.Parent(sel);
    if (disc && sel == dvdTree.FirstChild(disc)) {
        b.previous = NavButton::Disabled;
        b.next = NavButton::Enabled;
    } else if (dvdTree.NextSibling(sel)) {
        b.previous = b.next = NavButton::Enabled;
    } else if (dvdTree.FirstChild(sel)) {
        b.next = NavButton::Enabled;
    } else if (parent && dvdTree.NextSibling(parent)) {
        // the last chapter of a title that is not the last: both stay
    } else {
        b.previous = NavButton::Enabled;
        b.next = NavButton::Disabled;
    }
    return b;
}

Row PreviousDvdRow(const JobRows& dvdTree, Row sel) {
    Row disc = DiscRow(dvdTree);
    if (!sel || sel == disc || (disc && sel == dvdTree.FirstChild(disc))) return nullptr;
    if (Row before = dvdTree.PreviousSibling(sel))
        return dvdTree.Expanded(before) && dvdTree.LastChild(before) ? dvdTree.LastChild(before) : before;
    return dvdTree.Parent(sel);
}

Row NextDvdRow(const JobRows& dvdTree, Row sel) {
    if (!sel) return nullptr;
    if (dvdTree.Expanded(sel) && dvdTree.FirstChild(sel)) return dvdTree.FirstChild(sel);
    if (Row next = dvdTree.NextSibling(sel)) return next;
    Row parent = dvdTree.Parent(sel);
    return parent ? dvdTree.NextSibling(parent) : nullptr;
}

void CopyCheckedToJobList(JobRows& dvdTree, JobRows& jobTree) {
    ClearItemTree(jobTree);
    Row disc = DiscRow(dvdTree);
    for (Row node : dvdTree.CheckedRows()) {
        if (node == disc) continue;
        MediaItem& from = *dvdTree.Item(node);
        // The name up to its first "." and ".flv": a second OK gives the same name.
        std::string destination = FieldText(from.row.destination);
        destination = destination.substr(0, destination.find('.')) + ".flv";
        CopyTextField(from.row.destination, destination.c_str());

        Row added = jobTree.Add(nullptr);
        MediaItem& to = *jobTree.Item(added);
        to.kind = from.kind;
        CopyTextField(to.name, from.name);
        CopyDvdFields(to, from);
        SetRowRole(to, rrFile);
        to.segmentCounter = 1;
        to.mediaInfo = Share(from.mediaInfo);
        to.timeRange = Share(from.timeRange);
        to.crop = Share(from.crop);
        to.effect = Share(from.effect);
        to.customSetting = Share(from.customSetting);
        CopyItemRowTexts(to.row, from.row);
        to.row.checkType = from.row.checkType;
        to.row.checkState = 2;
        jobTree.TakeCheckFromItem(added);
    }
    jobTree.ClearSelection();
    if (Row first = jobTree.FirstChild(nullptr)) {
        jobTree.SetSelected(first, true);
        jobTree.Focus(first);
    }
}

void CancelDvdWindow(const DvdLoadState& state, JobRows& jobTree) {
    if (!state.reopen) ClearItemTree(jobTree);
}

}  // namespace jobmodel
