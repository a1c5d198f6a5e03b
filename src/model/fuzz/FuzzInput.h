#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// The readers take file names, so each input is written to one file per process first.
inline const std::string& fuzzInputFile(const uint8_t* data, std::size_t size)
{
    static const std::string name = [] {
        // Memory-backed when the system has it: the write is most of the cost of a run.
        std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/vorlan-fuzz-XXXXXX"
                                                             : "/tmp/vorlan-fuzz-XXXXXX";
        int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        return pattern;
    }();
    FILE* out = std::fopen(name.c_str(), "wb");
    if (!out || (size > 0 && std::fwrite(data, 1, size, out) != size) || std::fclose(out) != 0)
        std::abort();
    return name;
}
