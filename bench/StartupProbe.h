// The start-up benchmark's two children, each a program of its own so that each loads only
// the libraries it needs: the time from the parent's start (VIEW_BENCH_T0, monotonic
// nanoseconds) to the first frame seen on the screen, looked for there as soon as each frame
// has been swapped.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

inline long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

inline double msSinceParentStart()
{
    return double(monotonicNs() - std::atoll(qgetenv("VIEW_BENCH_T0").constData())) / 1e6;
}

// The window's pixels as the screen holds them.
inline QImage presented(QWindow* window)
{
    return window->screen()->grabWindow(window->winId()).toImage();
}

// Prints the time once the window on the screen shows the green the first frame clears to.
inline void reportFirstFrameSeen(QWindow* window, bool& seen)
{
    if (seen)
        return;
    const QImage image = presented(window);
    if (image.isNull())
        return;
    const QRgb c = image.pixel(image.width() / 4, image.height() - 3);
    if (qGreen(c) <= 100 || qRed(c) >= 60 || qBlue(c) >= 60)
        return;
    seen = true;
    std::printf("%.1f\n", msSinceParentStart());
    std::fflush(stdout);
}
