#include "TVorlanApplication.h"
#include "TVorlanForm.h"

#include <QSurfaceFormat>
#include "TGLPanel.h"

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    TVorlanForm form;
    form.move(332, 332);
    form.show();
    app.exec();
    return 0;
}
