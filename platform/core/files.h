#pragma once
// Files, folders and path names. Paths use "/". Functions that answer with a bool report
// failure that way and never raise; errno tells why.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

constexpr char PathDelim = '/';

bool FileExists(const std::string& fileName);  // a file, not a folder
// Reads a whole regular file of at most maxSize bytes. It is opened without blocking and
// checked on the open file, so a FIFO or device named where a file was expected (or put
// there after a look at the folder) is refused at once, never waited on. False on any
// failure, with errno set (EINVAL: not a regular file; EFBIG: too large; EIO: cut short).
bool ReadRegularFile(const std::string& fileName, std::vector<std::uint8_t>& out,
                     std::uintmax_t maxSize = UINTMAX_MAX);
bool DirectoryExists(const std::string& dir);
bool CreateDir(const std::string& dir);
// Creates the folder and every missing parent; true when the folder exists afterwards.
bool ForceDirectories(const std::string& dir);
bool RemoveDir(const std::string& dir);
bool DeleteFile(const std::string& fileName);
// Renames without replacing: false when newName exists already.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Copies a file's bytes and permissions. The copy is written under a temporary name and
// renamed into place, so the target is never left half-written. With failIfExists an
// existing target is kept and the call fails.
bool CopyFile(const std::string& source, const std::string& target, bool failIfExists);

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& dir);
// The running program's file and its folder (with a trailing "/"), from /proc/self/exe.
std::string ProgramFileName();

// Called once at program start: a write past the file-size limit (ulimit -f) then fails
// with an error that the caller reports, instead of the signal ending the process.
void IgnoreFileSizeSignal();
// Called once at program start: a write to a pipe or socket whose reader has gone (standard
// error on a closed pipe, a helper that ended) then fails with EPIPE like any other write
// error, instead of the signal ending the process with the user's work.
void IgnoreBrokenPipeSignal();
std::string ProgramDir();

std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// Up to and including the last "/" ("" without one).
std::string ExtractFilePath(const std::string& fileName);
// ExtractFilePath without the trailing "/" (but "/" stays "/").
std::string ExtractFileDir(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// From the last "." of the name part, the dot included ("" without one).
std::string ExtractFileExt(const std::string& fileName);
// Replaces the extension (or appends one); extension includes its dot or is "".
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);

// Attributes of a search entry and of a search's wishes.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;  // names starting with "."
constexpr int faSysFile = 0x04;  // devices, pipes, sockets
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;  // every regular file
constexpr int faSymLink = 0x40;
constexpr int faAnyFile = 0x7F;

struct SearchState;

struct TSearchRec {
    std::int64_t Time = 0;  // last change, seconds since 1970-01-01 UTC
    std::int64_t Size = 0;
    int Attr = 0;
    std::string Name;
    std::shared_ptr<SearchState> FindHandle;
};

// Lists the entries of one folder whose names match the pattern's last part ("*" and "?",
// without regard to case; "*.*" matches every name). Regular files are always listed;
// folders, hidden and system entries only when attr asks for them; "." and ".." never.
// Entries come in byte order of their names, so every run lists the same way.
// Returns 0 for an entry, else an error code (2: nothing matches, 3: no such folder).
int FindFirst(const std::string& pattern, int attr, TSearchRec& rec);
// 0 for the next entry, 18 when there are no more.
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// The pattern match FindFirst uses.
bool MatchesMask(const std::string& name, const std::string& mask);

}  // namespace platform
