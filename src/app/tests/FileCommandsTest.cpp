// New, Open, Import and Save As with scripted dialogs: every row of their effect and failure
// tables, and the list box kept equal to the polygon list.
#include "FormFixture.h"

#include "ObjectFile.h"
#include "Program.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

namespace {

class FileCommandsTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        previousCurrent = QDir::currentPath();
    }
    void TearDown() override
    {
        QDir::setCurrent(previousCurrent);
        FormTest::TearDown();
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // An object file with polygons named prefix1, prefix2, ...
    QString objectFile(const char* name, const char* prefix, int count)
    {
        CDynArray list;
        for (int i = 1; i <= count; ++i)
            list.Add(quad((std::string(prefix) + std::to_string(i)).c_str(),
                          {0, 0, float(i), 10, 0, 0, 10, 10, 0, 0, 10, 0}, i, 2 * i, 3 * i));
        const QString p = path(name);
        EXPECT_TRUE(WriteObjectFile(p.toStdString(), list.First(), list.Count()));
        return p;
    }

    void addPolygons(const char* prefix, int count)
    {
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE(form->addPolygon(
                quad((std::string(prefix) + std::to_string(i)).c_str(),
                     {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 9, 9, 9)));
    }

    QStringList listBoxEntries() const
    {
        QStringList entries;
        const TPolygonListBox* box = form->editor()->polygonListBox();
        for (int i = 0; i < box->count(); ++i)
            entries << box->text(i);
        return entries;
    }

    QStringList polygonNames() const
    {
        QStringList names;
        for (const tElement* p = form->polygons().First(); p; p = p->next)
            names << QString::fromLatin1(p->name.data(), qsizetype(p->name.size()));
        return names;
    }

    void expectListBoxMirrorsList() const
    {
        EXPECT_EQ(listBoxEntries(), polygonNames());
        EXPECT_EQ(form->polygons().Count(), form->editor()->polygonListBox()->count());
    }

    void moveObject()
    {
        form->objectTransform().rotY = 33;
        form->objectTransform().transX = 12;
    }
    bool objectAtRest() const
    {
        const ObjectTransform& t = form->objectTransform();
        return t.rotY == 0 && t.transX == 0 && t.scaleX == 1.0f;
    }

    void startAutoRotation()
    {
        find<QSlider>("TrackBar1")->setValue(6);
        form->btnAutoClick();
        ASSERT_TRUE(form->motionState().autoRotating);
        ASSERT_EQ(find<QSlider>("TrackBar1")->value(), 1);
    }
    void expectAutoRotationStopped()
    {
        EXPECT_FALSE(form->motionState().autoRotating);
        EXPECT_EQ(find<QPushButton>("btnAuto")->text(), "Auto");
        EXPECT_FALSE(form->motionTimer()->enabled());
        EXPECT_EQ(find<QSlider>("TrackBar1")->value(), 6) << "saved speed back";
    }

    // Puts the editor into a mode other than Idle so a reset shows.
    void startEditing() { QTest::mouseClick(find<QPushButton>("btnNew"), Qt::LeftButton); }
    EditorMode editorMode() const { return form->editor()->state().mode; }

    void expectOnlyMessage(const char* text)
    {
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].caption, "Information");
        EXPECT_EQ(dialogs.messages[0].text, text);
        EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    }

    QTemporaryDir dir;
    QString previousCurrent;
};

TEST_F(FileCommandsTest, NewOnAnEmptyObjectAsksNothingAndDrawsNothing)
{
    startEditing();
    const long frames = form->framesDrawn();
    form->FileNew->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(editorMode(), EditorMode::Idle);
    EXPECT_EQ(form->framesDrawn(), frames);
}

TEST_F(FileCommandsTest, NewAnsweredNoKeepsEverythingButStopsTheRotation)
{
    addPolygons("Keep", 2);
    startAutoRotation();
    moveObject();
    startEditing();
    dialogs.answers.push_back(MessageAnswer::No);
    const long frames = form->framesDrawn();
    form->FileNew->trigger();

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Information");
    EXPECT_EQ(dialogs.messages[0].text, "Sure to delete all data and start with a new object?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    expectAutoRotationStopped();
    EXPECT_EQ(form->polygons().Count(), 2);
    EXPECT_EQ(editorMode(), EditorMode::NewPolygon);
    EXPECT_FALSE(objectAtRest());
    EXPECT_EQ(form->framesDrawn(), frames);
}

TEST_F(FileCommandsTest, NewAnsweredYesEmptiesAndResetsEverything)
{
    addPolygons("Gone", 3);
    moveObject();
    startEditing();
    dialogs.answers.push_back(MessageAnswer::Yes);
    const long frames = form->framesDrawn();
    QTest::mouseClick(find<QWidget>("NewButton"), Qt::LeftButton);

    EXPECT_EQ(form->polygons().Count(), 0);
    expectListBoxMirrorsList();
    EXPECT_EQ(editorMode(), EditorMode::Idle);
    EXPECT_TRUE(objectAtRest());
    EXPECT_EQ(form->framesDrawn(), frames + 1);
}

TEST_F(FileCommandsTest, OpenReplacesTheObjectAndResetsEditorAndPose)
{
    const QString file = objectFile("three.3do", "File", 3);
    addPolygons("Old", 2);
    moveObject();
    startEditing();
    dialogs.files.push_back(file);
    const long frames = form->framesDrawn();
    form->FileOpen->trigger();

    EXPECT_EQ(polygonNames(), (QStringList{"File1", "File2", "File3"}));
    expectListBoxMirrorsList();
    EXPECT_EQ(editorMode(), EditorMode::Idle);
    EXPECT_TRUE(objectAtRest());
    EXPECT_EQ(form->framesDrawn(), frames + 1);
    EXPECT_TRUE(dialogs.messages.empty());

    ASSERT_EQ(dialogs.fileCalls.size(), 1u);
    EXPECT_EQ(dialogs.fileCalls[0].kind, FileDialogKind::Open);
    EXPECT_EQ(dialogs.fileCalls[0].offered.filter, "3D Objects (*.3do)|*.3do");
    EXPECT_EQ(dialogs.fileCalls[0].offered.filterIndex, 2);
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath())
        << "the chosen file's folder becomes the current folder";
}

