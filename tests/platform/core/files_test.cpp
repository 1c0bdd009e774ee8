#include "platform/core/files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/core/registry.h"
#include "platform/core/streams.h"
#include "support/process.h"
#include "support/tempdir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {
void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
std::vector<std::string> Find(const std::string& pattern, int attr) {
    std::vector<std::string> names;
    TSearchRec rec;
    for (int r = FindFirst(pattern, attr, rec); r == 0; r = FindNext(rec))
        names.push_back(rec.Name + ((rec.Attr & faDirectory) ? "/" : ""));
    FindClose(rec);
    return names;
}
}  // namespace

TEST(Paths, HelpersTable) {
    struct Case {
        const char* in;
        const char* path;
        const char* name;
        const char* ext;
        const char* changed;  // ChangeFileExt(in, ".swf")
    };
    const Case cases[] = {
        {"/out/job-1/movie.flv", "/out/job-1/", "movie.flv", ".flv", "/out/job-1/movie.swf"},
        {"/out/job.d/movie", "/out/job.d/", "movie", "", "/out/job.d/movie.swf"},
        {"movie.tar.gz", "", "movie.tar.gz", ".gz", "movie.tar.swf"},
        {"/out/", "/out/", "", "", "/out/.swf"},
        {"", "", "", "", ".swf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(ExtractFilePath(c.in), c.path);
        EXPECT_EQ(ExtractFileName(c.in), c.name);
        EXPECT_EQ(ExtractFileExt(c.in), c.ext);
        EXPECT_EQ(ChangeFileExt(c.in, ".swf"), c.changed);
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/a//"), "/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(ExtractFileDir("/a/b.txt"), "/a");
    EXPECT_EQ(ExtractFileDir("/b.txt"), "/");
    EXPECT_TRUE(FileExists(ProgramFileName()));
    EXPECT_EQ(ProgramDir(), ExtractFilePath(ProgramFileName()));
    EXPECT_EQ(ProgramDir().back(), '/');
}

TEST(Files, FoldersCopiesAndRenames) {
    testsupport::TempDir dir;
    const std::string deep = dir / "a/b/c";
    EXPECT_FALSE(CreateDir(deep));  // parents missing
    EXPECT_TRUE(ForceDirectories(deep + "/"));
    EXPECT_TRUE(ForceDirectories(deep));  // already there
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_FALSE(FileExists(deep));
    WriteFile(dir / "a/file", "x");
    EXPECT_FALSE(ForceDirectories(dir / "a/file/sub"));  // a file stands in the way
    EXPECT_FALSE(ForceDirectories(""));

    WriteFile(dir / "src.bin", std::string("\0\1bytes", 7));
    ::chmod((dir / "src.bin").c_str(), 0640);
    ASSERT_TRUE(CopyFile(dir / "src.bin", dir / "dst.bin", true));
    EXPECT_EQ(ReadFile(dir / "dst.bin"), ReadFile(dir / "src.bin"));
    EXPECT_EQ(fs::status(dir / "dst.bin").permissions(), fs::status(dir / "src.bin").permissions());
    WriteFile(dir / "dst.bin", "keep");
    EXPECT_FALSE(CopyFile(dir / "src.bin", dir / "dst.bin", true));
    EXPECT_EQ(ReadFile(dir / "dst.bin"), "keep");
    EXPECT_TRUE(CopyFile(dir / "src.bin", dir / "dst.bin", false));
    EXPECT_EQ(ReadFile(dir / "dst.bin").size(), 7u);
    EXPECT_FALSE(CopyFile(dir / "missing", dir / "x", false));
    EXPECT_FALSE(CopyFile(dir / "a", dir / "x", false));  // folders are not copied
    EXPECT_FALSE(CopyFile(dir / "src.bin", dir / "no/such/x", false));

    EXPECT_FALSE(RenameFile(dir / "src.bin", dir / "dst.bin"));  // never replaces
    EXPECT_EQ(ReadFile(dir / "dst.bin").size(), 7u);
    EXPECT_TRUE(RenameFile(dir / "src.bin", dir / "moved.bin"));
    EXPECT_FALSE(FileExists(dir / "src.bin"));
    EXPECT_TRUE(DeleteFile(dir / "moved.bin"));
    EXPECT_FALSE(DeleteFile(dir / "moved.bin"));
    EXPECT_FALSE(DeleteFile(dir / "a"));
    // No temporary copies are left behind.
    for (auto& e : fs::directory_iterator(dir.path())) EXPECT_EQ(e.path().filename().string().find(".copy-"), std::string::npos);

    const std::string old = GetCurrentDir();
    EXPECT_TRUE(SetCurrentDir(deep));
    EXPECT_EQ(fs::path(GetCurrentDir()), fs::canonical(deep));
    EXPECT_FALSE(SetCurrentDir(dir / "nowhere"));
    EXPECT_TRUE(SetCurrentDir(old));
}

// Whole files read from names that come from settings or folder listings: a pipe or a
// device named there is refused at once (a pipe nobody writes would block a plain open
// for ever), as are a folder and a file over the limit; a plain file reads whole.
TEST(Files, ReadRegularFileRefusesAtOnceWhatIsNotAPlainFile) {
    testsupport::TempDir dir;
    const std::string plain = dir / "plain.bin", fifo = dir / "fifo", folder = dir / "folder";
    std::ofstream(plain, std::ios::binary) << std::string(1000, 'x');
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(CreateDir(folder));
    struct Case {
        std::string path;
        std::uintmax_t limit;
        bool ok;
        int error;
    } cases[] = {
        {plain, UINTMAX_MAX, true, 0},  {plain, 1000, true, 0},        {plain, 999, false, EFBIG},
        {fifo, UINTMAX_MAX, false, EINVAL}, {folder, UINTMAX_MAX, false, EINVAL},
        {"/dev/zero", UINTMAX_MAX, false, EINVAL}, {dir / "missing", UINTMAX_MAX, false, ENOENT},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes{1, 2, 3};
        errno = 0;
        EXPECT_EQ(ReadRegularFile(c.path, bytes, c.limit), c.ok) << c.path << " limit " << c.limit;
        if (c.ok) {
            EXPECT_EQ(bytes, std::vector<std::uint8_t>(1000, 'x')) << c.path;
        } else {
            EXPECT_EQ(errno, c.error) << c.path;
            EXPECT_TRUE(bytes.empty()) << c.path;
        }
    }
}

TEST(Files, FindListsInAStableOrderWithAttributeFilters) {
    testsupport::TempDir dir;
    for (const char* name : {"b.XML", "a.xml", "c.txt", ".hidden.xml", "ab.xml.bak"}) WriteFile(dir / name, "12345");
    fs::create_directory(dir / "sub.xml");
    EXPECT_EQ(Find(dir / "*.xml", 0), (std::vector<std::string>{"a.xml", "b.XML"}));
    EXPECT_EQ(Find(dir / "*.xml", faAnyFile), (std::vector<std::string>{".hidden.xml", "a.xml", "b.XML", "sub.xml/"}));
    EXPECT_EQ(Find(dir / "?.*", faDirectory), (std::vector<std::string>{"a.xml", "b.XML", "c.txt"}));
    EXPECT_EQ(Find(dir / "*", faDirectory).size(), 5u);  // no "." or ".."
    TSearchRec rec;
    ASSERT_EQ(FindFirst(dir / "c.txt", 0, rec), 0);
    EXPECT_EQ(rec.Size, 5);
    EXPECT_EQ(rec.Attr & faArchive, faArchive);
    EXPECT_EQ(FindNext(rec), 18);
    FindClose(rec);
    EXPECT_EQ(FindFirst(dir / "*.none", faAnyFile, rec), 2);
    EXPECT_EQ(FindFirst(dir / "missing/*", faAnyFile, rec), 3);
    EXPECT_TRUE(MatchesMask("movie.flv", "M*V?E.*"));
    EXPECT_FALSE(MatchesMask("movie.flv", "*.swf"));
    EXPECT_TRUE(MatchesMask("aXbXc", "*X*c"));
}

TEST(Streams, MemoryAndFileStreams) {
    testsupport::TempDir dir;
    TMemoryStream mem;
    const char text[] = "0123456789";
    mem.WriteBuffer(text, 10);
    EXPECT_EQ(mem.Size(), 10);
    mem.SetPosition(8);
    char buf[8] = {};
    EXPECT_EQ(mem.Read(buf, 8), 2);  // short read at the end
    mem.SetPosition(8);
    EXPECT_THROW(mem.ReadBuffer(buf, 3), EReadError);
    mem.SaveToFile(dir / "data.bin");

    {
        TFileStream f(dir / "data.bin", fmOpenReadWrite | fmShareExclusive);
        EXPECT_EQ(f.Size(), 10);
        // A second open that conflicts with the share mode fails, and loses nothing.
        EXPECT_THROW(TFileStream(dir / "data.bin", fmCreate | fmShareDenyWrite), EFCreateError);
        EXPECT_THROW(TFileStream(dir / "data.bin", fmOpenRead | fmShareDenyWrite), EFOpenError);
        f.Seek(0, soEnd);
        f.WriteBuffer("ab", 2);
    }
    EXPECT_EQ(ReadFile(dir / "data.bin"), "0123456789ab");
    TMemoryStream back;
    back.LoadFromFile(dir / "data.bin");
    EXPECT_EQ(back.Size(), 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Memory()), 12), "0123456789ab");

    try {
        TFileStream f(dir / "nope/x.bin", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + (dir / "nope/x.bin") + "\". No such file or directory");
    }
    EXPECT_THROW(TFileStream(dir.str(), fmOpenRead), EFOpenError);  // a folder is no file
    {
        TFileStream ro(dir / "data.bin", fmOpenRead);
        EXPECT_THROW(ro.WriteBuffer("x", 1), EWriteError);
    }
    TFileStream copy(dir / "copy.bin", fmCreate);
    back.SetPosition(5);
    EXPECT_EQ(copy.CopyFrom(back, 0), 12);  // 0: the whole source
    EXPECT_EQ(copy.Size(), 12);
}

