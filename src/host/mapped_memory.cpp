#include "host/mapped_memory.h"

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

#include <cerrno>
#include <limits>

namespace tarnwick {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// After each arena block, poisoned, so that the address sanitizer sees a
// block overrun; nothing without it.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kRedZone = 64;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::size_t kRedZone = 64;
#else
constexpr std::size_t kRedZone = 0;
#endif
#else
constexpr std::size_t kRedZone = 0;
#endif
constexpr std::size_t kBlockAlign = alignof(std::max_align_t);

struct Mapping_T {
    void* mapping = nullptr;
    std::size_t mappingSize = 0;
    std::uint8_t* start = nullptr;  // on a huge-page boundary when size allows
};

// size bytes of zeros (size > 0); huge pages asked for when size allows.
// reserveOnly maps address space without counting it against the memory
// the system has promised (the arena touches only what it hands out).
bool MapZeros(std::size_t size, bool reserveOnly, Mapping_T& m)
{
    const bool huge = size >= kHugePage;
    const std::size_t slack = huge ? kHugePage : 0;
    if (size > std::numeric_limits<std::size_t>::max() - slack) {
        errno = ENOMEM;
        return false;
    }
    void* const p = ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | (reserveOnly ? MAP_NORESERVE : 0), -1, 0);
    if (p == MAP_FAILED)
        return false;
    auto start = reinterpret_cast<std::uintptr_t>(p);
    if (huge) {
        start = (start + kHugePage - 1) & ~(kHugePage - 1);
        // Only a hint: without transparent huge pages it fails, and the
        // memory works the same with small pages.
        ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
    }
    m = {p, size + slack, reinterpret_cast<std::uint8_t*>(start)};
    return true;
}

}  // namespace

CLargeBuffer::~CLargeBuffer() { Release(); }

void CLargeBuffer::Release()
{
    if (mapping)
        ::munmap(mapping, mappingSize);
    data = nullptr;
    size = 0;
    mapping = nullptr;
    mappingSize = 0;
}

bool CLargeBuffer::Allocate(std::size_t wanted)
{
    Release();
    if (wanted == 0)
        return true;
    Mapping_T m;
    if (!MapZeros(wanted, false, m))
        return false;
    mapping = m.mapping;
    mappingSize = m.mappingSize;
    data = m.start;
    size = wanted;
    return true;
}

CMappedArena::CMappedArena(std::size_t wanted)
{
    Mapping_T m;
    if (wanted == 0 || !MapZeros(wanted, true, m))
        return;
    mapping = m.mapping;
    mappingSize = m.mappingSize;
    base = m.start;
    capacity = wanted;
}

CMappedArena::~CMappedArena()
{
    if (!mapping)
        return;
    ASAN_UNPOISON_MEMORY_REGION(base, used.load());
    ::munmap(mapping, mappingSize);
}

void* CMappedArena::Allocate(std::size_t size)
{
    if (size > capacity)
        return nullptr;
    const std::size_t span = (size + kRedZone + kBlockAlign - 1) & ~(kBlockAlign - 1);
    std::size_t at = used.load(std::memory_order_relaxed);
    do {
        if (span > capacity - at)
            return nullptr;
    } while (!used.compare_exchange_weak(at, at + span, std::memory_order_relaxed));
    // Whole granules poisoned, then the block's own bytes let through: the
    // sanitizer marks a granule's addressable start exactly, not its end.
    ASAN_POISON_MEMORY_REGION(base + at, span);
    ASAN_UNPOISON_MEMORY_REGION(base + at, size);
    return base + at;
}

}  // namespace tarnwick
