#pragma once

#include <QDialog>

// The About dialog: the program's picture, name and version, and OK.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

public slots:
    void OKClick();
};
