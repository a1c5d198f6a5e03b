#pragma once

#include <QPushButton>

// An image button that reports presses and releases of any mouse button and has no click
// action: the keyboard (space, Enter) does nothing on it.
//
// Every press is answered by exactly one release. A hold ends when the last mouse button
// held on it comes up, and also as soon as the button can no longer get that release: a menu
// or another popup takes the mouse, a modal dialog opens, the window loses activation or the
// button is hidden or disabled. The release is then delivered at once.
class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtn(QWidget* parent = nullptr);

    bool held() const { return held_; }

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endHold();

    bool held_ = false;
};
