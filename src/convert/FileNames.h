#pragma once

#include <string>

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);
// The system's text for an errno value.
std::string SystemReason(int errorNumber);
