#include "TGLPanel.h"

#include <QExposeEvent>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>
#include <cmath>

TGLPanel::TGLPanel(QWindow* parent) : QWindow(parent)
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(requestedFormat());
    // The view takes no input: clicks and keys stay with the main window's widgets, which
    // keep the focus, and the window manager never activates the view on its own.
    setFlags(flags() | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
}

TGLPanel::~TGLPanel()
{
    // No context current, then the context goes, before the window it was made on.
    if (context_) {
        if ((keptFramebuffer_ || keptColor_) && context_->makeCurrent(this)) {
            QOpenGLExtraFunctions* gl = context_->extraFunctions();
            gl->glDeleteFramebuffers(1, &keptFramebuffer_);
            gl->glDeleteRenderbuffers(1, &keptColor_);
        }
        context_->doneCurrent();
        delete context_;
    }
}

QSurfaceFormat TGLPanel::requestedFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(0);
    // Frames are drawn when something changed, never paced by the display.
    format.setSwapInterval(0);
    return format;
}

bool TGLPanel::isValid() const
{
    return context_ && context_->isValid();
}

void TGLPanel::reportFault(ContextFault fault)
{
    // Shown after the event that found it has been handled, so that no message box runs
    // inside an exposure or a paint.
    QTimer::singleShot(0, this, [this, fault] {
        if (OnContextFault)
            OnContextFault(fault);
    });
}

bool TGLPanel::ensureContext()
{
    if (context_ || contextTried_)
        return isValid();
    if (!handle())
        return false;   // the native window comes with the first show; tried again then
    contextTried_ = true;
    context_ = new QOpenGLContext(this);
    context_->setFormat(requestedFormat());
    if (!context_->create()) {
        reportFault(ContextFault::NoContext);
        return false;
    }
    if (!context_->makeCurrent(this)) {
        reportFault(ContextFault::NotCurrent);
        return false;
    }
    if (OnContextCreated)
        OnContextCreated();
    return true;
}

bool TGLPanel::makeContextCurrent()
{
    return ensureContext() && context_->makeCurrent(this);
}

bool TGLPanel::beginFrame()
{
    if (!makeContextCurrent())
        return false;
    if (resizePending_) {
        resizePending_ = false;
        if (OnResize)
            OnResize(width(), height());
    }
    return true;
}

bool TGLPanel::endFrame()
{
    // A window that is not on the screen has nothing to present to; its next exposure
    // draws anew.
    keptValid_ = false;
    if (!context_ || !isExposed())
        return false;
    keepFrame();
    context_->swapBuffers(this);
    ++framesPresented_;
    emit frameSwapped();
    return true;
}

// After a swap the back buffer's contents are undefined (a GPU driver hands out another
// buffer), so the frame is copied aside before it: an exposure that only needs the same
// picture again then costs one copy instead of a whole scene.
void TGLPanel::keepFrame()
{
    const QSize size(deviceWidth(), deviceHeight());
    if (size.isEmpty() || (context_->format().majorVersion() < 3 &&
                           !context_->hasExtension("GL_ARB_framebuffer_object")))
        return;
    QOpenGLExtraFunctions* gl = context_->extraFunctions();
    if (!keptFramebuffer_) {
        gl->glGenFramebuffers(1, &keptFramebuffer_);
        gl->glGenRenderbuffers(1, &keptColor_);
    }
    if (size != keptSize_) {
        gl->glBindRenderbuffer(GL_RENDERBUFFER, keptColor_);
        gl->glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.width(), size.height());
        gl->glBindRenderbuffer(GL_RENDERBUFFER, 0);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, keptFramebuffer_);
        gl->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                      keptColor_);
        const bool complete = gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
        keptSize_ = complete ? size : QSize();
        if (!complete)
            return;
    }
    copyFrame(keptFramebuffer_, 0);
    keptValid_ = true;
}

bool TGLPanel::presentKeptFrame()
{
    if (!keptValid_ || resizePending_ || !isExposed() || !context_->makeCurrent(this) ||
        keptSize_ != QSize(deviceWidth(), deviceHeight()))
        return false;
    copyFrame(0, keptFramebuffer_);
    context_->swapBuffers(this);
    ++framesPresented_;
    emit frameSwapped();
    return true;
}

// Colour only, pixel for pixel; the scissor test is the one state a copy obeys.
void TGLPanel::copyFrame(unsigned target, unsigned source)
{
    QOpenGLExtraFunctions* gl = context_->extraFunctions();
    const GLboolean scissor = gl->glIsEnabled(GL_SCISSOR_TEST);
    if (scissor)
        gl->glDisable(GL_SCISSOR_TEST);
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    const int w = keptSize_.width(), h = keptSize_.height();
    gl->glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (scissor)
        gl->glEnable(GL_SCISSOR_TEST);
}

void TGLPanel::paint()
{
    if (!isExposed())
        return;
    if (!handle()) {
        reportFault(ContextFault::NoSurface);
        return;
    }
    if (beginFrame() && OnPaint)
        OnPaint();
}

void TGLPanel::exposeEvent(QExposeEvent*)
{
    paint();
}

void TGLPanel::resizeEvent(QResizeEvent* event)
{
    QWindow::resizeEvent(event);
    // Viewport and projection follow at once when there is a context; the frame comes
    // from the paint request that a resize brings, as for any other window.
    if (isValid() && context_->makeCurrent(this)) {
        resizePending_ = false;
        if (OnResize)
            OnResize(event->size().width(), event->size().height());
    } else {
        resizePending_ = true;
    }
    requestUpdate();
}

bool TGLPanel::event(QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest) {
        paint();
        return true;
    }
    return QWindow::event(event);
}

int TGLPanel::deviceWidth() const
{
    return static_cast<int>(std::lround(width() * devicePixelRatio()));
}

int TGLPanel::deviceHeight() const
{
    return static_cast<int>(std::lround(height() * devicePixelRatio()));
}

QImage TGLPanel::grabFramebuffer()
{
    // The window system's copy of the window: what was presented, not the buffer that the
    // next frame is drawn into.
    if (!handle() || !screen())
        return {};
    QImage image = screen()->grabWindow(winId()).toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}
