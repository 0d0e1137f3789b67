// A file opened for reading, closed when the object goes.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class CHostFile {
public:
    CHostFile() = default;
    ~CHostFile();
    CHostFile(const CHostFile&) = delete;
    CHostFile& operator=(const CHostFile&) = delete;

    bool Open(const std::string& path);  // regular files only
    bool IsOpen() const { return fd >= 0; }
    std::uint64_t Size() const { return size; }
    bool Seek(std::uint64_t offset);
    // Reads up to count bytes; gives the number read, short at the end of
    // the file or on an error.
    std::uint64_t Read(void* dst, std::uint64_t count);

private:
    int fd = -1;
    std::uint64_t size = 0;
};

}  // namespace tarnwick
