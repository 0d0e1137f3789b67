#include "devkit/dict_encoder.h"

namespace tarnwick {

void CDictEncoder::PutBits(std::uint32_t value, std::uint32_t count)
{
    for (std::uint32_t i = count; i-- > 0;) {
        if (bitCount % 8 == 0)
            out.push_back(0);
        if ((value >> i) & 1u)
            out.back() |= static_cast<std::uint8_t>(0x80u >> (bitCount % 8));
        ++bitCount;
    }
}

std::vector<std::uint8_t> CDictEncoder::Encode(std::span<const std::uint8_t> input)
{
    tables.Reset();
    out.clear();
    bitCount = 0;

    const std::size_t n = input.size();
    std::size_t i = 0;
    std::uint32_t prevCode = kDictNone;
    std::uint32_t prevLength = 0;
    while (i < n) {
        tables.GrowWidth();

        std::uint32_t code = input[i];
        std::uint32_t length = 1;
        while (i + length < n) {
            const std::uint32_t child = tables.FindChild(code, input[i + length]);
            if (child == kDictNone)
                break;
            code = child;
            ++length;
        }

        // The decoder stops after the code during which it fetched the last
        // byte. A last string code that fits in the unread bits of a byte
        // already fetched would never be read, so it goes out one byte
        // shorter and the last byte follows as a literal, which always
        // fetches a byte of its own.
        if (i + length == n && code >= kDictRoots) {
            const std::uint32_t used = static_cast<std::uint32_t>(bitCount % 8);
            if (used != 0 && used + 1 + tables.codeWidth <= 8) {
                code = tables.parent[code];
                --length;
            }
        }

        if (code < kDictRoots) {
            PutBits(0, 1);
            PutBits(code, 8);
        } else {
            PutBits(1, 1);
            PutBits(code - kDictRoots, tables.codeWidth);
        }

        const std::uint32_t expanded = tables.Expand(code, stringBuffer);
        tables.Grow(prevCode, prevLength, stringBuffer + (kDictMaxString - expanded), expanded);
        prevCode = code;
        prevLength = expanded;
        i += length;
    }
    return std::move(out);
}

}  // namespace tarnwick
