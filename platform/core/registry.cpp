#include "platform/core/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_set>

#include "platform/core/clock.h"
#include "platform/core/strings.h"
#include "platform/core/sysutils.h"

namespace platform {

// --- the file format --------------------------------------------------------------------
//
//   lumacast registry 1
//   key "Software\\Maker\\Product\\setting"
//   value "Skin" string "/opt/lumacast/Images/DefaultImage.xml"
//   value "AutoUpdate" integer 0
//   value "Blob" binary 00ff10
//   value "Path" expand "$HOME/x"
//   end
//
// Texts are in double quotes with \\, \", \n, \r, \t and \xHH escapes; bytes from 0x80 up
// stand as they are (UTF-8). The closing "end" line tells a complete file from a cut one.

namespace regstore {

namespace {

constexpr const char* kHeader = "lumacast registry 1";

const char* TypeName(TRegDataType t) {
    switch (t) {
        case rdString: return "string";
        case rdExpandString: return "expand";
        case rdInteger: return "integer";
        case rdBinary: return "binary";
        default: return "unknown";
    }
}

void Quote(std::string& out, const std::string& s) {
    static const char* hex = "0123456789abcdef";
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += char(c);
                }
        }
    }
    out += '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text at line[pos]; pos ends after the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[pos++]);
        if (c == '"') return true;
        if (c < 0x20 || c == 0x7F) return false;
        if (c != '\\') {
            out += char(c);
            continue;
        }
        if (pos >= line.size()) return false;
        char e = line[pos++];
        switch (e) {
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'x': {
                if (pos + 2 > line.size()) return false;
                int hi = HexDigit(line[pos]), lo = HexDigit(line[pos + 1]);
                if (hi < 0 || lo < 0) return false;
                out += char(hi * 16 + lo);
                pos += 2;
                break;
            }
            default: return false;
        }
    }
    return false;
}

bool ValidPath(const std::string& path) {
    if (path.empty()) return true;
    if (path.front() == '\\' || path.back() == '\\') return false;
    return path.find("\\\\") == std::string::npos;
}

}  // namespace

bool Parse(const std::string& text, std::vector<Key>& keys, std::string& error) {
    keys.clear();
    if (text.find('\0') != std::string::npos) {
        error = "the file holds binary data";
        return false;
    }
    size_t pos = 0;
    int lineNo = 0;
    bool ended = false;
    // Names compare without regard to case: the sets hold them upper-cased.
    std::unordered_set<std::string> keyPaths, valueNames;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        keys.clear();
        return false;
    };
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            ++lineNo;
            return fail("the last line is cut off");
        }
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++lineNo;
        if (ended) return fail("text after the end line");
        if (lineNo == 1) {
            if (line != kHeader) return fail("not a settings store");
            continue;
        }
        if (line == "end") {
            ended = true;
            continue;
        }
        if (line.rfind("key ", 0) == 0) {
            size_t p = 4;
            Key k;
            if (!Unquote(line, p, k.path) || p != line.size() || !ValidPath(k.path)) return fail("bad key line");
            if (!keyPaths.insert(UpperCase(k.path)).second) return fail("key listed twice");
            valueNames.clear();
            keys.push_back(std::move(k));
            continue;
        }
        if (line.rfind("value ", 0) == 0) {
            if (keys.empty()) return fail("value outside a key");
            size_t p = 6;
            Value v;
            if (!Unquote(line, p, v.name) || p >= line.size() || line[p] != ' ') return fail("bad value name");
            size_t sp = line.find(' ', p + 1);
            if (sp == std::string::npos) return fail("value without data");
            std::string type = line.substr(p + 1, sp - p - 1);
            std::string data = line.substr(sp + 1);
            if (type == "string" || type == "expand") {
                v.type = type == "string" ? rdString : rdExpandString;
                size_t q = 0;
                if (!Unquote(data, q, v.data) || q != data.size()) return fail("bad text");
            } else if (type == "integer") {
                v.type = rdInteger;
                int n;
                if (data.empty() || data[0] == ' ' || !TryStrToInt(data, n) || IntToStr(n) != data)
                    return fail("bad integer");
                v.data = data;
            } else if (type == "binary") {
                v.type = rdBinary;
                if (data.size() % 2 != 0) return fail("bad binary data");
                for (size_t i = 0; i < data.size(); i += 2) {
                    int hi = HexDigit(data[i]), lo = HexDigit(data[i + 1]);
                    if (hi < 0 || lo < 0) return fail("bad binary data");
                    v.data += char(hi * 16 + lo);
                }
            } else {
                return fail("unknown value type");
            }
            if (!valueNames.insert(UpperCase(v.name)).second) return fail("value listed twice");
            keys.back().values.push_back(std::move(v));
            continue;
        }
        return fail("unknown line");
    }
    if (lineNo == 0) {
        error = "the file is empty";
        return false;
    }
    if (!ended) {
        error = "the file is cut off (no end line)";
        keys.clear();
        return false;
    }
    return true;
}

