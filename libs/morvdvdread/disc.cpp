// The structure of a DVD: title sets, titles, chapters and streams. libdvdread finds and
// reads the information files (from a folder, a drive or an image); their contents are
// decoded by ifo.cpp, which checks every count and offset, since a disc may be damaged
// or crafted.
#include <dvdread/dvd_reader.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "libs/morvdvdread/ifo.h"
#include "libs/morvdvdread/internal.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace morvdvdread {
namespace {

constexpr int kMaxTitleSets = 99;  // VTS_01 .. VTS_99
constexpr int kMaxTitles = 99;

std::string Upper(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Where a disc is: what libdvdread opens, and where its IFO files are (or would be).
struct Location {
    std::string root;    // folder holding VIDEO_TS (or the IFO files), device node or image
    std::string ifoDir;  // folder of the IFO files; root + "/VIDEO_TS" for a device or image
    std::map<std::string, std::string> files;  // upper-case name -> name on disk (folders)

    std::string IfoPath(int titleSet) const {
        char name[16];
        std::snprintf(name, sizeof name, "VTS_%02d_0.IFO", titleSet);
        auto it = files.find(name);
        return ifoDir + "/" + (it != files.end() ? it->second : std::string(name));
    }
};

std::map<std::string, std::string> FolderEntries(const std::string& dir) {
    std::map<std::string, std::string> entries;
    std::vector<std::string> names;
    FolderNames(dir, names);
    for (std::string& name : names) entries.emplace(Upper(name), std::move(name));
    return entries;
}

// The last part of an absolute, normalised path ("" for "/"), and all before it ("/" for
// a part right under the root).
std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string ParentPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// `path` made absolute (against the working folder) with ".", ".." and repeated or
// trailing slashes resolved by its text alone; empty when the working folder is unknown.
std::string AbsoluteNormal(const std::string& path) {
    std::string full;
    if (path[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd) return {};
        full = cwd;
        std::free(cwd);
        full += '/';
    }
    full += path;
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= full.size();) {
        std::size_t end = full.find('/', at);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

bool HoldsVideoManager(const std::map<std::string, std::string>& entries) {
    return entries.count("VIDEO_TS.IFO") || entries.count("VIDEO_TS.BUP");
}

bool IsIfoName(const std::string& name) {
    const std::string n = Upper(name);
    if (n == "VIDEO_TS.IFO" || n == "VIDEO_TS.BUP") return true;
    return n.size() == 12 && n.rfind("VTS_", 0) == 0 && std::isdigit(static_cast<unsigned char>(n[4])) &&
           std::isdigit(static_cast<unsigned char>(n[5])) && n.compare(6, 3, "_0.") == 0 &&
           (n.compare(9, 3, "IFO") == 0 || n.compare(9, 3, "BUP") == 0);
}

int32_t LocateFolder(const std::string& dir, Location& loc) {
    auto entries = FolderEntries(dir);
    if (Upper(FileName(dir)) == "VIDEO_TS" && HoldsVideoManager(entries)) {
        loc.root = ParentPath(dir);
        loc.ifoDir = dir;
        loc.files = std::move(entries);
        return DVD_OK;
    }
    auto sub = entries.find("VIDEO_TS");
    if (sub != entries.end()) {
        auto inner = FolderEntries(JoinPath(dir, sub->second));
        if (HoldsVideoManager(inner)) {
            loc.root = dir;
            loc.ifoDir = JoinPath(dir, sub->second);
            loc.files = std::move(inner);
            return DVD_OK;
        }
    }
    if (HoldsVideoManager(entries)) {
        loc.root = loc.ifoDir = dir;
        loc.files = std::move(entries);
        return DVD_OK;
    }
    return DVD_ERR_NOT_A_DVD;
}

int32_t Locate(std::string path, bool ifoFile, Location& loc) {
    if (path.empty()) return DVD_ERR_NOT_FOUND;
    if (!ifoFile) {
        if (char id = DriveIdOf(path)) {
            path = DriveRoot(id);
            if (path.empty()) return DVD_ERR_NOT_FOUND;
        }
    }
    const std::string p = AbsoluteNormal(path);
    if (p.empty()) return DVD_ERR_NOT_FOUND;
    struct stat st;
    if (stat(p.c_str(), &st) != 0) return DVD_ERR_NOT_FOUND;
    const bool ifoName = S_ISREG(st.st_mode) && IsIfoName(FileName(p));
    if (ifoFile) return ifoName ? LocateFolder(ParentPath(p), loc) : DVD_ERR_NOT_A_DVD;
    if (S_ISDIR(st.st_mode)) return LocateFolder(p, loc);
    if (ifoName) return LocateFolder(ParentPath(p), loc);
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) {  // disc image or drive
        loc.root = p;
        loc.ifoDir = loc.root + "/VIDEO_TS";
        return DVD_OK;
    }
    return DVD_ERR_NOT_A_DVD;
}

// What the reader clamped or skipped while reading one disc.
struct Repairs {
    int32_t flags = 0;
    std::string text;

    void Note(int32_t& titleFlags, int32_t flag, const std::string& what) {
        titleFlags |= flag;
        flags |= flag;
        if (text.find(what) == std::string::npos) text += (text.empty() ? "" : "; ") + what;
    }
};

// One parsed disc and every record its pointers lead to; kept for the life of the process.
struct StoredDisc {
    DvdDisc disc{};
    std::unique_ptr<DvdTitleSet[]> sets;
    std::vector<std::unique_ptr<DvdTitle[]>> titles;
    std::vector<std::unique_ptr<DvdChapter[]>> chapters;
    std::vector<std::unique_ptr<std::string>> paths;
    std::string signature;  // everything but the pointers, to find an identical earlier parse;
                            // empty until another disc is compared with it
};

template <typename T>
void AppendBytes(std::string& out, const T& record) {
    out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

// Appends the record's bytes, then clears the pointer field at `field` in the copy.
template <typename T, typename P>
void AppendWithout(std::string& out, const T& record, P T::*field) {
    const std::size_t at = out.size();
    AppendBytes(out, record);
    const P none = nullptr;
    std::memcpy(out.data() + at + (reinterpret_cast<const char*>(&(record.*field)) - reinterpret_cast<const char*>(&record)),
                &none, sizeof none);
}

std::string Signature(const StoredDisc& d) {
    std::size_t size = sizeof(DvdDisc);
    for (int i = 0; i < d.disc.titleSetCount; ++i) {
        size += sizeof(DvdTitleSet);
        for (int t = 0; t < d.sets[i].titleCount; ++t)
            size += std::strlen(d.sets[i].titles[t].ifoPath) + sizeof(DvdTitle) +
                    sizeof(DvdChapter) * std::size_t(std::max(0, d.sets[i].titles[t].chapterCount));
    }
    std::string s;
    s.reserve(size);
    AppendWithout(s, d.disc, &DvdDisc::titleSets);
    for (int i = 0; i < d.disc.titleSetCount; ++i) {
        const DvdTitleSet& set = d.sets[i];
        AppendWithout(s, set, &DvdTitleSet::titles);
        for (int t = 0; t < set.titleCount; ++t) {
            const DvdTitle& src = set.titles[t];
            s += src.ifoPath;
            AppendWithout(s, src, &DvdTitle::ifoPath);
            const std::size_t chaptersAt = s.size() - sizeof(DvdTitle) + offsetof(DvdTitle, chapters);
            const DvdChapter* none = nullptr;
            std::memcpy(s.data() + chaptersAt, &none, sizeof none);
            for (int c = 0; c < src.chapterCount; ++c) AppendWithout(s, src.chapters[c], &DvdChapter::title);
        }
    }
    return s;
}

// Microseconds of a BCD playback time.
int64_t PlaybackMicros(const PlaybackTime& t, bool& valid) {
    auto bcd = [&valid](unsigned v) {
        if ((v >> 4) > 9 || (v & 15) > 9) valid = false;
        return static_cast<int64_t>((v >> 4) * 10 + (v & 15));
    };
    const int64_t h = bcd(t.hour), m = bcd(t.minute), s = bcd(t.second), f = bcd(t.frames & 0x3F);
    const unsigned rate = t.frames >> 6;
    int64_t frameMicros = 0;
    if (rate == 1) frameMicros = f * 1000000 / 25;
    else if (rate == 3) frameMicros = f * 1001000 / 30;
    else if (f != 0) valid = false;
    if (m > 59 || s > 59) valid = false;
    return valid ? ((h * 60 + m) * 60 + s) * 1000000 + frameMicros : 0;
}

// The program chain a chapter names, or nullptr when it names none that can be read.
const Chain* ChainOf(const TitleSetInfo& ts, const Part& part) {
    if (part.pgcn < 1 || part.pgcn > ts.chains.size() || !ts.chains[part.pgcn - 1]) return nullptr;
    return &*ts.chains[part.pgcn - 1];
}

// The last program of a chapter that starts at program `pgn` of its chain: the one
// before the next chapter's first program when that chapter goes on in the same chain,
// else the chain's last. A chapter may hold several programs (points a viewer can skip
// to that are no chapters of their own).
int LastProgram(const Chain& chain, int pgn, const Part* next, int pgcn) {
    const int programs = static_cast<int>(chain.programMap.size());
    if (!next || next->pgcn != pgcn) return programs;
    if (next->pgn <= pgn) return pgn;  // out of order: a damaged table; the chapter's own program
    return std::min<int>(next->pgn - 1, programs);
}

// Length of one chapter: the cells from its first program's first cell up to the cell
// before the program after its last, counting only the first angle of an angle block.
// False for a chapter that names a missing program or cell.
bool ChapterMicros(const Chain& chain, int pgn, int lastPgn, int64_t& micros, bool& timesValid) {
    const int programs = static_cast<int>(chain.programMap.size()), cells = static_cast<int>(chain.cells.size());
    if (pgn < 1 || pgn > programs || lastPgn < pgn || lastPgn > programs) return false;
    const int first = chain.programMap[pgn - 1];
    const int last = lastPgn < programs ? chain.programMap[lastPgn] - 1 : cells;
    if (first < 1 || last < first || last > cells) return false;
    micros = 0;
    for (int c = first; c <= last; ++c) {
        const Cell& cell = chain.cells[c - 1];
        if (cell.blockType == 1 && cell.blockMode > 1) continue;  // another angle of the same scene
        micros += PlaybackMicros(cell.time, timesValid);
    }
    return true;
}

int32_t ClampedMs(int64_t micros) {
    return static_cast<int32_t>(std::min<int64_t>(micros / 1000, INT32_MAX));
}

int32_t RoundedSeconds(int64_t micros) {
    return static_cast<int32_t>(std::min<int64_t>((micros + 500000) / 1000000, INT32_MAX));
}

std::string AudioName(int index, const AudioAttributes& a) {
    static const char* const kFormats[8] = {"AC-3", "unknown format", "MPEG-1 audio", "MPEG-2 audio",
                                             "LPCM", "unknown format", "DTS", "unknown format"};
    std::string name = std::to_string(index + 1) + ": " +
                       (a.languageType == 1 ? LanguageName(a.language) : std::string("Unknown")) + ", " +
                       kFormats[a.format & 7] + ", " + std::to_string(a.channels + 1) + " ch, " +
                       (a.frequency == 1 ? "96 kHz" : "48 kHz");
    if (a.codeExtension == 2) name += " (visually impaired)";
    else if (a.codeExtension == 3 || a.codeExtension == 4) name += " (commentary)";
    return name;
}

std::string SubtitleName(int index, const SubtitleAttributes& s) {
    std::string name = std::to_string(index + 1) + ": " +
                       (s.type == 1 ? LanguageName(s.language) : std::string("Unknown"));
    if (s.codeExtension == 9) name += " (forced)";
    else if (s.codeExtension >= 13 && s.codeExtension <= 15) name += " (commentary)";
    else if (s.codeExtension >= 5 && s.codeExtension <= 7) name += " (captions)";
    return name;
}

// Fills a title's stream list from the title set's attribute slots: as many streams as
// the set declares, at most as many as it has slots. Returns the count.
template <typename Stream, size_t M, typename Attributes, size_t N, typename Name>
int32_t FillStreamList(Stream (&streams)[M], const Attributes (&slots)[N], int declared, Name name,
                       DvdTitle& title, int32_t flag, const char* kind, Repairs& repairs) {
    static_assert(N <= M);
    if (declared > static_cast<int>(N)) {
        repairs.Note(title.repairs, flag,
                     "title set " + std::to_string(title.titleSetNumber) + " claims " + std::to_string(declared) + " " +
                         kind + " streams; the first " + std::to_string(N) + " are listed");
        declared = static_cast<int>(N);
    }
    for (int i = 0; i < declared; ++i) {
        CopyText(streams[i].name, name(i, slots[i]));
        streams[i].id = i;
    }
    return declared;
}

void FillStreams(DvdTitle& title, const TitleSetInfo& ts, Repairs& repairs) {
    title.audioCount = FillStreamList(title.audio, ts.audio, ts.declaredAudio, AudioName, title,
                                      DVD_REPAIR_AUDIO_CLAMPED, "audio", repairs);
    title.subtitleCount = FillStreamList(title.subtitles, ts.subtitles, ts.declaredSubtitles, SubtitleName, title,
                                         DVD_REPAIR_SUBTITLES_CLAMPED, "subtitle", repairs);
}

// The sub-picture palette (0x00YYCrCb entries) as R, G, B bytes.
void FillPalette(DvdTitle& title, const Chain& chain) {
    // Rounded half away from zero; by hand rather than with lround, which alone would make
    // a program that reads discs load the maths library.
    auto clamp = [](double v) {
        v = std::clamp(v, 0.0, 255.0);
        const auto whole = static_cast<uint8_t>(v);
        return static_cast<uint8_t>(whole + (v - whole >= 0.5 ? 1 : 0));
    };
    for (int i = 0; i < DVD_PALETTE_ENTRIES; ++i) {
        const double y = (chain.palette[i] >> 16) & 0xFF, cr = ((chain.palette[i] >> 8) & 0xFF) - 128.0,
                     cb = (chain.palette[i] & 0xFF) - 128.0;
        title.palette[i][0] = clamp(y + 1.402 * cr);
        title.palette[i][1] = clamp(y - 0.344136 * cb - 0.714136 * cr);
        title.palette[i][2] = clamp(y + 1.772 * cb);
    }
}

// Fills one title from its title set; a title that cannot be played stays not present.
void FillTitle(DvdTitle& title, const TitleEntry& entry, const TitleSetInfo& ts, StoredDisc& store,
               Repairs& repairs) {
    const std::string name = "title " + std::to_string(title.titleNumber + 1);
    FillStreams(title, ts, repairs);

    const int ttn = entry.setTitle;
    const std::vector<Part>* parts =
        ttn >= 1 && ttn <= static_cast<int>(ts.titles.size()) && ts.titles[ttn - 1] ? &*ts.titles[ttn - 1] : nullptr;
    if (parts && parts->size() != entry.parts)
        repairs.Note(title.repairs, DVD_REPAIR_CHAPTER_COUNT,
                     name + ": the disc lists " + std::to_string(entry.parts) + " chapters, its title set " +
                         std::to_string(parts->size()));

    std::vector<DvdChapter> chapters;
    const Chain* firstChain = nullptr;
    int64_t start = 0;
    for (size_t j = 0; parts && j < parts->size(); ++j) {
        const Part& part = (*parts)[j];
        const Chain* chain = ChainOf(ts, part);
        int64_t micros = 0;
        bool timesValid = true;
        const Part* next = j + 1 < parts->size() ? &(*parts)[j + 1] : nullptr;
        if (!chain || !ChapterMicros(*chain, part.pgn, LastProgram(*chain, part.pgn, next, part.pgcn), micros, timesValid)) {
            repairs.Note(title.repairs, DVD_REPAIR_BAD_CHAPTER,
                         name + " chapter " + std::to_string(j + 1) + " names a missing program chain, program or cell; skipped");
            continue;
        }
        if (!timesValid)
            repairs.Note(title.repairs, DVD_REPAIR_BAD_TIME,
                         name + " chapter " + std::to_string(j + 1) + " has an invalid playback time; counted as 0");
        if (!firstChain) firstChain = chain;
        DvdChapter c{};
        c.present = 1;
        c.number = static_cast<int32_t>(j);
        c.startMs = ClampedMs(start);
        c.lengthMs = ClampedMs(micros);
        c.lengthSeconds = RoundedSeconds(micros);
        c.pgcNumber = part.pgcn;
        CopyText(c.lengthText, DurationText(c.lengthSeconds));
        chapters.push_back(c);
        start += micros;
    }
    if (chapters.empty()) {
        repairs.Note(title.repairs, DVD_REPAIR_TITLE_WITHOUT_CHAPTERS, name + " has no readable chapter; skipped");
        return;
    }
    auto array = std::make_unique<DvdChapter[]>(chapters.size());
    for (size_t i = 0; i < chapters.size(); ++i) {
        array[i] = chapters[i];
        array[i].title = &title;
    }
    title.chapters = array.get();
    title.chapterCount = static_cast<int32_t>(chapters.size());
    store.chapters.push_back(std::move(array));
    title.lengthSeconds = RoundedSeconds(start);
    CopyText(title.lengthText, DurationText(title.lengthSeconds));
    FillPalette(title, *firstChain);
    title.present = 1;
}

struct ReaderCloser {
    void operator()(dvd_reader_t* dvd) const { DVDClose(dvd); }
};
using ReaderHandle = std::unique_ptr<dvd_reader_t, ReaderCloser>;

// libdvdread's messages are about the files it reads; the reader reports through its
// results and repair notes instead.
void QuietLog(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuietLogger = {QuietLog};

constexpr ssize_t kMaxIfoBlocks = 8192;  // 16 MB; real information files are far smaller

// The bytes of an information file (0: VIDEO_TS, n: VTS_nn_0) or of its backup;
// nullopt when there is no such file.
std::optional<std::vector<uint8_t>> ReadInfoFile(dvd_reader_t* dvd, int number, bool backup) {
    dvd_file_t* file = DVDOpenFile(dvd, number, backup ? DVD_READ_INFO_BACKUP_FILE : DVD_READ_INFO_FILE);
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes;
    const ssize_t blocks = DVDFileSize(file);
    if (blocks > 0 && blocks <= kMaxIfoBlocks) {
        bytes.resize(static_cast<size_t>(blocks) * 2048);
        const ssize_t got = DVDReadBytes(file, bytes.data(), bytes.size());
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    DVDCloseFile(file);
    return bytes;
}

// An information file decoded by `parse`, from the file or, when that cannot be
// decoded, from its backup. `found` tells whether either file exists.
template <typename Parse>
auto ReadInfo(dvd_reader_t* dvd, int number, Parse parse, bool& found) {
    const std::vector<uint8_t> none;  // a missing file parses as an empty one
    auto bytes = ReadInfoFile(dvd, number, false);
    found = bytes.has_value();
    auto info = parse(bytes ? *bytes : none);
    if (!info) {
        bytes = ReadInfoFile(dvd, number, true);
        found = found || bytes.has_value();
        info = parse(bytes ? *bytes : none);
    }
    return info;
}

int32_t Read(const Location& loc, StoredDisc& store) {
    ReaderHandle dvd(DVDOpen2(nullptr, &kQuietLogger, loc.root.c_str()));
    if (!dvd) return DVD_ERR_NOT_A_DVD;
    bool found = false;
    const auto vm = ReadInfo(dvd.get(), 0, ParseVideoManager, found);
    if (!vm) return found ? DVD_ERR_DAMAGED : DVD_ERR_NOT_A_DVD;

    Repairs repairs;
    int32_t discFlags = 0;
    int setCount = vm->titleSets;
    if (setCount > kMaxTitleSets) {
        repairs.Note(discFlags, DVD_REPAIR_BAD_TITLE_SET, "the disc claims " + std::to_string(setCount) + " title sets; 99 are read");
        setCount = kMaxTitleSets;
    }
    int titleCount = static_cast<int>(vm->titles.size());
    if (vm->titleTableCut)
        repairs.Note(discFlags, DVD_REPAIR_BAD_TITLE_SET, "the disc's title table is cut short");
    if (titleCount > kMaxTitles) {
        repairs.Note(discFlags, DVD_REPAIR_BAD_TITLE_SET, "the disc claims " + std::to_string(titleCount) + " titles; 99 are read");
        titleCount = kMaxTitles;
    }

    std::vector<std::vector<int>> titlesOfSet(setCount);
    for (int i = 0; i < titleCount; ++i) {
        const int set = vm->titles[i].titleSet;
        if (set < 1 || set > setCount) {
            repairs.Note(discFlags, DVD_REPAIR_BAD_TITLE_SET,
                         "title " + std::to_string(i + 1) + " names title set " + std::to_string(set) +
                             ", which the disc does not have; skipped");
            continue;
        }
        titlesOfSet[set - 1].push_back(i);
    }

    CopyText(store.disc.path, loc.root);
    store.sets = std::make_unique<DvdTitleSet[]>(setCount);
    store.disc.titleSetCount = setCount;
    store.disc.titleSets = store.sets.get();
    int presentTitles = 0;
    for (int s = 0; s < setCount; ++s) {
        DvdTitleSet& set = store.sets[s];
        set.number = s + 1;
        store.paths.push_back(std::make_unique<std::string>(loc.IfoPath(s + 1)));
        const std::string& ifoPath = *store.paths.back();
        CopyText(set.ifoPath, ifoPath);
        const auto& members = titlesOfSet[s];
        if (members.empty()) continue;
        store.titles.push_back(std::make_unique<DvdTitle[]>(members.size()));
        set.titles = store.titles.back().get();
        set.titleCount = static_cast<int32_t>(members.size());

        const auto ts = ReadInfo(dvd.get(), s + 1, ParseTitleSet, found);
        if (!ts)
            repairs.Note(discFlags, DVD_REPAIR_BAD_TITLE_SET,
                         "title set " + std::to_string(s + 1) + " cannot be read; its titles are skipped");
        for (size_t k = 0; k < members.size(); ++k) {
            DvdTitle& title = set.titles[k];
            const TitleEntry& entry = vm->titles[members[k]];
            title.titleNumber = members[k];
            title.ifoPath = ifoPath.c_str();
            title.titleSetNumber = s + 1;
            title.titleSetTitle = entry.setTitle;
            CopyText(title.lengthText, DurationText(0));
            if (ts) FillTitle(title, entry, *ts, store, repairs);
            else title.repairs |= DVD_REPAIR_BAD_TITLE_SET;
            presentTitles += title.present;
        }
    }
    store.disc.repairs = repairs.flags;
    CopyText(store.disc.repairText, repairs.text);
    return presentTitles > 0 ? DVD_OK : DVD_ERR_NO_TITLES;
}

std::mutex g_lock;
// Never destroyed: the records are the caller's for the life of the process, and a
// program that exits right after a parse need not free them one by one on its way out.
std::vector<std::unique_ptr<StoredDisc>>& g_discs = *new std::vector<std::unique_ptr<StoredDisc>>;

int32_t Parse(DvdDisc** result, const char* path, bool ifoFile) {
    if (!result) return DVD_ERR_ARGUMENT;
    try {
        std::lock_guard lock(g_lock);
        Location loc;
        if (int32_t rc = Locate(path ? path : "", ifoFile, loc)) return rc;
        auto store = std::make_unique<StoredDisc>();
        if (int32_t rc = Read(loc, *store)) return rc;
        // The first disc is compared with nothing; its signature waits for a second one.
        if (!g_discs.empty()) {
            store->signature = Signature(*store);
            for (const auto& earlier : g_discs) {
                if (earlier->signature.empty()) earlier->signature = Signature(*earlier);
                if (earlier->signature == store->signature) {
                    *result = &earlier->disc;
                    return DVD_OK;
                }
            }
        }
        g_discs.push_back(std::move(store));
        *result = &g_discs.back()->disc;
        return DVD_OK;
    } catch (const std::bad_alloc&) {
        return DVD_ERR_SYSTEM;
    } catch (const std::exception&) {
        return DVD_ERR_DAMAGED;
    }
}

}  // namespace

void ForgetDiscs() {
    std::lock_guard lock(g_lock);
    g_discs.clear();
}

}  // namespace morvdvdread

extern "C" MORVDVDREAD_API int32_t parseDVD(DvdDisc** disc, const char* path, int32_t) {
    return morvdvdread::Parse(disc, path, false);
}

extern "C" MORVDVDREAD_API int32_t parseIFO(DvdDisc** disc, const char* path, int32_t) {
    return morvdvdread::Parse(disc, path, true);
}

extern "C" MORVDVDREAD_API const char* dvdReadErrorText(int32_t code) {
    switch (code) {
    case DVD_OK: return "success";
    case DVD_ERR_ARGUMENT: return "no record was given to fill";
    case DVD_ERR_NOT_FOUND: return "the path, drive or file does not exist";
    case DVD_ERR_NOT_A_DVD: return "the path holds no DVD-Video structure";
    case DVD_ERR_DAMAGED: return "the disc's structure files cannot be read";
    case DVD_ERR_NO_TITLES: return "the disc has no title that can be read";
    case DVD_ERR_SYSTEM: return "the system could not provide the drive list or memory";
    default: return "unknown result code";
    }
}
