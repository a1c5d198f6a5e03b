#pragma once

#include <QApplication>

class DialogService;

// The application object: title "3DVorlan", the program's font and style, and the general
// error display for anything thrown inside an event handler.
class TVorlanApplication : public QApplication {
public:
    TVorlanApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Where the general error display shows its messages; the program's dialogs when set.
    void setErrorDisplay(DialogService* dialogs) { errorDisplay_ = dialogs; }

    // Style and font that fit every caption of the fixed pixel layout.
    static void applyLook();

private:
    void showError(const QString& text);

    DialogService* errorDisplay_ = nullptr;
};
