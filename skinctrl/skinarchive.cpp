#include "skinctrl/skinarchive.h"

#include <zip.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/core/files.h"

namespace skinctrl {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
           (std::uint32_t(b[at + 3]) << 24);
}

bool ReadArchive(const std::string& path, Bytes& out) {
    // A FIFO or device put where the skin was (or swapped in after a look at the folder) is
    // refused at once, never waited on.
    return platform::ReadRegularFile(path, out, kMaxSkinArchiveSize);
}

bool SameName(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return !a[i] && i == b.size();
}

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct FileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

TExtractResult Extract(const std::string& archivePath, const std::string& entryName, const std::string& password,
                       Bytes& entry) {
    Bytes data;
    if (!ReadArchive(archivePath, data)) return TExtractResult::NotReadable;
    // "SK" at the start, and an end record of exactly 22 bytes (no comment) at the end.
    if (data.size() < 22 || data[0] != 'S' || data[1] != 'K') return TExtractResult::NotReadable;
    std::size_t end = data.size() - 22;
    if (U32(data, end) != 0x06054B50u || data[end + 20] != 0 || data[end + 21] != 0)
        return TExtractResult::NotReadable;
    data[0] = 'P';

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(data.data(), data.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return TExtractResult::NotReadable;
    }
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error));
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(source);
        return TExtractResult::NotReadable;
    }

    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    zip_int64_t found = -1;
    for (zip_int64_t i = 0; i < count && found < 0; ++i) {
        const char* name = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name && SameName(name, entryName)) found = i;
    }
    if (found < 0) return TExtractResult::NotReadable;

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive.get(), zip_uint64_t(found), 0, &st) != 0) return TExtractResult::NotReadable;
    const zip_uint64_t need = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & need) != need) return TExtractResult::NotReadable;
    if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE) return TExtractResult::NotReadable;
    if (st.size > kMaxSkinEntrySize) return TExtractResult::NotReadable;
    bool encrypted = st.encryption_method != ZIP_EM_NONE;
    if (encrypted && st.encryption_method != ZIP_EM_TRAD_PKWARE) return TExtractResult::NotReadable;
    if (encrypted && password.empty()) return TExtractResult::QuietlyNotLoaded;

    std::unique_ptr<zip_file_t, FileCloser> file(
        encrypted ? zip_fopen_index_encrypted(archive.get(), zip_uint64_t(found), 0, password.c_str())
                  : zip_fopen_index(archive.get(), zip_uint64_t(found), 0));
    if (!file) {
        int code = zip_error_code_zip(zip_get_error(archive.get()));
        return code == ZIP_ER_WRONGPASSWD ? TExtractResult::QuietlyNotLoaded : TExtractResult::NotReadable;
    }
    // One byte more than announced tells a longer stream from a right one.
    const std::size_t room = std::size_t(st.size) + 1;
    entry.resize(room);
    std::size_t got = 0;
    bool failed = false;
    while (got < room) {
        zip_int64_t n = zip_fread(file.get(), entry.data() + got, room - got);
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) break;
        got += std::size_t(n);
    }
    if (failed) {
        int code = zip_error_code_zip(zip_file_get_error(file.get()));
        // A wrong password that passed the check byte decodes to garbage; a CRC mismatch
        // is a damaged entry that is not worth an error.
        if (encrypted || code == ZIP_ER_CRC || code == ZIP_ER_INCONS) return TExtractResult::QuietlyNotLoaded;
        return TExtractResult::NotReadable;
    }
    if (got != st.size) return TExtractResult::QuietlyNotLoaded;
    if (got == 0) return TExtractResult::NotReadable;
    entry.resize(got);
    return TExtractResult::Extracted;
}

}  // namespace

TExtractResult ExtractEntryData(const std::string& archivePath, const std::string& entryName,
                                const std::string& password, std::vector<std::uint8_t>& entry) {
    TExtractResult result;
    try {
        result = Extract(archivePath, entryName, password, entry);
    } catch (const std::exception&) {
        result = TExtractResult::NotReadable;
    }
    if (result != TExtractResult::Extracted) entry.clear();
    return result;
}

TExtractResult ExtractEntry(const std::string& archivePath, const std::string& entryName,
                            const std::string& targetPath, const std::string& password) {
    Bytes entry;
    TExtractResult result = ExtractEntryData(archivePath, entryName, password, entry);
    if (result == TExtractResult::Extracted) {
        std::ofstream target(targetPath, std::ios::binary | std::ios::trunc);
        if (target) target.write(reinterpret_cast<const char*>(entry.data()), std::streamsize(entry.size()));
        if (target) target.close();
        if (!target) result = TExtractResult::NotReadable;
    }
    if (result != TExtractResult::Extracted) {
        std::error_code ec;
        std::filesystem::remove(targetPath, ec);
    }
    return result;
}

}  // namespace skinctrl
