#pragma once

#include <QOpenGLWidget>
#include <functional>

// The view panel: an OpenGL surface whose frames are drawn by the owner. A frame drawn
// outside a paint request is kept and shown as it is; a paint request draws only when
// the panel holds no current frame (first show, resize, exposure after a lost buffer).
class TGLPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TGLPanel(QWidget* parent = nullptr);

    // The surface format the panel asks for: double-buffered RGBA, 32-bit depth request,
    // no alpha, no stencil, compatibility profile for OpenGL 1.1 calls.
    static QSurfaceFormat requestedFormat();

    std::function<void()> OnPaint;                         // draws one frame
    std::function<void()> OnContextCreated;                // the GL steps of start-up
    std::function<void(int width, int height)> OnResize;   // logical size, context current
    std::function<void()> OnContextFailed;                 // no context could be made, once

    // Makes the context current for drawing outside a paint request; false without one.
    bool beginFrame();
    // Marks the frame just drawn as current and has it presented.
    void endFrame();
    // Makes the context current for other GL work (texture uploads); false without one.
    bool makeContextCurrent();

    int deviceWidth() const;
    int deviceHeight() const;

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool frameCurrent_ = false;
    bool inPaint_ = false;
    bool failureReported_ = false;
};
