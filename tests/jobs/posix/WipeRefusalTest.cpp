// The wipe refuses, before writing a byte, what it could not wipe honestly: a name that
// is not a regular file, a file that could not be deleted afterwards or not overwritten
// to its end. Real files, links, mounts, a real unprivileged process and inode flags.
#include <filesystem>
#include <functional>
#include <grp.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include "../JobDoubles.h"
#include "TestUtil.h"
#include "jobs/Wipe.h"

using namespace lwtest;
namespace fsys = std::filesystem;

namespace {

const Bytes kContent = RandomBytes(9000, 21);

struct NodeRow {
    const char* name;
    // Makes the name to wipe in dir; returns false when this machine cannot make it.
    std::function<bool(const TempDir& dir)> make;
    std::string reason;
    // Checks that what the name was is still there, as it was.
    std::function<void(const TempDir& dir)> kept;
    bool handStream = false; // a writable stream opened through the name is handed over
};

void TargetKept(const TempDir& dir)
{
    EXPECT_TRUE(fsys::is_symlink(dir / "x"));
    EXPECT_EQ(fsys::read_symlink(dir / "x"), "target.bin");
    EXPECT_TRUE(ReadFile(dir / "target.bin") == kContent) << "the target was overwritten";
}

bool MakeLink(const TempDir& dir)
{
    WriteFile(dir / "target.bin", kContent);
    fsys::create_symlink("target.bin", dir / "x");
    return true;
}

const NodeRow kNodes[] = {
    {"symlink to a file", MakeLink, "\"x\" is a symbolic link: only the file itself can be wiped", TargetKept},
    {"symlink to a file, its stream handed over", MakeLink,
     "\"x\" is a symbolic link: only the file itself can be wiped", TargetKept, true},
    {"dangling symlink",
     [](const TempDir& dir) {
         fsys::create_symlink("nowhere", dir / "x");
         return true;
     },
     "\"x\" is a symbolic link: only the file itself can be wiped",
     [](const TempDir& dir) {
         EXPECT_EQ(fsys::read_symlink(dir / "x"), "nowhere");
         EXPECT_FALSE(fsys::exists(dir / "nowhere")) << "the wipe created the target";
     }},
    {"FIFO with nobody at the other end", [](const TempDir& dir) { return ::mkfifo((dir / "x").c_str(), 0666) == 0; },
     "\"x\" is a named pipe: only a file can be wiped",
     [](const TempDir& dir) { EXPECT_TRUE(fsys::is_fifo(dir / "x")); }},
    {"folder",
     [](const TempDir& dir) {
         fsys::create_directory(dir / "x");
         WriteFile(dir / "x/inside.bin", kContent);
         return true;
     },
     "\"x\" is a folder: only a file can be wiped",
     [](const TempDir& dir) { EXPECT_TRUE(ReadFile(dir / "x/inside.bin") == kContent); }},
    {"socket",
     [](const TempDir& dir) {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = dir / "x";
         if (path.size() >= sizeof address.sun_path)
             return false;
         path.copy(address.sun_path, path.size());
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
         ::close(fd);
         return bound;
     },
     "\"x\" is a socket: only a file can be wiped",
     [](const TempDir& dir) { EXPECT_TRUE(fsys::is_socket(dir / "x")); }},
    {"character device (null)",
     [](const TempDir& dir) { return ::mknod((dir / "x").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
     "\"x\" is a device: only a file can be wiped",
     [](const TempDir& dir) { EXPECT_TRUE(fsys::is_character_file(dir / "x")); }},
    // A backup made of hard links shares the data: overwriting one name destroys them all.
    {"file with two other names",
     [](const TempDir& dir) {
         WriteFile(dir / "x", kContent);
         fsys::create_hard_link(dir / "x", dir / "backup1");
         fsys::create_hard_link(dir / "x", dir / "backup2");
         return true;
     },
     "\"x\" has 2 other names; the wipe would destroy their data too",
     [](const TempDir& dir) {
         for (const char* name : {"x", "backup1", "backup2"})
             EXPECT_TRUE(ReadFile(dir / name) == kContent) << name;
     },
     true},
    // The final delete would fail with EBUSY: the mounted file would be noise under its name.
    {"bind-mounted file",
     [](const TempDir& dir) {
         WriteFile(dir / "x", {'u', 'n', 'd', 'e', 'r'});
         WriteFile(dir / "mounted", kContent);
         return ::mount((dir / "mounted").c_str(), (dir / "x").c_str(), nullptr, MS_BIND, nullptr) == 0;
     },
     "\"x\" cannot be deleted: something is mounted at its name",
     [](const TempDir& dir) {
         EXPECT_TRUE(ReadFile(dir / "x") == kContent);
         ::umount2((dir / "x").c_str(), MNT_DETACH);
         EXPECT_TRUE(ReadFile(dir / "mounted") == kContent);
     }},
    // Filling its holes would need 4 MB of a 256 KiB file system: the first pass would
    // stop with the file's start gone and the disk full.
    {"sparse file larger than the free space",
     [](const TempDir& dir) {
         if (::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=256k") != 0)
             return false;
         WriteFile(dir / "x", kContent);
         fsys::resize_file(dir / "x", 4 << 20);
         return true;
     },
     "\"x\" is sparse, and the free space cannot hold it overwritten: No space left on device",
     [](const TempDir& dir) {
         const Bytes now = ReadFile(dir / "x");
         EXPECT_EQ(now.size(), size_t{4 << 20});
         EXPECT_TRUE(std::equal(kContent.begin(), kContent.end(), now.begin()));
         ::umount2(dir.Path().c_str(), MNT_DETACH);
     }},
};

} // namespace

TEST(WipeRefusal, WhatCannotBeWipedHonestlyStaysAsItWas)
{
    for (const NodeRow& row : kNodes) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        if (!row.make(dir)) {
            std::cout << "[  NOTE    ] " << row.name << ": cannot be made here, row not run\n";
            continue;
        }
        std::unique_ptr<lw::TFileStream> stream;
        if (row.handStream)
            stream = std::make_unique<lw::TFileStream>(dir / "x", lw::TFileMode::fmOpenReadWriteShared);
        const WipeRun outcome = Wipe(dir / "x", std::move(stream));
        EXPECT_FALSE(outcome.Deleted());
        EXPECT_EQ(outcome.reason, row.reason);
        EXPECT_EQ(outcome.boxes, 1u) << "asked first, then refused";
        row.kept(dir);
    }
}

// The file itself is writable for the user; only its folder stands in the way.
TEST(WipeRefusal, FileItsFolderWouldNotLetGoIsNotOverwritten)
{
    struct Row {
        const char* name;
        fsys::perms folder;
        bool fileOurs;
        std::string said; // "1" deleted, "0" and the reason kept
    };
    const Row rows[] = {
        {"folder without write permission", fsys::perms(0755), false,
         "0\"f.bin\" cannot be deleted: this user may not change its folder"},
        {"sticky folder, someone else's file", fsys::perms(01777), false,
         "0\"f.bin\" cannot be deleted: its folder lets only the file's owner delete it"},
        {"sticky folder, our own file", fsys::perms(01777), true, "1"},
        {"folder open to all", fsys::perms(0777), false, "1"},
    };
    TempDir dir;
    fsys::permissions(dir.Path(), fsys::perms(0755));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string box = dir / "box";
        fsys::create_directory(box);
        const std::string path = box + "/f.bin";
        WriteFile(path, kContent);
        fsys::permissions(path, fsys::perms(0666));
        if (row.fileOurs) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
        fsys::permissions(box, row.folder);
        const auto said = AsNobody([&] {
            const WipeRun run = Wipe(path);
            return run.Deleted() ? std::string("1") : "0" + run.reason;
        });
        if (!said) {
            GTEST_SKIP() << "cannot become an unprivileged user (65534) here";
        }
        EXPECT_EQ(*said, row.said);
        if (row.said == "1") {
            EXPECT_FALSE(fsys::exists(path));
        } else {
            EXPECT_TRUE(ReadFile(path) == kContent) << "overwritten though it could not be deleted";
        }
        fsys::remove_all(box);
    }
}

namespace {

// Sets an inode flag for its lifetime; Set() says whether this machine allowed it.
class InodeFlag {
public:
    InodeFlag(const std::string& path, int flag) : m_path(path), m_flag(flag)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        m_set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                (flags |= flag, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0)
            ::close(fd);
    }
    ~InodeFlag()
    {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~m_flag;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
    }
    InodeFlag(const InodeFlag&) = delete;
    InodeFlag& operator=(const InodeFlag&) = delete;
    bool Set() const { return m_set; }

private:
    std::string m_path;
    int m_flag;
    bool m_set = false;
};

} // namespace

