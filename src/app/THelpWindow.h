#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

// The manual, shown at its contents page in a browser window of the program.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The manual's index page beside the program (installed or in the build folder);
    // empty when it cannot be found.
    static QString findManual();

    bool showContents();
    // Puts the window over the owner's frame, a little in from its top-left corner, and
    // inside the screen.
    void placeOver(const QRect& ownerFrame);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};
