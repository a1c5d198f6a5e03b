#include "Program.h"

#include "CommandLine.h"
#include "StartHeap.h"
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"
#include "Version.h"

#include <QFile>
#include <QMetaObject>
#include <QSurfaceFormat>

namespace {

const char* const kProgram = "3dvorlan";

void usage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: %s [FILE]\n"
                 "Opens the 3D-Vorlan window, a modeller and viewer of 3D objects made of\n"
                 "triangles and quads, with the object file FILE (.3do) loaded when one is given.\n"
                 "\n"
                 "  -h, --help     show this help and exit\n"
                 "  -V, --version  show the version and exit\n",
                 kProgram);
}

} // namespace

ProgramArguments ReadProgramArguments(const std::vector<std::string>& arguments)
{
    ProgramArguments result;
    switch (FindInfoRequest(arguments)) {
    case InfoRequest::Help:
        result.answer = ProgramArguments::Answer::Help;
        return result;
    case InfoRequest::Version:
        result.answer = ProgramArguments::Answer::Version;
        return result;
    case InfoRequest::None:
        break;
    }
    auto wrong = [&result](std::string fault) {
        result.answer = ProgramArguments::Answer::Wrong;
        result.fault = std::move(fault);
        return result;
    };
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& a : arguments) {
        if (!optionsEnded && a == "--")
            optionsEnded = true;
        else if (!optionsEnded && a.size() > 1 && a[0] == '-')
            return wrong("unknown option " + a);
        else
            files.push_back(a);
    }
    // The window holds one object at a time.
    if (files.size() > 1)
        return wrong("one file at a time, not " + std::to_string(files.size()));
    if (files.size() == 1) {
        if (files[0].empty())
            return wrong("the file name is empty");
        result.file = files[0];
    }
    return result;
}

int AnswerWithoutWindow(const ProgramArguments& arguments, std::FILE* out, std::FILE* err)
{
    switch (arguments.answer) {
    case ProgramArguments::Answer::Help:
        usage(out);
        return 0;
    case ProgramArguments::Answer::Version:
        std::fprintf(out, "%s %s\n", kProgram, VORLAN_VERSION);
        return 0;
    case ProgramArguments::Answer::Wrong:
        std::fprintf(err, "%s: %s (see --help)\n", kProgram, arguments.fault.c_str());
        return 2;
    case ProgramArguments::Answer::Window:
        break;
    }
    return 0;
}

void ShowProgramWindow(TVorlanForm& form, const std::string& file)
{
    form.move(332, 332);
    form.show();
    if (file.empty())
        return;
    // Queued, so the window is on the screen under the messages Open may show, and the
    // name is taken as its bytes, as the file system gave them.
    const QString name = QFile::decodeName(QByteArray::fromStdString(file));
    QMetaObject::invokeMethod(&form, [&form, name] { form.openFile(name); }, Qt::QueuedConnection);
}

int RunProgram(int argc, char** argv, const std::function<void(TVorlanForm&)>& beforeShow)
{
    // Before anything else: help, version and a wrong command line need no display.
    const ProgramArguments arguments =
        ReadProgramArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (arguments.answer != ProgramArguments::Answer::Window)
        return AnswerWithoutWindow(arguments, stdout, stderr);

    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    // Qt sees the program's name alone: the file is not an option of Qt's, even after "--".
    int qtArgc = argc > 0 ? 1 : 0;
    TVorlanApplication app(qtArgc, argv);
    TVorlanForm form;
    app.setErrorDisplay(&form.dialogs());
    if (beforeShow)
        beforeShow(form);
    // Once the window is up: an offer to restore is shown over it, before a file named on the
    // command line is opened.
    QMetaObject::invokeMethod(&form, [&form] { form.startJournal(JournalFolder()); },
                              Qt::QueuedConnection);
    ShowProgramWindow(form, arguments.file);
    app.exec();
    form.discardJournal();
    return 0;
}