// Flags stop even root: an immutable or append-only name cannot be deleted.
TEST(WipeRefusal, FlaggedFileOrFolderIsNotOverwritten)
{
    struct Row {
        const char* name;
        bool onFolder;
        int flag;
        std::string reason;
    };
    const Row rows[] = {
        {"immutable file", false, FS_IMMUTABLE_FL, "\"f.bin\" cannot be deleted: it is marked immutable"},
        {"append-only file", false, FS_APPEND_FL, "\"f.bin\" cannot be deleted: it is marked append-only"},
        {"append-only folder", true, FS_APPEND_FL, "\"f.bin\" cannot be deleted: its folder is marked append-only"},
        {"immutable folder", true, FS_IMMUTABLE_FL, "\"f.bin\" cannot be deleted: its folder is marked immutable"},
    };
    int run = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string box = dir / "box";
        fsys::create_directory(box);
        const std::string path = box + "/f.bin";
        WriteFile(path, kContent);
        {
            InodeFlag flag(row.onFolder ? box : path, row.flag);
            if (!flag.Set()) {
                std::cout << "[  NOTE    ] " << row.name << ": this file system or process cannot set the flag\n";
                continue;
            }
            ++run;
            // The stream is handed over the way the encrypt job does, where one can be opened.
            std::unique_ptr<lw::TFileStream> stream;
            if (row.onFolder)
                stream = std::make_unique<lw::TFileStream>(path, lw::TFileMode::fmOpenReadWriteShared);
            const WipeRun outcome = Wipe(path, std::move(stream));
            EXPECT_FALSE(outcome.Deleted());
            EXPECT_EQ(outcome.reason, row.reason);
        }
        EXPECT_TRUE(ReadFile(path) == kContent) << "overwritten though it could not be deleted";
    }
    if (run == 0) {
        GTEST_SKIP() << "no inode flag could be set here (FS_IOC_SETFLAGS needs CAP_LINUX_IMMUTABLE and ext4 or alike)";
    }
}

