// libzip's functions as the program calls them (the skin archives of file themes): each loads
// libzip at its first call (see libraryloader.h), not at start, since libzip brings the
// compression and cryptography libraries with it. Without libzip an archive cannot be opened
// and reads as not readable.
#include <zip.h>

#include <cstring>

#include "app/libraryloader.h"

namespace {

LazyLibrary gZip("libzip.so.4");

template <class F> F Entry(const char* name) { return gZip.Find<F>(name); }

}  // namespace

extern "C" {

void zip_error_init(zip_error_t* error) {
    static const auto f = Entry<decltype(&zip_error_init)>("zip_error_init");
    if (f) return f(error);
    std::memset(error, 0, sizeof *error);
}

void zip_error_fini(zip_error_t* error) {
    static const auto f = Entry<decltype(&zip_error_fini)>("zip_error_fini");
    if (f) f(error);
}

int zip_error_code_zip(const zip_error_t* error) {
    static const auto f = Entry<decltype(&zip_error_code_zip)>("zip_error_code_zip");
    return f ? f(error) : ZIP_ER_INTERNAL;
}

zip_source_t* zip_source_buffer_create(const void* data, zip_uint64_t length, int freeWhenDone, zip_error_t* error) {
    static const auto f = Entry<decltype(&zip_source_buffer_create)>("zip_source_buffer_create");
    return f ? f(data, length, freeWhenDone, error) : nullptr;
}

void zip_source_free(zip_source_t* source) {
    static const auto f = Entry<decltype(&zip_source_free)>("zip_source_free");
    if (f) f(source);
}

zip_t* zip_open_from_source(zip_source_t* source, int flags, zip_error_t* error) {
    static const auto f = Entry<decltype(&zip_open_from_source)>("zip_open_from_source");
    return f ? f(source, flags, error) : nullptr;
}

void zip_discard(zip_t* archive) {
    static const auto f = Entry<decltype(&zip_discard)>("zip_discard");
    if (f) f(archive);
}

zip_error_t* zip_get_error(zip_t* archive) {
    static const auto f = Entry<decltype(&zip_get_error)>("zip_get_error");
    return f ? f(archive) : nullptr;
}

zip_int64_t zip_get_num_entries(zip_t* archive, zip_flags_t flags) {
    static const auto f = Entry<decltype(&zip_get_num_entries)>("zip_get_num_entries");
    return f ? f(archive, flags) : -1;
}

const char* zip_get_name(zip_t* archive, zip_uint64_t index, zip_flags_t flags) {
    static const auto f = Entry<decltype(&zip_get_name)>("zip_get_name");
    return f ? f(archive, index, flags) : nullptr;
}

void zip_stat_init(zip_stat_t* stat) {
    static const auto f = Entry<decltype(&zip_stat_init)>("zip_stat_init");
    if (f) return f(stat);
    std::memset(stat, 0, sizeof *stat);
}

int zip_stat_index(zip_t* archive, zip_uint64_t index, zip_flags_t flags, zip_stat_t* stat) {
    static const auto f = Entry<decltype(&zip_stat_index)>("zip_stat_index");
    return f ? f(archive, index, flags, stat) : -1;
}

zip_file_t* zip_fopen_index(zip_t* archive, zip_uint64_t index, zip_flags_t flags) {
    static const auto f = Entry<decltype(&zip_fopen_index)>("zip_fopen_index");
    return f ? f(archive, index, flags) : nullptr;
}

zip_file_t* zip_fopen_index_encrypted(zip_t* archive, zip_uint64_t index, zip_flags_t flags, const char* password) {
    static const auto f = Entry<decltype(&zip_fopen_index_encrypted)>("zip_fopen_index_encrypted");
    return f ? f(archive, index, flags, password) : nullptr;
}

zip_int64_t zip_fread(zip_file_t* file, void* buffer, zip_uint64_t length) {
    static const auto f = Entry<decltype(&zip_fread)>("zip_fread");
    return f ? f(file, buffer, length) : -1;
}

zip_error_t* zip_file_get_error(zip_file_t* file) {
    static const auto f = Entry<decltype(&zip_file_get_error)>("zip_file_get_error");
    return f ? f(file) : nullptr;
}

int zip_fclose(zip_file_t* file) {
    static const auto f = Entry<decltype(&zip_fclose)>("zip_fclose");
    return f ? f(file) : ZIP_ER_INTERNAL;
}

}  // extern "C"
