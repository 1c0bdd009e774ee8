// The converter's functions as the program calls them: each loads libmorvconverter.so at its
// first call (see libraryloader.h). Without the library, results say so: crInternalError,
// no record, and the reason as the failure text.
#include <cstring>

#include "app/libraryloader.h"
#include "libs/morvconverter/morvconverter.h"

namespace {

LazyLibrary gConverter("libmorvconverter.so");

template <class F> F Entry(const char* name) { return gConverter.Find<F>(name); }

}  // namespace

extern "C" {

std::int32_t isSupportFormat(const char* path) {
    static const auto f = Entry<decltype(&isSupportFormat)>("isSupportFormat");
    return f ? f(path) : crInternalError;
}

std::int32_t getFileInfo(MediaInfo* info) {
    static const auto f = Entry<decltype(&getFileInfo)>("getFileInfo");
    return f ? f(info) : crInternalError;
}

std::int32_t getDVDProperties(MediaInfo* info) {
    static const auto f = Entry<decltype(&getDVDProperties)>("getDVDProperties");
    return f ? f(info) : crInternalError;
}

GroupMediaUIOption* createGroupMediaUIOptionForDVD(GroupMediaUIOption** group, const DvdDisc* disc,
                                                   const char* formatName, std::int32_t formatNumber) {
    static const auto f = Entry<decltype(&createGroupMediaUIOptionForDVD)>("createGroupMediaUIOptionForDVD");
    return f ? f(group, disc, formatName, formatNumber) : nullptr;
}

GroupMediaUIOption* createGroupMediaUIOption(GroupMediaUIOption** group, const char* formatName,
                                             std::int32_t formatNumber) {
    static const auto f = Entry<decltype(&createGroupMediaUIOption)>("createGroupMediaUIOption");
    return f ? f(group, formatName, formatNumber) : nullptr;
}

MediaUIOption* createMediaUIOptionForDVD(GroupMediaUIOption* group, const DvdChapter* chapter) {
    static const auto f = Entry<decltype(&createMediaUIOptionForDVD)>("createMediaUIOptionForDVD");
    return f ? f(group, chapter) : nullptr;
}

MediaUIOption* createMediaUIOption(GroupMediaUIOption* group, const char* path) {
    static const auto f = Entry<decltype(&createMediaUIOption)>("createMediaUIOption");
    return f ? f(group, path) : nullptr;
}

void freeGroupMediaUIOption(GroupMediaUIOption** group) {
    static const auto f = Entry<decltype(&freeGroupMediaUIOption)>("freeGroupMediaUIOption");
    if (f) f(group);
}

std::int32_t converteToMedia(GroupMediaUIOption* group, const char* formatName, std::int32_t formatNumber) {
    static const auto f = Entry<decltype(&converteToMedia)>("converteToMedia");
    return f ? f(group, formatName, formatNumber) : crInternalError;
}

std::int32_t getConvertFailureText(const GroupMediaUIOption* group, char* text, std::int32_t size) {
    static const auto f = Entry<decltype(&getConvertFailureText)>("getConvertFailureText");
    if (f) return f(group, text, size);
    const std::string why = gConverter.Error();
    if (text && size > 0) {
        const std::size_t n = std::min(why.size(), std::size_t(size - 1));
        std::memcpy(text, why.data(), n);
        text[n] = 0;
    }
    return std::int32_t(why.size());
}

void setProgressHandle(const ProgressHandle* handle) {
    static const auto f = Entry<decltype(&setProgressHandle)>("setProgressHandle");
    if (f) f(handle);
}

void setMessagePoster(ConverterMessagePoster poster) {
    static const auto f = Entry<decltype(&setMessagePoster)>("setMessagePoster");
    if (f) f(poster);
}

void freeConvertProgressInfo(ConvertProgressInfo* info) {
    static const auto f = Entry<decltype(&freeConvertProgressInfo)>("freeConvertProgressInfo");
    if (f) f(info);
}

void setUsingPreview(std::int32_t on) {
    static const auto f = Entry<decltype(&setUsingPreview)>("setUsingPreview");
    if (f) f(on);
}

void setPreviewSink(ConverterPreviewSink sink, void* context) {
    static const auto f = Entry<decltype(&setPreviewSink)>("setPreviewSink");
    if (f) f(sink, context);
}

}  // extern "C"
