// The fast decoder against the reference decoder: for every stream both
// must give the same result, write the same bytes (and nothing else) at
// every capacity, and leave the same dictionary behind.
//
// The first byte chooses the stream (bits 0-1) and the capacity (bits 2-7):
//   0  the rest of the input as it is;
//   1  the rest encoded by the encoder;
//   2  two bytes of length (up to 24 KiB), then content stitched from the
//      rest and encoded, long enough to fill all 8192 codes and recycle them;
//   3  as 2, then damaged: bits flipped, cut short or both.
// The capacity is the chosen 32nds of the decoded size, from 0 to nearly
// twice that size; capacity 0 and room to spare are always tried as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/dict_decoder.h"
#include "devkit/dict_encoder.h"
#include "devkit/dict_reference_decoder.h"
#include "fuzz_check.h"
#include "stitch.h"

using tarnwick::fuzz::Check;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kGuard = 64;
// Decoded sizes are measured up to here; a stream that gives more is
// compared on its first kProbe bytes.
constexpr std::uint32_t kProbe = 1u << 20;
// Enough to recycle every code a few times; longer content only slows the
// fuzzer down, since each input is decoded six or seven times.
constexpr std::size_t kMaxStitched = 24u << 10;

void Damage(Bytes& stream, std::uint64_t seed)
{
    if (stream.empty())
        return;
    tarnwick::CSplitMix64 random(seed);
    const std::uint64_t how = random.Next() % 3;
    if (how != 1) {
        for (std::uint64_t k = 0, n = 1 + random.Next() % 4; k < n; ++k) {
            const std::uint64_t bit = random.Next() % (stream.size() * 8);
            stream[bit / 8] ^= static_cast<std::uint8_t>(0x80u >> (bit % 8));
        }
    }
    if (how != 0)
        stream.resize(random.Next() % stream.size());
}

struct Outcome {
    bool ok;
    std::uint32_t written;
    Bytes block;  // capacity plus the guard
};

template <typename Decoder>
Outcome Run(Decoder& decoder, const Bytes& stream, std::uint32_t capacity)
{
    Outcome o{false, 0, Bytes(capacity + kGuard, 0xA5)};
    // Capacity 0 is decoded into no destination at all, as callers may.
    std::uint8_t* const dst = capacity == 0 ? nullptr : o.block.data();
    o.ok = decoder.Decode(stream.data(), static_cast<std::uint32_t>(stream.size()), dst, capacity,
                          &o.written);
    return o;
}

void Compare(tarnwick::CDictDecoder& fast, tarnwick::CDictReferenceDecoder& reference,
             const Bytes& stream, std::uint32_t capacity)
{
    const Outcome want = Run(reference, stream, capacity);
    const Outcome got = Run(fast, stream, capacity);
    Check(got.ok == want.ok, "result differs from the reference");
    Check(got.written == want.written, "byte count differs from the reference");
    Check(got.block == want.block, "bytes differ from the reference (or written past the capacity)");
    Check(fast.NextCode() == reference.NextCode(), "next code differs from the reference");
    Check(fast.CodeWidth() == reference.CodeWidth(), "code width differs from the reference");
    // The newest strings and a spread of the others; all of them would
    // slow the fuzzer down more than they add.
    const std::uint32_t next = reference.NextCode();
    for (std::uint32_t code = next; code-- > 256 && code + 16 >= next;)
        Check(fast.DictString(code) == reference.DictString(code), "a new string differs from the reference");
    for (std::uint32_t code = 256; code < next; code += 509)
        Check(fast.DictString(code) == reference.DictString(code), "a string differs from the reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t mode = tarnwick::fuzz::TakeLe(data, size, 1);
    const std::uint32_t kind = mode & 3u;
    const std::uint32_t share = mode >> 2;

    static tarnwick::CDictEncoder* const encoder = new tarnwick::CDictEncoder();
    Bytes stream;
    std::uint32_t decoded = 0;  // the size of the whole output, once known
    if (kind == 0) {
        stream.assign(data, data + size);
    } else if (kind == 1) {
        stream = encoder->Encode({data, size});
        decoded = static_cast<std::uint32_t>(size);
    } else {
        const std::size_t length = tarnwick::fuzz::TakeLe(data, size, 2) % kMaxStitched + 1u;
        const Bytes content = tarnwick::fuzz::Stitch({data, size}, length);
        stream = encoder->Encode(content);
        decoded = static_cast<std::uint32_t>(content.size());
        if (kind == 3)
            Damage(stream, tarnwick::fuzz::Fnv1a({data, size}) ^ length);
    }

    // One of each reused for every input, as the archive set keeps its
    // decoder: a fast decoder that leaned on an earlier decode would differ.
    static tarnwick::CDictDecoder* const fast = new tarnwick::CDictDecoder();
    static tarnwick::CDictReferenceDecoder* const reference = new tarnwick::CDictReferenceDecoder();
    if (kind == 0 || kind == 3) {
        static Bytes* const probe = new Bytes(kProbe);
        reference->Decode(stream.data(), static_cast<std::uint32_t>(stream.size()), probe->data(), kProbe, &decoded);
    }

    Compare(*fast, *reference, stream, 0);
    Compare(*fast, *reference, stream, static_cast<std::uint32_t>(std::uint64_t{decoded} * share / 32));
    Compare(*fast, *reference, stream, decoded + 1);
    return 0;
}
