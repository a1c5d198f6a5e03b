#include "THelpWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("HelpWindow");
    setWindowTitle("3D-Vorlan Manual");
    resize(720, 640);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpBrowser");
    browser_->setOpenExternalLinks(true);
    layout->addWidget(browser_);
}

QString THelpWindow::findManual()
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        dir + "/manual/index.html",                     // build folder
        dir + "/../share/3dvorlan/manual/index.html",   // installed
        dir + "/../../share/3dvorlan/manual/index.html",
    };
    for (const QString& path : candidates) {
        QFileInfo info(path);
        if (info.isFile())
            return info.canonicalFilePath();
    }
    return {};
}

bool THelpWindow::showContents()
{
    const QString path = findManual();
    if (path.isEmpty())
        return false;
    browser_->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
    return true;
}
