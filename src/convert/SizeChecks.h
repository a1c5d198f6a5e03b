#pragma once

#include <cstdint>
#include <string>

// The import library sizes its arrays by the counts a file states, and inflates archives
// whole, before it finds out that the file cannot hold what it says. These checks read
// only the headers (PLY's element counts, glTF's buffer lengths, a zip archive's directory)
// and compare the claims with the file's size and with the memory there is. False with a
// reason when a file claims more than it can hold or more than memory allows; files of
// other kinds, or headers too broken to read, are left to the library. Buffers larger than
// the data of the most faces an object may have are refused whatever the memory.
bool CheckSizeClaims(const std::string& fileName, uint64_t memory, uint64_t mostFaces,
                     std::string& error);

// Holds the process's data (heap and private mappings) to what it uses now plus the given
// bytes while it lives, so that an allocation beyond the budget fails inside the import
// library as any other lack of memory would, instead of taking the machine.
class DataLimit {
public:
    explicit DataLimit(uint64_t bytes);
    ~DataLimit();
    DataLimit(const DataLimit&) = delete;
    DataLimit& operator=(const DataLimit&) = delete;

private:
    bool set_ = false;
    uint64_t before_ = 0;
};
