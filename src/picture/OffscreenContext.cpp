#include "OffscreenContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <QOpenGLContext>
#include <QPointer>
#include <QSurface>
#include <cstring>

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

template <typename F> bool resolve(F& function, const char* name)
{
    function = reinterpret_cast<F>(eglGetProcAddress(name));
    return function != nullptr;
}

} // namespace

struct OffscreenContext::State {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {0, 0};
    int width = 0;
    int height = 0;

    // The Qt context that was current before, given back afterwards.
    QPointer<QOpenGLContext> previous;
    QSurface* previousSurface = nullptr;

    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool resolveFramebufferFunctions()
    {
        return resolve(genFramebuffers, "glGenFramebuffers") &&
               resolve(bindFramebuffer, "glBindFramebuffer") &&
               resolve(deleteFramebuffers, "glDeleteFramebuffers") &&
               resolve(genRenderbuffers, "glGenRenderbuffers") &&
               resolve(bindRenderbuffer, "glBindRenderbuffer") &&
               resolve(deleteRenderbuffers, "glDeleteRenderbuffers") &&
               resolve(renderbufferStorage, "glRenderbufferStorage") &&
               resolve(framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               resolve(checkFramebufferStatus, "glCheckFramebufferStatus");
    }

    ~State()
    {
        if (display == EGL_NO_DISPLAY)
            return;
        if (context != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == context) {
                if (framebuffer) {
                    bindFramebuffer(GL_FRAMEBUFFER, 0);
                    deleteFramebuffers(1, &framebuffer);
                }
                if (renderbuffers[0])
                    deleteRenderbuffers(2, renderbuffers);
                eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            }
            eglDestroyContext(display, context);
        }
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

    // The buffers are our own framebuffer object; the config only has to be one the
    // desktop GL can use (the surfaceless platform's are all pbuffer configs).
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(s.display, configAttributes, &config, 1, &configs) || configs < 1) {
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
    if (!eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context)) {
        error = eglFailure("eglMakeCurrent");
        return false;
    }
    if (!s.resolveFramebufferFunctions()) {
        error = "no offscreen OpenGL: the context has no framebuffer objects";
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

    // Colour and a 32-bit depth buffer, the depth the window's view asks for; where the view
    // gets 24 bits the pictures come out the same, which the picture test checks against the
    // view as it is made.
    s.genRenderbuffers(2, s.renderbuffers);
    s.bindRenderbuffer(GL_RENDERBUFFER, s.renderbuffers[0]);
    s.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    s.bindRenderbuffer(GL_RENDERBUFFER, s.renderbuffers[1]);
    s.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, width, height);
    s.bindRenderbuffer(GL_RENDERBUFFER, 0);
    s.genFramebuffers(1, &s.framebuffer);
    s.bindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    s.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              s.renderbuffers[0]);
    s.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              s.renderbuffers[1]);
    if (s.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "no offscreen OpenGL: a " + std::to_string(width) + " x " +
                std::to_string(height) + " framebuffer cannot be made";
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

QImage OffscreenContext::read() const
{
    if (!state_ || !state_->framebuffer)
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
