// One DVD chapter as a byte stream: the sectors of its cells, read through libdvdread,
// handed to libavformat's program-stream demuxer through a custom AVIOContext.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <libavutil/mem.h>
}

#include "libs/morvconverter/internal.h"

namespace morvconv {

namespace {

struct SectorRange {
    std::uint32_t first, last;  // inclusive
};

constexpr int kBlocksPerRead = 32;
constexpr double kLeadOutSeconds = 3.0;

int FromBcd(std::uint8_t v) { return (v >> 4) * 10 + (v & 15); }

double CellSeconds(const dvd_time_t& t) {
    double fps = ((t.frame_u >> 6) & 3) == 1 ? 25.0 : 30000.0 / 1001.0;
    return FromBcd(t.hour) * 3600.0 + FromBcd(t.minute) * 60.0 + FromBcd(t.second) +
           FromBcd(t.frame_u & 0x3f) / fps;
}

}  // namespace

struct DvdStream {
    dvd_reader_t* dvd = nullptr;
    dvd_file_t* file = nullptr;
    std::vector<SectorRange> ranges;
    std::int64_t totalBlocks = 0;
    std::int64_t chapterBlocks = 0;  // the chapter's own; the rest follows it on the disc
    double lengthSeconds = 0;
    std::int64_t position = 0;  // bytes from the chapter's start
    std::vector<std::uint8_t> cache = std::vector<std::uint8_t>(kBlocksPerRead * DVD_VIDEO_LB_LEN);
    std::int64_t cacheBlock = -1;  // first logical block held in cache
    int cacheBlocks = 0;
    bool failed = false;
    bool severalObjects = false;  // the chapter's cells lie in more than one video object
    AVIOContext* avio = nullptr;

    // Maps a logical block of the chapter to a sector of the title set's VOBs and the
    // number of blocks that follow it contiguously.
    bool Locate(std::int64_t block, std::uint32_t& sector, std::int64_t& run) const {
        for (const SectorRange& r : ranges) {
            std::int64_t n = std::int64_t(r.last) - r.first + 1;
            if (block < n) {
                sector = std::uint32_t(r.first + block);
                run = n - block;
                return true;
            }
            block -= n;
        }
        return false;
    }

    bool Fill(std::int64_t block) {
        std::uint32_t sector;
        std::int64_t run;
        if (!Locate(block, sector, run)) return false;
        int count = int(std::min<std::int64_t>(run, kBlocksPerRead));
        ssize_t got = DVDReadBlocks(file, int(sector), size_t(count), cache.data());
        if (got <= 0) {
            // Beyond the chapter a failed read only ends the stream early.
            if (block < chapterBlocks) failed = true;
            return false;
        }
        cacheBlock = block;
        cacheBlocks = int(got);
        return true;
    }

