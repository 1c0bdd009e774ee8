#pragma once
// Streams of bytes: TStream, TMemoryStream and TFileStream.
//
// File share modes exist on Linux only as advisory locks: a TFileStream opened with
// fmShareExclusive holds an exclusive lock, the other share modes (except fmShareDenyNone)
// a shared one, so opens of this program that would conflict fail with EFOpenError.
// Programs that take no locks are not stopped.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/classes.h"

namespace platform {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

constexpr unsigned fmCreate = 0xFF00;
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareCompat = 0x0000;
constexpr unsigned fmShareExclusive = 0x0010;
constexpr unsigned fmShareDenyWrite = 0x0020;
constexpr unsigned fmShareDenyRead = 0x0030;
constexpr unsigned fmShareDenyNone = 0x0040;

class TStream : public TObject {
public:
    // Read and Write move at most count bytes and return how many they moved.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size) = 0;

    // All or nothing: raise EReadError "Stream read error" / EWriteError "Stream write error".
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies count bytes from source's position; count 0 copies all of source from its start.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return std::int64_t(data_.size()); }
    void SetSize(std::int64_t size) override;
    void Clear();
    std::uint8_t* Memory() { return data_.data(); }
    const std::uint8_t* Memory() const { return data_.data(); }

    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

private:
    std::vector<std::uint8_t> data_;
    std::int64_t position_ = 0;
};

class TFileStream : public TStream {
public:
    // mode: fmCreate (create or truncate, read-write) or fmOpenRead/Write/ReadWrite, each
    // with a share mode. Raises EFCreateError or EFOpenError naming the file and the reason.
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    const std::string& FileName() const { return fileName_; }
    int Handle() const { return fd_; }

private:
    std::string fileName_;
    int fd_ = -1;
};

}  // namespace platform
