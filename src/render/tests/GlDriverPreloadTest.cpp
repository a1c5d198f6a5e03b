#include "GlDriverPreload.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <dlfcn.h>

// The driver library is found where this machine's Mesa keeps it and is loaded ahead, so that
// the view's own load finds it in memory.
TEST(GlDriverPreload, LoadsMesasDriverLibraryAheadOfTheView)
{
    unsetenv("LIBGL_DRIVERS_PATH");
    const std::string file = GlDriverPreload::driverFile();
    ASSERT_FALSE(file.empty()) << "no Mesa driver folder was found when building";
    GlDriverPreload preload;
    EXPECT_TRUE(preload.wait());
    EXPECT_NE(dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(GlDriverPreload, TakesTheFirstFolderOfTheDriverPathAndLoadsNothingWhereThereIsNoDriver)
{
    setenv("LIBGL_DRIVERS_PATH", "/nonexistent/dri:/usr/lib", 1);
    EXPECT_EQ(GlDriverPreload::driverFile(), "/nonexistent/dri/swrast_dri.so");
    GlDriverPreload preload;
    EXPECT_FALSE(preload.wait());
    unsetenv("LIBGL_DRIVERS_PATH");
}
