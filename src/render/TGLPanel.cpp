#include "TGLPanel.h"

#include <QOpenGLContext>
#include <QTimer>
#include <QSurfaceFormat>
#include <cmath>

TGLPanel::TGLPanel(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(requestedFormat());
    // Frames drawn outside a paint request must survive until they are shown.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    // The frame is drawn over the whole panel: nothing is erased beforehand, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
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
    return format;
}

bool TGLPanel::makeContextCurrent()
{
    if (!isValid())
        return false;
    makeCurrent();
    return QOpenGLContext::currentContext() == context();
}

bool TGLPanel::beginFrame()
{
    return makeContextCurrent();
}

void TGLPanel::endFrame()
{
    if (inPaint_)
        return; // the paint request presents it
    frameCurrent_ = true;
    update();
}

int TGLPanel::deviceWidth() const
{
    return static_cast<int>(std::lround(width() * devicePixelRatioF()));
}

int TGLPanel::deviceHeight() const
{
    return static_cast<int>(std::lround(height() * devicePixelRatioF()));
}

void TGLPanel::initializeGL()
{
    if (OnContextCreated)
        OnContextCreated();
}

void TGLPanel::resizeGL(int width, int height)
{
    frameCurrent_ = false;
    if (OnResize)
        OnResize(width, height);
}

void TGLPanel::paintGL()
{
    if (frameCurrent_) {
        frameCurrent_ = false;
        return;
    }
    inPaint_ = true;
    if (OnPaint)
        OnPaint();
    inPaint_ = false;
}

void TGLPanel::paintEvent(QPaintEvent* event)
{
    // The first paint creates the context; when that fails no GL call will ever run, and
    // the owner is told once, after this paint, so that it can say so.
    QOpenGLWidget::paintEvent(event);
    if (!isValid() && !failureReported_) {
        failureReported_ = true;
        QTimer::singleShot(0, this, [this] {
            if (OnContextFailed)
                OnContextFailed();
        });
    }
}
