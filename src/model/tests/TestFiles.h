#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeBytes(const std::string& fileName, const Bytes& bytes);
Bytes readBytes(const std::string& fileName);
std::vector<std::string> listFolder(const std::string& folder);

void putLe32(Bytes& bytes, std::size_t at, uint32_t value);
void putLe16(Bytes& bytes, std::size_t at, uint16_t value);
