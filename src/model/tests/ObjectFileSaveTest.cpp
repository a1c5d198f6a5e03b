#include "ObjectFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

} // namespace