std::string Serialize(const std::vector<Key>& keys) {
    static const char* hex = "0123456789abcdef";
    std::string out = std::string(kHeader) + "\n";
    for (const Key& k : keys) {
        out += "key ";
        Quote(out, k.path);
        out += '\n';
        for (const Value& v : k.values) {
            out += "value ";
            Quote(out, v.name);
            out += ' ';
            out += TypeName(v.type);
            out += ' ';
            if (v.type == rdBinary) {
                for (unsigned char c : v.data) {
                    out += hex[c >> 4];
                    out += hex[c & 15];
                }
            } else if (v.type == rdInteger) {
                out += v.data;
            } else {
                Quote(out, v.data);
            }
            out += '\n';
        }
    }
    out += "end\n";
    return out;
}

}  // namespace regstore

// --- the store file ---------------------------------------------------------------------

namespace {

using regstore::Key;
using regstore::Value;
using Image = std::vector<Key>;

struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileId&) const = default;
};

FileId Identify(const std::string& file) {
    FileId id;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return id;
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

// Whether the store's folder may be trusted: one that another user owns or may write to
// could hold settings planted there (and settings name files that get opened). A folder
// that does not exist yet is made by the first write, for this user alone.
bool TrustedDir(const std::string& dir, std::string& why) {
    if (dir.empty()) {
        why = "no home folder is known for this user";
        return false;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) why = "the settings folder \"" + dir + "\" is not a folder";
    else if (st.st_uid != ::geteuid()) why = "the settings folder \"" + dir + "\" belongs to another user";
    else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) why = "other users may write to the settings folder \"" + dir + "\"";
    else return true;
    return false;
}

std::mutex hooksMutex;
std::function<void(const std::string&)>& ReportHook() {
    static auto* f = new std::function<void(const std::string&)>;
    return *f;
}
std::function<void(const std::string&)>& WriteHook() {
    static auto* f = new std::function<void(const std::string&)>;
    return *f;
}

void Report(const std::string& message) {
    std::function<void(const std::string&)> report;
    {
        std::lock_guard<std::mutex> lock(hooksMutex);
        report = ReportHook();
    }
    if (report) report(message);
    else std::cerr << "lumacast: " << message << std::endl;
}

// Renames a damaged store aside without replacing anything; returns the new name or "".
std::string MoveAside(const std::string& file) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::string base = file + Format(".damaged-%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                                     t.wMinute, t.wSecond);
    for (int n = 1; n < 1000; ++n) {
        std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
        if (errno == EEXIST) continue;
        if (errno == EINVAL || errno == ENOSYS) {  // a file system without no-replace renames
            if (::access(aside.c_str(), F_OK) == 0) continue;
            if (::rename(file.c_str(), aside.c_str()) == 0) return aside;
        }
        return "";
    }
    return "";
}

bool ReadWhole(const std::string& file, std::string& text, int& err) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

using Change = std::function<bool(Image&)>;

void AddKey(Image& image, const std::string& path);
void Normalize(Image& image);
void RemoveStaleTemps(const std::string& dir);

// The cached image of the store file, reloaded when the file changes.
class Store {
public:
    // The current image; never null.
    std::shared_ptr<const Image> Read() {
        ReportLater reports{*this};
        std::lock_guard<std::mutex> lock(mutex_);
        Refresh();
        return image_;
    }

