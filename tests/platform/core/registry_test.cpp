#include "platform/core/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstring>
#include <filesystem>
#include <limits>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <csignal>

#include "platform/core/strings.h"
#include "support/tempdir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Each test gets its own store folder and collects the damage reports.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUMACAST_REGISTRY_DIR", dir.str().c_str(), 1);
        SetRegistryReport([this](const std::string& m) { reports.push_back(m); });
    }
    void TearDown() override {
        SetRegistryReport(nullptr);
        SetRegistryWriteHook(nullptr);
        ::unsetenv("LUMACAST_REGISTRY_DIR");
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    testsupport::TempDir dir;
    std::vector<std::string> reports;
};

}  // namespace

TEST_F(Registry, EveryValueTypeRoundTripsThroughTheFile) {
    const std::string awkward = "line\nbreak \"quoted\" back\\slash tab\t bell\x07 ünïcode";
    const unsigned char blob[] = {0, 1, 0x7F, 0x80, 0xFF, '\n', '"'};
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Maker\\Product\\custom", true));
        reg.WriteString("Text", awkward);
        reg.WriteString("Empty", "");
        reg.WriteString("we\"ird\\name", "x");
        reg.WriteExpandString("Path", "$HOME/x");
        reg.WriteInteger("Min", std::numeric_limits<int>::min());
        reg.WriteInteger("Max", std::numeric_limits<int>::max());
        reg.WriteBool("Flag", true);
        reg.WriteBinaryData("Blob", blob, sizeof blob);
    }
    EXPECT_EQ(RegistryStoreFile(), dir / "registry");
    // A second store image (another process) reads it from the file alone.
    std::vector<regstore::Key> keys;
    std::string error;
    ASSERT_TRUE(regstore::Parse(ReadFile(dir / "registry"), keys, error)) << error;
    EXPECT_EQ(regstore::Serialize(keys), ReadFile(dir / "registry"));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\maker\\product\\CUSTOM"));  // names ignore case
    EXPECT_EQ(reg.ReadString("text"), awkward);
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_TRUE(reg.ValueExists("Empty"));
    EXPECT_EQ(reg.ReadString("we\"ird\\name"), "x");
    EXPECT_EQ(reg.ReadString("Path"), "$HOME/x");
    EXPECT_EQ(reg.ReadInteger("Min"), std::numeric_limits<int>::min());
    EXPECT_EQ(reg.ReadInteger("Max"), std::numeric_limits<int>::max());
    EXPECT_TRUE(reg.ReadBool("Flag"));
    unsigned char back[16] = {};
    EXPECT_EQ(reg.ReadBinaryData("Blob", back, sizeof back), int(sizeof blob));
    EXPECT_EQ(std::memcmp(back, blob, sizeof blob), 0);
    EXPECT_EQ(reg.GetDataType("Text"), rdString);
    EXPECT_EQ(reg.GetDataType("Path"), rdExpandString);
    EXPECT_EQ(reg.GetDataType("Max"), rdInteger);
    EXPECT_EQ(reg.GetDataType("Blob"), rdBinary);
    EXPECT_EQ(reg.GetDataType("nothing"), rdUnknown);
    EXPECT_EQ(reg.GetDataSize("Empty"), 1);
    TStringList names;
    reg.GetValueNames(&names);
    EXPECT_EQ(names.CommaText(), "Text,Empty,\"we\"\"ird\\name\",Path,Min,Max,Flag,Blob");
    EXPECT_TRUE(reports.empty());
}

TEST_F(Registry, ReadsOfTheWrongTypeRaiseAsTheClassLibraryDoes) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\A", true));
    reg.WriteInteger("Number", 5);
    reg.WriteString("Text", "5");
    struct Case {
        std::function<void()> read;
        const char* message;
    };
    unsigned char buf[4];
    const Case cases[] = {
        {[&] { reg.ReadString("Number"); }, "Invalid data type for 'Number'"},
        {[&] { reg.ReadInteger("Text"); }, "Invalid data type for 'Text'"},
        {[&] { reg.ReadInteger("Missing"); }, "Failed to get data for 'Missing'"},
        {[&] { reg.ReadBinaryData("Text", buf, 4); }, "Invalid data type for 'Text'"},
    };
    for (const Case& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << c.message;
        } catch (const ERegistryException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(reg.ReadString("Missing"), "");
}

