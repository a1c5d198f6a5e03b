#include "ObjectFile.h"
#include "SafeSave.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
int umaskCalls = 0;
}

// Every umask() of this program, the save's included, passes here: the save must never set
// the mask, since for that moment files created by other threads would get the wrong mode.
extern "C" mode_t umask(mode_t mask)
{
    ++umaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

namespace {

std::vector<tElement> chain(int count)
{
    std::vector<tElement> polys{};
    polys.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        polys[std::size_t(i)].type = "Quad";
        polys[std::size_t(i)].name = "p" + std::to_string(i);
        polys[std::size_t(i)].red = i & 0xFF;
        if (i > 0)
            polys[std::size_t(i - 1)].next = &polys[std::size_t(i)];
    }
    return polys;
}

class SaveObjectFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(file, old);
    }
    void expectOldFileAlone()
    {
        EXPECT_EQ(readBytes(file), old);
        EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"object.3do"})
            << "a temporary file was left behind";
    }

    TempDir dir;
    std::string file = dir.file("object.3do");
    Bytes old = Bytes(136 * 3, 'o');
    std::vector<tElement> polys = chain(2000);
};

TEST_F(SaveObjectFile, SuccessReplacesTheFileAndLeavesNoTemporary)
{
    ASSERT_TRUE(WriteObjectFile(file, &polys[0], 5));
    EXPECT_EQ(readBytes(file).size(), 5u * 136);
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"object.3do"});
    CDynArray list;
    ASSERT_TRUE(ReadObjectFile(file, list, nullptr));
    EXPECT_EQ(list.Count(), 5);
}

TEST_F(SaveObjectFile, FullDiskKeepsTheOldFile)
{
    // A file size limit fails the writes as a full disk would, for root too.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved_ok = WriteObjectFile(file, &polys[0], int(polys.size()));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved_ok);
    expectOldFileAlone();
}

TEST_F(SaveObjectFile, FullDeviceIsReportedAsFailure)
{
    EXPECT_FALSE(WriteObjectFile("/dev/full", &polys[0], 1));
    EXPECT_FALSE(WriteObjectFile("/dev/full", &polys[0], int(polys.size())));
}

TEST_F(SaveObjectFile, ReadOnlyFolderKeepsTheOldFile)
{
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteObjectFile(file, &polys[0], 1));
    } else {
        // Root ignores folder permissions; save as an unprivileged user in a child.
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            ::_exit(WriteObjectFile(file, &polys[0], 1) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "cannot drop privileges";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the save claimed success";
    }
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    expectOldFileAlone();
}

TEST_F(SaveObjectFile, TargetsThatCannotBeFilesFail)
{
    EXPECT_FALSE(WriteObjectFile(file + "/inner.3do", &polys[0], 1));  // folder is a file
    ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0755), 0);
    EXPECT_FALSE(WriteObjectFile(dir.file("folder"), &polys[0], 1));
    EXPECT_FALSE(WriteObjectFile(dir.file("nowhere/x.3do"), &polys[0], 1));
    EXPECT_FALSE(WriteObjectFile("", &polys[0], 1));
    ASSERT_EQ(::rmdir(dir.file("folder").c_str()), 0);
    expectOldFileAlone();
}

TEST_F(SaveObjectFile, FifoWithoutReaderFailsAtOnce)
{
    std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WriteObjectFile(fifo, &polys[0], 1));
    struct stat st;
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ::unlink(fifo.c_str());
}

TEST_F(SaveObjectFile, ChainShorterThanCountWritesNothing)
{
    EXPECT_FALSE(WriteObjectFile(file, &polys[0], int(polys.size()) + 1));
    EXPECT_FALSE(WriteObjectFile(file, &polys[0], -1));
    expectOldFileAlone();
}

