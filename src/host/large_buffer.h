// A large zero-filled buffer straight from the kernel, which may back it
// with huge pages: a buffer written once from end to end then takes one
// page fault per 2 MiB instead of one per 4 KiB page.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

class CLargeBuffer {
public:
    CLargeBuffer() = default;
    ~CLargeBuffer();
    CLargeBuffer(const CLargeBuffer&) = delete;
    CLargeBuffer& operator=(const CLargeBuffer&) = delete;

    // size bytes of zeros, the previous ones given back. False, with errno
    // set and no buffer, when the memory cannot be had.
    bool Allocate(std::size_t size);
    std::uint8_t* Data() const { return data; }
    std::size_t Size() const { return size; }

private:
    void Release();

    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    void* mapping = nullptr;  // the whole mapping, from before the alignment
    std::size_t mappingSize = 0;
};

}  // namespace tarnwick