TEST_F(FileCommandsTest, OpenCancelledOnlyStopsTheRotationAndRedraws)
{
    addPolygons("Stay", 2);
    startAutoRotation();
    moveObject();
    startEditing();
    const long frames = form->framesDrawn();
    form->FileOpenExecute(); // no file queued: cancelled

    expectAutoRotationStopped();
    EXPECT_EQ(form->polygons().Count(), 2);
    EXPECT_EQ(editorMode(), EditorMode::NewPolygon);
    EXPECT_FALSE(objectAtRest());
    EXPECT_EQ(form->framesDrawn(), frames + 1);
}

TEST_F(FileCommandsTest, OpeningAMissingFileLeavesAnEmptyResetObject)
{
    addPolygons("Lost", 2);
    moveObject();
    dialogs.files.push_back(path("does-not-exist.3do"));
    form->FileOpenExecute();
    expectOnlyMessage("Loading not possible");
    EXPECT_EQ(form->polygons().Count(), 0);
    expectListBoxMirrorsList();
    EXPECT_TRUE(objectAtRest()) << "reset even though loading failed";
}

TEST_F(FileCommandsTest, OpenDialogOffersTheFileChosenLastTime)
{
    const QString first = objectFile("first.3do", "A", 1);
    dialogs.files.push_back(first);
    form->FileOpenExecute();
    form->FileImportExecute(); // cancelled
    ASSERT_EQ(dialogs.fileCalls.size(), 2u);
    EXPECT_EQ(dialogs.fileCalls[1].offered.fileName, first);
}

TEST_F(FileCommandsTest, ImportAppendsAndLeavesEditorAndPoseAlone)
{
    const QString file = objectFile("two.3do", "New", 2);
    addPolygons("Old", 2);
    moveObject();
    startEditing();
    dialogs.files.push_back(file);
    const long frames = form->framesDrawn();
    form->FileImport->trigger();

    EXPECT_EQ(polygonNames(), (QStringList{"Old1", "Old2", "New1", "New2"}));
    expectListBoxMirrorsList();
    EXPECT_EQ(editorMode(), EditorMode::NewPolygon);
    EXPECT_FALSE(objectAtRest());
    EXPECT_EQ(form->framesDrawn(), frames + 1);
}

TEST_F(FileCommandsTest, ImportingTheSameFileTwiceListsEveryNameTwice)
{
    const QString file = objectFile("pair.3do", "Twice", 2);
    dialogs.files.push_back(file);
    dialogs.files.push_back(file);
    form->FileImportExecute();
    form->FileImportExecute();
    EXPECT_EQ(listBoxEntries(), (QStringList{"Twice1", "Twice2", "Twice1", "Twice2"}));
    expectListBoxMirrorsList();
}

TEST_F(FileCommandsTest, ImportCancelledOrFailingChangesNothing)
{
    addPolygons("Here", 2);
    startAutoRotation();
    const long frames = form->framesDrawn();
    form->FileImportExecute();
    expectAutoRotationStopped();
    EXPECT_EQ(form->framesDrawn(), frames + 1);

    dialogs.files.push_back(path("missing.3do"));
    form->FileImportExecute();
    expectOnlyMessage("Importing not possible");
    EXPECT_EQ(polygonNames(), (QStringList{"Here1", "Here2"}));
    expectListBoxMirrorsList();
}