TEST_F(SaveObjectFile, KeepsPermissionsAndWritesThroughLinks)
{
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    std::string link = dir.file("link.3do");
    ASSERT_EQ(::symlink("object.3do", link.c_str()), 0);
    ASSERT_TRUE(WriteObjectFile(link, &polys[0], 1));
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(file).size(), 136u);

    mode_t mask = ::umask(022);
    ASSERT_TRUE(WriteObjectFile(dir.file("new.3do"), &polys[0], 1));
    ::umask(mask);
    ASSERT_EQ(::stat(dir.file("new.3do").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// The ordinary user the tests save as, and another one, where the tests run as root.
constexpr uid_t kUser = 65534;
constexpr uid_t kOther = 65533;

enum Verdict { kRefused = 0, kSaved = 1, kNoUser = 2 };

// Runs body in a child process and gives its wait status.
int inChild(const std::function<int()>& body)
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = -1;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return status;
}

bool becomeUser()
{
    return ::geteuid() != 0 ||
           (::setgroups(0, nullptr) == 0 && ::setgid(kUser) == 0 && ::setuid(kUser) == 0);
}

// Saves as an ordinary user: root passes every permission check, so where the tests run as
// root the save runs in a child that has given up root.
Verdict saveAsUser(const std::function<bool()>& save)
{
    int status = inChild([&] { return !becomeUser() ? kNoUser : save() ? kSaved : kRefused; });
    return WIFEXITED(status) ? Verdict(WEXITSTATUS(status)) : kNoUser;
}

class SaveAsUser : public SaveObjectFile {
protected:
    void SetUp() override
    {
        SaveObjectFile::SetUp();
        giveToUser(dir.path());
        giveToUser(file);
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
    }
    static void giveToUser(const std::string& path, uid_t uid = kUser, gid_t gid = kUser)
    {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), uid, gid), 0);
        }
    }
    static void needRoot()
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to hand files to other users";
    }
    Verdict save(const std::string& name, int count = 5)
    {
        return saveAsUser([&] { return WriteObjectFile(name, &polys[0], count); });
    }
    static struct stat statOf(const std::string& path)
    {
        struct stat st{};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st;
    }
    void expectNewContents(const std::string& path, int count = 5)
    {
        EXPECT_EQ(readBytes(path).size(), std::size_t(count) * 136) << path;
    }

    struct stat before{};
};

TEST_F(SaveAsUser, FilesTheUserMayNotWriteAreLeftAlone)
{
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(save(file), kRefused);
    expectOldFileAlone();
    EXPECT_EQ(statOf(file).st_mode & 07777, 0444u);
    EXPECT_EQ(statOf(file).st_ino, before.st_ino);

    needRoot();
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    giveToUser(file, 0, 0);
    EXPECT_EQ(save(file), kRefused);
    expectOldFileAlone();
    EXPECT_EQ(statOf(file).st_uid, 0u);
    EXPECT_EQ(statOf(file).st_ino, before.st_ino);
}

TEST_F(SaveAsUser, WritableFileInReadOnlyFolderIsWrittenInPlace)
{
    TempDir cache;
    giveToUser(cache.path());
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    auto saveWithCache = [&](int count) {
        return saveAsUser([&] {
            // More than the file system allows: the write fails as on a full disk.
            struct rlimit small = {64 * 1024, 64 * 1024};
            std::signal(SIGXFSZ, SIG_IGN);
            ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
            return ::setrlimit(RLIMIT_FSIZE, &small) == 0 && WriteObjectFile(file, &polys[0], count);
        });
    };
    EXPECT_EQ(saveWithCache(int(polys.size())), kRefused);
    EXPECT_EQ(readBytes(file), old) << "the old contents were not put back";
    EXPECT_EQ(saveWithCache(5), kSaved);
    expectNewContents(file);
    EXPECT_EQ(statOf(file).st_ino, before.st_ino);
    EXPECT_EQ(listFolder(cache.path()), std::vector<std::string>{}) << "the copy of the old contents stayed";
    EXPECT_EQ(listFolder(dir.path()), std::vector<std::string>{"object.3do"});
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
}

