#pragma once

#include <QDialog>
#include <QRect>

// The About dialog: the program's picture, name and version, and OK.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // Shows the dialog modally with its frame, as the window manager draws it, centred on
    // the owner's frame.
    int execCentredOn(const QWidget* owner);

public slots:
    void OKClick();

protected:
    void moveEvent(QMoveEvent* event) override;

private:
    bool frameKnown() const { return frameGeometry() != geometry(); }
    QRect ownerFrame_;
    bool settling_ = false;   // placed by a guessed frame, the real one not yet seen
};