TEST_F(Registry, KeysOpenCreateListAndDelete) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\Maker", false));
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\"));  // the root is always there
    reg.CloseKey();
    EXPECT_FALSE(reg.KeyExists("\\Software"));
    EXPECT_FALSE(fs::exists(dir / "registry"));  // reading creates nothing
    ASSERT_TRUE(reg.OpenKey("\\Software\\Maker", true));
    ASSERT_TRUE(reg.OpenKey("Product\\setting", true));  // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Maker\\Product\\setting");
    reg.WriteString("Skin", "blue");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Maker\\Product\\custom", true));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Maker\\Product", false));
    TStringList keys;
    reg.GetKeyNames(&keys);
    EXPECT_EQ(keys.CommaText(), "custom,setting");
    EXPECT_TRUE(reg.HasSubKeys());
    EXPECT_FALSE(reg.OpenKey("\\Software\\\\Maker", true));  // an empty name is no key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Maker\\Product");
    EXPECT_TRUE(reg.DeleteKey("\\Software\\Maker\\Product"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Maker\\Product\\setting"));
    EXPECT_TRUE(reg.KeyExists("\\Software\\Maker"));
    EXPECT_FALSE(reg.DeleteKey("\\Software\\Maker\\Product"));
    // The open key is gone: writing to it fails clearly.
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);

    // Read-only keys and other roots.
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software"));
    EXPECT_THROW(reg.WriteString("x", "y"), ERegistryException);
    reg.CloseKey();
    EXPECT_THROW(reg.WriteInteger("x", 1), ERegistryException);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey("\\Software", true));
    EXPECT_FALSE(reg.KeyExists("\\Software"));
}

TEST_F(Registry, AnInterruptedWriteLeavesTheOldStoreIntact) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Maker", true));
    reg.WriteString("Kept", "old");
    const std::string before = ReadFile(dir / "registry");
    std::string tempSeen;
    SetRegistryWriteHook([&](const std::string& temp) {
        tempSeen = temp;
        EXPECT_NE(ReadFile(temp).find("new"), std::string::npos);  // written in full before the rename
        throw std::runtime_error("power cut");
    });
    EXPECT_THROW(reg.WriteString("Kept", "new"), std::runtime_error);
    SetRegistryWriteHook(nullptr);
    EXPECT_EQ(ReadFile(dir / "registry"), before);
    EXPECT_FALSE(fs::exists(tempSeen));
    EXPECT_EQ(reg.ReadString("Kept"), "old");
    EXPECT_EQ(Files(), (std::vector<std::string>{"registry", "registry.lock"}));
}

