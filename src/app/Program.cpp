#include "Program.h"

#include "StartHeap.h"
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"

#include <QSurfaceFormat>

int RunProgram(int argc, char** argv, const std::function<void(TVorlanForm&)>& beforeShow)
{
    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    TVorlanForm form;
    app.setErrorDisplay(&form.dialogs());
    form.move(332, 332);
    if (beforeShow)
        beforeShow(form);
    form.show();
    app.exec();
    return 0;
}
