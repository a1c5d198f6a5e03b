#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

enum class MessageIcon { NoIcon, Information, Warning, Critical, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };
enum class FileDialogKind { Open, Save, OpenPicture };

// A file dialog component: its settings and the file name it holds between runs.
// Filters are written "Description|pattern|Description|pattern"; filterIndex counts from 1.
struct FileDialogSettings {
    QString filter;
    int filterIndex = 1;
    QString defaultExt;      // without the dot
    QString fileName;        // offered when the dialog opens; the chosen file after OK
};

// The colour dialog component: the colour it opens with, none until one was picked with OK.
struct ColorDialogSettings {
    std::optional<QColor> color;
};

// Every modal dialog and message box of the program goes through this, so tests can script
// the answers and check what was shown.
class DialogService {
public:
    virtual ~DialogService() = default;

    virtual MessageAnswer showMessage(const QString& caption, const QString& text,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // True with dialog.fileName set to the chosen file (full path); false on cancel.
    virtual bool executeFileDialog(FileDialogKind kind, FileDialogSettings& dialog) = 0;
    // True with dialog.color set to the picked colour; false on cancel (colour unchanged).
    virtual bool executeColorDialog(ColorDialogSettings& dialog) = 0;
};

// Runs a file dialog; a chosen file's folder becomes the current folder, so that bare
// texture names are found beside it.
bool chooseFile(DialogService& dialogs, FileDialogKind kind, FileDialogSettings& dialog);
// Makes the folder of a file named without a dialog the current folder, as a chosen file's
// is. Gives the file's absolute name: a relative one would miss after the change.
QString enterFolderOf(const QString& fileName);

// A "Desc|pattern|Desc|pattern" filter as Qt's name filters, "Desc (pattern ...)".
QStringList toQtNameFilters(const QString& filter);

// How wide a message box must be for the window manager to show its whole caption.
int messageBoxMinimumWidth(const QString& caption);

// The real dialogs: QMessageBox, QFileDialog and QColorDialog over the given parent.
class QtDialogService : public DialogService {
public:
    explicit QtDialogService(QWidget* parent) : parent_(parent) {}
    MessageAnswer showMessage(const QString& caption, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override;
    bool executeFileDialog(FileDialogKind kind, FileDialogSettings& dialog) override;
    bool executeColorDialog(ColorDialogSettings& dialog) override;

private:
    QWidget* parent_;
};
