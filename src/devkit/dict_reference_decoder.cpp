#include "devkit/dict_reference_decoder.h"

#include <algorithm>

namespace tarnwick {

bool CDictReferenceDecoder::Decode(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                                   std::uint32_t capacity, std::uint32_t* written)
{
    std::uint32_t outPos = 0;
    const bool ok = Run(src, srcLength, dst, capacity, outPos);
    if (written)
        *written = outPos;
    return ok;
}

bool CDictReferenceDecoder::Run(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                                std::uint32_t capacity, std::uint32_t& outPos)
{
    tables.Reset();
    if (srcLength == 0)
        return true;

    // The bit reader: bits are taken most significant first; past the end
    // of the input every bit reads as 1.
    const std::uint8_t* const srcEnd = src + srcLength;
    const std::uint8_t* in = src;
    std::uint32_t bitBuffer = 0;
    std::uint32_t bitsLeft = 0;
    auto readBits = [&](std::uint32_t n) -> std::uint32_t {
        std::uint32_t value = 0;
        while (n > bitsLeft) {
            value = (value << bitsLeft) | (bitBuffer & ((1u << bitsLeft) - 1u));
            n -= bitsLeft;
            bitBuffer = in < srcEnd ? *in++ : 0xFFFFFFFFu;
            bitsLeft = 8;
        }
        value = (value << n) | ((bitBuffer >> (bitsLeft - n)) & ((1u << n) - 1u));
        bitsLeft -= n;
        return value;
    };

    std::uint32_t prevCode = kDictNone;
    std::uint32_t prevLength = 0;
    do {
        tables.GrowWidth();
        std::uint32_t code;
        if (readBits(1) == 0)
            code = readBits(8);
        else
            code = readBits(tables.codeWidth) + kDictRoots;
        if (code >= tables.nextCode)
            return false;

        const std::uint32_t n = tables.Expand(code, stringBuffer);
        if (n == 0)
            return false;
        const std::uint8_t* s = stringBuffer + (kDictMaxString - n);

        // Bytes beyond the capacity are dropped; decoding goes on.
        if (outPos < capacity) {
            const std::uint32_t take = std::min(n, capacity - outPos);
            std::copy(s, s + take, dst + outPos);
            outPos += take;
        }

        tables.Grow(prevCode, prevLength, s, n);
        prevCode = code;
        prevLength = n;
    } while (in < srcEnd);  // ends after the code that fetched the last byte
    return true;
}

std::string CDictReferenceDecoder::DictString(std::uint32_t code) const
{
    std::string s;
    if (code >= tables.nextCode)
        return s;
    for (std::uint32_t x = code; x != kDictNone && s.size() <= kDictMaxString; x = tables.parent[x])
        s.insert(s.begin(), static_cast<char>(tables.suffix[x]));
    return s;
}

}  // namespace tarnwick
