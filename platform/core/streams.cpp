#include "platform/core/streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

std::int64_t TStream::Size() {
    std::int64_t pos = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<char> buf(size_t(std::min<std::int64_t>(count, 1 << 16)) + 1);
    std::int64_t left = count;
    while (left > 0) {
        std::int64_t n = std::min<std::int64_t>(left, std::int64_t(buf.size()));
        source.ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        left -= n;
    }
    return count;
}

// --- memory -----------------------------------------------------------------------------

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    std::int64_t n = std::clamp<std::int64_t>(Size() - position_, 0, std::max<std::int64_t>(count, 0));
    if (n > 0) std::memcpy(buffer, data_.data() + position_, size_t(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    if (position_ + count > Size()) {
        try {
            data_.resize(size_t(position_ + count));
        } catch (const std::exception&) {
            return 0;  // WriteBuffer reports it
        }
    }
    std::memcpy(data_.data() + position_, buffer, size_t(count));
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
    position_ = std::max<std::int64_t>(base + offset, 0);  // beyond the end is allowed, as in the library
    return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
    try {
        data_.resize(size_t(std::max<std::int64_t>(size, 0)));
    } catch (const std::exception&) {
        throw EStreamError("Out of memory while expanding memory stream");
    }
    position_ = std::min(position_, Size());
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    std::int64_t n = stream.Size();
    SetSize(n);
    stream.ReadBuffer(data_.data(), n);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) { stream.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// --- files ------------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : fileName_(fileName) {
    const bool create = (mode & fmCreate) == fmCreate;
    int flags = O_CLOEXEC;
    if (create) {
        flags |= O_RDWR | O_CREAT;  // truncated only once the lock is held
    } else {
        switch (mode & 3) {
            case fmOpenWrite: flags |= O_WRONLY; break;
            case fmOpenReadWrite: flags |= O_RDWR; break;
            default: flags |= O_RDONLY; break;
        }
    }
    fd_ = ::open(fileName.c_str(), flags, 0666);
    struct stat st {};
    if (fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        errno = EISDIR;
    }
    const unsigned share = mode & 0xF0;
    if (fd_ >= 0 && share != fmShareDenyNone && share != fmShareCompat) {
        int how = share == fmShareExclusive ? LOCK_EX : LOCK_SH;
        if (flock(fd_, how | LOCK_NB) != 0) {
            int e = errno;
            ::close(fd_);
            fd_ = -1;
            errno = e == EWOULDBLOCK ? EBUSY : e;
        }
    }
    if (fd_ >= 0 && create && ::ftruncate(fd_, 0) != 0) {
        int e = errno;
        ::close(fd_);
        fd_ = -1;
        errno = e;
    }
    if (fd_ < 0) {
        std::string reason = std::strerror(errno);
        if (create) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(fd_, off_t(offset), whence);
    return r < 0 ? -1 : std::int64_t(r);
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(fd_, off_t(size)) != 0)
        throw EWriteError("Cannot set the size of \"" + fileName_ + "\". " + std::strerror(errno));
    if (Position() > size) SetPosition(size);
}

}  // namespace platform
