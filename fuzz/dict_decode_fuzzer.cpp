// Arbitrary bytes through the decoder. The first four bytes (little-endian)
// choose the destination capacity, the rest is the stream. Beyond not
// crashing, the decoder must never write past the capacity, its result must
// not depend on the capacity, a smaller capacity must give exactly the
// leading bytes of a larger one, and the dictionary must stay within its
// limits (13-bit codes, 8192 codes, strings of at most 100 bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "archive/archive_set.h"
#include "archive/dict_decoder.h"
#include "fuzz_check.h"

using tarnwick::fuzz::Check;

namespace {

constexpr std::uint32_t kMaxCapacity = 1u << 20;
constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kFill = 0x5A;

// An exact-size block plus a filled guard behind it: ASan sees writes past
// the guard, the guard check sees writes into it on any build.
struct Destination {
    explicit Destination(std::uint32_t capacity)
        : size(capacity), bytes(std::make_unique_for_overwrite<std::uint8_t[]>(capacity + kGuard))
    {
        // The whole block is filled so that bytes the decoder did not write
        // compare equal between two destinations.
        std::memset(bytes.get(), kFill, capacity + kGuard);
    }
    bool GuardIntact() const
    {
        return std::all_of(bytes.get() + size, bytes.get() + size + kGuard,
                           [](std::uint8_t b) { return b == kFill; });
    }
    std::uint32_t size;
    std::unique_ptr<std::uint8_t[]> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t capacity = tarnwick::fuzz::TakeLe(data, size, 4) % (kMaxCapacity + 1);
    if (size > std::numeric_limits<std::uint32_t>::max())
        return 0;
    const auto length = static_cast<std::uint32_t>(size);
    // Past the most a stream of this length can give, a larger capacity
    // changes nothing; keeping it close saves filling a megabyte per run.
    capacity = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(capacity, tarnwick::MaxDecodedSize(length) + kGuard));

    // One decoder reused for every input, as the archive set does: a decode
    // that leaned on the previous one's dictionary would differ below.
    static tarnwick::CDictDecoder* const decoder = new tarnwick::CDictDecoder();

    Destination full(capacity);
    const bool result = decoder->Decode(data, length, full.bytes.get(), capacity);
    Check(full.GuardIntact(), "decoder wrote past the capacity");
    Check(decoder->CodeWidth() <= 13, "code width above 13 bits");
    Check(decoder->NextCode() <= 8192, "next code above 8192");
    for (std::uint32_t code = decoder->NextCode(); code-- > 256 && code + 8 >= decoder->NextCode();)
        Check(decoder->DictString(code).size() <= 100, "dictionary string longer than 100 bytes");
    if (length == 0)
        Check(result && full.bytes[0] == kFill, "empty input must give true and write nothing");

    // Capacity 0 writes nothing, so no destination is needed at all.
    Check(decoder->Decode(data, length, nullptr, 0) == result,
          "result changed with capacity 0");

    const std::uint32_t smaller = capacity / 2;
    Destination part(smaller);
    Check(decoder->Decode(data, length, part.bytes.get(), smaller) == result,
          "result changed with a smaller capacity");
    Check(part.GuardIntact(), "decoder wrote past the smaller capacity");
    Check(std::memcmp(part.bytes.get(), full.bytes.get(), smaller) == 0,
          "a smaller capacity did not give the leading bytes");
    return 0;
}
