// Undo and redo of every command, seen where a user sees them: the list box, the view and the
// editor; and the journal's offer at the next start.
#include "FormFixture.h"

#include "ObjectFile.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class UndoTest : public FormTest {
protected:
    struct Seen {
        QStringList entries;
        QImage view;
        EditorMode mode;
    };

    void SetUp() override
    {
        FormTest::SetUp();
        previousCurrent = QDir::currentPath();
        form->addPolygon(quad("left", {-60, -20, 0, -20, -20, 0, -20, 20, 0, -60, 20, 0}, 255, 0, 0));
        form->addPolygon(quad("right", {20, -20, 0, 60, -20, 0, 60, 20, 0, 20, 20, 0}, 0, 0, 255));
        form->DrawScene();
        settle();
    }
    void TearDown() override
    {
        QDir::setCurrent(previousCurrent);
        FormTest::TearDown();
    }

    Seen seen()
    {
        form->DrawScene();
        settle();
        Seen s{{}, frame(), form->editor()->state().mode};
        const TPolygonListBox* box = form->editor()->polygonListBox();
        for (int i = 0; i < box->count(); ++i)
            s.entries << box->text(i);
        return s;
    }
    void expectSeen(const Seen& now, const Seen& expected, const char* when)
    {
        EXPECT_EQ(now.entries, expected.entries) << when;
        EXPECT_TRUE(now.view == expected.view) << when << ": the view shows another object";
        EXPECT_EQ(now.mode, EditorMode::Idle) << when;
    }
    void keys(Qt::Key key, Qt::KeyboardModifiers mods)
    {
        QTest::keyClick(form->editor()->polygonListBox(), key, mods);
        settle();
    }
    // The command, then Ctrl+Z and a redo key, each leaving what the command left or found.
    template <typename Command> void undoAndRedo(Command command, bool shiftZ = false)
    {
        const Seen before = seen();
        command();
        const Seen after = seen();
        ASSERT_TRUE(after.entries != before.entries || !(after.view == before.view))
            << "the command changed nothing";
        keys(Qt::Key_Z, Qt::ControlModifier);
        expectSeen(seen(), before, "after undo");
        keys(shiftZ ? Qt::Key_Z : Qt::Key_Y, shiftZ ? Qt::ControlModifier | Qt::ShiftModifier
                                                    : Qt::ControlModifier);
        expectSeen(seen(), after, "after redo");
    }
    void load(int row)
    {
        form->editor()->polygonListBox()->setCurrentRow(row);
        form->editor()->lbPolygonClick();
    }
    QString objectFile()
    {
        const tElement t = triangle("t1", {-40, -40, 0, 40, -40, 0, 0, 40, 0}, 0, 255, 0);
        EXPECT_TRUE(WriteObjectFile(dir.filePath("one.3do").toStdString(), &t, 1));
        return dir.filePath("one.3do");
    }

    QTemporaryDir dir;
    QString previousCurrent;
};

TEST_F(UndoTest, Add)
{
    undoAndRedo([&] { form->addPolygon(triangle("top", {-20, 30, 0, 20, 30, 0, 0, 60, 0}, 0, 9, 0)); });
}

TEST_F(UndoTest, UpdateOfNameAndColour)
{
    undoAndRedo([&] {
        load(0);
        find<QLineEdit>("edtName")->setText("LEFT");
        dialogs.colors.push_back(QColor(0, 255, 0));
        find<QPushButton>("btnChoose")->click();
        find<QPushButton>("btnUpdate")->click();
    }, true);
}

TEST_F(UndoTest, UndoLetsGoOfALoadedPolygon)
{
    load(1);
    find<QPushButton>("btnRemove")->click();
    load(0);
    ASSERT_EQ(form->editor()->state().mode, EditorMode::EditPolygon);
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->editor()->state().mode, EditorMode::Idle)
        << "the loaded position is no longer the polygon it was";
}

TEST_F(UndoTest, Remove)
{
    undoAndRedo([&] { load(0), find<QPushButton>("btnRemove")->click(); });
}

TEST_F(UndoTest, New) { undoAndRedo([&] { form->FileNewExecute(); }); }

TEST_F(UndoTest, Open)
{
    dialogs.files.push_back(objectFile());
    undoAndRedo([&] { form->FileOpenExecute(); });
}

TEST_F(UndoTest, Import)
{
    dialogs.files.push_back(objectFile());
    undoAndRedo([&] { form->FileImportExecute(); });
}

// A journal left by a run that was killed is offered; Yes (Return) restores its object, No
// discards it, and a journal ended normally is not offered.
TEST_F(UndoTest, JournalOfAKilledRunIsOfferedOnce)
{
    const std::string state = dir.filePath("state").toStdString();
    auto leaveJournal = [&](const char* name) {   // and end as by a kill
        std::unique_ptr<Journal> killed = Journal::Create(state);
        killed->added(triangle(name, {-40, -40, 0, 40, -40, 0, 0, 40, 0}, 0, 255, 0));
        killed->flush();
    };
    leaveJournal("declined");
    dialogs.answers.push_back(MessageAnswer::No);
    form->startJournal(state);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(seen().entries, (QStringList{"left", "right"}));
    form->discardJournal();

    leaveJournal("kept");
    dialogs.answers.push_back(MessageAnswer::Yes);
    form->startJournal(state);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(seen().entries, QStringList{"kept"});
    form->discardJournal();
    form->startJournal(state);
    EXPECT_EQ(dialogs.messages.size(), 2u) << "offered after declining or a normal end";
    form->discardJournal();
}

} // namespace
