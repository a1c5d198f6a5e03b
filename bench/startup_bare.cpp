// The floor of the start-up benchmark: a bare Qt program with one OpenGL window, of the view's
// size and pixel format, that clears to green and swaps once. It links Qt's GUI and OpenGL
// libraries alone.
#include "CommandLine.h"
#include "StartupProbe.h"
#include "TGLPanel.h"

#include <GL/gl.h>

#include <QCoreApplication>
#include <QOpenGLWindow>

#include <cstdio>

namespace {

class BareWindow : public QOpenGLWindow {
protected:
    void paintGL() override
    {
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs("Usage: startup_bare\n"
                   "The floor of `view_bench startup`: a bare Qt program with one OpenGL window of\n"
                   "the view's size that clears to green and swaps; prints the milliseconds from\n"
                   "VIEW_BENCH_T0 (monotonic nanoseconds) to that frame seen on the screen. Needs\n"
                   "a display.\n"
                   "\n"
                   "  -h, --help  show this help and exit\n",
                   stdout);
        return 0;
    }
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    QGuiApplication app(argc, argv);
    BareWindow window;
    bool seen = false;
    QObject::connect(&window, &QOpenGLWindow::frameSwapped, [&] { reportFirstFrameSeen(&window, seen); });
    window.resize(523, 529);
    window.show();
    while (!seen)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return 0;
}
