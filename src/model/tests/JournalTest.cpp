#include "FileDescriptor.h"
#include "Journal.h"
#include "ObjectFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

tElement polygon(const std::string& name, float z)
{
    tElement e;
    e.type = "Triangle";
    e.name = name;
    e.vertex[2] = z;
    return e;
}

std::string describe(const CDynArray& list)
{
    std::string s;
    for (const tElement* p = list.First(); p; p = p->next)
        s += p->name.str() + "@" + std::to_string(int(p->vertex[2])) + " ";
    return s;
}

uint32_t noTexture(const std::string&, int, int, int) { return 0; }

class JournalTest : public testing::Test {
protected:
    std::string folder() const { return dir.file("state"); }

    JournalContents contentsOf(const std::string& path)
    {
        JournalContents c;
        const FileDescriptor fd(::open(path.c_str(), O_RDONLY));
        EXPECT_TRUE(ReadJournal(fd.get(), c));
        return c;
    }

    std::string replayed(const JournalContents& c)
    {
        CDynArray list;
        UndoHistory history(list);
        EXPECT_TRUE(ReplayJournal(c.entries, folder(), history, noTexture));
        return describe(list);
    }

    TempDir dir;
};

// The journal makes every kind of change again, a file read by Open kept as it was read even
// when the file changes afterwards.
TEST_F(JournalTest, ReplayGivesTheObjectAsItWasLeft)
{
    CDynArray source;
    ASSERT_TRUE(source.Add(polygon("f1", 1)) && source.Add(polygon("f2", 2)));
    const std::string file = dir.file("object.3do");
    ASSERT_TRUE(WriteObjectFile(file, source.First(), source.Count()));

    CDynArray list;
    UndoHistory history(list);
    auto journal = Journal::Create(folder());
    ASSERT_TRUE(journal);
    history.setSink(journal.get());
    auto read = [&](CDynArray& l) { return ReadObjectFile(file, l, noTexture); };
    history.add(polygon("a", 1), noTexture);
    history.replace(read, file);
    history.append(read, file);
    history.update(3, polygon("F1", 9), noTexture);
    history.remove(2);
    history.undo(), history.redo();
    history.add(polygon("b", 5), noTexture);
    history.undo();
    journal->flush();
    ASSERT_TRUE(WriteObjectFile(file, nullptr, 0));

    const JournalContents c = contentsOf(journal->fileName());
    EXPECT_TRUE(c.offerable());
    EXPECT_EQ(replayed(c), describe(list));
    EXPECT_EQ(describe(list), "f1@1 F1@9 f2@2 ");
}

// A kill while an entry is written leaves a tail that is cut off: a short one or a damaged
// one, and only the last entry is lost.
TEST_F(JournalTest, TornTailIsIgnored)
{
    auto journal = Journal::Create(folder());
    journal->added(polygon("a", 1));
    journal->added(polygon("b", 2));
    journal->flush();
    const std::string path = journal->fileName();
    journal.reset();
    Bytes bytes = readBytes(path);
    ASSERT_EQ(contentsOf(path).validBytes, bytes.size());

    ASSERT_EQ(::truncate(path.c_str(), off_t(bytes.size() - 5)), 0);
    EXPECT_EQ(replayed(contentsOf(path)), "a@1 ");

    bytes[bytes.size() - 20] ^= 0x40;
    writeBytes(path, bytes);
    EXPECT_EQ(replayed(contentsOf(path)), "a@1 ");
}

// A journal is offered only when its process has ended without discarding it, and only with
// changes not saved since.
TEST_F(JournalTest, OnlyAnEndedUnsavedJournalIsOffered)
{
    CDynArray list;
    UndoHistory history(list);
    auto running = Journal::Create(folder());
    history.setSink(running.get());
    history.add(polygon("a", 1), noTexture);
    running->flush();
    JournalContents c;
    EXPECT_FALSE(Journal::TakeOrphan(folder(), c)) << "taken from a running program";

    const std::string path = running->fileName();
    running.reset();   // ended as by a kill
    auto orphan = Journal::TakeOrphan(folder(), c);
    ASSERT_TRUE(orphan);
    EXPECT_EQ(replayed(c), "a@1 ");
    JournalContents again;
    EXPECT_FALSE(Journal::TakeOrphan(folder(), again)) << "offered twice while held";

    orphan->adopt(c);
    history.setSink(orphan.get());
    orphan->saved();
    orphan->flush();
    orphan.reset();
    EXPECT_FALSE(Journal::TakeOrphan(folder(), c)) << "offered after it was saved";
    EXPECT_TRUE(listFolder(folder()).empty()) << "a journal with nothing to offer stays";
}

} // namespace
