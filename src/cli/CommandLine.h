#pragma once

#include <string>
#include <vector>

// --help and --version win over every other argument, wherever they stand before "--", so a
// mistake elsewhere on the line never hides the help asked for.
enum class InfoRequest { None, Help, Version };

// The first of -h, --help, -V and --version among the arguments after the program name.
InfoRequest FindInfoRequest(const std::vector<std::string>& arguments);
InfoRequest FindInfoRequest(int argc, char** argv);
