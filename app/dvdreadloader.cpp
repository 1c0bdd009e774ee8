// The DVD reader's functions as the program calls them: each loads libmorvdvdread.so at its
// first call (see libraryloader.h). Without the library no drive is listed and a disc reads
// as DVD_ERR_SYSTEM.
#include "app/libraryloader.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace {

LazyLibrary gDvdRead("libmorvdvdread.so");

template <class F> F Entry(const char* name) { return gDvdRead.Find<F>(name); }

}  // namespace

extern "C" {

int32_t getAllDVDRomInfo(DvdDriveList* list) {
    static const auto f = Entry<decltype(&getAllDVDRomInfo)>("getAllDVDRomInfo");
    if (f) return f(list);
    if (list) list->count = 0;
    return DVD_ERR_SYSTEM;
}

int32_t parseDVD(DvdDisc** disc, const char* path, int32_t reserved) {
    static const auto f = Entry<decltype(&parseDVD)>("parseDVD");
    if (f) return f(disc, path, reserved);
    if (disc) *disc = nullptr;
    return DVD_ERR_SYSTEM;
}

int32_t parseIFO(DvdDisc** disc, const char* path, int32_t reserved) {
    static const auto f = Entry<decltype(&parseIFO)>("parseIFO");
    if (f) return f(disc, path, reserved);
    if (disc) *disc = nullptr;
    return DVD_ERR_SYSTEM;
}

const char* dvdReadErrorText(int32_t code) {
    static const auto f = Entry<decltype(&dvdReadErrorText)>("dvdReadErrorText");
    if (f) return f(code);
    return "the DVD reader library libmorvdvdread.so could not be loaded";
}

void setDVDSystemRoot(const char* root) {
    static const auto f = Entry<decltype(&setDVDSystemRoot)>("setDVDSystemRoot");
    if (f) f(root);
}

}  // extern "C"
