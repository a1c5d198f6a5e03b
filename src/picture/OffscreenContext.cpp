#include "OffscreenContext.h"

#include "TGLPanel.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <QOpenGLContext>
#include <QPointer>
#include <QSurface>
#include <QSurfaceFormat>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool hasExtension(const char* list, const char* name)
{
    if (!list)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

std::string eglFailure(const char* step)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(step) + " failed (EGL error " + code + ")";
}

// The config nearest the view's surface format: the same colour, depth and stencil sizes
// and sampling where EGL has them.
bool chooseConfig(EGLDisplay display, const QSurfaceFormat& format, EGLConfig& chosen)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT, EGL_COLOR_BUFFER_TYPE, EGL_RGB_BUFFER,
                                 EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, nullptr, 0, &count) || count < 1)
        return false;
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    if (!eglChooseConfig(display, attributes, configs.data(), count, &count) || count < 1)
        return false;
    const struct {
        EGLint attribute;
        int wanted;
        int weight;   // colour first, then depth, then the rest
    } sizes[] = {
        {EGL_RED_SIZE, format.redBufferSize(), 1000},
        {EGL_GREEN_SIZE, format.greenBufferSize(), 1000},
        {EGL_BLUE_SIZE, format.blueBufferSize(), 1000},
        {EGL_ALPHA_SIZE, std::max(format.alphaBufferSize(), 0), 100},
        {EGL_DEPTH_SIZE, std::max(format.depthBufferSize(), 0), 10},
        {EGL_STENCIL_SIZE, std::max(format.stencilBufferSize(), 0), 1},
        {EGL_SAMPLES, std::max(format.samples(), 0), 10},
    };
    long best = -1;
    for (EGLint i = 0; i < count; ++i) {
        long distance = 0;
        for (const auto& size : sizes) {
            EGLint value = 0;
            eglGetConfigAttrib(display, configs[static_cast<std::size_t>(i)], size.attribute,
                               &value);
            distance += static_cast<long>(std::abs(value - size.wanted)) * size.weight;
        }
        if (best < 0 || distance < best) {
            best = distance;
            chosen = configs[static_cast<std::size_t>(i)];
        }
    }
    return true;
}

} // namespace

struct OffscreenContext::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0;
    int height = 0;

    // The Qt context that was current before, given back afterwards.
    QPointer<QOpenGLContext> previous;
    QSurface* previousSurface = nullptr;

    ~State()
    {
        if (display == EGL_NO_DISPLAY)
            return;
        if (context != EGL_NO_CONTEXT && eglGetCurrentContext() == context)
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface != EGL_NO_SURFACE)
            eglDestroySurface(display, surface);
        if (context != EGL_NO_CONTEXT)
            eglDestroyContext(display, context);
        eglTerminate(display);
        if (previous && previousSurface)
            previous->makeCurrent(previousSurface);
    }
};

OffscreenContext::~OffscreenContext()
{
    delete state_;
}

bool OffscreenContext::create(int width, int height, std::string& error)
{
    delete state_;
    state_ = new State;
    State& s = *state_;
    s.width = width;
    s.height = height;

    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        error = "no offscreen OpenGL: EGL offers no surfaceless platform (Mesa's EGL is needed)";
        return false;
    }
    s.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (s.display == EGL_NO_DISPLAY) {
        error = eglFailure("eglGetPlatformDisplay");
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(s.display, &major, &minor)) {
        error = eglFailure("eglInitialize");
        s.display = EGL_NO_DISPLAY;
        return false;
    }
    if (!hasExtension(eglQueryString(s.display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        error = "no offscreen OpenGL: EGL cannot make a context current without a surface";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = eglFailure("eglBindAPI(OpenGL)");
        return false;
    }

    EGLConfig config = nullptr;
    if (!chooseConfig(s.display, TGLPanel::requestedFormat(), config)) {
        error = "no offscreen OpenGL: EGL has no configuration for desktop OpenGL";
        return false;
    }
    // No version or profile asked: the compatibility context that OpenGL 1.1 calls need.
    s.context = eglCreateContext(s.display, config, EGL_NO_CONTEXT, nullptr);
    if (s.context == EGL_NO_CONTEXT) {
        error = eglFailure("eglCreateContext");
        return false;
    }

    // GLVND keeps one current context per thread across GLX and EGL.
    if (QOpenGLContext* qt = QOpenGLContext::currentContext()) {
        s.previous = qt;
        s.previousSurface = qt->surface();
        qt->doneCurrent();
    }
    // Current without a surface first, to learn the largest size the GL can draw before a
    // buffer of that size is asked for.
    if (!eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context)) {
        error = eglFailure("eglMakeCurrent");
        return false;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize ||
        width > maxViewport[0] || height > maxViewport[1]) {
        error = "picture size " + std::to_string(width) + " x " + std::to_string(height) +
                " is outside 1 x 1 to " + std::to_string(std::min(maxSize, maxViewport[0])) +
                " x " + std::to_string(std::min(maxSize, maxViewport[1]));
        return false;
    }

    // A pbuffer, not a framebuffer object: the GL draws into window-system buffers top row
    // first, its viewport turned upside down, and into framebuffer objects bottom row first.
    // Edges and lines that fall on pixel centres then land on other pixels and interpolated
    // colours round the other way, so only a buffer of the window's own kind gives the
    // window's frame pixel for pixel. Its config follows the view's format besides.
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    s.surface = eglCreatePbufferSurface(s.display, config, surfaceAttributes);
    if (s.surface == EGL_NO_SURFACE) {
        error = "no offscreen OpenGL: a " + std::to_string(width) + " x " +
                std::to_string(height) + " buffer cannot be made (" +
                eglFailure("eglCreatePbufferSurface") + ")";
        return false;
    }
    EGLint madeWidth = 0, madeHeight = 0;
    eglQuerySurface(s.display, s.surface, EGL_WIDTH, &madeWidth);
    eglQuerySurface(s.display, s.surface, EGL_HEIGHT, &madeHeight);
    if (madeWidth != width || madeHeight != height) {
        error = "no offscreen OpenGL: a " + std::to_string(width) + " x " +
                std::to_string(height) + " buffer was asked for, " +
                std::to_string(madeWidth) + " x " + std::to_string(madeHeight) + " given";
        return false;
    }
    if (!eglMakeCurrent(s.display, s.surface, s.surface, s.context)) {
        error = eglFailure("eglMakeCurrent");
        return false;
    }
    return true;
}

QImage OffscreenContext::read() const
{
    if (!state_ || state_->surface == EGL_NO_SURFACE)
        return {};
    QImage image(state_->width, state_->height, QImage::Format_RGBA8888);
    if (image.isNull())
        return image;
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, state_->width, state_->height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    // GL rows run bottom up; the colours are opaque whatever alpha the buffer holds.
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
}