    // Applies the changes, in order, to a copy of the current image and writes it in one
    // transaction. A change returns false when it changes nothing; nothing is written when
    // none does. Raises ERegistryException with the failure prefix; a change may raise too,
    // and then nothing of the others is written either.
    void Write(const std::vector<Change>& changes, const std::string& failure) {
        ReportLater reports{*this};
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string dir = RegistryStoreDir();
        const std::string file = RegistryStoreFile();
        auto raise = [&](const std::string& why) { throw ERegistryException(failure + ": " + why); };
        std::string why;
        if (dir.empty() || !TrustedDir(dir, why)) {
            Refresh();  // reports it
            raise(why.empty() ? std::string("no home folder is known for this user") : why);
        }
        if (!MakeDirs(dir)) raise("cannot create the folder \"" + dir + "\": " + std::strerror(errno));
        if (!TrustedDir(dir, why)) raise(why);  // made by someone else meanwhile
        StoreLock storeLock(dir, why);
        if (!storeLock.Held()) raise(why);

        RemoveStaleTemps(dir);
        // Always from the file as it is now: another process may have changed it without
        // changing what stat tells (a reused inode number, the same size, a coarse time).
        Refresh(true, true);
        if (!writable_) raise("the settings store \"" + file + "\" is damaged and could not be kept aside");
        auto next = std::make_shared<Image>(*image_);
        bool changed = false;
        for (const Change& change : changes) changed = change(*next) || changed;
        if (!changed) return;
        std::string text = regstore::Serialize(*next);

        static std::atomic<unsigned> counter{0};
        std::string temp = file + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        if (!WriteSynced(temp, text, why)) {
            ::unlink(temp.c_str());
            raise(why);
        }
        try {
            std::function<void(const std::string&)> hook;
            {
                std::lock_guard<std::mutex> hooks(hooksMutex);
                hook = WriteHook();
            }
            if (hook) hook(temp);
        } catch (...) {
            ::unlink(temp.c_str());
            throw;
        }
        if (::rename(temp.c_str(), file.c_str()) != 0) {
            why = "cannot replace \"" + file + "\": " + std::strerror(errno);
            ::unlink(temp.c_str());
            raise(why);
        }
        int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        image_ = std::move(next);
        file_ = file;
        id_ = Identify(file);
    }

private:
    // The exclusive lock on registry.lock that every change of the store file is made
    // under, held while the object lives.
    class StoreLock {
    public:
        StoreLock(const std::string& dir, std::string& why) {
            const std::string name = dir + "/registry.lock";
            fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd_ < 0) fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);  // a folder we may only read
            if (fd_ < 0) {
                why = "cannot open \"" + name + "\": " + std::strerror(errno);
                return;
            }
            while (::flock(fd_, LOCK_EX) != 0) {
                if (errno == EINTR) continue;
                why = "cannot lock \"" + name + "\": " + std::strerror(errno);
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
        ~StoreLock() {
            if (fd_ >= 0) ::close(fd_);  // closing drops the lock
        }
        StoreLock(const StoreLock&) = delete;
        StoreLock& operator=(const StoreLock&) = delete;
        bool Held() const { return fd_ >= 0; }

    private:
        int fd_ = -1;
    };

    // Passes on what Refresh found once the store is unlocked, so that the report
    // callback may use the store itself.
    struct ReportLater {
        Store& store;
        ~ReportLater() {
            std::vector<std::string> messages;
            {
                std::lock_guard<std::mutex> lock(store.mutex_);
                messages.swap(store.pending_);
            }
            for (const std::string& m : messages) Report(m);
        }
    };

