// The colour and the texture of a polygon: the two dialogs and what their Cancel gives, the
// swatch, the texture text and the texture rule on Add.

#include "EditorFixture.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

const std::vector<QString> kCells = {"0", "0", "0", "10", "0", "0", "0", "10", "0"};

TEST_F(EditorTest, PickedColourBecomesSwatchAndWorkingColour)
{
    click(btn("btnNew"));
    pickColor(QColor(255, 0, 0));
    EXPECT_EQ(editor->state().workColor, 255);
    EXPECT_EQ(editor->state().workRed, 255);
    EXPECT_EQ(editor->state().workGreen, 0);
    EXPECT_EQ(editor->state().workBlue, 0);
    EXPECT_EQ(editor->swatch(), 255);
    EXPECT_EQ(edtPathColor()->palette().color(QPalette::Base), QColor(255, 0, 0));

    pickColor(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(editor->state().workRed, 18);
    EXPECT_EQ(editor->state().workGreen, 52);
    EXPECT_EQ(editor->state().workBlue, 86);
    // The dialog opened with the colour picked before.
    ASSERT_EQ(dialogs.colorCalls.size(), 2u);
    EXPECT_FALSE(dialogs.colorCalls[0].color.has_value());
    EXPECT_EQ(dialogs.colorCalls[1].color, QColor(255, 0, 0));
}

TEST_F(EditorTest, CancelBeforeAnyPickLeavesNoColour)
{
    click(btn("btnNew"));
    click(btn("btnChoose"));   // nothing queued: cancelled
    EXPECT_EQ(editor->swatch(), kColorNone);
    EXPECT_EQ(editor->state().workColor, kColorNone);
    EXPECT_EQ(edtPathColor()->palette().color(QPalette::Base),
              QApplication::palette(edtPathColor()).color(QPalette::Base));
    typeName(QStringLiteral("n"));
    for (size_t i = 0; i < kCells.size(); ++i)
        typeIntoCell(int(i % 3) + 1, int(i / 3) + 1, kCells[i]);
    click(btn("btnAdd"));
    EXPECT_EQ(warningText(), QStringLiteral("Choose a color\n"));
}

TEST_F(EditorTest, CancelGivesBackTheLastColourPickedNotTheLoadedOne)
{
    addPolygon({QStringLiteral("a"), kCells, QColor(0, 0, 200), {}});
    selectEntry(0);
    EXPECT_EQ(editor->swatch(), ColorValue(QColor(0, 0, 200)));
    click(btn("btnChoose"));   // cancelled: the dialog's colour is the one picked for "a"
    EXPECT_EQ(editor->swatch(), ColorValue(QColor(0, 0, 200)));

    addPolygon({QStringLiteral("b"), kCells, QColor(7, 7, 7), {}});
    selectEntry(0);
    click(btn("btnChoose"));
    EXPECT_EQ(editor->swatch(), ColorValue(QColor(7, 7, 7)));
    EXPECT_EQ(editor->state().workColor, ColorValue(QColor(7, 7, 7)));
}

TEST_F(EditorTest, CancelAfterLoadingWithNoPickEverGivesNone)
{
    tElement e;
    e.type = "Triangle";
    e.name = "from file";
    e.color = 0x00FF00;
    e.green = 255;
    list.Add(e);
    editor->appendListEntries(1);
    selectEntry(0);
    click(btn("btnChoose"));
    EXPECT_EQ(editor->swatch(), kColorNone);
    click(btn("btnUpdate"));
    EXPECT_EQ(warningText(), QStringLiteral("Choose a color\n"));
    EXPECT_EQ(list.GetAt(1)->color, 0x00FF00);
}

TEST_F(EditorTest, SwitchingOptionsDropsSwatchAndTextureText)
{
    click(btn("btnNew"));
    pickColor(QColor(1, 2, 3));
    click(radio("rdbTexture"));
    EXPECT_EQ(editor->swatch(), kColorNone);
    pickTexture(QStringLiteral("/tmp/stone.bmp"));
    EXPECT_EQ(edtPathColor()->text(), QStringLiteral("stone.bmp"));
    click(radio("rdbColor"));
    EXPECT_EQ(edtPathColor()->text(), QString());
    EXPECT_EQ(editor->swatch(), kColorNone);
    typeName(QStringLiteral("n"));
    for (size_t i = 0; i < kCells.size(); ++i)
        typeIntoCell(int(i % 3) + 1, int(i / 3) + 1, kCells[i]);
    click(btn("btnAdd"));
    EXPECT_EQ(warningText(), QStringLiteral("Choose a color\n"));
}

TEST_F(EditorTest, PictureDialogGivesTheBareNameAndMovesTheCurrentFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    click(btn("btnNew"));
    click(radio("rdbTexture"));
    pickTexture(dir.filePath(QStringLiteral("brick.bmp")));
    EXPECT_EQ(edtPathColor()->text(), QStringLiteral("brick.bmp"));
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
    ASSERT_EQ(dialogs.fileCalls.size(), 1u);
    EXPECT_EQ(dialogs.fileCalls[0].kind, FileDialogKind::OpenPicture);
    EXPECT_EQ(dialogs.fileCalls[0].offered.filter, QStringLiteral("BMP Files (*.bmp)|*.bmp"));
    EXPECT_EQ(dialogs.fileCalls[0].offered.fileName, QString());

    // Cancel gives the last file back; the dialog opens with it.
    click(btn("btnPath"));
    EXPECT_EQ(edtPathColor()->text(), QStringLiteral("brick.bmp"));
    EXPECT_EQ(dialogs.fileCalls[1].offered.fileName, dir.filePath(QStringLiteral("brick.bmp")));
}

TEST_F(EditorTest, CancelledPictureDialogBeforeAnyFileLeavesNoTexture)
{
    click(btn("btnNew"));
    click(radio("rdbTexture"));
    click(btn("btnPath"));
    EXPECT_EQ(edtPathColor()->text(), QString());
    typeName(QStringLiteral("n"));
    for (size_t i = 0; i < kCells.size(); ++i)
        typeIntoCell(int(i % 3) + 1, int(i / 3) + 1, kCells[i]);
    click(btn("btnAdd"));
    EXPECT_EQ(warningText(), QStringLiteral("Choose a texture\n"));
}

TEST_F(EditorTest, TextureNamesOfThirtyPassAndThirtyOneAreRefused)
{
    const QString thirty = QString(26, u't') + QStringLiteral(".bmp");
    addPolygon({QStringLiteral("ok"), kCells, {}, QStringLiteral("/tmp/") + thirty});
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->texture, thirty.toStdString());

    const QString thirtyOne = QString(27, u't') + QStringLiteral(".bmp");
    addPolygon({QStringLiteral("long"), kCells, {}, QStringLiteral("/tmp/") + thirtyOne});
    EXPECT_EQ(warningText(), QStringLiteral("Texturename is too long (max. 30 char)\n"));
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(EditorTest, SameTextureIsLoadedOnceAndShared)
{
    addPolygon({QStringLiteral("a"), kCells, {}, QStringLiteral("/tmp/brick.bmp")});
    addPolygon({QStringLiteral("b"), kCells, {}, QStringLiteral("/other/brick.bmp")});
    addPolygon({QStringLiteral("c"), kCells, {}, QStringLiteral("/tmp/Brick.bmp")});
    addPolygon({QStringLiteral("d"), kCells, QColor(4, 5, 6), {}});
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].fileName, "brick.bmp");
    EXPECT_EQ(loads[0].minFilter, kGlLinear);
    EXPECT_EQ(loads[0].magFilter, kGlLinear);
    EXPECT_EQ(loads[0].wrapMode, kGlRepeat);
    EXPECT_EQ(loads[1].fileName, "Brick.bmp");
    EXPECT_EQ(list.GetAt(1)->textureId, 100u);
    EXPECT_EQ(list.GetAt(2)->textureId, 100u);
    EXPECT_EQ(list.GetAt(3)->textureId, 101u);
    EXPECT_EQ(list.GetAt(4)->textureId, kNoTexture);
    EXPECT_EQ(list.GetAt(1)->color, -1);
    EXPECT_EQ(list.GetAt(1)->red, -1);
    EXPECT_EQ(frames, 4);
}

