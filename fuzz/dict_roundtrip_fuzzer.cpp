// The encoder and the decoder against each other. The first byte chooses
// the content: with bit 0 clear the rest of the input is the content as it
// is; with it set, the next two bytes give a length of up to 64 KiB and the
// content is stitched together from pieces of the rest, with the odd byte
// changed, so that short inputs still fill all 8192 codes, recycle them and
// build strings of the full 100 bytes.
//
// The stream must decode to exactly the content (true, equal bytes, nothing
// written behind it even when there is room), and with a smaller capacity to
// exactly the content's leading bytes, still true.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/dict_decoder.h"
#include "devkit/dict_encoder.h"
#include "fuzz_check.h"
#include "stitch.h"

using tarnwick::fuzz::Check;

namespace {

constexpr std::size_t kGuard = 64;

// Decodes into a block of capacity plus a guard filled with fill, and gives
// the result; the caller checks the block.
bool DecodeInto(tarnwick::CDictDecoder& decoder, const std::vector<std::uint8_t>& stream,
                std::vector<std::uint8_t>& block, std::size_t capacity, std::uint8_t fill)
{
    block.assign(capacity + kGuard, fill);
    return decoder.Decode(stream.data(), static_cast<std::uint32_t>(stream.size()), block.data(),
                          static_cast<std::uint32_t>(capacity));
}

bool Untouched(const std::vector<std::uint8_t>& block, std::size_t from, std::uint8_t fill)
{
    return std::all_of(block.begin() + static_cast<std::ptrdiff_t>(from), block.end(),
                       [fill](std::uint8_t b) { return b == fill; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t mode = tarnwick::fuzz::TakeLe(data, size, 1);
    std::vector<std::uint8_t> content;
    if (mode & 1u) {
        const std::size_t length = tarnwick::fuzz::TakeLe(data, size, 2) + 1u;
        content = tarnwick::fuzz::Stitch({data, size}, length);
    } else {
        content.assign(data, data + size);
    }

    static tarnwick::CDictEncoder* const encoder = new tarnwick::CDictEncoder();
    static tarnwick::CDictDecoder* const decoder = new tarnwick::CDictDecoder();
    const std::vector<std::uint8_t> stream = encoder->Encode(content);
    Check(content.empty() == stream.empty(), "empty content must give an empty stream");

    const std::size_t n = content.size();
    std::vector<std::uint8_t> block;
    Check(DecodeInto(*decoder, stream, block, n, 0xA5), "round trip gave false");
    Check(std::equal(content.begin(), content.end(), block.begin()), "round trip changed the bytes");
    Check(Untouched(block, n, 0xA5), "decoder wrote past the exact capacity");

    // With room to spare the stream must still end where the content ends;
    // two fills tell a written byte from one that only looks like the fill.
    for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        Check(DecodeInto(*decoder, stream, block, n + kGuard, fill), "round trip gave false");
        Check(Untouched(block, n, fill), "stream decodes to more than the content");
    }

    if (n > 0) {
        const std::size_t smaller = static_cast<std::size_t>(mode >> 1) * n / 128;
        Check(DecodeInto(*decoder, stream, block, smaller, 0xA5), "smaller capacity gave false");
        Check(std::equal(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(smaller),
                         block.begin()),
              "smaller capacity did not give the leading bytes");
        Check(Untouched(block, smaller, 0xA5), "decoder wrote past the smaller capacity");
    }
    return 0;
}