    static bool MakeDirs(const std::string& dir) {
        for (size_t i = 1; i <= dir.size(); ++i) {
            if (i < dir.size() && dir[i] != '/') continue;
            std::string part = dir.substr(0, i);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
        struct stat st {};
        return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    static bool WriteSynced(const std::string& temp, const std::string& text, std::string& why) {
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            why = "cannot create \"" + temp + "\": " + std::strerror(errno);
            return false;
        }
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                why = "cannot write \"" + temp + "\": " + std::strerror(n < 0 ? errno : ENOSPC);
                ::close(fd);
                return false;
            }
            done += size_t(n);
        }
        if (::fsync(fd) != 0 || ::close(fd) != 0) {
            why = "cannot write \"" + temp + "\": " + std::strerror(errno);
            return false;
        }
        return true;
    }

    // Loads the store file unless the image is of the same file as it is now (or always,
    // with reload). locked: the caller holds the store's lock. Called with mutex_ held.
    void Refresh(bool reload = false, bool locked = false) {
        const std::string file = RegistryStoreFile();
        std::string untrusted;
        if (!TrustedDir(RegistryStoreDir(), untrusted)) {
            // Neither read nor written: the program runs on its defaults and says why.
            if (untrusted != reportedUntrusted_)
                pending_.push_back("The settings are not used: " + untrusted + "; settings are not saved in this session.");
            reportedUntrusted_ = untrusted;
            image_ = std::make_shared<Image>();
            file_.clear();
            id_ = FileId{};
            writable_ = false;
            return;
        }
        reportedUntrusted_.clear();
        FileId id = Identify(file);
        if (!reload && image_ && file == file_ && id == id_) return;
        file_ = file;
        id_ = id;
        writable_ = true;
        auto image = std::make_shared<Image>();
        if (id.exists) {
            std::string text, error;
            int err = 0;
            if (!ReadWhole(file, text, err)) {
                error = std::strerror(err);
            } else if (regstore::Parse(text, *image, error)) {
                error.clear();
                Normalize(*image);
            }
            if (!error.empty() && !locked) {
                // Only under the lock, so that another process's good store, written since
                // this one was read, is never taken for the damaged one: look again there.
                std::string why;
                StoreLock lock(RegistryStoreDir(), why);
                if (lock.Held()) {
                    Refresh(true, true);
                    return;
                }
            }
            if (!error.empty()) {
                image->clear();
                // Kept aside only when it is still the file that was read.
                std::string aside = locked && Identify(file) == id ? MoveAside(file) : std::string();
                if (aside.empty()) {
                    writable_ = false;  // never write over a store we could not keep
                    if (!(reported_ == id && reportedFile_ == file))
                        pending_.push_back("The settings store \"" + file + "\" cannot be read (" + error +
                               ") nor kept aside; settings are not saved in this session.");
                    reported_ = id;
                    reportedFile_ = file;
                } else {
                    pending_.push_back("The settings store \"" + file + "\" cannot be read (" + error + "); it was kept as \"" +
                           aside + "\" and the program starts with empty settings.");
                    id_ = Identify(file);
                }
            }
        }
        image_ = std::move(image);
    }

    std::mutex mutex_;
    std::shared_ptr<const Image> image_;
    std::string file_;
    FileId id_;
    bool writable_ = true;
    std::vector<std::string> pending_;
    FileId reported_;
    std::string reportedFile_;
    std::string reportedUntrusted_;
};

Store& TheStore() {
    static Store* store = new Store;
    return *store;
}

// --- key and value lookup ---------------------------------------------------------------

const Key* FindKey(const Image& image, const std::string& path) {
    for (const Key& k : image)
        if (SameText(k.path, path)) return &k;
    return nullptr;
}

Key* FindKey(Image& image, const std::string& path) {
    return const_cast<Key*>(FindKey(static_cast<const Image&>(image), path));
}

const Value* FindValue(const Key* key, const std::string& name) {
    if (key == nullptr) return nullptr;
    for (const Value& v : key->values)
        if (SameText(v.name, name)) return &v;
    return nullptr;
}

bool IsBelow(const std::string& path, const std::string& parent) {
    if (parent.empty()) return !path.empty();
    return path.size() > parent.size() + 1 && path[parent.size()] == '\\' &&
           SameText(path.substr(0, parent.size()), parent);
}

// Keys are kept in path order, names compared without regard to case and "\\" before
// any other character, so that children follow their parent.
std::string SortKey(const std::string& path) {
    std::string k = UpperCase(path);
    std::replace(k.begin(), k.end(), '\\', '\x01');
    return k;
}

// Adds the key and its missing parents, each at its place in path order.
void AddKey(Image& image, const std::string& path) {
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        std::string part = path.substr(0, i);
        if (FindKey(image, part) != nullptr) continue;
        const std::string key = SortKey(part);
        auto at = std::lower_bound(image.begin(), image.end(), key,
                                   [](const Key& k, const std::string& x) { return SortKey(k.path) < x; });
        image.insert(at, Key{part, {}});
    }
}