TEST_F(Registry, AWriteThatCannotBeMadeRaisesAndKeepsTheStore) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\K", true));
    reg.WriteString("A", "1");
    const std::string before = ReadFile(dir / "registry");
    // A file-size limit makes the write fail as a full disk would, even for root.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        reg.WriteString("A", std::string(10000, 'x'));
    } catch (const ERegistryException& e) {
        message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(message.find("Failed to set data for 'A': cannot write"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(dir / "registry"), before);
    EXPECT_EQ(reg.ReadString("A"), "1");
    EXPECT_EQ(Files(), (std::vector<std::string>{"registry", "registry.lock"}));
}

TEST_F(Registry, DamagedStoresAreKeptAsideReportedOnceAndReplaced) {
    const std::string good = "lumacast registry 1\nkey \"K\"\nvalue \"A\" string \"1\"\nend\n";
    const std::string damaged[] = {
        "garbage that is no store at all\n",
        good.substr(0, good.size() - 5),                  // cut before the end line
        good.substr(0, good.size() - 1),                  // last line without its newline
        std::string("lumacast registry 1\nkey \"K\"\0\x01\x02\nend\n", 30),  // binary
        "lumacast registry 1\nvalue \"A\" string \"1\"\nend\n",              // value outside a key
        "lumacast registry 1\nkey \"K\"\nvalue \"A\" integer 99999999999\nend\n",
        "lumacast registry 1\nkey \"K\"\nvalue \"A\" string \"1\nend\n",
        "lumacast registry 1\nkey \"K\"\nkey \"J\"\nkey \"k\"\nend\n",                         // a key twice
        "lumacast registry 1\nkey \"K\"\nvalue \"A\" integer 1\nvalue \"a\" integer 2\nend\n",  // a value twice
        "",
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(testing::PrintToString(text));
        reports.clear();
        fs::remove_all(dir.path());
        fs::create_directories(dir.path());
        WriteFile(dir / "registry", text);
        TRegistry reg;
        EXPECT_FALSE(reg.KeyExists("\\K"));  // reads see an empty store
        EXPECT_FALSE(reg.OpenKey("\\K", false));
        ASSERT_EQ(reports.size(), 1u);
        ASSERT_TRUE(reg.OpenKey("\\K", true));
        reg.WriteString("A", "2");
        EXPECT_EQ(reg.ReadString("A"), "2");
        EXPECT_EQ(reports.size(), 1u);  // once
        // The damaged text is kept, byte for byte, under a new name.
        auto files = Files();
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(files[0], "registry");
        EXPECT_EQ(files[1].rfind("registry.damaged-", 0), 0u);
        EXPECT_EQ(ReadFile(dir / files[1]), text);
        EXPECT_NE(reports[0].find(files[1]), std::string::npos) << reports[0];
    }
    // The report may use the store (a message box that reads a setting, say).
    WriteFile(dir / "registry", "garbage\n");
    SetRegistryReport([&](const std::string& m) {
        reports.push_back(m);
        TRegistry inner;
        EXPECT_FALSE(inner.KeyExists("\\K"));
    });
    reports.clear();
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("\\K"));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(Registry, HandEditedStoresAndLeftoversOfACrash) {
    // Parent keys left out by hand exist all the same; a temporary file of a writer that
    // died before its rename is cleared by the next write.
    WriteFile(dir / "registry", "lumacast registry 1\nkey \"A\\\\B\\\\C\"\nvalue \"v\" integer 7\nend\n");
    const std::string leftover = dir / "registry.tmp-4194303-1";
    WriteFile(leftover, "half");
    TRegistry reg;
    EXPECT_TRUE(reg.KeyExists("\\A\\B"));
    ASSERT_TRUE(reg.OpenKey("\\A", false));
    TStringList keys;
    reg.GetKeyNames(&keys);
    EXPECT_EQ(keys.CommaText(), "B");
    ASSERT_TRUE(reg.OpenKey("B\\C", false));
    EXPECT_EQ(reg.ReadInteger("V"), 7);
    reg.WriteInteger("v", 8);
    if (::kill(4194303, 0) != 0) {
        EXPECT_FALSE(fs::exists(leftover));
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(Registry, LoadedKeysGetTheirParentsAndComeInPathOrder) {
    // Shuffled, parents left out at several levels, names in mixed case; a value name may
    // repeat under different keys.
    WriteFile(dir / "registry",
              "lumacast registry 1\n"
              "key \"b\\\\y\\\\deep\"\nvalue \"v\" integer 1\n"
              "key \"A\\\\z\"\nvalue \"v\" integer 2\n"
              "key \"a\\\\Q\\\\r\"\n"
              "key \"B\"\n"
              "key \"A b\"\n"
              "end\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\b\\Y\\Deep", false));
    EXPECT_EQ(reg.ReadInteger("V"), 1);
    ASSERT_TRUE(reg.OpenKey("\\A", false));
    TStringList keys;
    reg.GetKeyNames(&keys);
    EXPECT_EQ(keys.CommaText(), "Q,z");
    reg.WriteInteger("new", 3);  // the file is written back complete and in order
    EXPECT_EQ(ReadFile(dir / "registry"),
              "lumacast registry 1\n"
              "key \"\"\n"
              "key \"a\"\nvalue \"new\" integer 3\n"  // named as its first child has it
              "key \"a\\\\Q\"\n"
              "key \"a\\\\Q\\\\r\"\n"
              "key \"A\\\\z\"\nvalue \"v\" integer 2\n"
              "key \"A b\"\n"
              "key \"B\"\n"
              "key \"b\\\\y\"\n"
              "key \"b\\\\y\\\\deep\"\nvalue \"v\" integer 1\n"
              "end\n");
    EXPECT_TRUE(reports.empty());
}

TEST_F(Registry, ABatchIsOneTransactionOverTheStoreAsItIsAtCommit) {
    int renames = 0;
    SetRegistryWriteHook([&](const std::string&) { ++renames; });
    TRegistry other;
    ASSERT_TRUE(other.OpenKey("\\Other", true));
    renames = 0;

    TRegistry reg;
    reg.BeginBatch();
    ASSERT_TRUE(reg.OpenKey("\\S\\T", true));
    for (int i = 0; i < 40; ++i) reg.WriteString("V" + std::to_string(i), std::to_string(i));
    reg.WriteInteger("Gone", 1);
    EXPECT_TRUE(reg.DeleteValue("Gone"));
    reg.BeginBatch();  // nested: only the outer commit writes
    reg.WriteInteger("Inner", 2);
    reg.CommitBatch();
    // The batch sees its own changes; nothing reached the file yet.
    EXPECT_EQ(reg.ReadString("V39"), "39");
    EXPECT_FALSE(reg.ValueExists("Gone"));
    EXPECT_FALSE(other.KeyExists("\\S\\T"));
    EXPECT_EQ(renames, 0);
    other.WriteInteger("Meanwhile", 7);  // another writer between begin and commit
    renames = 0;
    reg.CommitBatch();
    EXPECT_FALSE(reg.InBatch());
    EXPECT_EQ(renames, 1);
    const std::string text = ReadFile(dir / "registry");
    EXPECT_NE(text.find("value \"V39\" string \"39\""), std::string::npos);
    EXPECT_NE(text.find("value \"Inner\" integer 2"), std::string::npos);
    EXPECT_NE(text.find("value \"Meanwhile\" integer 7"), std::string::npos);
    EXPECT_EQ(text.find("Gone"), std::string::npos);

    // A commit that cannot be written raises and saves nothing of the batch; a cancelled
    // batch is dropped.
    const std::string before = ReadFile(dir / "registry");
    reg.BeginBatch();
    reg.WriteString("V0", "changed");
    reg.WriteString("Extra", "x");
    SetRegistryWriteHook([](const std::string&) { throw ERegistryException("disk gone"); });
    EXPECT_THROW(reg.CommitBatch(), ERegistryException);
    EXPECT_FALSE(reg.InBatch());
    SetRegistryWriteHook(nullptr);
    EXPECT_EQ(ReadFile(dir / "registry"), before);
    EXPECT_EQ(reg.ReadString("V0"), "0");
    reg.BeginBatch();
    reg.WriteString("V0", "dropped");
    reg.CancelBatch();
    EXPECT_EQ(reg.ReadString("V0"), "0");
    EXPECT_EQ(ReadFile(dir / "registry"), before);
    EXPECT_EQ(Files(), (std::vector<std::string>{"registry", "registry.lock"}));
}

TEST_F(Registry, AWriteStartsFromTheFileAsItIsUnderTheLock) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\K", true));
    reg.WriteString("Mine", "a");
    reg.WriteString("Theirs", "1");
    // Another process changes the store, and the file's identity comes out as before: the
    // same inode, size and modification time (inode numbers are reused, and file times
    // are coarse).
    const std::string path = dir / "registry";
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::string text = ReadFile(path);
    const size_t at = text.find("\"Theirs\" string \"1\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 19, "\"Theirs\" string \"2\"");
    WriteFile(path, text);  // in place: same inode
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_size, before.st_size);

    reg.WriteString("Mine", "b");
    text = ReadFile(path);
    EXPECT_NE(text.find("\"Theirs\" string \"2\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Mine\" string \"b\""), std::string::npos) << text;
    EXPECT_EQ(reg.ReadString("Theirs"), "2");
}

