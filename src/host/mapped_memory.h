// Large zero-filled memory straight from the kernel, which may back it with
// huge pages: memory written once from end to end then takes one page fault
// per 2 MiB instead of one per 4 KiB page (and fewer TLB misses after).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

// One buffer.
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

// Many blocks carved one after the other from one reservation of address
// space, all given back together when the arena goes: for tables that are
// filled once and dropped together. Only the pages used take memory.
class CMappedArena {
public:
    explicit CMappedArena(std::size_t capacity);
    ~CMappedArena();
    CMappedArena(const CMappedArena&) = delete;
    CMappedArena& operator=(const CMappedArena&) = delete;

    // size bytes of zeros, aligned for any scalar; nullptr when the arena
    // has no room left (or got no address space), so that the caller takes
    // the heap instead. Safe to call from several threads at once. Under the
    // address sanitizer the bytes after each block are poisoned.
    void* Allocate(std::size_t size);
    std::size_t Capacity() const { return capacity; }

private:
    std::uint8_t* base = nullptr;
    std::size_t capacity = 0;
    std::atomic<std::size_t> used{0};
    void* mapping = nullptr;
    std::size_t mappingSize = 0;
};

}  // namespace tarnwick
