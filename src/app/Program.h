#pragma once

#include <functional>

class TVorlanForm;

// The program's start and run: the heap set up, the view's pixel format, the application,
// the window built, placed and shown, then the event loop. `beforeShow` sees the window just
// before it is shown (the start-up benchmark watches for its first frame there).
int RunProgram(int argc, char** argv, const std::function<void(TVorlanForm&)>& beforeShow = {});