namespace {

// A writable folder on a file system of this kind, if the machine has one.
std::optional<std::string> FolderOn(std::initializer_list<unsigned long> types)
{
    std::vector<std::string> candidates = {"/dev/shm",          fsys::temp_directory_path().string(),
                                           "/var/tmp",          "/work",
                                           LOCKWELL_BINARY_DIR, fsys::current_path().string()};
    for (const std::string& folder : candidates) {
        const auto type = FileSystemType(folder);
        if (type && std::find(types.begin(), types.end(), *type) != types.end() && ::access(folder.c_str(), W_OK) == 0)
            return folder;
    }
    return std::nullopt;
}

} // namespace

// Overwriting in place leaves nothing on ext4 or XFS; tmpfs pages may sit in swap, and
// the question says so, with that reason, in a line of its own after the question.
TEST(WipeQuestion, WarnsOfOldCopiesOnlyWhereOverwritingMayNotReachThem)
{
    const std::string first = "You are about to wipe f.bin\r\nand make it unrecoverable.Continue?";
    struct Row {
        const char* name;
        std::initializer_list<unsigned long> types;
        std::string text;
    };
    const Row rows[] = {
        {"tmpfs", {kTmpfs}, first + "\r\n" + kSwapLine},
        {"ext4 or XFS", {kExt4, kXfs}, first},
    };
    int run = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto root = FolderOn(row.types);
        if (!root) {
            std::cout << "[  NOTE    ] no writable " << row.name << " folder on this machine\n";
            continue;
        }
        ++run;
        TempDir dir(*root);
        WriteFile(dir / "f.bin", kContent);
        ScriptedAsk ask({lw::mbCancel});
        EXPECT_NE(lw::WipeFile(nullptr, dir / "f.bin", ask), lw::TWipeEnd::Deleted);
        ASSERT_EQ(ask.boxes.size(), 1u);
        EXPECT_EQ(ask.boxes[0], (Box{lw::TMsgDlgType::mtWarning, row.text, lw::mbOK | lw::mbCancel}));
        EXPECT_TRUE(ReadFile(dir / "f.bin") == kContent);
    }
    if (run == 0) {
        GTEST_SKIP() << "neither tmpfs nor ext4/XFS is writable here";
    }
}

TEST(WipeQuestion, NoWarningWhereTheFileSystemCannotBeTold)
{
    TempDir dir;
    ScriptedAsk ask({lw::mbOK});
    std::string why;
    EXPECT_NE(lw::WipeFile(nullptr, dir / "no folder/f.bin", ask, &why), lw::TWipeEnd::Deleted);
    ASSERT_EQ(ask.boxes.size(), 1u);
    EXPECT_EQ(ask.boxes[0].text, "You are about to wipe f.bin\r\nand make it unrecoverable.Continue?");
    EXPECT_EQ(why, "Cannot open file \"" + (dir / "no folder/f.bin") + "\". No such file or directory");
}
