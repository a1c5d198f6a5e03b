#include "THelpWindow.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

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

void THelpWindow::placeOver(const QRect& ownerFrame)
{
    QRect place(ownerFrame.topLeft() + QPoint(40, 40), size());
    if (const QScreen* screen = QGuiApplication::screenAt(ownerFrame.center())) {
        const QRect room = screen->availableGeometry();
        place.moveRight(std::min(place.right(), room.right()));
        place.moveBottom(std::min(place.bottom(), room.bottom()));
        place.moveTopLeft(QPoint(std::max(place.left(), room.left()), std::max(place.top(), room.top())));
    }
    move(place.topLeft());
}
