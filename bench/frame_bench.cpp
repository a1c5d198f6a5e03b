// The renderer against its floor, in the real main window under a display (Xvfb); its
// command line is in kHelp. Start-up, Open, Import and the held button are view_bench's.
#include "CommandLine.h"
#include "Geometry.h"
#include "ObjectFile.h"
#include "SpreadObject.h"
#include "Scene.h"
#include "TGLPanel.h"
#include "TVorlanApplication.h"
#include "TVorlanForm.h"
#include "testing/ScriptedDialogs.h"

#include <GL/gl.h>

#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct FlatPolygon {
    bool triangle;
    GLubyte r, g, b;
    float normal[3];
    float vertex[12];
};

// The same GL calls as a frame of the renderer, from a flat array with normals at hand.
void bareFrame(const std::vector<FlatPolygon>& polygons, const float* shadow)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    glColor3ub(0, 32, 0);
    glVertex3f(400, -150, -200);
    glVertex3f(-400, -150, -200);
    glColor3ub(0, 255, 0);
    glVertex3f(-400, -150, 200);
    glVertex3f(400, -150, 200);
    glEnd();
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) {
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_LIGHTING);
        }
        glPushMatrix();
        if (pass == 0)
            glMultMatrixf(shadow);
        glRotatef(0, 1, 0, 0);
        glRotatef(0, 0, 1, 0);
        glRotatef(0, 0, 0, 1);
        glColor3ub(pass == 0 ? 0 : 255, 0, 0);
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, 0x5555);
        glBegin(GL_LINES);
        glVertex3f(-100, 0, 0);
        glVertex3f(100, 0, 0);
        glEnd();
        glDisable(GL_LINE_STIPPLE);
        glDisable(GL_TEXTURE_2D);
        for (const FlatPolygon& p : polygons) {
            if (pass == 0)
                glColor3ub(0, 0, 0);
            else
                glColor3ub(p.r, p.g, p.b);
            glBegin(p.triangle ? GL_TRIANGLES : GL_QUADS);
            glNormal3fv(p.normal);
            for (int k = 0; k < (p.triangle ? 3 : 4); ++k)
                glVertex3fv(p.vertex + 3 * k);
            glEnd();
        }
        glPopMatrix();
        if (pass == 0) {
            glEnable(GL_DEPTH_TEST);
            glEnable(GL_LIGHTING);
        }
    }
    glFlush();
}

double msPerFrame(int frames, const std::function<void()>& draw)
{
    draw(); // warm up
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < frames; ++i)
        draw();
    return double(t.nsecsElapsed()) / 1e6 / frames;
}

