// The parts of a DVD's information files (IFO) that the reader uses, decoded from their
// bytes with every offset and count checked against the file: a damaged or crafted file
// gives "unreadable" for the structure concerned, never a read outside the buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace morvdvdread {

// BCD hours, minutes, seconds and frames; the two high bits of `frames` give the frame
// rate (1: 25 fps, 3: 29.97 fps).
struct PlaybackTime {
    uint8_t hour = 0, minute = 0, second = 0, frames = 0;
};

struct AudioAttributes {
    uint8_t format = 0;      // 0 AC-3, 2 MPEG-1, 3 MPEG-2 extended, 4 LPCM, 6 DTS
    uint8_t languageType = 0;  // 1: `language` holds a code
    uint8_t frequency = 0;   // 0: 48 kHz, 1: 96 kHz
    uint8_t channels = 0;    // channels - 1
    uint8_t codeExtension = 0;
    uint16_t language = 0;   // two ASCII letters, first in the high byte
};

struct SubtitleAttributes {
    uint8_t type = 0;  // 1: `language` holds a code
    uint8_t codeExtension = 0;
    uint16_t language = 0;
};

struct Cell {
    uint8_t blockMode = 0;  // 1 first, 2 inner, 3 last cell of a block
    uint8_t blockType = 0;  // 1: angle block
    PlaybackTime time;
};

// A program chain: its programs (first cell of each, from 1) and cells.
struct Chain {
    std::vector<uint8_t> programMap;
    std::vector<Cell> cells;
    uint32_t palette[16] = {};  // 0x00YYCrCb
};

// A part of a title (a chapter): program chain and program, both from 1.
struct Part {
    uint16_t pgcn = 0, pgn = 0;
};

struct TitleEntry {
    uint16_t parts = 0;     // chapters, as the disc's title table says
    uint8_t titleSet = 0;   // from 1
    uint8_t setTitle = 0;   // title within its set, from 1
};

struct VideoManager {
    int titleSets = 0;
    std::vector<TitleEntry> titles;
    bool titleTableCut = false;  // the table claims more entries than the file holds
};

struct TitleSetInfo {
    int declaredAudio = 0;  // as the file says, possibly more than the 8 slots
    AudioAttributes audio[8];
    int declaredSubtitles = 0;  // possibly more than the 32 slots
    SubtitleAttributes subtitles[32];
    std::vector<std::optional<std::vector<Part>>> titles;  // per title of the set; nullopt: unreadable
    std::vector<std::optional<Chain>> chains;              // per program chain; nullopt: unreadable
};

// nullopt when the file is not a video manager (VIDEO_TS.IFO) or its title table is
// outside the file.
std::optional<VideoManager> ParseVideoManager(const std::vector<uint8_t>& file);

// nullopt when the file is not a title set's information file (VTS_nn_0.IFO) or its
// chapter or program-chain table is outside the file.
std::optional<TitleSetInfo> ParseTitleSet(const std::vector<uint8_t>& file);

}  // namespace morvdvdread
