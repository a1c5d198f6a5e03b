#pragma once

#include <QListWidget>

// The list box of polygon names. entryPicked reports a selection made by the user (a left
// click, also on the entry already selected, a drag, or the keyboard) and never one made by
// the program, which adds, removes and deselects entries without loading anything.
class TPolygonListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TPolygonListBox(QWidget* parent = nullptr);

signals:
    void entryPicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    template <typename F> void asUserInput(F&& handle);

    bool userInput_ = false;
    bool picked_ = false;
};
