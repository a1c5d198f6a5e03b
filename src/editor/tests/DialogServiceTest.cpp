// The real dialogs, driven from inside their own modal loops, and the current-folder rule.

#include "EditorFixture.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

// Runs inspect on the modal dialog once it is open; inspect closes it.
template <typename Dialog> void whenOpen(std::function<void(Dialog*)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        inspect(dialog);
    });
}

TEST(NameFilters, BecomeQtFiltersWithEveryFileMeaningEveryFile)
{
    EXPECT_EQ(toQtNameFilters(QStringLiteral("BMP Files (*.bmp)|*.bmp")),
              QStringList{QStringLiteral("BMP Files (*.bmp)")});
    EXPECT_EQ(toQtNameFilters(QStringLiteral("All Files (*.*)|*.*|3D Objects (*.3do)|*.3do")),
              (QStringList{QStringLiteral("All Files (*)"), QStringLiteral("3D Objects (*.3do)")}));
    EXPECT_EQ(toQtNameFilters(QStringLiteral("Pictures|*.bmp;*.dib")),
              QStringList{QStringLiteral("Pictures (*.bmp *.dib)")});
    EXPECT_TRUE(toQtNameFilters(QString()).isEmpty());
}

TEST_F(EditorTest, ChosenFileMovesTheCurrentFolderCancelDoesNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FileDialogSettings settings;
    dialogs.files.push_back(std::nullopt);
    EXPECT_FALSE(chooseFile(dialogs, FileDialogKind::Open, settings));
    EXPECT_EQ(QDir::currentPath(), startFolder);
    dialogs.files.push_back(dir.filePath(QStringLiteral("a.3do")));
    EXPECT_TRUE(chooseFile(dialogs, FileDialogKind::Open, settings));
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
}

TEST_F(EditorTest, MessageBoxShowsCaptionTextIconAndButtons)
{
    QtDialogService service(window.get());
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(service.showMessage(QStringLiteral("Information"), QStringLiteral("a\nb"),
                                  MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(title, QStringLiteral("Information"));
    EXPECT_EQ(text, QStringLiteral("a\nb"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

    whenOpen<QMessageBox>([&](QMessageBox* box) {
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(service.showMessage(QStringLiteral("Warning"), QStringLiteral("x"),
                                  MessageIcon::Warning, MessageButtons::Ok),
              MessageAnswer::Ok);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(EditorTest, SaveDialogTakesFilterIndexSuffixAndNoOverwritePrompt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtDialogService service(window.get());
    FileDialogSettings settings{QStringLiteral("All Files (*.*)|*.*|3D Objects (*.3do)|*.3do"), 2,
                                QStringLiteral("3do"), dir.filePath(QStringLiteral("old.3do"))};
    QString selectedFilter, suffix;
    bool noPrompt = false;
    whenOpen<QFileDialog>([&](QFileDialog* dlg) {
        selectedFilter = dlg->selectedNameFilter();
        suffix = dlg->defaultSuffix();
        noPrompt = dlg->testOption(QFileDialog::DontConfirmOverwrite);
        dlg->selectFile(dir.filePath(QStringLiteral("house")));
        static_cast<QDialog*>(dlg)->accept();   // QFileDialog hides its accept()
    });
    ASSERT_TRUE(service.executeFileDialog(FileDialogKind::Save, settings));
    EXPECT_EQ(selectedFilter, QStringLiteral("3D Objects (*.3do)"));
    EXPECT_EQ(suffix, QStringLiteral("3do"));
    EXPECT_TRUE(noPrompt);
    EXPECT_EQ(QFileInfo(settings.fileName).fileName(), QStringLiteral("house.3do"));
    EXPECT_EQ(settings.filterIndex, 2);
}

TEST_F(EditorTest, PictureDialogHasAPreviewAndCancelKeepsTheFileName)
{
    QtDialogService service(window.get());
    FileDialogSettings settings{kPictureFilter, 1, {}, QStringLiteral("/tmp/brick.bmp")};
    bool preview = false;
    whenOpen<QFileDialog>([&](QFileDialog* dlg) {
        preview = dlg->findChild<QLabel*>(QStringLiteral("picturePreview")) != nullptr;
        dlg->reject();
    });
    EXPECT_FALSE(service.executeFileDialog(FileDialogKind::OpenPicture, settings));
    EXPECT_TRUE(preview);
    EXPECT_EQ(settings.fileName, QStringLiteral("/tmp/brick.bmp"));
}

TEST_F(EditorTest, ColourDialogOpensWithTheLastColourOrWhite)
{
    QtDialogService service(window.get());
    ColorDialogSettings settings;
    QColor opened;
    whenOpen<QColorDialog>([&](QColorDialog* dlg) {
        opened = dlg->currentColor();
        dlg->setCurrentColor(QColor(0x12, 0x34, 0x56));
        dlg->accept();
    });
    ASSERT_TRUE(service.executeColorDialog(settings));
    EXPECT_EQ(opened, QColor(Qt::white));
    EXPECT_EQ(settings.color, QColor(0x12, 0x34, 0x56));

    whenOpen<QColorDialog>([&](QColorDialog* dlg) {
        opened = dlg->currentColor();
        dlg->setCurrentColor(QColor(1, 1, 1));
        dlg->reject();
    });
    EXPECT_FALSE(service.executeColorDialog(settings));
    EXPECT_EQ(opened, QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(settings.color, QColor(0x12, 0x34, 0x56));
}

} // namespace
