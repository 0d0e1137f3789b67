#include "host/large_buffer.h"

#include <sys/mman.h>

#include <cerrno>
#include <limits>

namespace tarnwick {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

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
    // Room to start on a huge-page boundary; small buffers are not worth it.
    const bool huge = wanted >= kHugePage;
    const std::size_t slack = huge ? kHugePage : 0;
    if (wanted > std::numeric_limits<std::size_t>::max() - slack) {
        errno = ENOMEM;
        return false;
    }
    void* const m = ::mmap(nullptr, wanted + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return false;
    mapping = m;
    mappingSize = wanted + slack;
    auto start = reinterpret_cast<std::uintptr_t>(m);
    if (huge) {
        start = (start + kHugePage - 1) & ~(kHugePage - 1);
        // Only a hint: without transparent huge pages it fails, and the
        // buffer works the same with small pages.
        ::madvise(reinterpret_cast<void*>(start), wanted, MADV_HUGEPAGE);
    }
    data = reinterpret_cast<std::uint8_t*>(start);
    size = wanted;
    return true;
}

}  // namespace tarnwick
