// The exported record functions, colour packing, the template root and the file cipher.
#include <cstdlib>
#include <new>

#include "playermaker/cipher.h"
#include "playermaker/morvbrindle.h"
#include "playermaker/templates.h"

namespace {

// Records are plain C structures: zero-filled storage from calloc, released with free.
template <typename T>
T* CreateRecord(T** out) {
    T* record = static_cast<T*>(std::calloc(1, sizeof(T)));
    if (out) *out = record;
    return record;
}

template <typename T>
void FreeRecord(T** record) {
    if (record && *record) {
        std::free(*record);
        *record = nullptr;
    }
}

}  // namespace

extern "C" {

void setFilePrefixPath(const char* folder) { morvbrindle::SetTemplateRoot(folder); }

KbnUIGroupOption* createKbnUIGroupOption(KbnUIGroupOption** group) { return CreateRecord(group); }
KbnUIGenerateOption* createKbnUIGenerateOption(KbnUIGenerateOption** option) { return CreateRecord(option); }
KbnUIPlayerOption* createKbnUIPlayerOption(KbnUIPlayerOption** option) { return CreateRecord(option); }
KbnUIOverlayADOption* createKbnUIOverlayADOption(KbnUIOverlayADOption** option) { return CreateRecord(option); }
KbnUIInsertAdOption* createKbnUIInsertAdOption(KbnUIInsertAdOption** option) { return CreateRecord(option); }

KbnUIMediaOption* createKbnUIMediaOption(KbnUIGroupOption* group, KbnUIMediaOption** media) {
    if (media) *media = nullptr;
    if (!group || group->mediaCount < 0 || group->mediaCount >= KBN_MAX_MEDIA) return nullptr;
    KbnUIMediaOption* record = CreateRecord(media);
    if (!record) return nullptr;
    record->group = group;
    group->media[group->mediaCount++] = record;
    return record;
}

void freeKbnUIGroupOption(KbnUIGroupOption** group) {
    if (!group || !*group) return;
    KbnUIGroupOption* g = *group;
    FreeRecord(&g->generate);
    FreeRecord(&g->player);
    FreeRecord(&g->headCredit);
    FreeRecord(&g->tailCredit);
    const int count = g->mediaCount < 0 ? 0 : (g->mediaCount > KBN_MAX_MEDIA ? KBN_MAX_MEDIA : g->mediaCount);
    for (int i = 0; i < count; ++i) FreeRecord(&g->media[i]);
    FreeRecord(&g->overlay);
    FreeRecord(group);
}

void freeKbnUIGenerateOption(KbnUIGenerateOption** option) { FreeRecord(option); }
void freeKbnUIPlayerOption(KbnUIPlayerOption** option) { FreeRecord(option); }
void freeKbnUIMediaOption(KbnUIMediaOption** option) { FreeRecord(option); }
void freeKbnUIOverlayADOption(KbnUIOverlayADOption** option) { FreeRecord(option); }
void freeKbnUIInsertAdOption(KbnUIInsertAdOption** option) { FreeRecord(option); }

int RGBToInt(int* value, int red, int green, int blue) {
    const int packed = ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
    if (value) *value = packed;
    return packed;
}

int IntToRGB(int value, int* red, int* green, int* blue) {
    if (red) *red = (value >> 16) & 0xFF;
    if (green) *green = (value >> 8) & 0xFF;
    if (blue) *blue = value & 0xFF;
    return value & 0xFF;
}

int generateCryptFile(int mode, const char* key, const char* inputPath, const char* outputPath) {
    if (!key || !*key || !inputPath || !outputPath || !*outputPath) return kbnErrBadOptions;
    morvbrindle::CipherFileResult result = morvbrindle::ReadCipherFile(inputPath, mode, key);
    if (result.error != 0) return result.error;
    return morvbrindle::WriteFileReplacing(outputPath, result.text) ? kbnOk : kbnErrCannotWrite;
}

}  // extern "C"