TEST_F(SaveAsUser, SharedFilesAndLinksKeepWhatTheyShare)
{
    std::string hard = dir.file("hard.3do");
    ASSERT_EQ(::link(file.c_str(), hard.c_str()), 0);
    EXPECT_EQ(save(file), kSaved);
    expectNewContents(hard);
    EXPECT_EQ(statOf(file).st_nlink, 2u);
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"hard.3do", "object.3do"}))
        << "the copy of the old contents stayed";
    ASSERT_EQ(::unlink(hard.c_str()), 0);

    // A link whose file does not exist yet: the file is made where it points, relative to
    // the link's own folder, with the mode a new file gets.
    std::string models = dir.file("models");
    ASSERT_EQ(::mkdir(models.c_str(), 0755), 0);
    giveToUser(models);
    std::string link = models + "/link.3do";
    ASSERT_EQ(::symlink("../made.3do", link.c_str()), 0);
    EXPECT_EQ(save(link, 1), kSaved);
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    expectNewContents(dir.file("made.3do"), 1);

    // Another user's file that this user may write through its group: the owner stays.
    needRoot();
    std::string theirs = dir.file("theirs.3do");
    writeBytes(theirs, old);
    giveToUser(theirs, kOther, kUser);
    ASSERT_EQ(::chmod(theirs.c_str(), 0664), 0);
    EXPECT_EQ(save(theirs), kSaved);
    expectNewContents(theirs);
    EXPECT_EQ(statOf(theirs).st_uid, kOther);
    EXPECT_EQ(statOf(theirs).st_gid, kUser);
    EXPECT_EQ(statOf(theirs).st_mode & 07777, 0664u);
}

std::string aclText(const std::string& path)
{
    acl_t acl = ::acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
    char* text = acl ? ::acl_to_any_text(acl, nullptr, ',', 0) : nullptr;
    std::string result = text ? text : "";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

bool setAcl(const std::string& path, acl_type_t type, const char* text)
{
    acl_t acl = ::acl_from_text(text);
    bool ok = acl && ::acl_set_file(path.c_str(), type, acl) == 0;
    ::acl_free(acl);
    return ok;
}

TEST_F(SaveAsUser, AttributesAndAclsSurvive)
{
    if (::setxattr(file.c_str(), "user.origin", "scanner", 7, 0) != 0)
        GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
    if (!setAcl(file, ACL_TYPE_ACCESS, "u::rw-,u:65533:rw-,g::r--,m::rw-,o::---"))
        GTEST_SKIP() << "the temporary folder's file system keeps no ACLs";
    // A file without an ACL in a folder whose new files get one must not gain it.
    std::string plain = dir.file("plain.3do");
    writeBytes(plain, old);
    giveToUser(plain);
    ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
    ASSERT_TRUE(setAcl(dir.path(), ACL_TYPE_DEFAULT, "u::rwx,u:65533:rwx,g::r-x,m::rwx,o::---"));
    std::string aclBefore = aclText(file);
    std::string plainAclBefore = aclText(plain);
    mode_t modeBefore = statOf(file).st_mode;

    EXPECT_EQ(save(file), kSaved);
    EXPECT_EQ(save(plain), kSaved);
    expectNewContents(file);
    char value[16] = {};
    EXPECT_EQ(::getxattr(file.c_str(), "user.origin", value, sizeof value), 7);
    EXPECT_STREQ(value, "scanner");
    EXPECT_EQ(aclText(file), aclBefore);
    EXPECT_EQ(statOf(file).st_mode, modeBefore);
    expectNewContents(plain);
    EXPECT_EQ(aclText(plain), plainAclBefore);
    EXPECT_EQ(statOf(plain).st_mode & 07777, 0640u);
    EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"object.3do", "plain.3do"}));
}

