// The real dialogs, driven from inside their own modal loops, and the current-folder rule.

#include "EditorFixture.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
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

TEST_F(EditorTest, MessageBoxIsWideEnoughForItsCaption)
{
    QtDialogService service(window.get());
    for (const QString& caption : {QStringLiteral("Warning"),
                                  QStringLiteral("A caption much longer than its text")}) {
        int width = 0;
        whenOpen<QMessageBox>([&](QMessageBox* box) {
            width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
        service.showMessage(caption, QStringLiteral("Choose a color"), MessageIcon::Warning,
                            MessageButtons::Ok);
        EXPECT_GE(width, messageBoxMinimumWidth(caption)) << caption.toStdString();
    }
    EXPECT_GT(messageBoxMinimumWidth(QStringLiteral("Warning")), 200)
        << "room for the window manager's icon and buttons beside the caption";
}

TEST_F(EditorTest, OpenDialogHandsOnATypedNameThatDoesNotExist)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtDialogService service(window.get());
    FileDialogSettings settings{QStringLiteral("3D Objects (*.3do)|*.3do"), 1, {},
                                dir.filePath(QStringLiteral("old.3do"))};
    whenOpen<QFileDialog>([&](QFileDialog* dlg) {
        auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        // Should a "file not found" box stop the dialog, it is closed and the dialog cancelled.
        QTimer::singleShot(1000, dlg, [dlg] {
            if (QWidget* box = QApplication::activeModalWidget(); box && box != dlg)
                box->close();
            dlg->reject();
        });
        name->setText(QStringLiteral("missing.3do"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(service.executeFileDialog(FileDialogKind::Open, settings));
    EXPECT_EQ(settings.fileName, dir.filePath(QStringLiteral("missing.3do")));
}

TEST_F(EditorTest, FileDialogColumnsShowSizeTypeAndDateInFull)
{
    // Qt's file dialog keeps its column widths among the user's settings; start from none.
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QSettings::UserScope, QStringLiteral("QtProject")).remove(QStringLiteral("FileDialog"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"brick.bmp", "a picture with a rather long name.bmp"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(816, 'x'));
    }
    QtDialogService service(window.get());
    for (FileDialogKind kind : {FileDialogKind::Open, FileDialogKind::OpenPicture}) {
        FileDialogSettings settings{QStringLiteral("All (*.*)|*.*"), 1, {},
                                    dir.filePath(QStringLiteral("brick.bmp"))};
        std::vector<std::pair<int, int>> widths;   // shown and needed, per column
        whenOpen<QFileDialog>([&](QFileDialog* dlg) {
            auto* view = dlg->findChild<QTreeView*>(QStringLiteral("treeView"));
            ASSERT_NE(view, nullptr);
            const QModelIndex root = view->rootIndex();
            ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(root) == 2; }));
            QTest::qWait(50);
            for (int column = 1; column <= 3; ++column) {
                int needed = view->header()->sectionSizeHint(column);
                for (int row = 0; row < 2; ++row) {
                    const QString text = view->model()->index(row, column, root).data().toString();
                    needed = std::max(needed, view->fontMetrics().horizontalAdvance(text) + 6);
                }
                widths.emplace_back(view->header()->sectionSize(column), needed);
            }
            widths.emplace_back(view->header()->sectionSize(0), 150);   // names keep room
            dlg->reject();
        });
        service.executeFileDialog(kind, settings);
        ASSERT_EQ(widths.size(), 4u);
        for (const auto& [shown, needed] : widths)
            EXPECT_GE(shown, needed) << "dialog kind " << int(kind);
    }
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
