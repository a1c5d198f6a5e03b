#pragma once

#include <QImage>
#include <string>

// An OpenGL compatibility context with a framebuffer of its own and no display at all:
// EGL on Mesa's surfaceless platform, drawing into a pbuffer of the format the window's view
// asks for, so that the scene comes out as the view shows it. While it lives it
// is current on the calling thread, so GL calls made through libGL reach it (GLVND hands
// them to the vendor of the current context). A Qt context current on the thread when it
// is made is released and made current again when it goes.
class OffscreenContext {
public:
    OffscreenContext() = default;
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;
    ~OffscreenContext();

    // Makes the context and a width x height colour and depth buffer, and makes them
    // current. False with a one-line reason when the platform offers no such context.
    bool create(int width, int height, std::string& error);

    // The colour buffer as it stands, top row first.
    QImage read() const;

private:
    struct State;
    State* state_ = nullptr;
};