TEST_F(SaveAsUser, NewFileModeComesFromTheUmaskLeftAsItIs)
{
    for (bool unnamed : {true, false}) {
        SafeSaveOptions options;
        options.unnamedTemporary = unnamed;
        auto saveNew = [&](const std::string& name, mode_t mask) {
            return saveAsUser([&] {
                ::umask(mask);
                int calls = umaskCalls;
                bool saved = unnamed ? WriteObjectFile(name, &polys[0], 1)
                                     : SaveFileSafely(name, [&](int fd) { return ::write(fd, "new", 3) == 3; }, options);
                return saved && umaskCalls == calls;
            });
        };
        std::string tight = dir.file(unnamed ? "tight.3do" : "tight-named.3do");
        std::string usual = dir.file(unnamed ? "usual.3do" : "usual-named.3do");
        EXPECT_EQ(saveNew(tight, 077), kSaved) << "unnamed temporary: " << unnamed;
        EXPECT_EQ(saveNew(usual, 022), kSaved) << "unnamed temporary: " << unnamed;
        EXPECT_EQ(statOf(tight).st_mode & 07777, 0600u);
        EXPECT_EQ(statOf(usual).st_mode & 07777, 0644u);
        // Replacing keeps the old file's mode whatever the mask.
        EXPECT_EQ(saveNew(file, 077), kSaved);
        EXPECT_EQ(statOf(file).st_mode & 07777, before.st_mode & 07777);
        EXPECT_EQ(readBytes(file).size(), unnamed ? 136u : 3u);
    }
    EXPECT_EQ(listFolder(dir.path()).size(), 5u) << "a temporary file was left behind";
}

TEST_F(SaveAsUser, KilledSaveLeavesNoTemporaryButTheOldContents)
{
    // Killed at a file size limit in the middle of writing the polygons.
    int status = inChild([&] {
        struct rlimit small = {64 * 1024, 64 * 1024}, noCore = {0, 0};
        if (!becomeUser() || ::setrlimit(RLIMIT_CORE, &noCore) != 0 || ::setrlimit(RLIMIT_FSIZE, &small) != 0)
            return int(kNoUser);
        std::signal(SIGXFSZ, SIG_DFL);
        return WriteObjectFile(file, &polys[0], int(polys.size())) ? int(kSaved) : int(kRefused);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    expectOldFileAlone();

    // Written in place: the copy of the old contents is what remains to recover them from.
    std::string hard = dir.file("hard.3do");
    ASSERT_EQ(::link(file.c_str(), hard.c_str()), 0);
    status = inChild([&] {
        if (!becomeUser())
            return int(kNoUser);
        SaveFileSafely(file, [](int fd) { return ::write(fd, "half", 4) == 4 && ::raise(SIGKILL) == 0; });
        return int(kSaved);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    std::vector<std::string> names = listFolder(dir.path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2].rfind("object.3do.", 0), 0u) << names[2];
    EXPECT_EQ(readBytes(dir.file(names[2])), old);
}

// Mounts need root and a mount namespace of the test's own, so nothing outside sees them.
bool privateMounts()
{
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

TEST_F(SaveAsUser, BindMountedFileIsWrittenInPlace)
{
    std::string source = dir.file("source.3do");
    writeBytes(source, old);
    giveToUser(source);
    int status = inChild([&] {
        if (!privateMounts())
            return 3;
        if (::mount(source.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0 || !becomeUser())
            return int(kNoUser);
        return WriteObjectFile(file, &polys[0], 5) ? int(kSaved) : int(kRefused);
    });
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "no private mount namespace (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), kSaved);
    expectNewContents(source);
}

TEST_F(SaveAsUser, FullFileSystemKeepsTheOldFile)
{
    // A real full disk: a small tmpfs over the folder, for the replacing and the in-place way.
    int status = inChild([&] {
        if (!privateMounts())
            return 3;
        if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
            return 4;
        writeBytes(file, old);
        std::string hard = dir.file("hard.3do");
        if (::chown(file.c_str(), kUser, kUser) != 0 || ::link(file.c_str(), hard.c_str()) != 0 ||
            !becomeUser())
            return 4;
        SafeSaveOptions noOtherFolder;
        noOtherFolder.backupFolders = {};
        bool replaced = WriteObjectFile(dir.file("new.3do"), &polys[0], int(polys.size()));
        bool inPlace = SaveFileSafely(file, [&](int fd) {
            std::vector<char> big(256 * 1024, 'x');
            return ::write(fd, big.data(), big.size()) == ssize_t(big.size());
        }, noOtherFolder);
        if (replaced || inPlace || readBytes(hard) != old || listFolder(dir.path()).size() != 2)
            return 5;
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "no private mount namespace (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "4: set-up failed, 5: a save claimed success or left the disk changed";
}

} // namespace