void benchFrames(TVorlanForm& form, int n, int frames)
{
    form.polygons().Clear();
    FillSpreadObject(form.polygons(), n);
    std::vector<FlatPolygon> flat;
    flat.reserve(n);
    for (const tElement* p = form.polygons().First(); p; p = p->next) {
        FlatPolygon f{p->isTriangle(), GLubyte(p->red), GLubyte(p->green), GLubyte(p->blue), {}, {}};
        std::memcpy(f.vertex, p->vertex, sizeof f.vertex);
        FaceNormal(p->vertex, f.normal);
        flat.push_back(f);
    }
    TGLPanel* panel = form.glPanel();
    const double scene = msPerFrame(frames, [&] {
        form.DrawScene();
        panel->makeContextCurrent();
        glFinish();
    });
    const double bare = msPerFrame(frames, [&] {
        panel->beginFrame();
        bareFrame(flat, form.shadowMatrix());
        glFinish();
        panel->endFrame();
    });
    std::printf("%8d polygons: DrawScene %9.2f ms/frame, bare GL loop %9.2f ms/frame, ratio %.3f\n",
                n, scene, bare, scene / bare);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What drawing the scene costs the CPU that feeds the GL, immediate mode against the
// object's arrays, in turns. At a 16 x 16 viewport rasterising is next to nothing, which is
// what a machine with a GPU pays; at the view's size llvmpipe's rasteriser comes on top.
void benchSubmission(TVorlanForm& form, int n, int frames, bool allTriangles)
{
    form.polygons().Clear();
    FillSpreadObject(form.polygons(), n, allTriangles);
    form.markObjectChanged();
    TGLPanel* panel = form.glPanel();
    panel->beginFrame();
    scene::ObjectArrays arrays;
    const ObjectPose pose{};
    QElapsedTimer t;
    t.start();
    scene::DrawScene(form.polygons(), arrays, pose, form.viewOptions(), form.shadowMatrix());
    glFinish();
    const double firstWithBuild = double(t.nsecsElapsed()) / 1e6;
    for (int size : {16, 0}) {
        if (size)
            glViewport(0, 0, size, size);
        else
            glViewport(0, 0, panel->deviceWidth(), panel->deviceHeight());
        std::vector<double> immediate, fromArrays;
        for (int i = 0; i <= frames; ++i) {
            for (int path = 0; path < 2; ++path) {
                t.restart();
                if (path == 0)
                    scene::DrawScene(form.polygons(), pose, form.viewOptions(), form.shadowMatrix());
                else
                    scene::DrawScene(form.polygons(), arrays, pose, form.viewOptions(),
                                     form.shadowMatrix());
                glFinish();
                if (i > 0)   // the first of each warms up
                    (path == 0 ? immediate : fromArrays).push_back(double(t.nsecsElapsed()) / 1e6);
            }
        }
        const double a = median(immediate), b = median(fromArrays);
        std::printf("%7d %s at %3d x %3d: immediate %8.2f ms, arrays %8.2f ms, ratio %.3f "
                    "(median of %d)\n",
                    n, allTriangles ? "triangles" : "polygons ", size ? size : panel->deviceWidth(),
                    size ? size : panel->deviceHeight(), a, b, b / a, frames);
    }
    std::printf("%7d polygons: first frame from arrays, their making included, %.2f ms; "
                "arrays hold %.1f bytes per polygon\n",
                n, firstWithBuild, double(arrays.bytesHeld()) / n);
    panel->endFrame();
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Resident memory of the object read into the window and drawn twice, with the arrays
// or in immediate mode, over the window with nothing in it.
int benchMemory(TVorlanForm& form, const char* file, bool withArrays)
{
    const long empty = residentKb();
    const auto noTexture = [](const std::string&, int, int, int) { return 0u; };
    if (!ReadObjectFile(file, form.polygons(), noTexture) || form.polygons().Count() == 0) {
        std::fprintf(stderr, "frame_bench: cannot read %s\n", file);
        return 1;
    }
    form.markObjectChanged();
    const long read = residentKb();
    TGLPanel* panel = form.glPanel();
    for (int i = 0; i < 2; ++i) {
        if (withArrays) {
            form.DrawScene();
        } else {
            panel->beginFrame();
            scene::DrawScene(form.polygons(), ObjectPose{}, form.viewOptions(), form.shadowMatrix());
            panel->endFrame();
        }
        panel->makeContextCurrent();
        glFinish();
        QApplication::processEvents();
    }
    const long drawn = residentKb();
    const double n = form.polygons().Count();
    std::printf("%s, %d polygons: resident over the empty window %.1f bytes per polygon after "
                "reading, %.1f after two frames (arrays %.1f); empty window %ld kB\n",
                withArrays ? "arrays" : "immediate", form.polygons().Count(),
                (read - empty) * 1024.0 / n, (drawn - empty) * 1024.0 / n,
                double(form.objectArrays().bytesHeld()) / n, empty);
    return 0;
}

const char* const kHelp =
    "Usage: frame_bench [--quick | --submission | --memory FILE.3do arrays|immediate]\n"
    "Milliseconds per frame of DrawScene in the main window against a bare loop of the same\n"
    "GL calls from a flat array, at 1,000, 10,000 and 100,000 polygons. Needs a display.\n"
    "\n"
    "      --quick  three frames of each instead of forty (ten at 100,000)\n"
    "      --submission  immediate mode against the object's arrays at 10,000 and 100,000\n"
    "               mixed polygons and 100,000 triangles, at a 16 x 16 viewport and at the\n"
    "               view's size\n"
    "      --memory FILE.3do arrays|immediate  resident memory after reading the file and\n"
    "               two frames, over the empty window\n"
    "  -h, --help   show this help and exit\n";

} // namespace

int main(int argc, char** argv)
{
    if (FindInfoRequest(argc, argv) == InfoRequest::Help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const bool submission = argc == 2 && std::strcmp(argv[1], "--submission") == 0;
    const bool memory = argc == 4 && std::strcmp(argv[1], "--memory") == 0 &&
                        (std::strcmp(argv[3], "arrays") == 0 || std::strcmp(argv[3], "immediate") == 0);
    if (argc > (quick ? 2 : 1) && !submission && !memory) {
        std::fprintf(stderr, "frame_bench: unknown argument %s (see --help)\n", argv[quick ? 2 : 1]);
        return 2;
    }
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    ScriptedDialogs dialogs;
    TVorlanForm form(&dialogs);
    form.show();
    (void)QTest::qWaitForWindowExposed(&form);
    while (form.glPanel()->framesPresented() == 0)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(100);

    if (submission) {
        // Every third polygon a triangle, so quads and triangles alternate; then triangles
        // alone, as the converter writes them.
        for (int n : {10000, 100000})
            benchSubmission(form, n, n >= 100000 ? 15 : 40, false);
        benchSubmission(form, 100000, 15, true);
        return 0;
    }
    if (memory)
        return benchMemory(form, argv[2], std::strcmp(argv[3], "arrays") == 0);
    for (int n : {1000, 10000, 100000})
        benchFrames(form, n, quick ? 3 : (n >= 100000 ? 10 : 40));
    return 0;
}
