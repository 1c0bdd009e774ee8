// The list's time line, the master clock and the frame scheduler.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "libs/morvplayer/internal.h"

namespace morvplayer {

namespace {

void AddPiece(Playlist& list, Piece piece, double in, double out, int entry) {
    if (out <= in) return;
    piece.mediaIn = in;
    piece.mediaOut = out;
    piece.timelineIn = list.End();
    piece.entry = entry;
    list.pieces.push_back(piece);
}

}  // namespace

int Playlist::Locate(double position, double& media) const {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        if (position < p.TimelineOut()) {
            media = p.mediaIn + std::max(0.0, position - p.timelineIn);
            return int(i);
        }
    }
    return -1;
}

Playlist BuildPlaylist(const std::vector<TitlePlayRecord>& records,
                       const std::function<double(const std::string&)>& fileLength) {
    Playlist list;
    int entry = 0;
    for (const TitlePlayRecord& r : records) {
        const DvdPlaybackInfo& info = r.info;
        Piece piece;
        if (!info.ifoPath || !*info.ifoPath) continue;
        piece.path = info.ifoPath;
        piece.audioId = info.audioId;
        piece.subtitleId = info.subtitleId;
        double start = std::max(0, r.startSecond);
        double end = r.endSecond;
        if (info.titleNumberPlus1 == 0) {
            if (end <= 0) end = fileLength ? fileLength(piece.path) : 0;
            AddPiece(list, piece, start, end, entry++);
            continue;
        }
        piece.dvd = true;
        piece.titleSet = info.titleSetNumber;
        piece.titleSetTitle = info.titleSetTitle;
        std::memcpy(piece.palette, info.palette, sizeof piece.palette);
        if (!info.chapters || info.chapterCount <= 0) continue;
        std::size_t before = list.pieces.size();
        if (r.chapterSelector > 0) {
            for (int i = 0; i < info.chapterCount; ++i) {
                const DvdChapter& c = info.chapters[i];
                if (c.number != r.chapterSelector - 1) continue;
                piece.chapter = c.number;
                if (end <= 0) end = c.lengthMs / 1000.0;
                AddPiece(list, piece, start, end, entry);
                break;
            }
        } else {
            // A title is its chapters in turn; each plays what of [start, end) it holds.
            if (end <= 0) {
                const DvdChapter& last = info.chapters[info.chapterCount - 1];
                end = (last.startMs + last.lengthMs) / 1000.0;
            }
            for (int i = 0; i < info.chapterCount; ++i) {
                const DvdChapter& c = info.chapters[i];
                double cs = c.startMs / 1000.0, ce = (c.startMs + c.lengthMs) / 1000.0;
                bool last = i == info.chapterCount - 1;
                if (last) ce = std::max(ce, end);  // the last chapter plays to its own end
                double in = std::max(start, cs), out = std::min(end, ce);
                if (out <= in) continue;
                piece.chapter = c.number;
                AddPiece(list, piece, in - cs, out - cs, entry);
            }
        }
        if (list.pieces.size() > before) ++entry;
    }
    list.length = list.End() - list.base;
    return list;
}

Hms ToHms(double seconds) {
    long s = seconds > 0 ? long(std::floor(seconds + 1e-6)) : 0;
    return {int(s / 3600), int(s / 60 % 60), int(s % 60)};
}

double PlayClock::Monotonic() const {
    return paused_ ? anchorPosition_ : anchorPosition_ + (now_() - anchorTime_);
}

double PlayClock::Position() const {
    if (sound_) return soundEnd_ - double(held_ ? held_() : 0) / rate_;
    return Monotonic();
}

void PlayClock::Reset(double position) {
    sound_ = false;
    soundEnd_ = position;
    anchorPosition_ = position;
    anchorTime_ = now_();
}

void PlayClock::SoundEnded() {
    if (!sound_) return;
    anchorPosition_ = Position();
    anchorTime_ = now_();
    sound_ = false;
}

void PlayClock::SetPaused(bool paused) {
    if (paused == paused_) return;
    anchorPosition_ = Monotonic();
    anchorTime_ = now_();
    paused_ = paused;
}

FrameDecision ScheduleFrame(double pts, double nextPts, double clock) {
    // A millisecond of slack: sleeping is never exact.
    if (pts > clock + 0.001) return {FrameAction::Wait, pts - clock};
    if (!std::isnan(nextPts) && nextPts <= clock) return {FrameAction::Drop, 0};
    return {FrameAction::Show, 0};
}

}  // namespace morvplayer
