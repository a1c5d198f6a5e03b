// The program's own start, its main() as it is, linked as the program is, reporting its first
// frame on the screen and then ending.
#include "Program.h"
#include "StartupProbe.h"
#include "TGLPanel.h"
#include "TVorlanForm.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
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
