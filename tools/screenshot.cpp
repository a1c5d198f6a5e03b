// Takes a picture of the main window with an object opened through the File menu:
//   screenshot <object.3do | -> <out.png> [rotX rotY rotZ]
// The object is opened the way a user opens it (File, Open); the angles then turn it.
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"
#include "testing/ScriptedDialogs.h"

#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: %s <object.3do | -> <out.png> [rotX rotY rotZ]\n", argv[0]);
        return 2;
    }
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    ScriptedDialogs dialogs;
    TVorlanForm form(&dialogs);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    if (std::string(argv[1]) != "-") {
        dialogs.files.push_back(QFileInfo(argv[1]).absoluteFilePath());
        form.FileOpenExecute();
    }
    if (argc == 6) {
        form.objectTransform().rotX = std::strtof(argv[3], nullptr);
        form.objectTransform().rotY = std::strtof(argv[4], nullptr);
        form.objectTransform().rotZ = std::strtof(argv[5], nullptr);
        form.DrawScene();
    }
    QTest::qWait(200);
    for (const auto& m : dialogs.messages)
        std::fprintf(stderr, "message: %s\n", m.text.toLocal8Bit().constData());
    // From the screen: the view is a window of its own, which a widget grab leaves out.
    const QPixmap shot = form.screen()->grabWindow(form.winId());
    return shot.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
