#include "CommandLine.h"

InfoRequest FindInfoRequest(const std::vector<std::string>& arguments)
{
    for (const std::string& a : arguments) {
        if (a == "--")
            break;
        if (a == "-h" || a == "--help")
            return InfoRequest::Help;
        if (a == "-V" || a == "--version")
            return InfoRequest::Version;
    }
    return InfoRequest::None;
}

InfoRequest FindInfoRequest(int argc, char** argv)
{
    return FindInfoRequest(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
