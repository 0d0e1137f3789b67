#include "archive/dict_decoder.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>

namespace tarnwick {

CDictDecoder::CDictDecoder()
{
    if (!childTable.Allocate(kChildSlots * sizeof(std::uint16_t)))
        throw std::bad_alloc();
    // Roots never change: they are never in the recency list and never
    // handed out again, so they are set once here and not on every reset.
    for (std::uint32_t c = 0; c <= kDictCodes; ++c)
        nodes[c] = {static_cast<std::uint16_t>(kDictNone), 0, 0, static_cast<std::uint8_t>(c), 1};
    Reset();
}

// Counters and the empty list only: string entries are unreachable until
// they are handed out again, and handing out fills every field; the child
// table's entries are checked on use.
void CDictDecoder::Reset()
{
    nextCode = kDictRoots;
    codeWidth = 1;
    widthThreshold = 2;
    nodes[kListEnd].newer = nodes[kListEnd].older = static_cast<std::uint16_t>(kListEnd);
}

bool CDictDecoder::Decode(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                          std::uint32_t capacity, std::uint32_t* written)
{
    Reset();
    if (written)
        *written = 0;
    if (srcLength == 0)
        return true;

    // Bits are counted from the start of the input, most significant bit of
    // each byte first. Decoding ends after the code that used any bit of the
    // last byte; bits past the end read as 1.
    const std::uint64_t lastByteBit = (std::uint64_t{srcLength} - 1) * 8;
    std::uint8_t* out = dst;
    std::uint8_t* const outEnd = dst + capacity;

    // Locals, not members: every byte store may alias a member, and the
    // compiler would reload them after each one.
    Node_T* const node = nodes;
    std::uint16_t* const child = reinterpret_cast<std::uint16_t*>(childTable.Data());
    std::uint32_t next = nextCode;
    std::uint32_t width = codeWidth;
    // The next code at which the width grows: the threshold counted from
    // the first string code.
    std::uint32_t growAt = widthThreshold + kDictRoots;
    auto finish = [&](bool ok) {
        nextCode = next;
        codeWidth = width;
        widthThreshold = growAt - kDictRoots;
        if (written)
            *written = static_cast<std::uint32_t>(out - dst);
        return ok;
    };
    // 32 bits from src[at] on; the caller makes sure that they are there.
    // One unaligned load and a byte swap; the compiler does not merge four
    // byte loads into one.
    auto load32 = [src](std::uint64_t at) {
        std::uint32_t v;
        std::memcpy(&v, src + at, sizeof v);
        if constexpr (std::endian::native == std::endian::little)
            v = __builtin_bswap32(v);
        return v;
    };
    auto childSlot = [child](std::uint32_t index, std::uint32_t ch) -> std::uint16_t& {
        return child[ch << kChildByteShift | index];
    };
    // The child of index with byte ch, or kDictNone. A code handed out but
    // since recycled may still stand in the table; only one in use with this
    // parent and byte is that child. Codes at or past next were not handed
    // out in this decode.
    auto findChild = [&](std::uint32_t index, std::uint32_t ch) -> std::uint32_t {
        const std::uint32_t c = childSlot(index, ch);
        return c < next && node[c].parent == index && node[c].suffix == ch ? c : kDictNone;
    };

    std::uint64_t bitPos = 0;
    std::uint32_t prevCode = kDictNone;
    std::uint32_t prevLength = 0;
    do {
        // Lazy growth: at most one bit per code, checked before each code.
        if (next >= growAt) {
            ++width;
            growAt = growAt * 2 - kDictRoots;
        }

        // The 32 bits from the current byte on, ones past the end. A code
        // takes at most 14 bits and starts within the first 8.
        const std::uint64_t at = bitPos >> 3;  // below srcLength here
        std::uint32_t window;
        if (srcLength - at >= 4) {
            window = load32(at);
        } else {
            window = 0;
            for (std::uint64_t k = at; k < at + 4; ++k)
                window = window << 8 | (k < srcLength ? src[k] : 0xFFu);
        }
        window <<= bitPos & 7;
        std::uint32_t code;
        if ((window & 0x80000000u) == 0) {
            code = (window >> 23) & 0xFFu;
            bitPos += 9;
        } else {
            code = ((window << 1) >> (32 - width)) + kDictRoots;
            bitPos += 1 + width;
        }
        if (code >= next)
            return finish(false);

        // Data that does not compress is mostly a literal after a literal:
        // at most one two-byte string under a root, which takes the tail's
        // code and goes to the head.
        if (code < kDictRoots && prevCode < kDictRoots && next == kDictCodes && out != outEnd) {
            *out++ = static_cast<std::uint8_t>(code);
            if (findChild(prevCode, code) == kDictNone) {
                const std::uint32_t b = node[kListEnd].newer;  // never a root
                const std::uint32_t newTail = node[b].newer;
                node[kListEnd].newer = static_cast<std::uint16_t>(newTail);
                node[newTail].older = static_cast<std::uint16_t>(kListEnd);
                const std::uint32_t head = node[kListEnd].older;
                Node_T& nb = node[b];
                nb.parent = static_cast<std::uint16_t>(prevCode);
                nb.newer = static_cast<std::uint16_t>(kListEnd);
                nb.older = static_cast<std::uint16_t>(head);
                nb.suffix = static_cast<std::uint8_t>(code);
                nb.length = 2;
                node[head].newer = static_cast<std::uint16_t>(b);
                node[kListEnd].older = static_cast<std::uint16_t>(b);
                childSlot(prevCode, code) = static_cast<std::uint16_t>(b);
            }
            prevCode = code;
            prevLength = 1;
            continue;
        }

        // Expand from the code toward its root, moving each string code to
        // the head, so its ancestors end up ahead of it, the shortest first:
        // each is taken out of the list and linked at once to its final
        // neighbours, its parent (newer) and the code walked before it
        // (older); the whole chain then goes to the head.
        // The string goes straight into the destination when it fits there;
        // otherwise into the buffer, and only what fits is copied on.
        const std::uint32_t n = node[code].length;
        const bool fits = static_cast<std::size_t>(outEnd - out) >= n;
        std::uint8_t* const s = fits ? out : stringBuffer;
        std::uint32_t x = code;
        if (n > 1) {
            std::uint32_t below = kListEnd;
            std::uint32_t i = n - 1;
            do {
                const std::uint32_t p = node[x].parent;
                const std::uint32_t nw = node[x].newer;
                const std::uint32_t ol = node[x].older;
                s[i] = node[x].suffix;
                node[ol].newer = static_cast<std::uint16_t>(nw);
                node[nw].older = static_cast<std::uint16_t>(ol);
                node[x].newer = static_cast<std::uint16_t>(p);
                node[x].older = static_cast<std::uint16_t>(below);
                below = x;
                x = p;
            } while (--i > 0);
            const std::uint32_t oldHead = node[kListEnd].older;
            node[code].older = static_cast<std::uint16_t>(oldHead);
            node[oldHead].newer = static_cast<std::uint16_t>(code);
            node[below].newer = static_cast<std::uint16_t>(kListEnd);
            node[kListEnd].older = static_cast<std::uint16_t>(below);
        }
        s[0] = static_cast<std::uint8_t>(x);
        if (fits) {
            out += n;
        } else if (out != outEnd) {
            // Bytes beyond the capacity are dropped; decoding goes on.
            const auto take = static_cast<std::size_t>(outEnd - out);
            std::memcpy(out, s, take);
            out += take;
        }

        // The previous string extended by every prefix of this one, as far
        // as 100 bytes, the free codes and the tail allow.
        if (prevCode != kDictNone) {
            const std::uint32_t limit = std::min(n, kDictMaxString - prevLength);
            std::uint32_t index = prevCode;
            std::uint32_t i = 0;
            for (; i < limit; ++i) {  // the extensions that exist already
                const std::uint32_t c = findChild(index, s[i]);
                if (c == kDictNone)
                    break;
                index = c;
            }
            // A new string has no children, so from the first new one on
            // every further one is new as well: one chain under index, each
            // the only child of the one before and directly behind it in the
            // recency list; the first goes behind index, or to the head under
            // a root. Their codes are free ones first, then the oldest
            // strings, walked from the tail up to (not including) index, the
            // string being extended: taking the tail again and again meets
            // the same codes, since the new strings go in right behind index,
            // newer than every old string the walk reaches before index. The
            // taken codes are cut off the list and the chain spliced in once.
            if (i < limit) {
                const std::uint32_t index0 = index;
                const std::uint8_t* p = s + i;
                const std::uint8_t* const pEnd = s + limit;
                std::uint32_t length = prevLength + i + 1;
                // t walks from the tail toward the head.
                std::uint32_t t = node[kListEnd].newer;
                std::uint32_t first;
                auto takeTail = [&]() {
                    const std::uint32_t c = t;
                    t = node[c].newer;
                    return c;
                };
                if (next < kDictCodes)
                    first = next++;
                else if (t != index0)
                    first = takeTail();
                else
                    first = kDictNone;
                if (first != kDictNone) {
                    const std::uint8_t ch = *p++;
                    Node_T& nf = node[first];
                    nf.parent = static_cast<std::uint16_t>(index0);
                    nf.suffix = ch;
                    nf.length = static_cast<std::uint8_t>(length++);
                    childSlot(index0, ch) = static_cast<std::uint16_t>(first);
                    std::uint32_t last = first;
                    // Every field of c but older, which the next one (or the
                    // splice) sets: this is the hottest loop on text.
                    auto fill = [&](std::uint32_t c) {
                        const std::uint32_t byte = *p++;
                        Node_T& nc = node[c];
                        const std::uint32_t parentAndNewer = last | last << 16;
                        std::memcpy(reinterpret_cast<unsigned char*>(&nc) + offsetof(Node_T, parent), &parentAndNewer,
                                    sizeof parentAndNewer);
                        nc.suffix = static_cast<std::uint8_t>(byte);
                        nc.length = static_cast<std::uint8_t>(length++);
                        node[last].older = static_cast<std::uint16_t>(c);
                        childSlot(last, byte) = static_cast<std::uint16_t>(c);
                        last = c;
                    };
                    if (next < kDictCodes) {  // only until the dictionary first fills
                        for (; p != pEnd && next < kDictCodes; ++next)
                            fill(next);
                    }
                    while (p != pEnd && t != index0)
                        fill(takeTail());
                    node[kListEnd].newer = static_cast<std::uint16_t>(t);
                    node[t].older = static_cast<std::uint16_t>(kListEnd);
                    const std::uint32_t behind = index0 < kDictRoots ? kListEnd : index0;
                    const std::uint32_t o = node[behind].older;
                    node[first].newer = static_cast<std::uint16_t>(behind);
                    node[behind].older = static_cast<std::uint16_t>(first);
                    node[last].older = static_cast<std::uint16_t>(o);
                    node[o].newer = static_cast<std::uint16_t>(last);
                }
            }
        }
        prevCode = code;
        prevLength = n;
    } while (bitPos <= lastByteBit);
    return finish(true);
}

std::string CDictDecoder::DictString(std::uint32_t code) const
{
    std::string s;
    if (code >= nextCode)
        return s;
    for (std::uint32_t x = code; x != kDictNone && s.size() <= kDictMaxString; x = nodes[x].parent)
        s.insert(s.begin(), static_cast<char>(nodes[x].suffix));
    return s;
}

}  // namespace tarnwick
