#include "jobmodel/mediaitem.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

namespace jobmodel {

namespace {

// A sub-record with its reference count in front of it. The rows hold plain pointers to
// the record (the tree's node data is raw, zero-filled memory), and find the count from
// the record's address.
template <class T>
struct Counted {
    int refs;
    T value;
};

template <class T>
Counted<T>* BoxOf(const T* record) {
    return reinterpret_cast<Counted<T>*>(reinterpret_cast<std::uintptr_t>(record) - offsetof(Counted<T>, value));
}

template <class T>
T* NewCounted() {
    auto* box = new Counted<T>();  // value-initialised: all zero
    box->refs = 1;
    return &box->value;
}

}  // namespace

template <class T>
T* Share(T* record) {
    if (record) ++BoxOf(record)->refs;
    return record;
}

template <class T>
void Drop(T*& record) {
    if (!record) return;
    Counted<T>* box = BoxOf(record);
    record = nullptr;
    if (--box->refs == 0) delete box;
}

template <class T>
int ShareCount(const T* record) {
    return record ? BoxOf(record)->refs : 0;
}

#define LUMACAST_SHARED(T)                 \
    template T* Share<T>(T*);              \
    template void Drop<T>(T*&);            \
    template int ShareCount<T>(const T*);
LUMACAST_SHARED(TimeRange)
LUMACAST_SHARED(CropSetting)
LUMACAST_SHARED(EffectSetting)
LUMACAST_SHARED(CustomSetting)
LUMACAST_SHARED(MediaInfo)
#undef LUMACAST_SHARED

TimeRange* NewTimeRange() { return NewCounted<TimeRange>(); }

CropSetting* NewCropSetting() {
    CropSetting* c = NewCounted<CropSetting>();
    ResetCropSetting(*c);
    return c;
}

EffectSetting* NewEffectSetting() {
    EffectSetting* e = NewCounted<EffectSetting>();
    ResetEffectSetting(*e);
    return e;
}

CustomSetting* NewCustomSetting() {
    CustomSetting* c = NewCounted<CustomSetting>();
    InitCustomSetting(*c);
    return c;
}

MediaInfo* NewMediaInfo() { return NewCounted<MediaInfo>(); }

void CopyTextField(char* field, std::size_t width, const char* text, std::size_t limit) {
    if (width == 0) return;
    std::memset(field, 0, width);
    if (!text) return;
    std::size_t n = strnlen(text, std::min(limit, width - 1));
    // Never split a multi-byte character: step back over continuation bytes.
    while (n > 0 && text[n] != '\0' && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text, n);
}

void ClearItemRow(ItemRow& row) {
    std::memset(row.source, 0, sizeof row.source);
    std::memset(row.originalLength, 0, sizeof row.originalLength);
    std::memset(row.trimmedLength, 0, sizeof row.trimmedLength);
    std::memset(row.destination, 0, sizeof row.destination);
}

void CopyItemRowTexts(ItemRow& destination, const ItemRow& source) {
    if (&destination == &source) return;
    std::memcpy(destination.source, source.source, sizeof source.source);
    std::memcpy(destination.originalLength, source.originalLength, sizeof source.originalLength);
    std::memcpy(destination.trimmedLength, source.trimmedLength, sizeof source.trimmedLength);
    std::memcpy(destination.destination, source.destination, sizeof source.destination);
}

void ResetTimeRange(TimeRange& range) { range = TimeRange{0, 0}; }
void CopyTimeRange(TimeRange& destination, const TimeRange& source) { destination = source; }

void ResetCropSetting(CropSetting& crop) {
    crop.top = crop.bottom = crop.left = crop.right = 0;
    CopyTextField(crop.aspect, "original");
}

void CopyCropSetting(CropSetting& destination, const CropSetting& source) {
    if (&destination == &source) return;
    destination.top = source.top;
    destination.bottom = source.bottom;
    destination.left = source.left;
    destination.right = source.right;
    CopyTextField(destination.aspect, source.aspect);
}

void ResetEffectSetting(EffectSetting& effect) { effect = EffectSetting{0, 0, 0, 0, 0, ekNone, 255}; }
void CopyEffectSetting(EffectSetting& destination, const EffectSetting& source) { destination = source; }

void InitMediaItem(MediaItem& item) {
    ReleaseMediaItem(item);
    item.dvdDisc = nullptr;
    item.dvdTitleSet = nullptr;
    item.dvdTitle = nullptr;
    item.dvdChapter = nullptr;
    item.copyMark = 0;
    item.timeRange = NewTimeRange();
    item.crop = NewCropSetting();
    item.effect = NewEffectSetting();
}

void ReleaseMediaItem(MediaItem& item) {
    Drop(item.timeRange);
    Drop(item.crop);
    Drop(item.effect);
    Drop(item.customSetting);
    Drop(item.mediaInfo);
    ClearItemRow(item.row);
}

void SetRowRole(MediaItem& item, RowRole role) {
    // The job list's pictures: file, segment, merge group, slide group; the DVD window's:
    // disc, title, chapter.
    constexpr std::int32_t kPictures[] = {0, 1, 2, 3, 0, 1, 2};
    item.role = role;
    item.imageIndex = role >= 0 && role < std::int32_t(std::size(kPictures)) ? kPictures[role] : 0;
}

void CopyMediaItem(MediaItem& destination, const MediaItem& source) {
    if (&destination == &source) return;
    destination.kind = source.kind;
    destination.imageIndex = source.imageIndex;
    destination.role = source.role;
    CopyTextField(destination.name, source.name);

    // Make every copy before letting go of what the destination held, so a destination
    // that shared records with the source still copies intact values.
    TimeRange* range = NewTimeRange();
    if (source.timeRange) CopyTimeRange(*range, *source.timeRange);
    CropSetting* crop = NewCropSetting();
    if (source.crop) CopyCropSetting(*crop, *source.crop);
    EffectSetting* effect = NewEffectSetting();
    if (source.effect) CopyEffectSetting(*effect, *source.effect);
    MediaInfo* info = NewMediaInfo();
    if (source.mediaInfo) std::memcpy(info, source.mediaInfo, sizeof(MediaInfo));
    CustomSetting* custom = NewCustomSetting();
    CopyItemCustomSetting(*custom, source);

    Drop(destination.timeRange);
    Drop(destination.crop);
    Drop(destination.effect);
    Drop(destination.mediaInfo);
    Drop(destination.customSetting);
    destination.timeRange = range;
    destination.crop = crop;
    destination.effect = effect;
    destination.mediaInfo = info;
    destination.customSetting = custom;
    CopyItemRowTexts(destination.row, source.row);
}

void CopyDvdFields(MediaItem& destination, const MediaItem& source) {
    destination.dvdKind = source.dvdKind;
    destination.dvdDisc = source.dvdDisc;
    destination.dvdTitleSet = source.dvdTitleSet;
    destination.dvdTitle = source.dvdTitle;
    destination.dvdChapter = source.dvdChapter;
    destination.dvdTitleNumber = source.dvdTitleNumber;
    destination.dvdChapterNumber = source.dvdChapterNumber;
    destination.subtitleId = source.subtitleId;
    destination.audioId = source.audioId;
}

void SetItemRow(ItemRow& row, const char* source, const char* originalLength, const char* trimmedLength,
                const char* destination, std::uint8_t checkType, std::uint8_t checkState) {
    ClearItemRow(row);
    CopyTextField(row.source, source, 30);
    CopyTextField(row.originalLength, originalLength, 20);
    CopyTextField(row.trimmedLength, trimmedLength, 20);
    CopyTextField(row.destination, destination, 50);
    row.checkType = checkType;
    row.checkState = checkState;
}

std::string FormatSeconds(float seconds) {
    double up = std::ceil(static_cast<double>(seconds));
    // Lengths are never negative, and a length past what an int holds is not a length.
    long long s = std::isfinite(up) && up > 0 ? static_cast<long long>(std::min(up, 2147483647.0)) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", s / 3600, s % 3600 / 60, s % 60);
    return text;
}

std::string FieldText(const char* field, std::size_t width) { return std::string(field, strnlen(field, width)); }

}  // namespace jobmodel
