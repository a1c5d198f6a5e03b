#pragma once

#include <QImage>
#include <QString>
#include <QWindow>
#include <functional>

class QOpenGLContext;

// The view panel: a native window with an OpenGL context of its own, placed among the
// widgets through a window container. A frame is what the owner draws plus one buffer
// swap of this window alone, so drawing never makes the rest of the main window repaint.
// A paint request (exposure, or the repaint that follows a resize) draws through OnPaint;
// a resize sets the projection and draws nothing itself.
class TGLPanel : public QWindow {
    Q_OBJECT
public:
    // What went wrong while the context was being made, once, after the panel's events.
    enum class ContextFault { NoSurface, NoContext, NotCurrent };

    explicit TGLPanel(QWindow* parent = nullptr);
    ~TGLPanel() override;

    // The surface format the panel asks for: double-buffered RGBA, 32-bit depth request,
    // no alpha, no stencil, compatibility profile for OpenGL 1.1 calls.
    static QSurfaceFormat requestedFormat();

    std::function<void()> OnPaint;                         // draws one frame
    std::function<void()> OnContextCreated;                // the GL steps of start-up
    std::function<void(int width, int height)> OnResize;   // logical size, context current
    std::function<void(ContextFault)> OnContextFault;

    // Makes the context current for drawing; false without one.
    bool beginFrame();
    // Presents the frame just drawn: one swap of this window's buffers, with a copy of the
    // frame kept for presentKeptFrame(). False when nothing could be presented.
    bool endFrame();
    // Presents the last frame presented once more, from the kept copy, without drawing it:
    // for a paint request that finds the picture unchanged. False when there is no kept
    // copy of the view's present size, and the owner must draw.
    bool presentKeptFrame();
    // Makes the context current for other GL work (texture uploads); false without one.
    bool makeContextCurrent();

    bool isValid() const;
    QOpenGLContext* context() const { return context_; }
    // The frame the panel shows now, in device pixels: read from the presented buffer,
    // not from the one being drawn.
    QImage grabFramebuffer();
    // Frames presented so far.
    long framesPresented() const { return framesPresented_; }

    int deviceWidth() const;
    int deviceHeight() const;
    qreal devicePixelRatioF() const { return devicePixelRatio(); }

signals:
    // A frame has just been swapped onto the screen (as QOpenGLWindow has it).
    void frameSwapped();

protected:
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool ensureContext();
    void paint();
    void reportFault(ContextFault fault);
    void keepFrame();
    void copyFrame(unsigned targetFramebuffer, unsigned sourceFramebuffer);

    QOpenGLContext* context_ = nullptr;
    bool contextTried_ = false;
    bool resizePending_ = true;
    long framesPresented_ = 0;
    // The copy of the last frame presented: a colour renderbuffer of its own, so that it takes
    // no texture name and touches no texture binding of the scene's.
    unsigned keptFramebuffer_ = 0;
    unsigned keptColor_ = 0;
    QSize keptSize_;
    bool keptValid_ = false;
};
