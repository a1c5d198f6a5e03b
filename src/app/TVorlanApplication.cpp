#include "TVorlanApplication.h"

#include <QFont>
#include <QMessageBox>
#include <QStyleFactory>
#include <exception>

TVorlanApplication::TVorlanApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("3DVorlan");
    setApplicationVersion("0.9");
    setDesktopFileName("3dvorlan");
    applyLook();
}

void TVorlanApplication::applyLook()
{
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QFont font("DejaVu Sans");
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

bool TVorlanApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), applicationName(), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), applicationName(), "An unexpected error occurred.");
    }
    return false;
}