// --- a file-size limit ------------------------------------------------------------------

namespace {

// The child's part: writes past the limit through a file stream and through the settings
// store; each must fail with an error and leave nothing half-written. Returns the exit
// code: 0 when all went as it should.
int WriteUnderTheLimit(bool programStart) {
    if (programStart) {
        ::signal(SIGXFSZ, SIG_DFL);  // as a program starts when nobody ignored it before
        IgnoreFileSizeSignal();
    }
    testsupport::TempDir dir;
    const std::string big(1 << 20, 'x');
    try {
        TFileStream out(dir / "big", fmCreate);
        out.WriteBuffer(big.data(), std::int64_t(big.size()));
        std::printf("the stream wrote past the limit\n");
        return 2;
    } catch (const EWriteError&) {
    }
    ::setenv("LUMACAST_REGISTRY_DIR", dir.str().c_str(), 1);
    try {
        TRegistry reg;
        reg.OpenKey("\\K", true);
        reg.WriteString("Big", big);
        std::printf("the store wrote past the limit\n");
        return 3;
    } catch (const ERegistryException& e) {
        if (e.Message().find("File too large") == std::string::npos) {
            std::printf("unexpected message: %s\n", e.Message().c_str());
            return 4;
        }
    }
    for (auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind("registry.tmp", 0) == 0) {
            std::printf("left behind: %s\n", e.path().c_str());
            return 5;
        }
    return 0;
}

}  // namespace

TEST(FileSizeLimit, WritesPastItFailWithAnErrorInsteadOfEndingTheProcess) {
    if (const char* mode = std::getenv("LUMACAST_FILE_SIZE_CHILD")) {
        std::fflush(stdout);
        std::_Exit(WriteUnderTheLimit(std::string(mode) == "program"));
    }
    // "launcher": the test process as the test launcher started it; "program": the call
    // the program makes at start.
    for (const char* mode : {"launcher", "program"}) {
        int status = -1;
        std::string out = testsupport::Capture("ulimit -f 64 && LUMACAST_FILE_SIZE_CHILD=" + std::string(mode) + " exec " +
                                                   testsupport::ShellQuote(ProgramFileName()) +
                                                   " --gtest_filter=FileSizeLimit.* 2>&1",
                                               &status);
        EXPECT_EQ(status, 0) << mode << " (-1: ended by a signal; ctest's launcher ignores SIGXFSZ)\n" << out;
    }
}
