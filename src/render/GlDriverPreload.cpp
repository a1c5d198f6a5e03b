#include "GlDriverPreload.h"

#include <cstdlib>
#include <system_error>

#include <dlfcn.h>
#include <unistd.h>

GlDriverPreload::GlDriverPreload()
{
    const std::string file = driverFile();
    if (file.empty() || ::access(file.c_str(), R_OK) != 0)
        return;
    // The flags Mesa's loader opens it with, so that its own open only counts up. Without a
    // thread to be had (no memory for its stack) the view loads the driver itself.
    try {
        thread_ = std::thread([this, file] { loaded_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL); });
    } catch (const std::system_error&) {
    }
}

GlDriverPreload::~GlDriverPreload()
{
    wait();
}

bool GlDriverPreload::wait()
{
    if (thread_.joinable())
        thread_.join();
    return loaded_;
}

std::string GlDriverPreload::driverFile()
{
    std::string folder = VORLAN_DRI_DRIVER_DIR;
    if (const char* path = std::getenv("LIBGL_DRIVERS_PATH"); path && *path) {
        folder = path;
        folder = folder.substr(0, folder.find(':'));
    }
    return folder.empty() ? std::string() : folder + "/swrast_dri.so";
}
