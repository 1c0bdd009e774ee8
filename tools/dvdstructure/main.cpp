// dvdstructure: reads the structure of a DVD (a drive id such as "E:", a device node, a
// VIDEO_TS folder, its parent or an IFO file) through libmorvdvdread, prints it and
// exits. Its whole-process time shows what starting the reader costs beside the parse.
#include <cstdio>
#include <cstring>

#include "libs/morvdvdread/morvdvdread.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dvdstructure <disc folder, IFO file, device or drive id>\n");
        return 2;
    }
    DvdDisc* disc = nullptr;
    const char* path = argv[1];
    const std::size_t length = std::strlen(path);
    const bool ifo = length > 4 && (std::strcmp(path + length - 4, ".IFO") == 0 || std::strcmp(path + length - 4, ".BUP") == 0 ||
                                    std::strcmp(path + length - 4, ".ifo") == 0 || std::strcmp(path + length - 4, ".bup") == 0);
    const int32_t result = ifo ? parseIFO(&disc, path, 0) : parseDVD(&disc, path, 0);
    if (result != DVD_OK || disc == nullptr) {
        std::fprintf(stderr, "dvdstructure: %s: not a readable DVD (code %d)\n", path, int(result));
        return 1;
    }
    std::printf("Disc: %s\n", disc->path);
    for (int32_t s = 0; s < disc->titleSetCount; ++s) {
        const DvdTitleSet& set = disc->titleSets[s];
        for (int32_t t = 0; t < set.titleCount; ++t) {
            const DvdTitle& title = set.titles[t];
            if (!title.present) continue;
            std::printf("Title: %02d, Length: %s, Chapters: %d, Audio streams: %d, Subtitles: %d, Title set: %d/%d\n",
                        int(title.titleNumber + 1), title.lengthText, int(title.chapterCount), int(title.audioCount),
                        int(title.subtitleCount), int(title.titleSetNumber), int(title.titleSetTitle));
            for (int32_t c = 0; c < title.chapterCount; ++c)
                std::printf("\tChapter: %02d, Length: %s, Start: %d ms\n", int(title.chapters[c].number + 1),
                            title.chapters[c].lengthText, int(title.chapters[c].startMs));
            for (int32_t a = 0; a < title.audioCount; ++a) std::printf("\tAudio: %s\n", title.audio[a].name);
            for (int32_t u = 0; u < title.subtitleCount; ++u) std::printf("\tSubtitle: %s\n", title.subtitles[u].name);
        }
    }
    if (disc->repairText[0] != '\0') std::printf("Repairs: %s\n", disc->repairText);
    return 0;
}
