// The main window's interactive loop against its floors, each pair measured in the same run,
// under a display (Xvfb with Mesa's llvmpipe). The modes are in kHelp (`view_bench --help`).
#include "CommandLine.h"
#include "ObjectFile.h"
#include "Program.h"
#include "SpreadObject.h"
#include "StartHeap.h"
#include "StartupProbe.h"
#include "Scene.h"
#include "TGLPanel.h"
#include "TMotionTimer.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"
#include "testing/ScriptedDialogs.h"

#include <GL/gl.h>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QStandardPaths>
#include <QToolButton>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// CPU seconds the X server has used, from the display's lock file and /proc; -1 when unknown.
double xServerCpuSeconds()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.indexOf(':');
    if (colon < 0)
        return -1;
    const QByteArray number = display.mid(colon + 1).split('.').front();
    std::ifstream lock("/tmp/.X" + number.toStdString() + "-lock");
    long pid = 0;
    if (!(lock >> pid) || pid <= 0)
        return -1;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return -1;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < line.size()) {
        const std::size_t end = line.find(' ', at);
        fields.push_back(line.substr(at, end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    if (fields.size() < 13)
        return -1;
    return (std::stod(fields[11]) + std::stod(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A cube of side 100 as 12 triangles, two a face, fronts outwards.
void fillCube(CDynArray& list)
{
    static const int faces[6][4][3] = {
        {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},     {{1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}},
        {{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}},     {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        {{-1, 1, 1}, {1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},     {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
    };
    for (int f = 0; f < 6; ++f)
        for (int half = 0; half < 2; ++half) {
            tElement e;
            e.type = "Triangle";
            e.name = "face " + std::to_string(f) + "/" + std::to_string(half);
            const int corner[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (int k = 0; k < 3; ++k)
                for (int axis = 0; axis < 3; ++axis)
                    e.vertex[3 * k + axis] = 50.0f * float(faces[f][corner[half][k]][axis]);
            e.red = 40 * f;
            e.green = 200;
            e.blue = 100;
            e.color = e.red | e.green << 8 | e.blue << 16;
            e.textureId = kNoTexture;
            list.Add(e);
        }
}

ObjectPose poseOf(TVorlanForm& form)
{
    const ObjectTransform& t = form.objectTransform();
    return {t.rotX, t.rotY, t.rotZ, t.transX, t.transY, t.transZ, t.scaleX, t.scaleY, t.scaleZ};
}

template <typename F> double msEach(int times, F&& f)
{
    f(); // warm up
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < times; ++i)
        f();
    return double(t.nsecsElapsed()) / 1e6 / times;
}

// How often a frame of that many polygons is repeated for a steady mean.
int repeatsFor(int polygons) { return polygons > 50000 ? 10 : polygons > 5000 ? 40 : 400; }

// ---------------------------------------------------------------- files and other programs

int writeObjectFile(int n, const char* fileName)
{
    CDynArray list;
    FillSpreadObject(list, n, true);
    return WriteObjectFile(fileName, list.First(), list.Count()) ? 0 : 1;
}

int writeStl(int n, const char* fileName)
{
    CDynArray list;
    FillSpreadObject(list, n, true);
    std::ofstream out(fileName, std::ios::binary);
    char header[80] = "3D-Vorlan benchmark triangles";
    out.write(header, sizeof header);
    const uint32_t count = uint32_t(n);
    out.write(reinterpret_cast<const char*>(&count), 4);
    for (const tElement* p = list.First(); p; p = p->next) {
        const float normal[3] = {0, 0, 1};
        out.write(reinterpret_cast<const char*>(normal), sizeof normal);
        out.write(reinterpret_cast<const char*>(p->vertex), 9 * sizeof(float));
        const uint16_t attributes = 0;
        out.write(reinterpret_cast<const char*>(&attributes), 2);
    }
    return out ? 0 : 1;
}

struct Measured {
    double ms = -1;
    long peakKb = 0;
    bool ok = false;
};

// Another program run to its end: wall time and peak resident memory, from its own wait4.
Measured runProgram(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return {};
    return {double(t.nsecsElapsed()) / 1e6, usage.ru_maxrss,
            WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

bool haveF3d() { return !QStandardPaths::findExecutable("f3d").isEmpty(); }

// F3D, the viewer compared with, drawing `mesh` at the view's size into a picture file in
// `dir` and ending; `options` go before the mesh.
Measured runF3d(const QTemporaryDir& dir, const std::string& mesh,
                const std::vector<std::string>& options = {})
{
    std::vector<std::string> command{"f3d", "--output=" + dir.filePath("f3d.png").toStdString(),
                                      "--resolution=523,529"};
    command.insert(command.end(), options.begin(), options.end());
    command.push_back(mesh);
    return runProgram(command);
}

// ---------------------------------------------------------------- start-up

int childOpen(int argc, char** argv)
{
    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    ScriptedDialogs dialogs;
    TVorlanForm form(&dialogs);
    form.show();
    TGLPanel* panel = form.glPanel();
    while (panel->framesPresented() == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double started = msSinceParentStart();
    // The user picks the file once the window is up: the start-up's own events are done.
    QTest::qWait(300);
    const long frames = form.framesDrawn();
    dialogs.files.push_back(QString::fromLocal8Bit(argv[2]));
    QElapsedTimer t;
    t.start();
    form.FileOpenExecute();
    QCoreApplication::processEvents();
    (void)presented(panel);
    const double open = double(t.nsecsElapsed()) / 1e6;
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    std::printf("%.1f %.1f %ld %d %ld\n", started, open, r.ru_maxrss, form.polygons().Count(),
                form.framesDrawn() - frames);
    return 0;
}

QByteArray runChildOutput(const char* program, const QStringList& arguments)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VIEW_BENCH_T0", QString::number(monotonicNs()));
    child.setProcessEnvironment(env);
    child.start(QString::fromLocal8Bit(program), arguments);
    if (!child.waitForFinished(120000))
        return {};
    return child.readAllStandardOutput().trimmed();
}

int benchFirstOpen(const char* self, const char* file, int runs)
{
    for (int i = 0; i < runs; ++i) {
        const QList<QByteArray> out =
            runChildOutput(self, {"--child-open", QString::fromLocal8Bit(file)}).split(' ');
        if (out.size() != 5)
            return 1;
        const double started = out[0].toDouble(), open = out[1].toDouble();
        std::printf("run %d: start to first frame %7.1f ms + Open of %s polygons to the frame "
                    "presented %8.1f ms (%s frames) = %8.1f ms; peak RSS %ld MB\n",
                    i + 1, started, out[3].constData(), open, out[4].constData(), started + open,
                    out[2].toLong() / 1024);
    }
    return 0;
}

// The program and the bare window in turns, RUNS of each; `others` are builds of the program
// made to be compared with it (a start-up step taken out, say), run in the same turns, and so
// is F3D, where it is installed, drawing one triangle to a picture file of the view's size.
int benchStartup(int runs, const std::vector<QString>& others)
{
    std::vector<QString> programs{QStringLiteral(STARTUP_APP)};
    programs.insert(programs.end(), others.begin(), others.end());
    QTemporaryDir dir;
    const std::string tiny = dir.filePath("tiny.stl").toStdString();
    const bool f3d = haveF3d() && writeStl(1, tiny.c_str()) == 0;
    // F3D takes the turn after the last program.
    const std::size_t turns = programs.size() + (f3d ? 1 : 0);
    std::vector<std::vector<double>> times(programs.size());
    std::vector<double> bare, f3dTimes;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(runChildOutput(STARTUP_BARE, {}).toDouble());
        std::printf("run %d: bare QOpenGLWindow %7.1f ms", i + 1, bare.back());
        // Each run starts with another program, so that none always meets the caches the
        // same program left.
        double f3dMs = -1;
        for (std::size_t k = 0; k < turns; ++k) {
            const std::size_t p = (k + std::size_t(i)) % turns;
            if (p < programs.size()) {
                times[p].push_back(runChildOutput(programs[p].toLocal8Bit().constData(), {}).toDouble());
            } else if (const Measured m = runF3d(dir, tiny); m.ok) {
                f3dMs = m.ms;
                f3dTimes.push_back(m.ms);
            }
        }
        for (std::size_t p = 0; p < programs.size(); ++p)
            std::printf(", %s %7.1f ms", p == 0 ? "3D-Vorlan" : qPrintable(programs[p]), times[p].back());
        if (f3dMs >= 0)
            std::printf(", F3D %7.1f ms", f3dMs);
        std::printf("\n");
    }
    const double b = median(bare), a = median(times[0]);
    std::printf("start to first frame presented, median of %d: 3D-Vorlan %.1f ms, bare %.1f ms, "
                "ratio %.2f\n",
                runs, a, b, a / b);
    for (std::size_t p = 1; p < programs.size(); ++p)
        std::printf("  %s %.1f ms: %+.1f ms against 3D-Vorlan\n", qPrintable(programs[p]),
                    median(times[p]), median(times[p]) - a);
    if (!f3dTimes.empty())
        std::printf("  F3D, start to its end, one triangle drawn to a picture file of the view's "
                    "size (--output): %.1f ms; 3D-Vorlan / F3D %.2f\n",
                    median(f3dTimes), a / median(f3dTimes));
    return 0;
}

// ---------------------------------------------------------------- held button

struct Fixture {
    ScriptedDialogs dialogs;
    TVorlanForm form{&dialogs};
    Fixture()
    {
        form.show();
        (void)QTest::qWaitForWindowExposed(&form);
        while (form.glPanel()->framesPresented() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(100);
    }
};

void benchHold(Fixture& f, const char* what, double seconds)
{
    TVorlanForm& form = f.form;
    TGLPanel* panel = form.glPanel();
    auto* button = form.findChild<QPushButton*>("BitBtnYCCW");
    long ticks = 0;
    auto counting = QObject::connect(form.motionTimer(), &TMotionTimer::timeout, [&] { ++ticks; });

    QTest::mousePress(button, Qt::LeftButton);
    QTest::qWait(200); // settle into the rhythm
    ticks = 0;
    const long framesBefore = form.framesDrawn();
    const double cpuBefore = cpuSeconds(), xBefore = xServerCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(int(seconds * 1000));
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore, x = xServerCpuSeconds() - xBefore;
    const long frames = form.framesDrawn() - framesBefore;
    const long held = ticks;

    // One tick (motion step and its frame) against the frame's floors, button still held.
    const int times = repeatsFor(form.polygons().Count());
    const double tick = msEach(times, [&] {
        form.Timer1Timer();
        panel->makeContextCurrent();
        glFinish();
    });
    const ObjectPose pose = poseOf(form);
    const double scene = msEach(times, [&] {
        panel->makeContextCurrent();
        scene::DrawScene(form.polygons(), pose, form.viewOptions(), form.shadowMatrix());
        glFinish();
    });
    const double sceneAndSwap = msEach(times, [&] {
        panel->beginFrame();
        scene::DrawScene(form.polygons(), pose, form.viewOptions(), form.shadowMatrix());
        panel->endFrame();
        glFinish();
    });
    QTest::mouseRelease(button, Qt::LeftButton);
    QObject::disconnect(counting);
    QTest::qWait(50);

    std::printf("%-16s held %.1f s: %6.1f ticks/s, %6.1f frames/s, CPU %5.1f %% of a core "
                "(%.2f ms a tick; X server %s), \n",
                what, elapsed, double(held) / elapsed, double(frames) / elapsed,
                100.0 * cpu / elapsed, held ? 1000.0 * cpu / double(held) : 0.0,
                x >= 0 ? (std::to_string(int(std::lround(100.0 * x / elapsed))) + " % of a core").c_str()
                       : "unknown");
    std::printf("%-16s one tick %8.3f ms | DrawScene alone %8.3f ms (tick/scene %.2f) | "
                "DrawScene + swap %8.3f ms (tick/(scene+swap) %.2f)\n",
                "", tick, scene, tick / scene, sceneAndSwap, tick / sceneAndSwap);
}

int benchHolds(double seconds)
{
    Fixture f;
    fillCube(f.form.polygons());
    f.form.editor()->appendListEntries(1);
    benchHold(f, "cube (12)", seconds);
    for (int n : {10000, 100000}) {
        f.form.editor()->polygonListBox()->clear();
        f.form.polygons().Clear();
        FillSpreadObject(f.form.polygons(), n);
        f.form.editor()->appendListEntries(1);
        f.form.btnResetControlClick();
        benchHold(f, (std::to_string(n) + " polygons").c_str(), seconds);
    }
    return 0;
}

// ---------------------------------------------------------------- Open and Import

long maxRssKb()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_maxrss;
}

double msToPresented(TVorlanForm& form, const std::function<void()>& command)
{
    QElapsedTimer t;
    t.start();
    command();
    QCoreApplication::processEvents();   // the list box lays out its rows
    (void)presented(form.glPanel());    // the X server has shown the frame once this returns
    return double(t.nsecsElapsed()) / 1e6;
}

int benchOpen(int n)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.3do");
    {
        CDynArray list;
        FillSpreadObject(list, n, true);
        if (!WriteObjectFile(path.toStdString(), list.First(), list.Count()))
            return 1;
    }
    Fixture f;
    TVorlanForm& form = f.form;
    const auto noTexture = [](const std::string&, int, int, int) { return 0u; };
    auto readAlone = [&] {
        CDynArray scratch;
        QElapsedTimer t;
        t.start();
        const bool ok = ReadObjectFile(path.toStdString(), scratch, noTexture);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!ok || scratch.Count() != n)
            std::printf("  (the reader alone stopped at %d polygons)\n", scratch.Count());
        return ms;
    };
    auto emptyObject = [&] {
        f.dialogs.answers.push_back(MessageAnswer::Yes);
        form.FileNewExecute();
        QCoreApplication::processEvents();
    };

    // The first Open of the run meets a cold heap and a GL driver that has never held so
    // many vertices; it is shown as it is, then every figure below is taken warm.
    const std::size_t heapBefore = heapInUse();
    f.dialogs.files.push_back(path);
    const double firstOpen = msToPresented(form, [&] { form.FileOpenExecute(); });
    const std::size_t heapAfterOpen = heapInUse();
    if (form.polygons().Count() != n)
        return 1;
    const long rssAfterOpen = maxRssKb();

    // The floor, in the state Open meets: one frame of the object with its swap, presented,
    // and the reader alone into a list of its own, with the object emptied first. Taken in
    // turns with Open, three times; the least of each counts (the machine is shared).
    double frame = 1e300, read = 1e300, open = 1e300;
    for (int round = 0; round < 3; ++round) {
        const double fr = msToPresented(form, [&] { form.DrawScene(); });
        emptyObject();
        const double rd = readAlone();
        f.dialogs.files.push_back(path);
        const double op = msToPresented(form, [&] { form.FileOpenExecute(); });
        if (form.polygons().Count() != n)
            std::printf("  (Open gave %d polygons)\n", form.polygons().Count());
        std::printf("  round %d: Open %8.1f ms | read %8.1f ms + frame %8.1f ms; ratio %.3f\n",
                    round + 1, op, rd, fr, op / (rd + fr));
        frame = std::min(frame, fr);
        read = std::min(read, rd);
        open = std::min(open, op);
    }

    // The list box alone: emptied and filled again with all n rows, laid out.
    TPolygonListBox* box = form.editor()->polygonListBox();
    box->clear();
    QCoreApplication::processEvents();
    const std::size_t heapBeforeList = heapInUse();
    QElapsedTimer t;
    t.start();
    box->appendEntries(n);
    QCoreApplication::processEvents();
    const double list = double(t.nsecsElapsed()) / 1e6;
    const std::ptrdiff_t listHeap = std::ptrdiff_t(heapInUse()) - std::ptrdiff_t(heapBeforeList);
    // One more entry at the end and its removal: the cost of Add and Remove of the last one.
    form.polygons().Add(*form.polygons().Last());
    t.restart();
    box->appendEntries(1);
    QCoreApplication::processEvents();
    const double addOne = double(t.nsecsElapsed()) / 1e6;
    form.polygons().RemoveLast();
    t.restart();
    box->removeEntry(n);
    QCoreApplication::processEvents();
    const double removeOne = double(t.nsecsElapsed()) / 1e6;

    std::printf("Open of %d triangles to the frame presented: %8.1f ms (the first of the run "
                "%8.1f ms)\n",
                n, open, firstOpen);
    std::printf("  least of three: ReadObjectFile alone %8.1f ms + one DrawScene with its swap, "
                "presented %8.1f ms = %8.1f ms; Open / (read + frame) = %.3f\n",
                read, frame, read + frame, open / (read + frame));
    std::printf("  list box: all %d rows %6.1f ms, one more row %6.2f ms, one row removed %6.2f ms\n",
                n, list, addOne, removeOne);
    std::printf("  held after the first Open: %.1f bytes per polygon, the GL driver's included "
                "(list box %.1f); peak RSS %ld MB\n",
                double(heapAfterOpen - heapBefore) / n, double(listHeap) / n, rssAfterOpen / 1024);

    const double readBoth = readAlone();
    f.dialogs.files.push_back(path);
    const double import = msToPresented(form, [&] { form.FileImportExecute(); });
    const double frameBoth = msToPresented(form, [&] { form.DrawScene(); });
    std::printf("Import of %d more to the frame presented: %8.1f ms; ReadObjectFile alone %8.1f ms "
                "+ frame of %d %8.1f ms; Import / (read + frame) = %.3f\n",
                n, import, readBoth, 2 * n, frameBoth, import / (readBoth + frameBoth));
    return 0;
}

// ---------------------------------------------------------------- Open as the user opens

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void tell(const char* format, ...) __attribute__((format(printf, 1, 2)));
void tell(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// The program as its main() runs it, with the real dialogs, driven by the parent's X events.
// It tells the parent where the Open button is, when the file dialog is up and when it has
// gone, then, once the view has been quiet for a while, what Open cost and, in the same
// process, its floor: the reader alone and one frame of the object, presented.
int childUserOpen(const char* self, const char* file, int n)
{
    char* args[] = {const_cast<char*>(self), nullptr};
    int argc = 1;
    struct Probe : QObject {
        TVorlanForm* form = nullptr;
        QElapsedTimer clock;
        qint64 closed = -1, lastSwap = -1;
        long drawnAtClose = 0, presentedAtClose = 0;
        bool dialogTold = false;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            auto* dialog = qobject_cast<QFileDialog*>(watched);
            if (dialog && event->type() == QEvent::Show && !dialogTold) {
                dialogTold = true;
                QTimer::singleShot(400, [] { tell("dialog\n"); });
            } else if (dialog && event->type() == QEvent::Hide && closed < 0) {
                closed = clock.nsecsElapsed();
                drawnAtClose = form->framesDrawn();
                presentedAtClose = form->glPanel()->framesPresented();
                tell("accepted\n");
            }
            return false;
        }
    } probe;
    long emptyKb = 0;
    QTimer quiet;
    RunProgram(argc, args, [&](TVorlanForm& form) {
        probe.form = &form;
        probe.clock.start();
        qApp->installEventFilter(&probe);
        TGLPanel* panel = form.glPanel();
        QObject::connect(panel, &TGLPanel::frameSwapped, [&probe, panel] {
            (void)presented(panel);
            probe.lastSwap = probe.clock.nsecsElapsed();
        });
        QTimer::singleShot(800, [&form, &emptyKb] {
            emptyKb = residentKb();
            const QToolButton* open = form.OpenButton;
            const QPoint at = open->mapToGlobal(open->rect().center());
            tell("ready %d %d\n", at.x(), at.y());
        });
        quiet.setInterval(50);
        QObject::connect(&quiet, &QTimer::timeout, [&] {
            const qint64 now = probe.clock.nsecsElapsed();
            if (probe.closed < 0 || form.polygons().Count() != n || probe.lastSwap < probe.closed ||
                now - probe.lastSwap < 1500 * 1000000LL)
                return;
            quiet.stop();
            const double open = double(probe.lastSwap - probe.closed) / 1e6;
            const long drawn = form.framesDrawn() - probe.drawnAtClose;
            const long shown = form.glPanel()->framesPresented() - probe.presentedAtClose;
            const double frame = msToPresented(form, [&] { form.DrawScene(); });
            const long afterKb = residentKb();
            const long peakKb = maxRssKb();
            form.editor()->polygonListBox()->clear();
            form.polygons().Clear();
            CDynArray scratch;
            QElapsedTimer t;
            t.start();
            ReadObjectFile(file, scratch, [](const std::string&, int, int, int) { return 0u; });
            const double read = double(t.nsecsElapsed()) / 1e6;
            tell("result %.1f %ld %ld %d %.1f %.1f %ld %ld %ld\n", open, drawn, shown, scratch.Count(),
                 frame, read, emptyKb, afterKb, peakKb);
            QCoreApplication::quit();
        });
        quiet.start();
    });
    return 0;
}

bool xdo(const QStringList& arguments)
{
    QProcess p;
    p.start("xdotool", arguments);
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

QByteArray nextLine(QProcess& child, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!child.canReadLine()) {
        if (t.elapsed() > timeoutMs || child.state() == QProcess::NotRunning)
            return {};
        child.waitForReadyRead(100);
    }
    return child.readLine().trimmed();
}

// This benchmark started again as one of its children, up to its line "ready X Y" (where to
// click): that line's words, or none, with the child ended, when it did not come in time.
QList<QByteArray> startChild(QProcess& child, const char* self, const QStringList& arguments,
                             int timeoutMs)
{
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self), arguments);
    const QList<QByteArray> ready = nextLine(child, timeoutMs).split(' ');
    if (ready.size() == 3 && ready[0] == "ready")
        return ready;
    child.kill();
    child.waitForFinished();
    return {};
}

// A window manager, as a user has one: it frames dialogs, gives a clicked window the focus
// and hands it back. Where one runs already, the display keeps that one.
struct WindowManager {
    QProcess process;
    WindowManager()
    {
        process.start("openbox", {"--sm-disable"});
        QTest::qWait(500);
    }
    ~WindowManager()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

// Open of n polygons through the real tool button, file dialog and exposure, in turns with
// F3D drawing the same triangles to a picture file of the view's size.
int benchUserOpen(const char* self, int n, int runs)
{
    QTemporaryDir dir;
    const std::string object = dir.filePath("bench.3do").toStdString();
    const std::string stl = dir.filePath("bench.stl").toStdString();
    const std::string tiny = dir.filePath("tiny.stl").toStdString();
    if (writeObjectFile(n, object.c_str()) != 0 || writeStl(n, stl.c_str()) != 0 ||
        writeStl(1, tiny.c_str()) != 0)
        return 1;
    const WindowManager wm;
    const bool f3d = haveF3d();
    std::vector<double> opens, floors, ratios, f3dAll, f3dOwn, perPolygon, peaks, f3dPeaks;
    for (int run = 1; run <= runs; ++run) {
        Measured big, small;
        if (f3d) {
            big = runF3d(dir, stl);
            small = runF3d(dir, tiny);
        }
        QProcess child;
        const QList<QByteArray> ready = startChild(
            child, self, {"--child-user-open", QString::fromStdString(object), QString::number(n)}, 30000);
        if (ready.isEmpty()) {
            std::printf("run %d: the window did not come up\n", run);
            continue;
        }
        // Not --sync: that waits for a motion, and the pointer may be there from the last run.
        xdo({"mousemove", ready[1], ready[2], "sleep", "0.2", "click", "1"});
        if (nextLine(child, 10000) != "dialog") {
            std::printf("run %d: no file dialog\n", run);
            child.kill();
            child.waitForFinished();
            continue;
        }
        xdo({"type", "--delay", "2", QString::fromStdString(object)});
        QTest::qWait(300);
        QByteArray line;
        for (int tries = 0; tries < 3 && line != "accepted"; ++tries) {
            xdo({"key", "Return"});   // the first may only close the name's completion list
            line = nextLine(child, 2000);
        }
        const QList<QByteArray> r = nextLine(child, 120000).split(' ');
        if (!child.waitForFinished(10000))
            child.kill();
        if (r.size() != 10 || r[0] != "result") {
            std::printf("run %d: Open did not finish\n", run);
            continue;
        }
        const double open = r[1].toDouble(), frame = r[5].toDouble(), read = r[6].toDouble();
        const double perPoly = (r[8].toDouble() - r[7].toDouble()) * 1024.0 / n;
        opens.push_back(open);
        floors.push_back(read + frame);
        ratios.push_back(open / (read + frame));
        perPolygon.push_back(perPoly);
        peaks.push_back(r[9].toDouble() / 1024);
        std::printf("run %d: Open through the dialog %8.1f ms (%s scene drawn, %s frames "
                    "presented) | floor: read %8.1f + frame %7.1f = %8.1f ms | ratio %.3f | "
                    "resident +%.0f B/polygon, peak %.0f MB",
                    run, open, r[2].constData(), r[3].constData(), read, frame, read + frame,
                    open / (read + frame), perPoly, peaks.back());
        if (big.ok && small.ok) {
            f3dAll.push_back(big.ms);
            f3dOwn.push_back(big.ms - small.ms);
            f3dPeaks.push_back(double(big.peakKb) / 1024);
            std::printf(" | F3D %8.1f ms (%8.1f beyond its start with 1 triangle), peak %ld MB",
                        big.ms, big.ms - small.ms, big.peakKb / 1024);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    if (opens.empty())
        return 1;
    std::printf("median of %zu runs, %d polygons: Open through the dialog %.1f ms, floor (read + "
                "one frame presented) %.1f ms, ratio %.3f (goal 1.15); resident +%.0f B/polygon "
                "(goal 300), peak %.0f MB",
                opens.size(), n, median(opens), median(floors), median(ratios), median(perPolygon),
                median(peaks));
    if (!f3dAll.empty())
        std::printf("; F3D --output %.1f ms (%.1f beyond its start), peak %.0f MB; peak / F3D's %.2f",
                    median(f3dAll), median(f3dOwn), median(f3dPeaks), median(peaks) / median(f3dPeaks));
    std::printf("\n");
    return 0;
}

// ---------------------------------------------------------------- a button held as a user holds it

// The program as its main() runs it, with the object file named on its command line, and
// "Y-Rotate CCW" held by the parent's X events. Once the object is shown and the view has
// been quiet for a while it tells the parent where the button is on the screen; it counts
// the ticks, scenes drawn and frames presented between the press and the release the button
// receives, then, in the same process, its floor: the mean of the window's own frame of the
// object (DrawScene with its swap), repeated for as long as the hold lasted.
int childUserHold(const char* self, const char* file, int n)
{
    char* args[] = {const_cast<char*>(self), const_cast<char*>(file), nullptr};
    int argc = 2;
    struct Probe : QObject {
        QPushButton* button = nullptr;
        TVorlanForm* form = nullptr;
        QElapsedTimer clock;
        qint64 pressed = -1, released = -1;
        long ticks = 0, heldTicks = 0, drawn = 0, shown = 0;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (watched != button)
                return false;
            // Seen before the button's own handlers: the timer starts after the press and
            // stops after the release.
            if (event->type() == QEvent::MouseButtonPress && pressed < 0) {
                pressed = clock.nsecsElapsed();
                ticks = 0;
                drawn = form->framesDrawn();
                shown = form->glPanel()->framesPresented();
            } else if (event->type() == QEvent::MouseButtonRelease && pressed >= 0 && released < 0) {
                released = clock.nsecsElapsed();
                heldTicks = ticks;
                drawn = form->framesDrawn() - drawn;
                shown = form->glPanel()->framesPresented() - shown;
            }
            return false;
        }
    } probe;
    qint64 lastSwap = -1;
    bool told = false;
    QTimer poll;
    return RunProgram(argc, args, [&](TVorlanForm& form) {
        probe.form = &form;
        probe.button = form.findChild<QPushButton*>("BitBtnYCCW");
        probe.clock.start();
        probe.button->installEventFilter(&probe);
        QObject::connect(form.motionTimer(), &TMotionTimer::timeout, [&probe] { ++probe.ticks; });
        QObject::connect(form.glPanel(), &TGLPanel::frameSwapped,
                         [&] { lastSwap = probe.clock.nsecsElapsed(); });
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const qint64 now = probe.clock.nsecsElapsed();
            if (!told) {
                if (form.polygons().Count() != n || lastSwap < 0 || now - lastSwap < 1000 * 1000000LL)
                    return;
                told = true;
                const QPoint at = probe.button->mapToGlobal(probe.button->rect().center());
                tell("ready %d %d\n", at.x(), at.y());
                return;
            }
            // Once the last frame of the hold is out of the way.
            if (probe.released < 0 || now - probe.released < 300 * 1000000LL)
                return;
            poll.stop();
            // Frames for as long as the hold lasted, so that both meet the same share of
            // whatever else the machine is doing; the swap waits for the picture, as in
            // every frame of the hold.
            const qint64 span = probe.released - probe.pressed;
            form.DrawScene();
            QElapsedTimer t;
            t.start();
            long frames = 0;
            do {
                form.DrawScene();
                ++frames;
            } while (t.nsecsElapsed() < span);
            const double frame = double(t.nsecsElapsed()) / 1e6 / double(frames);
            tell("result %.1f %ld %ld %ld %.3f\n", double(probe.released - probe.pressed) / 1e6,
                 probe.heldTicks, probe.drawn, probe.shown, frame);
            QCoreApplication::quit();
        });
        poll.start();
    });
}

// An interaction log of VTK's event recorder, the format F3D plays: the left button pressed
// in the middle of its window, `moves` steps of 4 pixels to and fro, each a rotation and a
// render, and the release.
bool writeDragLog(const std::string& fileName, int moves)
{
    std::ofstream out(fileName);
    out << "# StreamVersion 1.1\n"
           "MouseMoveEvent 261 264 0 0 0 0\n"
           "LeftButtonPressEvent 261 264 0 0 0 0\n";
    int x = 261, step = 4;
    for (int i = 0; i < moves; ++i) {
        if (x + step < 101 || x + step > 421)
            step = -step;
        x += step;
        out << "MouseMoveEvent " << x << " 264 0 0 0 0\n";
    }
    out << "LeftButtonReleaseEvent " << x << " 264 0 0 0 0\n";
    return bool(out);
}

// "Y-Rotate CCW" of the program started on an object of n polygons, held with the real mouse
// for `seconds`, in turns with F3D rotating the same triangles: its per-frame time is that of
// a played drag of 100 steps, less the same run with no step, divided by the steps.
int benchUserHold(const char* self, int n, double seconds, int runs)
{
    QTemporaryDir dir;
    const std::string object = dir.filePath("bench.3do").toStdString();
    const std::string stl = dir.filePath("bench.stl").toStdString();
    const std::string dragLog = dir.filePath("drag.log").toStdString();
    const std::string stillLog = dir.filePath("still.log").toStdString();
    const int moves = 100;
    if (writeObjectFile(n, object.c_str()) != 0 || writeStl(n, stl.c_str()) != 0 ||
        !writeDragLog(dragLog, moves) || !writeDragLog(stillLog, 0))
        return 1;
    const WindowManager wm;
    const bool f3d = haveF3d();
    // The timer paces the frames: a floor below its interval cannot be reached while held.
    const double tickMs = 1000.0 / TMotionTimer::kTicksPerSecond;
    std::vector<double> tickRates, frameMs, floors, ratios, pacedRatios, f3dFrames;
    for (int run = 1; run <= runs; ++run) {
        Measured dragged, still;
        if (f3d) {
            dragged = runF3d(dir, stl, {"--interaction-test-play=" + dragLog});
            still = runF3d(dir, stl, {"--interaction-test-play=" + stillLog});
        }
        // A journal of its own each run, so that a run ended early offers nothing to the next.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", dir.filePath("state" + QString::number(run)));
        QProcess child;
        child.setProcessEnvironment(env);
        const QList<QByteArray> ready = startChild(
            child, self, {"--child-user-hold", QString::fromStdString(object), QString::number(n)}, 120000);
        if (ready.isEmpty()) {
            std::printf("run %d: the window did not come up with the object\n", run);
            continue;
        }
        xdo({"mousemove", ready[1], ready[2], "sleep", "0.2", "mousedown", "1"});
        QTest::qWait(int(seconds * 1000));
        xdo({"mouseup", "1"});
        const QList<QByteArray> r = nextLine(child, 60000).split(' ');
        if (!child.waitForFinished(10000))
            child.kill();
        if (r.size() != 6 || r[0] != "result" || r[4].toLong() <= 0) {
            std::printf("run %d: the hold was not seen\n", run);
            continue;
        }
        const double heldMs = r[1].toDouble(), frame = r[5].toDouble();
        const long ticks = r[2].toLong(), drawn = r[3].toLong(), shown = r[4].toLong();
        const double perFrame = heldMs / double(shown);
        tickRates.push_back(1000.0 * double(ticks) / heldMs);
        frameMs.push_back(perFrame);
        floors.push_back(frame);
        ratios.push_back(perFrame / frame);
        pacedRatios.push_back(perFrame / std::max(frame, tickMs));
        std::printf("run %d: held %.2f s: %5.1f ticks/s, %5.1f scenes/s, %5.1f frames "
                    "presented/s = %7.2f ms a frame | floor: one frame %7.2f ms | ratio %.2f",
                    run, heldMs / 1000, tickRates.back(), 1000.0 * double(drawn) / heldMs,
                    1000.0 * double(shown) / heldMs, perFrame, frame, perFrame / frame);
        if (dragged.ok && still.ok) {
            f3dFrames.push_back((dragged.ms - still.ms) / moves);
            std::printf(" | F3D %7.2f ms a frame (%d-step drag %.0f ms - none %.0f ms)",
                        f3dFrames.back(), moves, dragged.ms, still.ms);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    if (frameMs.empty())
        return 1;
    std::printf("median of %zu runs, %d polygons, \"Y-Rotate CCW\" held %.1f s: %.1f ticks/s, "
                "%.2f ms a frame, floor (one frame) %.2f ms, ratio %.2f (to the floor or the "
                "%.1f ms tick, the larger, %.2f)",
                frameMs.size(), n, seconds, median(tickRates), median(frameMs), median(floors),
                median(ratios), tickMs, median(pacedRatios));
    if (!f3dFrames.empty())
        std::printf("; F3D %.2f ms a frame of a played drag, off the screen; ours / F3D's %.2f",
                    median(f3dFrames), median(frameMs) / median(f3dFrames));
    std::printf("\n");
    return 0;
}

const char* const kHelp =
    "Usage: view_bench MODE [ARGUMENTS]\n"
    "The main window's interactive loop against its floors, each pair measured in the same\n"
    "run. Needs a display (Xvfb with Mesa's software renderer).\n"
    "\n"
    "  startup [RUNS [APP...]]    start of the process to the first frame presented, against\n"
    "                             a bare Qt program whose one OpenGL window clears and swaps\n"
    "                             (startup_app and startup_bare), RUNS of each (default 5);\n"
    "                             each APP (another build of startup_app) in the same turns,\n"
    "                             and F3D, where installed, from its start to its end with one\n"
    "                             triangle drawn to a picture of the view's size (--output)\n"
    "  hold [SECONDS]             a held \"Y-Rotate CCW\" on the cube (12 triangles), 10,000\n"
    "                             and 100,000 polygons: ticks a second, CPU per tick, and one\n"
    "                             tick against DrawScene alone and with its swap (default 3)\n"
    "  open [POLYGONS]            Open and Import of an object file to the frame presented,\n"
    "                             by stage (read, list box, frame), and the bytes held, with\n"
    "                             the dialog scripted, so no exposure follows it: for the\n"
    "                             stages; user-open gives the user's figure (default 1000000)\n"
    "  first-open FILE.3do [RUNS] a fresh process that opens the file at once: start to the\n"
    "                             frame presented and peak memory, to compare with another\n"
    "                             viewer started on the same triangles (default 3 runs)\n"
    "  user-open [POLYGONS] [RUNS] Open as a user opens: the program started as its main()\n"
    "                             starts it, under openbox, the Open button clicked, the file\n"
    "                             name typed into the real dialog and Return pressed, all\n"
    "                             with xdotool; to the last frame presented, with the scenes\n"
    "                             drawn, beside its floor and F3D's --output of the same\n"
    "                             triangles, each run (default 1000000 polygons, 3 runs)\n"
    "  user-hold [POLYGONS] [SECONDS] [RUNS]\n"
    "                             \"Y-Rotate CCW\" held as a user holds it: the program\n"
    "                             started on an object file of POLYGONS triangles as its\n"
    "                             main() starts it, under openbox, the button pressed with\n"
    "                             xdotool and let go SECONDS later; the ticks, scenes drawn\n"
    "                             and frames presented (swaps the view counts) between the\n"
    "                             press and the release the button received, and the ms a\n"
    "                             frame held against its floor, the mean of the window's\n"
    "                             own frame (DrawScene with its swap) repeated in the same\n"
    "                             process for as long as the hold lasted; the timer paces\n"
    "                             at most 60 frames a second. Beside it, in the same run,\n"
    "                             F3D's ms a frame on the same triangles (a binary STL):\n"
    "                             --output with --interaction-test-play of a 100-step\n"
    "                             left-button drag (a rotation and a render each step),\n"
    "                             less the same with no step, over 100; F3D draws off the\n"
    "                             screen there and presents nothing (default 100000\n"
    "                             polygons, 3 s, 3 runs)\n"
    "  3do POLYGONS FILE.3do      the Open benchmark's triangles as an object file\n"
    "  stl POLYGONS FILE.stl      the same triangles as a binary STL\n"
    "  -h, --help                 show this help and exit\n"
    "\n"
    "\"Presented\" means read back from the window on the screen, not from the GL buffer; at\n"
    "start-up each frame is looked for there as soon as it has been swapped.\n";

int usage()
{
    std::fprintf(stderr, "usage: view_bench startup [runs] | hold [seconds] | open [polygons] | "
                         "first-open <file.3do> [runs] | user-open [polygons] [runs] | "
                         "user-hold [polygons] [seconds] [runs] | 3do <polygons> <file.3do> | "
                         "stl <polygons> <file.stl>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    if (mode == "--child-user-open")
        return argc == 4 ? childUserOpen(argv[0], argv[2], std::atoi(argv[3])) : usage();
    if (mode == "user-open") {
        QCoreApplication app(argc, argv);
        return benchUserOpen(argv[0], argc > 2 ? std::atoi(argv[2]) : 1000000,
                             argc > 3 ? std::atoi(argv[3]) : 3);
    }
    if (mode == "--child-user-hold")
        return argc == 4 ? childUserHold(argv[0], argv[2], std::atoi(argv[3])) : usage();
    if (mode == "user-hold") {
        QCoreApplication app(argc, argv);
        return benchUserHold(argv[0], argc > 2 ? std::atoi(argv[2]) : 100000,
                             argc > 3 ? std::atof(argv[3]) : 3.0, argc > 4 ? std::atoi(argv[4]) : 3);
    }
    if (mode == "--child-open")
        return argc == 3 ? childOpen(argc, argv) : usage();
    if (mode == "3do")
        return argc == 4 ? writeObjectFile(std::atoi(argv[2]), argv[3]) : usage();
    if (mode == "first-open" && argc >= 3) {
        QCoreApplication app(argc, argv);
        return benchFirstOpen(argv[0], argv[2], argc > 3 ? std::atoi(argv[3]) : 3);
    }
    if (mode == "stl")
        return argc == 4 ? writeStl(std::atoi(argv[2]), argv[3]) : usage();
    if (mode == "startup") {
        QCoreApplication app(argc, argv);
        std::vector<QString> others;
        for (int i = 3; i < argc; ++i)
            others.push_back(QString::fromLocal8Bit(argv[i]));
        return benchStartup(argc > 2 ? std::atoi(argv[2]) : 5, others);
    }
    // Told before the display is opened, so a wrong mode needs none.
    if (mode != "hold" && mode != "open")
        return usage();
    // The program's heap, as its main() sets it up.
    PrepareHeapForStart();
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    if (mode == "hold")
        return benchHolds(argc > 2 ? std::atof(argv[2]) : 3.0);
    return benchOpen(argc > 2 ? std::atoi(argv[2]) : 1000000);
}