TEST_F(FileCommandsTest, SaveWritesTheListAndReadsBackTheSame)
{
    addPolygons("Saved", 3);
    startAutoRotation();
    dialogs.files.push_back(path("out.3do"));
    const long frames = form->framesDrawn();
    form->FileSave->trigger();

    expectAutoRotationStopped();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->framesDrawn(), frames);
    ASSERT_EQ(dialogs.fileCalls.size(), 1u);
    EXPECT_EQ(dialogs.fileCalls[0].kind, FileDialogKind::Save);
    EXPECT_EQ(dialogs.fileCalls[0].offered.filter, "All Files (*.*)|*.*|3D Objects (*.3do)|*.3do");
    EXPECT_EQ(dialogs.fileCalls[0].offered.filterIndex, 2);
    EXPECT_EQ(dialogs.fileCalls[0].offered.defaultExt, "3do");
    EXPECT_EQ(QFileInfo(path("out.3do")).size(), 3 * 136);

    CDynArray back;
    ASSERT_TRUE(ReadObjectFile(path("out.3do").toStdString(), back, nullptr));
    EXPECT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Last()->name, "Saved3");
}

TEST_F(FileCommandsTest, SavingAnEmptyObjectWritesAnEmptyFile)
{
    dialogs.files.push_back(path("empty.3do"));
    form->FileSaveExecute();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(QFileInfo(path("empty.3do")).isFile());
    EXPECT_EQ(QFileInfo(path("empty.3do")).size(), 0);
}

TEST_F(FileCommandsTest, SaveCancelledWritesNothing)
{
    addPolygons("Unsaved", 1);
    const long frames = form->framesDrawn();
    form->FileSaveExecute();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);
    EXPECT_EQ(form->framesDrawn(), frames);
}

TEST_F(FileCommandsTest, FailedSaveSaysSoAndKeepsTheEarlierFile)
{
    const QString file = objectFile("precious.3do", "Precious", 2);
    QFile original(file);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    addPolygons("Other", 5);
    // A file that cannot be created: its folder does not exist.
    dialogs.files.push_back(path("no-such-folder/x.3do"));
    form->FileSaveExecute();
    expectOnlyMessage("Saving not possible");

    // A full disk.
    dialogs.clearRecords();
    dialogs.files.push_back("/dev/full");
    form->FileSaveExecute();
    expectOnlyMessage("Saving not possible");

    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(form->polygons().Count(), 5);
}

TEST_F(FileCommandsTest, TexturesAreFoundBesideTheOpenedFile)
{
    ASSERT_TRUE(writeBitmap(path("wood.bmp"), 4, 4, [](int, int) { return QColor(10, 20, 30); }));
    CDynArray list;
    list.Add(texturedQuad("A", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "wood.bmp"));
    list.Add(texturedQuad("B", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "wood.bmp"));
    ASSERT_TRUE(WriteObjectFile(path("wood.3do").toStdString(), list.First(), 2));
    QDir::setCurrent(QDir::tempPath());

    dialogs.files.push_back(path("wood.3do"));
    form->FileOpenExecute();
    ASSERT_EQ(form->polygons().Count(), 2);
    EXPECT_NE(form->polygons().First()->textureId, 0u);
    EXPECT_EQ(form->polygons().First()->textureId, form->polygons().Last()->textureId);
}

// A file named on the command line: a relative name, from another folder than the file's.
TEST_F(FileCommandsTest, CommandLineFileIsOpenedWithItsTextures)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("objects"));
    ASSERT_TRUE(writeBitmap(path("objects/wood.bmp"), 4, 4, [](int, int) { return QColor(1, 2, 3); }));
    CDynArray list;
    list.Add(texturedQuad("Lid", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "wood.bmp"));
    list.Add(quad("Side", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 1, 2, 3));
    ASSERT_TRUE(WriteObjectFile(path("objects/box.3do").toStdString(), list.First(), 2));
    QDir::setCurrent(dir.path());

    ShowProgramWindow(*form, "objects/box.3do");
    settle();
    EXPECT_EQ(listBoxEntries(), (QStringList{"Lid", "Side"}));
    ASSERT_EQ(form->polygons().Count(), 2);
    EXPECT_NE(form->polygons().First()->textureId, 0u);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCommandsTest, CommandLineFileThatCannotBeReadSaysWhatOpenSays)
{
    addPolygons("Before", 2);
    ShowProgramWindow(*form, path("not-there.3do").toStdString());
    settle();
    expectOnlyMessage("Loading not possible");
    EXPECT_EQ(form->polygons().Count(), 0);
    expectListBoxMirrorsList();
}

TEST_F(FileCommandsTest, DroppedObjectFileIsOpenedAndOtherFilesAreRefused)
{
    const QString file = objectFile("dropped.3do", "Drop", 2);
    // Dropped on the view, through the window as the platform delivers a drag: to the
    // control under the pointer first, an enter and a move, then the drop where accepted.
    auto drag = [this](const QString& name) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(name)});
        QWidget* view = form->GLPanelHost;
        const QPoint at = view->mapTo(form.get(), view->rect().center());
        QWindow* window = form->windowHandle();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        move.setAccepted(enter.isAccepted());
        QApplication::sendEvent(window, &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(window, &leave);
            return false;
        }
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        return drop.isAccepted();
    };
    EXPECT_FALSE(drag(path("picture.bmp")));
    ASSERT_TRUE(drag(file));
    settle();
    EXPECT_EQ(polygonNames(), (QStringList{"Drop1", "Drop2"}));
    expectListBoxMirrorsList();
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
}

} // namespace
