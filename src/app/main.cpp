#include "StartHeap.h"
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"

#include <QSurfaceFormat>

int main(int argc, char** argv)
{
    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    TVorlanForm form;
    app.setErrorDisplay(&form.dialogs());
    form.move(332, 332);
    form.show();
    app.exec();
    return 0;
}