// A loaded file may list keys in any order and leave out parent keys (a hand edit): sorts
// once, on keys computed once (a file this program wrote is in order already), then adds
// the missing parents in one walk down the sorted list.
void Normalize(Image& image) {
    // Upper-cased paths with "\\" as \x01, so that children sort right after their parent.
    std::vector<std::string> order(image.size());
    bool oddNames = false;  // names holding \x00 or \x01 could sort among a key's children
    for (size_t i = 0; i < image.size(); ++i) {
        std::string& o = order[i];
        o = UpperCase(image[i].path);
        for (char& c : o) {
            if (c == '\\') c = '\x01';
            else if (c == '\x00' || c == '\x01') oddNames = true;
        }
    }
    std::vector<size_t> index(image.size());  // the keys in path order
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    const bool inOrder = std::is_sorted(order.begin(), order.end());
    if (!inOrder) std::sort(index.begin(), index.end(), [&](size_t a, size_t b) { return order[a] < order[b]; });
    // In this order a key's descendants follow it: a stack of the keys above the current
    // one tells which parents are missing, and each belongs just before its first child.
    std::unordered_set<std::string> listed;  // only for odd names, whose order cannot tell
    if (oddNames)
        for (const Key& k : image) listed.insert(UpperCase(k.path));
    std::vector<std::pair<size_t, std::string>> missing;  // (before which key, path)
    std::vector<std::string_view> above;                   // the root ("") first
    for (size_t r = 0; r < index.size(); ++r) {
        const size_t i = index[r];
        const std::string_view key = order[i];
        auto isAbove = [&](std::string_view a) {
            return a.empty() ? !key.empty() : key.size() > a.size() && key[a.size()] == '\x01' && key.substr(0, a.size()) == a;
        };
        while (!above.empty() && !isAbove(above.back())) above.pop_back();
        auto addMissing = [&](std::string path) {
            if (!oddNames || listed.insert(UpperCase(path)).second) missing.emplace_back(r, std::move(path));
        };
        if (!key.empty()) {
            if (above.empty()) {
                addMissing("");
                above.emplace_back();
            }
            for (size_t j = key.find('\x01', above.back().empty() ? 0 : above.back().size() + 1); j != std::string::npos;
                 j = key.find('\x01', j + 1)) {
                addMissing(image[i].path.substr(0, j));
                above.push_back(key.substr(0, j));
            }
        }
        above.push_back(key);
    }
    if (inOrder && missing.empty()) return;
    Image out;
    out.reserve(image.size() + missing.size());
    size_t next = 0;
    for (size_t r = 0; r < index.size(); ++r) {
        for (; next < missing.size() && missing[next].first == r; ++next) out.push_back(Key{std::move(missing[next].second), {}});
        out.push_back(std::move(image[index[r]]));
    }
    image.swap(out);
}

// Temporary files of writers that died between writing and renaming (called under the lock).
void RemoveStaleTemps(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return;
    const std::string prefix = "registry.tmp-";
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(d);
}

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

// The root key always exists; the others when the store lists them.
bool Exists(const Image& image, const std::string& path) { return path.empty() || FindKey(image, path) != nullptr; }

}  // namespace

std::string RegistryStoreDir() {
    if (const char* dir = std::getenv("LUMACAST_REGISTRY_DIR"); dir != nullptr && *dir != '\0') return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') return std::string(xdg) + "/lumacast";
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && *env == '/') {
        home = env;
    } else {
        // Never a shared folder such as /tmp, where anyone could plant settings: the home
        // the system keeps for the user, or none.
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size_t(size > 0 ? size : 16384));
        passwd entry {};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr && found->pw_dir[0] == '/')
            home = found->pw_dir;
    }
    if (home.empty()) return "";
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return (home == "/" ? std::string() : home) + "/.config/lumacast";
}

std::string RegistryStoreFile() {
    const std::string dir = RegistryStoreDir();
    return dir.empty() ? std::string() : dir + "/registry";
}

void SetRegistryReport(std::function<void(const std::string&)> report) {
    std::lock_guard<std::mutex> lock(hooksMutex);
    ReportHook() = std::move(report);
}

void SetRegistryWriteHook(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(hooksMutex);
    WriteHook() = std::move(hook);
}

// --- TRegistry --------------------------------------------------------------------------

// The changes of an open batch, and the image this object reads meanwhile: the store as
// it was when the batch began, with the batch's changes applied.
struct TRegistry::Batch {
    int depth = 0;
    std::shared_ptr<Image> image;
    std::vector<Change> changes;
};

