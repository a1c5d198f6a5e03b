#pragma once

#include <string>

// What the motion rules need of the window: its controls, timer and view.
class MotionHost {
public:
    virtual ~MotionHost() = default;

    virtual int speed() const = 0;                    // position of the speed track bar, 1..10
    virtual void setSpeed(int position) = 0;          // moves it; its change handler runs on a change
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setAutoCaption(const std::string& caption) = 0;  // btnAuto
    virtual void setAutoHint(const std::string& hint) = 0;
    virtual void setAutomodeButton(const std::string& caption, const std::string& hint) = 0;
    // axis 0, 1, 2 for X, Y, Z: the sizing button's caption and its bold on-mark
    virtual void setScalingButton(int axis, const std::string& caption, bool bold) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual bool precise() const = 0;
    virtual void switchPreciseOff() = 0;              // switch, tool button image and menu tick
    virtual int polygonCount() const = 0;
    // A modal box with the caption "Information", an exclamation icon and OK.
    virtual void showExclamation(const std::string& caption, const std::string& text) = 0;
    virtual void drawScene() = 0;
};
