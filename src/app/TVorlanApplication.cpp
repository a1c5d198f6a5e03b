#include "TVorlanApplication.h"

#include "DialogService.h"
#include "TVorlanStyle.h"

#include <QFont>
#include <QMessageBox>
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
