#pragma once
// An open input: its demuxer and the streams chosen for the job.
#include "libs/morvconverter/internal.h"

namespace morvconv {

struct MemorySource;

struct Source {
    AVFormatContext* fmt = nullptr;
    DvdStreamPtr dvd;
    MemorySource* memory = nullptr;
    AVIOContext* memoryIo = nullptr;
    bool isDvd = false;
    int video = -1;
    int audio = -1;           // -1 none
    int subtitle = -1;        // -1 none (yet)
    int wantedSubtitle = -1;  // the asked subtitle id
    double startTime = 0;     // seconds of the first timestamp
    double duration = 0;      // seconds; 0 unknown

    // The index of the stream of a type with the given id (DVD: the disc's stream number;
    // file: the n-th stream of that type); -1 for id -1; -2 when absent and required.
    int PickStream(AVMediaType type, int id, bool required) const;
    // A DVD sub-picture stream that appeared after probing and is the one asked for.
    bool IsWantedSubtitle(const AVStream* st) const;
};

}  // namespace morvconv
