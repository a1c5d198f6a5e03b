// The program's own start, as its main() does it, linked as the program is, reporting its
// first frame on the screen.
#include "StartupProbe.h"
#include "StartHeap.h"
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    TVorlanForm form;
    app.setErrorDisplay(&form.dialogs());
    TGLPanel* panel = form.glPanel();
    bool seen = false;
    QObject::connect(panel, &TGLPanel::frameSwapped, [&] { reportFirstFrameSeen(panel, seen); });
    form.move(332, 332);
    form.show();
    while (!seen)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return 0;
}
