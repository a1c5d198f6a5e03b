#pragma once

#include <QObject>
#include <chrono>

class QWidget;

// Tells the user that a file command is reading: the wait cursor from begin to end and,
// once reading has taken longer than firstRepaint, the window repainted every
// repaintInterval so it never stays grey where a dialog or another window was.
// The repaint is synchronous and delivers no event, so no other handler (input, timers,
// queued calls, focus or close requests) runs in the middle of the command; they all wait
// until the command has finished, in their order.
class TReadingFeedback : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    explicit TReadingFeedback(QWidget* window);

    void begin();
    void progress();   // the reader's progress callback
    void end();

    // begin() for as long as it lives, end() however the reading ends.
    class Scope {
    public:
        explicit Scope(TReadingFeedback& feedback) : feedback_(feedback) { feedback_.begin(); }
        ~Scope() { feedback_.end(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        TReadingFeedback& feedback_;
    };
    bool reading() const { return reading_; }

    void setTimes(std::chrono::milliseconds firstRepaint, std::chrono::milliseconds repaintInterval)
    {
        firstRepaint_ = firstRepaint;
        repaintInterval_ = repaintInterval;
    }

signals:
    // After each repaint while reading, with the window's pixels on the screen.
    void repainted();

private:
    QWidget* window_;
    bool reading_ = false;
    Clock::time_point nextRepaint_;
    std::chrono::milliseconds firstRepaint_{500};
    std::chrono::milliseconds repaintInterval_{250};
};
