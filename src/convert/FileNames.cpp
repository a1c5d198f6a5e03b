#include "FileNames.h"

#include <cstring>

std::string FolderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemReason(int errorNumber)
{
    return std::strerror(errorNumber);
}