TEST_F(EditorTest, UnreadableBitmapIsStoredWithTextureZero)
{
    failingTextureLoads = 1;
    addPolygon({QStringLiteral("a"), kCells, {}, QStringLiteral("/tmp/missing.bmp")});
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->textureId, 0u);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EditorTest, TextureNameOutsideAsciiReachesTheLoaderAsItsFileBytes)
{
    addPolygon({QStringLiteral("a"), kCells, {}, QStringLiteral("/tmp/K\u00fcche.bmp")});
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].fileName, std::string("K\xc3\xbc" "che.bmp"));
    EXPECT_EQ(list.GetAt(1)->texture, loads[0].fileName);
    // Loaded again, the texture text gives the same bytes back to Update.
    selectEntry(0);
    loads.clear();
    click(btn("btnUpdate"));
    EXPECT_TRUE(loads.empty());
    EXPECT_EQ(list.GetAt(1)->texture, std::string("K\xc3\xbc" "che.bmp"));
}

TEST_F(EditorTest, LoadingATexturedPolygonShowsItsTextureAndMinusOnes)
{
    addPolygon({QStringLiteral("a"), kCells, {}, QStringLiteral("/tmp/brick.bmp")});
    selectEntry(0);
    EXPECT_TRUE(radio("rdbTexture")->isChecked());
    EXPECT_EQ(edtPathColor()->text(), QStringLiteral("brick.bmp"));
    EXPECT_EQ(editor->swatch(), kColorNone);
    EXPECT_EQ(editor->state().workColor, -1);
    EXPECT_EQ(editor->state().workRed, -1);
    EXPECT_EQ(editor->state().workGreen, -1);
    EXPECT_EQ(editor->state().workBlue, -1);
}

} // namespace