TEST_F(Registry, ADamagedStoreIsKeptAsideOnlyUnderTheLockAndWhileStillDamaged) {
    std::ifstream probe("/proc/locks");
    if (!probe) GTEST_SKIP() << "no /proc/locks to see the reader wait";
    const std::string good = "lumacast registry 1\nkey \"K\"\nvalue \"A\" string \"1\"\nend\n";
    WriteFile(dir / "registry", "garbage\n");
    // Another process holds the store's lock, about to put a good store in place.
    const std::string lockName = dir / "registry.lock";
    int fd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    struct stat lockStat {};
    ::fstat(fd, &lockStat);
    const std::string lockId = ":" + std::to_string(lockStat.st_ino) + " ";

    std::atomic<bool> done{false};
    std::string seen = "<no key>";
    std::thread reader([&] {
        TRegistry reg;  // only reads
        if (reg.OpenKeyReadOnly("\\K")) seen = reg.ReadString("A");
        done = true;
    });
    // Until the reader went on without the lock, or waits for it.
    auto waiting = [&] {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);)
            if (line.find("->") != std::string::npos && line.find(lockId) != std::string::npos) return true;
        return false;
    };
    while (!done && !waiting()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    WriteFile(dir / "registry.new", good);
    ASSERT_EQ(::rename((dir / "registry.new").c_str(), (dir / "registry").c_str()), 0);
    ::close(fd);
    reader.join();

    EXPECT_EQ(seen, "1");
    EXPECT_EQ(ReadFile(dir / "registry"), good);
    EXPECT_EQ(Files(), (std::vector<std::string>{"registry", "registry.lock"}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(Registry, AStoreFolderThatOthersControlIsNeitherReadNorWritten) {
    const std::string good = "lumacast registry 1\nkey \"K\"\nvalue \"A\" string \"planted\"\nend\n";
    struct Case {
        const char* what;
        mode_t mode;
        bool otherOwner;  // needs root to set up
        const char* reason;
    };
    const Case cases[] = {
        {"writable by all", 0777, false, "other users may write"},
        {"writable by the group", 0770, false, "other users may write"},
        {"owned by another user", 0700, true, "belongs to another user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherOwner && ::geteuid() != 0) continue;  // only root can give a folder away
        reports.clear();
        const std::string folder = dir / c.what;
        fs::create_directories(folder);
        WriteFile(folder + "/registry", good);
        ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
        if (c.otherOwner) {
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        }
        ::setenv("LUMACAST_REGISTRY_DIR", folder.c_str(), 1);
        TRegistry reg;
        EXPECT_FALSE(reg.KeyExists("\\K"));
        EXPECT_FALSE(reg.OpenKey("\\New", true));
        ASSERT_EQ(reports.size(), 1u);  // once, however often it is looked at
        EXPECT_NE(reports[0].find(c.reason), std::string::npos) << reports[0];
        EXPECT_NE(reports[0].find(folder), std::string::npos) << reports[0];
        EXPECT_EQ(ReadFile(folder + "/registry"), good);
        EXPECT_FALSE(fs::exists(folder + "/registry.lock"));
        ::chmod(folder.c_str(), 0700);
        EXPECT_EQ(::chown(folder.c_str(), ::geteuid(), ::getegid()), 0);
    }
}

TEST(RegistryFolder, WithoutHomeTheFolderIsTheUsersHomeFromTheSystem) {
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    Saved saved[] = {{"LUMACAST_REGISTRY_DIR", "", false}, {"XDG_CONFIG_HOME", "", false}, {"HOME", "", false}};
    for (Saved& s : saved) {
        const char* v = std::getenv(s.name);
        s.set = v != nullptr;
        if (v) s.value = v;
        ::unsetenv(s.name);
    }
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    const std::string home = pw->pw_dir;
    const std::string folder = RegistryStoreDir();
    ::setenv("HOME", "relative/home", 1);  // not a folder to trust either
    const std::string withRelativeHome = RegistryStoreDir();
    for (const Saved& s : saved) {
        if (s.set) ::setenv(s.name, s.value.c_str(), 1);
        else ::unsetenv(s.name);
    }
    EXPECT_EQ(folder, (home == "/" ? "" : home) + "/.config/lumacast");
    EXPECT_EQ(withRelativeHome, folder);
    EXPECT_EQ(folder.rfind("/tmp", 0) == 0, home.rfind("/tmp", 0) == 0);
}