    static int Read(void* opaque, std::uint8_t* buf, int size) {
        auto* s = static_cast<DvdStream*>(opaque);
        int done = 0;
        while (done < size) {
            std::int64_t block = s->position / DVD_VIDEO_LB_LEN;
            if (block >= s->totalBlocks) break;
            if (block < s->cacheBlock || block >= s->cacheBlock + s->cacheBlocks) {
                if (!s->Fill(block)) break;
            }
            std::int64_t offset = s->position - s->cacheBlock * DVD_VIDEO_LB_LEN;
            std::int64_t avail = std::int64_t(s->cacheBlocks) * DVD_VIDEO_LB_LEN - offset;
            int n = int(std::min<std::int64_t>(avail, size - done));
            std::memcpy(buf + done, s->cache.data() + offset, size_t(n));
            done += n;
            s->position += n;
        }
        if (done > 0) return done;
        return s->failed ? AVERROR(EIO) : AVERROR_EOF;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto* s = static_cast<DvdStream*>(opaque);
        std::int64_t to = SeekTarget(offset, whence, s->position, s->totalBlocks * DVD_VIDEO_LB_LEN);
        if (to >= 0 && !(whence & AVSEEK_SIZE)) s->position = to;
        return to;
    }
};

void CloseDvdStream(DvdStream* s) {
    if (!s) return;
    if (s->avio) {
        av_freep(&s->avio->buffer);
        avio_context_free(&s->avio);
    }
    if (s->file) DVDCloseFile(s->file);
    if (s->dvd) DVDClose(s->dvd);
    delete s;
}

int OpenDvdStream(const DvdLocation& where, DvdStreamPtr& out) {
    // The reader's notes (no decryption library, device lookups) are not for the user's
    // terminal: failures come back as result codes.
    static const dvd_logger_cb quiet{[](void*, dvd_logger_level_t, const char*, va_list) {}};
    DvdStreamPtr s(new DvdStream);
    s->dvd = DVDOpen2(nullptr, &quiet, where.discRoot.c_str());
    if (!s->dvd) return crDvdUnreadable;
    ifo_handle_t* ifo = ifoOpen(s->dvd, where.titleSet);
    if (!ifo) return crDvdUnreadable;
    int result = crDvdUnreadable;
    do {
        const vts_ptt_srpt_t* ptt = ifo->vts_ptt_srpt;
        const pgcit_t* pgcit = ifo->vts_pgcit;
        if (!ptt || !pgcit || where.titleSetTitle < 1 || where.titleSetTitle > ptt->nr_of_srpts) break;
        const ttu_t& title = ptt->title[where.titleSetTitle - 1];
        if (where.chapter < 0 || where.chapter >= title.nr_of_ptts) break;
        int pgcn = title.ptt[where.chapter].pgcn, pgn = title.ptt[where.chapter].pgn;
        if (pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp) break;
        const pgc_t* pgc = pgcit->pgci_srp[pgcn - 1].pgc;
        if (!pgc || !pgc->program_map || !pgc->cell_playback || pgn < 1 || pgn > pgc->nr_of_programs) break;
        // A chapter holds its programs up to the next chapter's first one when that chapter
        // goes on in the same program chain, else up to the chain's end.
        int lastPgn = pgc->nr_of_programs;
        if (where.chapter + 1 < title.nr_of_ptts && title.ptt[where.chapter + 1].pgcn == pgcn) {
            const int next = title.ptt[where.chapter + 1].pgn;
            lastPgn = next <= pgn ? pgn : std::min(next - 1, int(pgc->nr_of_programs));  // out of order: its own
        }
        int firstCell = pgc->program_map[pgn - 1];
        int lastCell = lastPgn < pgc->nr_of_programs ? pgc->program_map[lastPgn] - 1 : pgc->nr_of_cells;
        if (firstCell < 1 || lastCell > pgc->nr_of_cells || firstCell > lastCell) break;
        // Of an angle block only the first angle is played.
        auto played = [](const cell_playback_t& cell) {
            return !(cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL) &&
                   cell.last_sector >= cell.first_sector;
        };
        int firstVob = -1;
        for (int c = firstCell; c <= lastCell; ++c) {
            const cell_playback_t& cell = pgc->cell_playback[c - 1];
            if (!played(cell)) continue;
            // Each video object was multiplexed on its own, so its clock may start anew.
            if (pgc->cell_position) {
                const int vob = pgc->cell_position[c - 1].vob_id_nr;
                if (firstVob < 0) firstVob = vob;
                else if (vob != firstVob) s->severalObjects = true;
            }
            s->ranges.push_back({cell.first_sector, cell.last_sector});
            s->totalBlocks += std::int64_t(cell.last_sector) - cell.first_sector + 1;
            s->lengthSeconds += CellSeconds(cell.playback_time);
        }
        if (s->totalBlocks == 0) break;
        s->chapterBlocks = s->totalBlocks;
        // A disc stores the sound behind the picture it belongs to: the end of a chapter's
        // sound lies in the first sectors of the cells that follow. They are read too, up to
        // the sectors of a few seconds at the chapter's rate; the converter takes only the
        // sound from there.
        const std::int64_t leadOut = std::int64_t(kLeadOutSeconds * double(s->totalBlocks) /
                                                  std::max(s->lengthSeconds, 1.0)) + kBlocksPerRead;
        for (int c = lastCell + 1; c <= pgc->nr_of_cells && s->totalBlocks - s->chapterBlocks < leadOut; ++c) {
            const cell_playback_t& cell = pgc->cell_playback[c - 1];
            if (!played(cell)) continue;
            std::int64_t n = std::min<std::int64_t>(std::int64_t(cell.last_sector) - cell.first_sector + 1,
                                                    leadOut - (s->totalBlocks - s->chapterBlocks));
            s->ranges.push_back({cell.first_sector, std::uint32_t(cell.first_sector + n - 1)});
            s->totalBlocks += n;
        }
        result = 0;
    } while (false);
    ifoClose(ifo);
    if (result) return result;
    s->file = DVDOpenFile(s->dvd, where.titleSet, DVD_READ_TITLE_VOBS);
    if (!s->file) return crDvdUnreadable;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBlocksPerRead * DVD_VIDEO_LB_LEN));
    if (!buffer) return crInternalError;
    s->avio = avio_alloc_context(buffer, kBlocksPerRead * DVD_VIDEO_LB_LEN, 0, s.get(), &DvdStream::Read,
                                 nullptr, &DvdStream::Seek);
    if (!s->avio) {
        av_free(buffer);
        return crInternalError;
    }
    out = std::move(s);
    return 0;
}

AVIOContext* DvdStreamContext(DvdStream& s) { return s.avio; }
double DvdStreamLength(const DvdStream& s) { return s.lengthSeconds; }
bool DvdStreamFailed(const DvdStream& s) { return s.failed; }
std::int64_t DvdStreamChapterBytes(const DvdStream& s) { return s.chapterBlocks * DVD_VIDEO_LB_LEN; }
bool DvdStreamMayRestartClock(const DvdStream& s) { return s.severalObjects; }

}  // namespace morvconv
