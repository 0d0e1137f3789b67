// A file opened for reading, closed when the object goes.
#pragma once

#include <cstdint>
#include <string>

#include "host/failure.h"

namespace tarnwick {

class CHostFile {
public:
    CHostFile() = default;
    ~CHostFile();
    CHostFile(const CHostFile&) = delete;
    CHostFile& operator=(const CHostFile&) = delete;

    // Regular files only: a folder, FIFO or device is refused without
    // blocking.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd >= 0; }
    std::uint64_t Size() const { return size; }
    bool Seek(std::uint64_t offset);
    // Reads up to count bytes; gives the number read, short at the end of
    // the file or on an error.
    std::uint64_t Read(void* dst, std::uint64_t count);
    // The same from offset, leaving the file position alone: one call where
    // Seek and Read take two, for readers of many entries.
    std::uint64_t ReadAt(std::uint64_t offset, void* dst, std::uint64_t count);

    // Why the last Open, Seek or Read fell short, named after subject (the
    // path as the user should see it).
    Failure_T Failure(std::string subject) const;

private:
    int fd = -1;
    std::uint64_t size = 0;
    int error = 0;            // errno of the last failure, 0 for none
    bool notRegular = false;  // the last Open found something else than a file
};

}  // namespace tarnwick
