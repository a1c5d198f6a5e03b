#pragma once

#include <QApplication>

// The application object: title "3DVorlan", the program's font and style, and the general
// error display for anything thrown inside an event handler.
class TVorlanApplication : public QApplication {
public:
    TVorlanApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Style and font that fit every caption of the fixed pixel layout.
    static void applyLook();
};