TRegistry::TRegistry() : rootKey_(HKEY_CURRENT_USER) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::BeginBatch() {
    if (!batch_) batch_ = std::make_unique<Batch>();
    ++batch_->depth;
}

void TRegistry::CommitBatch() {
    if (!batch_ || --batch_->depth > 0) return;
    std::unique_ptr<Batch> batch = std::move(batch_);  // over, whatever the write does
    if (!batch->changes.empty()) TheStore().Write(batch->changes, "Failed to write the settings store");
}

void TRegistry::CancelBatch() { batch_.reset(); }

std::shared_ptr<const TRegistry::Image> TRegistry::View() const {
    if (batch_ && batch_->image) return batch_->image;
    return TheStore().Read();
}

void TRegistry::Apply(const Change& change, const std::string& failure) {
    if (!batch_) {
        TheStore().Write({change}, failure);
        return;
    }
    if (!batch_->image) batch_->image = std::make_shared<Image>(*TheStore().Read());
    change(*batch_->image);
    // Kept even when it changes nothing here: at commit the store may hold something else.
    batch_->changes.push_back(change);
}

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    rootKey_ = root;
}

HKEY TRegistry::CurrentKey() const { return open_ ? reinterpret_cast<HKEY>(std::uintptr_t(1)) : nullptr; }

bool TRegistry::ResolveKey(const std::string& key, std::string& path) const {
    if (rootKey_ != HKEY_CURRENT_USER) return false;
    std::string k = key;
    bool absolute = !k.empty() && k[0] == '\\';
    if (absolute) k.erase(0, 1);
    while (!k.empty() && k.back() == '\\') k.pop_back();
    if (!absolute && open_ && !currentPath_.empty()) path = k.empty() ? currentPath_ : currentPath_ + "\\" + k;
    else path = k;
    return path.find("\\\\") == std::string::npos && (path.empty() || path[0] != '\\');
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::string path;
    if (!ResolveKey(key, path)) return false;
    if (!Exists(*View(), path)) {
        if (!canCreate) return false;
        try {
            CreateKey("\\" + path);
        } catch (const ERegistryException&) {
            return false;
        }
    }
    open_ = true;
    readOnly_ = false;
    currentPath_ = path;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    std::string path;
    if (!ResolveKey(key, path) || !Exists(*View(), path)) return false;
    open_ = true;
    readOnly_ = true;
    currentPath_ = path;
    return true;
}

void TRegistry::CloseKey() {
    open_ = false;
    readOnly_ = false;
    currentPath_.clear();
}

bool TRegistry::CreateKey(const std::string& key) {
    std::string path;
    if (!ResolveKey(key, path)) throw ERegistryException("Failed to create key " + key);
    Apply(
        [path](Image& image) {
            if (FindKey(image, path) != nullptr) return false;
            AddKey(image, path);
            return true;
        },
        "Failed to create key " + key);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
    std::string path;
    if (!ResolveKey(key, path) || path.empty()) return false;
    if (FindKey(*View(), path) == nullptr) return false;
    Apply(
        [path](Image& image) {
            auto gone = [&](const Key& k) { return SameText(k.path, path) || IsBelow(k.path, path); };
            auto end = std::remove_if(image.begin(), image.end(), gone);
            if (end == image.end()) return false;
            image.erase(end, image.end());
            return true;
        },
        "Failed to delete key " + key);
    return true;
}

bool TRegistry::KeyExists(const std::string& key) {
    std::string path;
    return ResolveKey(key, path) && Exists(*View(), path);
}

bool TRegistry::HasSubKeys() {
    if (!open_) return false;
    auto image = View();
    return std::any_of(image->begin(), image->end(), [&](const Key& k) { return IsBelow(k.path, currentPath_); });
}

void TRegistry::GetKeyNames(TStrings* list) {
    if (list == nullptr) return;
    list->BeginUpdate();
    list->Clear();
    if (open_) {
        auto image = View();
        for (const Key& k : *image) {
            if (!IsBelow(k.path, currentPath_)) continue;
            std::string rest = currentPath_.empty() ? k.path : k.path.substr(currentPath_.size() + 1);
            if (rest.find('\\') == std::string::npos) list->Add(rest);
        }
    }
    list->EndUpdate();
}

