#include "TVorlanApplication.h"

#include "DialogService.h"
#include "TVorlanStyle.h"

#include <QAccessible>
#include <QFont>
#include <QMessageBox>
#include <exception>

TVorlanApplication::TVorlanApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("3DVorlan");
    setApplicationVersion("0.9");
    setDesktopFileName("3dvorlan");
    applyLook();
    // While the driver loads, the loader's lock is held, and a thread that loads a library
    // or starts a thread of its own waits for it. The accessibility bridge does both when the
    // first widget is made: it connects to the session bus. Done now, before the load starts,
    // the window is then built alongside it instead of after it.
    QAccessible::isActive();
    driverPreload_.emplace();
}

void TVorlanApplication::applyLook()
{
    QApplication::setStyle(new TVorlanStyle);
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
        showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError("An unexpected error occurred.");
    }
    return false;
}

void TVorlanApplication::showError(const QString& text)
{
    if (errorDisplay_)
        errorDisplay_->showMessage(applicationName(), text, MessageIcon::Critical, MessageButtons::Ok);
    else
        QMessageBox::critical(activeWindow(), applicationName(), text);
}
