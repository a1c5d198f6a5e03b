// The program's own start, its main() as it is, linked as the program is, reporting its first
// frame on the screen and then ending.
#include "CommandLine.h"
#include "Program.h"
#include "StartupProbe.h"
#include "TGLPanel.h"
#include "TVorlanForm.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs("Usage: startup_app [FILE]\n"
                   "The program started as its main() starts it, for `view_bench startup`: prints\n"
                   "the milliseconds from VIEW_BENCH_T0 (monotonic nanoseconds) to its first frame\n"
                   "seen on the screen, then ends. FILE is opened as the program opens it. Needs a\n"
                   "display.\n"
                   "\n"
                   "  -h, --help  show this help and exit\n",
                   stdout);
        return 0;
    }
    bool seen = false;
    return RunProgram(argc, argv, [&seen](TVorlanForm& form) {
        TGLPanel* panel = form.glPanel();
        QObject::connect(panel, &TGLPanel::frameSwapped, [panel, &seen] {
            reportFirstFrameSeen(panel, seen);
            if (seen)
                QCoreApplication::quit();
        });
    });
}
