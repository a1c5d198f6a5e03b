#pragma once

#include <string>
#include <thread>

// Loads the Mesa driver library on a second thread while the window is being built. Loading
// it (and the code generator it links) is the largest single step of the view's first show;
// done ahead, the view's own load finds it in memory. The thread is joined when the object
// goes. Nothing happens when the library is not where Mesa keeps it.
class GlDriverPreload {
public:
    GlDriverPreload();
    ~GlDriverPreload();
    GlDriverPreload(const GlDriverPreload&) = delete;
    GlDriverPreload& operator=(const GlDriverPreload&) = delete;

    // The library loaded: the first folder of LIBGL_DRIVERS_PATH when that is set, as Mesa's
    // own loader takes it, else the folder Mesa was found in when the program was built.
    // Every Gallium driver there is one file under many names, so any of them will do.
    static std::string driverFile();

    // Waits for the load to end; true when the library is now loaded.
    bool wait();

private:
    std::thread thread_;
    bool loaded_ = false;
};
