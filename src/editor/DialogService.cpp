#include "DialogService.h"

#include <functional>

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QTreeView>

bool chooseFile(DialogService& dialogs, FileDialogKind kind, FileDialogSettings& dialog)
{
    if (!dialogs.executeFileDialog(kind, dialog))
        return false;
    enterFolderOf(dialog.fileName);
    return true;
}

QString enterFolderOf(const QString& fileName)
{
    const QFileInfo file(fileName);
    QDir::setCurrent(file.absolutePath());
    return file.absoluteFilePath();
}

// A pattern list separated by ';' becomes Qt's blank-separated list, and "*.*" means every
// file, as it does where the filter texts come from (on Linux "*.*" would miss names without
// a dot). A description that already names its patterns in parentheses is not given them
// twice.
QStringList toQtNameFilters(const QString& filter)
{
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingPatterns);
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == u"*.*")
                p = QStringLiteral("*");
        }
        result << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::NoIcon: break;
    }
    return QMessageBox::NoIcon;
}

// The preview beside the file list of the picture dialog.
// Adds the preview beside the file list; returns what shows a file in it.
std::function<void(const QString&)> addPicturePreview(QFileDialog& dlg)
{
    auto* grid = qobject_cast<QGridLayout*>(dlg.layout());
    if (!grid)
        return [](const QString&) {};
    auto* preview = new QLabel(&dlg);
    preview->setObjectName(QStringLiteral("picturePreview"));
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    auto show = [preview](const QString& path) {
        QPixmap picture;
        if (QFileInfo(path).isFile())
            picture.load(path);
        if (picture.isNull()) {
            preview->clear();
            return;
        }
        preview->setPixmap(picture.scaled(preview->size() - QSize(4, 4), Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation));
    };
    QObject::connect(&dlg, &QFileDialog::currentChanged, preview, show);
    return show;
}

// The file list's Size, Type and Date columns as wide as what they show; the name takes
// the rest of the width.
void fitFileColumns(QFileDialog& dlg)
{
    auto* list = dlg.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!list)
        return;
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

} // namespace

int messageBoxMinimumWidth(const QString& caption)
{
    // Window managers draw captions in a bold face, mostly larger than the dialog's text,
    // beside an icon and three buttons; a box narrower than that gets its caption shortened.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + 160;
}

MessageAnswer QtDialogService::showMessage(const QString& caption, const QString& text,
                                          MessageIcon icon, MessageButtons buttons)
{
    QMessageBox box(boxIcon(icon), caption, text,
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
                    parent_);
    // QMessageBox sizes itself to its text; a spacer across its grid keeps the caption whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(messageBoxMinimumWidth(caption), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    const int result = box.exec();
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

bool QtDialogService::executeFileDialog(FileDialogKind kind, FileDialogSettings& dialog)
{
    QFileDialog dlg(parent_);
    const bool save = kind == FileDialogKind::Save;
    // Qt's own dialog everywhere, so that the settings below hold on every desktop.
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open and Import take any typed name, also one that does not exist: the command itself
    // reports a file it cannot read. A picture must exist.
    dlg.setFileMode(kind == FileDialogKind::OpenPicture ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    if (save)
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    std::function<void(const QString&)> preview;
    if (kind == FileDialogKind::OpenPicture)
        preview = addPicturePreview(dlg);
    fitFileColumns(dlg);
    // Wide enough that the file list shows sizes, types and dates in full beside the names.
    dlg.resize(kind == FileDialogKind::OpenPicture ? 940 : 780, 460);
    const QStringList filters = toQtNameFilters(dialog.filter);
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        if (dialog.filterIndex >= 1 && dialog.filterIndex <= filters.size())
            dlg.selectNameFilter(filters[dialog.filterIndex - 1]);
    }
    if (!dialog.defaultExt.isEmpty())
        dlg.setDefaultSuffix(dialog.defaultExt);
    if (!dialog.fileName.isEmpty()) {
        const QFileInfo offered(dialog.fileName);
        if (offered.dir().exists())
            dlg.setDirectory(offered.absolutePath());
        dlg.selectFile(offered.fileName());
        if (preview)
            preview(offered.absoluteFilePath()); // the offered file shows from the start
    }

    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    dialog.fileName = dlg.selectedFiles().constFirst();
    const qsizetype chosenFilter = filters.indexOf(dlg.selectedNameFilter());
    if (chosenFilter >= 0)
        dialog.filterIndex = int(chosenFilter) + 1;
    return true;
}

bool QtDialogService::executeColorDialog(ColorDialogSettings& dialog)
{
    QColorDialog dlg(dialog.color.value_or(QColor(Qt::white)), parent_);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    dialog.color = dlg.selectedColor();
    return true;
}
