#include "platform/core/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

namespace platform {

namespace {

bool StatOf(const std::string& path, struct stat& st) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    return ::stat(path.c_str(), &st) == 0;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without no-replace renames: link, then drop the old name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

bool ReadRegularFile(const std::string& fileName, std::vector<std::uint8_t>& out, std::uintmax_t maxSize) {
    out.clear();
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else if (std::uintmax_t(st.st_size) > maxSize) {
        error = EFBIG;
    } else {
        out.resize(std::size_t(st.st_size));
        std::size_t got = 0;
        while (got < out.size()) {
            ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            if (n <= 0) break;
            got += std::size_t(n);
        }
        if (error == 0 && got != out.size()) error = EIO;
    }
    ::close(fd);
    if (error != 0) {
        out.clear();
        errno = error;
        return false;
    }
    return true;
}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return StatOf(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dir) {
    struct stat st {};
    return StatOf(dir, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& dir) { return !dir.empty() && ::mkdir(dir.c_str(), 0777) == 0; }

bool ForceDirectories(const std::string& dir) {
    std::string d = ExcludeTrailingPathDelimiter(dir);
    if (d.empty()) {
        errno = ENOENT;
        return false;
    }
    if (DirectoryExists(d)) return true;
    std::string parent = ExtractFileDir(d);
    if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
    return CreateDir(d) || (errno == EEXIST && DirectoryExists(d));
}

bool RemoveDir(const std::string& dir) { return !dir.empty() && ::rmdir(dir.c_str()) == 0; }

bool DeleteFile(const std::string& fileName) {
    if (DirectoryExists(fileName)) {
        errno = EISDIR;
        return false;
    }
    return !fileName.empty() && ::unlink(fileName.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
    return !oldName.empty() && !newName.empty() && RenameNoReplace(oldName, newName);
}

bool CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
    struct stat st {};
    if (!StatOf(source, st)) return false;
    if (S_ISDIR(st.st_mode) || target.empty() || DirectoryExists(target)) {
        errno = EISDIR;
        return false;
    }
    if (failIfExists && ::access(target.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    static std::atomic<unsigned> counter{0};
    std::string temp = ExtractFilePath(target) + "." + ExtractFileName(target) + ".copy-" +
                       std::to_string(::getpid()) + "-" + std::to_string(++counter);
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        int e = errno;
        ::close(in);
        errno = e;
        return false;
    }
    bool ok = true;
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        for (ssize_t done = 0; ok && done < n;) {
            ssize_t w = ::write(out, buf + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) ok = false;
            else done += w;
        }
        if (!ok) break;
    }
    int e = errno;
    ::close(in);
    if (ok) ::fchmod(out, st.st_mode & 07777);  // the umask must not narrow the copy
    if (::close(out) != 0) ok = false;
    if (ok) ok = failIfExists ? RenameNoReplace(temp, target) : ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        e = errno ? errno : e;
        ::unlink(temp.c_str());
        errno = e;
    }
    return ok;
}

std::string GetCurrentDir() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}

bool SetCurrentDir(const std::string& dir) { return !dir.empty() && ::chdir(dir.c_str()) == 0; }

std::string ProgramFileName() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

void IgnoreFileSizeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void IgnoreBrokenPipeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

std::string ProgramDir() { return ExtractFilePath(ProgramFileName()); }

std::string IncludeTrailingPathDelimiter(const std::string& path) {
    return !path.empty() && path.back() == PathDelim ? path : path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == PathDelim) p.pop_back();
    return p;
}

std::string ExtractFilePath(const std::string& fileName) {
    auto slash = fileName.rfind(PathDelim);
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
    std::string path = ExtractFilePath(fileName);
    return path.size() > 1 ? path.substr(0, path.size() - 1) : path;
}

std::string ExtractFileName(const std::string& fileName) {
    auto slash = fileName.rfind(PathDelim);
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
    std::string name = ExtractFileName(fileName);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
    std::string ext = ExtractFileExt(fileName);
    return fileName.substr(0, fileName.size() - ext.size()) + extension;
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    if (mask == "*.*" || mask == "*") return true;
    // Iterative wildcard match with one back-tracking point for the last "*".
    size_t n = 0, m = 0, starM = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Upper(mask[m]) == Upper(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

struct SearchState {
    std::vector<TSearchRec> entries;
    size_t next = 0;
};

int FindFirst(const std::string& pattern, int attr, TSearchRec& rec) {
    FindClose(rec);
    std::string dir = ExtractFilePath(pattern);
    std::string mask = ExtractFileName(pattern);
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return 3;
    auto state = std::make_shared<SearchState>();
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
        struct stat st {}, lst {};
        std::string full = dir + name;
        if (::lstat(full.c_str(), &lst) != 0) continue;  // gone meanwhile
        bool link = S_ISLNK(lst.st_mode);
        if (!link || ::stat(full.c_str(), &st) != 0) st = lst;
        int a = 0;
        if (S_ISDIR(st.st_mode)) a |= faDirectory;
        else if (S_ISREG(st.st_mode)) a |= faArchive;
        else a |= faSysFile;
        if (link) a |= faSymLink;
        if (name[0] == '.') a |= faHidden;
        if (::access(full.c_str(), W_OK) != 0) a |= faReadOnly;
        // Special kinds are listed only when asked for, as with the system's search.
        if ((a & (faDirectory | faHidden | faSysFile)) & ~attr) continue;
        TSearchRec r;
        r.Name = name;
        r.Attr = a;
        r.Size = S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0;
        r.Time = std::int64_t(st.st_mtime);
        state->entries.push_back(std::move(r));
    }
    ::closedir(d);
    std::sort(state->entries.begin(), state->entries.end(),
              [](const TSearchRec& a, const TSearchRec& b) { return a.Name < b.Name; });
    if (state->entries.empty()) return 2;
    rec.FindHandle = state;
    return FindNext(rec);
}

int FindNext(TSearchRec& rec) {
    SearchState* s = rec.FindHandle.get();
    if (s == nullptr || s->next >= s->entries.size()) return 18;
    const TSearchRec& e = s->entries[s->next++];
    rec.Time = e.Time;
    rec.Size = e.Size;
    rec.Attr = e.Attr;
    rec.Name = e.Name;
    return 0;
}

void FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }

}  // namespace platform