void TRegistry::GetValueNames(TStrings* list) {
    if (list == nullptr) return;
    list->BeginUpdate();
    list->Clear();
    if (open_) {
        auto image = View();
        if (const Key* k = FindKey(*image, currentPath_))
            for (const Value& v : k->values) list->Add(v.name);
    }
    list->EndUpdate();
}

bool TRegistry::ValueExists(const std::string& name) { return GetDataType(name) != rdUnknown; }

TRegDataType TRegistry::GetDataType(const std::string& name) {
    if (!open_) return rdUnknown;
    auto image = View();
    const Value* v = FindValue(FindKey(*image, currentPath_), name);
    return v == nullptr ? rdUnknown : v->type;
}

int TRegistry::GetDataSize(const std::string& name) {
    if (!open_) return -1;
    auto image = View();
    const Value* v = FindValue(FindKey(*image, currentPath_), name);
    if (v == nullptr) return -1;
    if (v->type == rdInteger) return 4;
    return int(v->data.size()) + (v->type == rdBinary ? 0 : 1);
}

bool TRegistry::DeleteValue(const std::string& name) {
    if (!open_ || readOnly_ || GetDataType(name) == rdUnknown) return false;
    Apply(
        [path = currentPath_, name](Image& image) {
            Key* k = FindKey(image, path);
            if (k == nullptr) return false;
            auto& vs = k->values;
            auto end = std::remove_if(vs.begin(), vs.end(), [&](const Value& v) { return SameText(v.name, name); });
            if (end == vs.end()) return false;
            vs.erase(end, vs.end());
            return true;
        },
        "Failed to delete value " + Quoted(name));
    return true;
}

std::string TRegistry::ReadString(const std::string& name) {
    if (!open_) return "";
    auto image = View();
    const Value* v = FindValue(FindKey(*image, currentPath_), name);
    if (v == nullptr) return "";
    if (v->type != rdString && v->type != rdExpandString)
        throw ERegistryException("Invalid data type for " + Quoted(name));
    return v->data;
}

int TRegistry::ReadInteger(const std::string& name) {
    auto image = View();
    const Value* v = open_ ? FindValue(FindKey(*image, currentPath_), name) : nullptr;
    if (v == nullptr) throw ERegistryException("Failed to get data for " + Quoted(name));
    if (v->type != rdInteger) throw ERegistryException("Invalid data type for " + Quoted(name));
    return StrToIntDef(v->data, 0);
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufferSize) {
    auto image = View();
    const Value* v = open_ ? FindValue(FindKey(*image, currentPath_), name) : nullptr;
    if (v == nullptr) throw ERegistryException("Failed to get data for " + Quoted(name));
    if (v->type != rdBinary) throw ERegistryException("Invalid data type for " + Quoted(name));
    if (int(v->data.size()) > bufferSize || (buffer == nullptr && !v->data.empty()))
        throw ERegistryException("Failed to get data for " + Quoted(name));
    if (!v->data.empty()) std::memcpy(buffer, v->data.data(), v->data.size());
    return int(v->data.size());
}

void TRegistry::WriteValue(const std::string& name, TRegDataType type, std::string data) {
    const std::string failure = "Failed to set data for " + Quoted(name);
    if (!open_) throw ERegistryException(failure + ": no key is open");
    if (readOnly_) throw ERegistryException(failure + ": the key is open for reading only");
    Apply(
        [path = currentPath_, name, type, data = std::move(data), failure](Image& image) {
            if (path.empty()) AddKey(image, "");  // the root always exists
            Key* k = FindKey(image, path);
            if (k == nullptr) throw ERegistryException(failure + ": the key no longer exists");
            for (Value& v : k->values)
                if (SameText(v.name, name)) {
                    if (v.type == type && v.data == data) return false;
                    v.type = type;
                    v.data = data;
                    return true;
                }
            k->values.push_back(Value{name, type, data});
            return true;
        },
        failure);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) { WriteValue(name, rdString, value); }

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
    WriteValue(name, rdExpandString, value);
}

void TRegistry::WriteInteger(const std::string& name, int value) { WriteValue(name, rdInteger, IntToStr(value)); }

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int size) {
    if (size < 0 || (size > 0 && buffer == nullptr))
        throw ERegistryException("Failed to set data for " + Quoted(name) + ": no data");
    WriteValue(name, rdBinary, std::string(static_cast<const char*>(buffer), size_t(size)));
}

}  // namespace platform
