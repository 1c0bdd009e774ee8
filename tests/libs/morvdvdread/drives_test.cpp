// The drive list over a fake system root (sysfs, mount table, udev database), and
// drive ids handed back to parseDVD.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fixtures/dvd_fixture.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace fs = std::filesystem;

namespace {

class DvdDrives : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) / ("dvdread-sysroot-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys/class/block");
        fs::create_directories(root_ / "proc/self");
        fs::create_directories(root_ / "run/udev/data");
        std::ofstream(root_ / "proc/self/mounts") << "/dev/vda1 / ext4 rw 0 0\n";
        setDVDSystemRoot(root_.c_str());
    }
    void TearDown() override {
        setDVDSystemRoot(nullptr);
        fs::remove_all(root_);
    }

    // A block device: sys/class/block/<name>/dev, an optional model and udev record.
    void AddDevice(const std::string& name, const std::string& majorMinor, const std::string& model,
                   const std::string& udev) {
        const fs::path dir = root_ / "sys/class/block" / name;
        fs::create_directories(dir / "device");
        std::ofstream(dir / "dev") << majorMinor << "\n";
        if (!model.empty()) std::ofstream(dir / "device/model") << model << "   \n";
        if (!udev.empty()) std::ofstream(root_ / "run/udev/data" / ("b" + majorMinor)) << udev;
    }
    void AddMount(const std::string& line) { std::ofstream(root_ / "proc/self/mounts", std::ios::app) << line << "\n"; }

    fs::path root_;
};

TEST_F(DvdDrives, NoOpticalDrivesGiveAnEmptyList) {
    AddDevice("vda", "254:0", "", "");
    AddDevice("loop0", "7:0", "", "");
    DvdDriveList list{};
    list.count = 5;  // must be reset
    ASSERT_EQ(getAllDVDRomInfo(&list), DVD_OK);
    EXPECT_EQ(list.count, 0);

    setDVDSystemRoot((root_ / "nothing-here").c_str());  // no sysfs at all
    ASSERT_EQ(getAllDVDRomInfo(&list), DVD_OK);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(getAllDVDRomInfo(nullptr), DVD_ERR_ARGUMENT);
}

TEST_F(DvdDrives, DrivesComeInDriveNumberOrderWithTheirIdsAndTexts) {
    AddDevice("sr10", "11:10", "BD-RE", "E:ID_CDROM=1\nE:ID_CDROM_DVD=1\nE:ID_CDROM_MEDIA=0\n");
    AddDevice("sda", "8:0", "SSD", "E:ID_MODEL=SSD\n");
    AddDevice("sr1", "11:1", "CDR-8", "E:ID_CDROM=1\nE:ID_CDROM_MEDIA=1\nE:ID_CDROM_MEDIA_CD=1\n");
    AddDevice("sr0", "11:0", "DVD-ROM",
              "S:disk/by-id/x\nE:ID_CDROM=1\nE:ID_CDROM_DVD=1\nE:ID_CDROM_MEDIA=1\nE:ID_CDROM_MEDIA_DVD=1\n"
              "E:ID_FS_LABEL=HOLIDAY_2009\nE:ID_MODEL=DVD_Writer\n");
    AddDevice("sr2", "11:2", "Old drive", "");  // udev knows nothing: taken as a DVD drive
    AddDevice("sr23", "11:23", "", "");         // beyond drive id Z: not listed
    DvdDriveList list{};
    ASSERT_EQ(getAllDVDRomInfo(&list), DVD_OK);
    ASSERT_EQ(list.count, 4);
    const struct { char id; const char* text; int listed; int dvd; } want[] = {
        {'D', "HOLIDAY_2009 (/dev/sr0)", 1, 1},
        {'E', "CDR-8 (/dev/sr1)", 0, 0},
        {'F', "Old drive (/dev/sr2)", 1, 0},
        {'N', "No disc (/dev/sr10)", 1, 0},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list.entries[i].driveId, want[i].id);
        EXPECT_STREQ(list.entries[i].text, want[i].text);
        EXPECT_EQ(list.entries[i].listed, want[i].listed);
        EXPECT_EQ(list.entries[i].discPresent, want[i].dvd);
    }
    EXPECT_EQ(list.entries[4].driveId, 0);
}

TEST_F(DvdDrives, LongLabelsAreCutToTheField) {
    AddDevice("sr0", "11:0", "", "E:ID_CDROM_DVD=1\nE:ID_CDROM_MEDIA=1\nE:ID_FS_LABEL=" + std::string(300, 'x') + "\n");
    DvdDriveList list{};
    ASSERT_EQ(getAllDVDRomInfo(&list), DVD_OK);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(std::string(list.entries[0].text), std::string(258, 'x'));
}

// A drive id reads the drive's mounted medium: here the fixture, "mounted" at a path
// with a blank (escaped as \040 in the mount table).
TEST_F(DvdDrives, DriveIdReadsTheMountedMedium) {
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    const fs::path mountPoint = root_ / "media/my disc";
    fs::create_directories(mountPoint.parent_path());
    fs::create_directory_symlink(fx.root, mountPoint);
    AddDevice("sr0", "11:0", "", "E:ID_CDROM_DVD=1\nE:ID_CDROM_MEDIA=1\n");
    AddDevice("sr1", "11:1", "", "E:ID_CDROM_DVD=1\nE:ID_CDROM_MEDIA=1\n");
    std::string escaped = mountPoint.string();
    escaped.replace(escaped.find(' '), 1, "\\040");
    AddMount("/dev/sr1 " + escaped + " udf ro 0 0");

    DvdDisc* direct = nullptr;
    ASSERT_EQ(parseDVD(&direct, mountPoint.c_str(), 0), DVD_OK);
    for (const char* id : {"E:\\", "e:/", "E:"}) {
        DvdDisc* disc = nullptr;
        EXPECT_EQ(parseDVD(&disc, id, 0), DVD_OK) << id;
        EXPECT_EQ(disc, direct) << id;
    }
    DvdDisc* disc = nullptr;
    EXPECT_EQ(parseDVD(&disc, "F:\\", 0), DVD_ERR_NOT_FOUND);  // no sr2
    EXPECT_EQ(parseDVD(&disc, "D:\\", 0), DVD_ERR_NOT_FOUND);  // sr0 unmounted: /dev/sr0 is not here
    EXPECT_EQ(disc, nullptr);
}

}  // namespace
