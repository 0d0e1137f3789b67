// The dictionary of the archive codec: a tree of strings (each a parent code
// plus one byte) with a recency list over the string codes. The encoder and
// the reference decoder keep identical copies of it, so both go through
// these operations and nothing else changes the tables. The fast decoder
// holds the same dictionary in its own layout.
#pragma once

#include <cstdint>

namespace tarnwick {

inline constexpr std::uint32_t kDictCodes = 8192;
inline constexpr std::uint32_t kDictNone = 8192;  // the absence of a code
inline constexpr std::uint32_t kDictRoots = 256;
inline constexpr std::uint32_t kDictMaxString = 100;

struct DictTables_T {
    std::uint8_t suffix[kDictCodes];
    std::uint32_t parent[kDictCodes];
    std::uint32_t firstChild[kDictCodes];
    std::uint32_t nextSibling[kDictCodes];
    std::uint32_t prevSibling[kDictCodes];
    std::uint32_t newer[kDictCodes];
    std::uint32_t older[kDictCodes];
    std::uint32_t head;
    std::uint32_t tail;
    std::uint32_t nextCode;
    std::uint32_t codeWidth;
    std::uint32_t widthThreshold;

    // Only the roots are cleared: string entries are unreachable until they
    // are handed out again, and handing out fills every link.
    void Reset()
    {
        nextCode = kDictRoots;
        head = tail = kDictNone;
        codeWidth = 1;
        widthThreshold = 2;
        for (std::uint32_t c = 0; c < kDictRoots; ++c) {
            suffix[c] = static_cast<std::uint8_t>(c);
            parent[c] = firstChild[c] = nextSibling[c] = prevSibling[c] = kDictNone;
        }
    }

    // Lazy growth: at most one bit per code, checked before each code.
    void GrowWidth()
    {
        if (nextCode - kDictRoots >= widthThreshold) {
            ++codeWidth;
            widthThreshold *= 2;
        }
    }

    std::uint32_t FindChild(std::uint32_t code, std::uint8_t ch) const
    {
        std::uint32_t c = firstChild[code];
        while (c != kDictNone && suffix[c] != ch)
            c = nextSibling[c];
        return c;
    }

    // x is a string code in the list and not the head.
    void MoveToHead(std::uint32_t x)
    {
        if (x == tail) {
            tail = newer[x];
            older[tail] = kDictNone;
        } else {
            newer[older[x]] = newer[x];
            older[newer[x]] = older[x];
        }
        newer[x] = kDictNone;
        older[x] = head;
        newer[head] = x;
        head = x;
    }

    // Walks from code to its root, moving each string code to the head on
    // the way, and writes the string into the end of out (kDictMaxString
    // bytes). Returns the string's length; its first byte is at
    // out + kDictMaxString - length. Gives 0 if the chain were ever longer
    // than the buffer, which the growth rule rules out.
    std::uint32_t Expand(std::uint32_t code, std::uint8_t* out)
    {
        std::uint32_t n = 0;
        for (std::uint32_t x = code; x != kDictNone; x = parent[x]) {
            if (n == kDictMaxString)
                return 0;
            if (x >= kDictRoots && x != head)
                MoveToHead(x);
            out[kDictMaxString - 1 - n] = suffix[x];
            ++n;
        }
        return n;
    }

    // After a code: the previous string (code prev, length prevLen) extended
    // by every prefix of the current string s[0..n) becomes a dictionary
    // string, as far as the length limit, the free codes and the tail allow.
    void Grow(std::uint32_t prev, std::uint32_t prevLen, const std::uint8_t* s, std::uint32_t n)
    {
        if (prev == kDictNone)
            return;
        std::uint32_t index = prev;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (prevLen + i + 1 > kDictMaxString)
                return;
            const std::uint8_t ch = s[i];
            const std::uint32_t child = FindChild(index, ch);
            if (child != kDictNone) {
                index = child;
                continue;
            }
            std::uint32_t b;
            if (nextCode < kDictCodes) {
                b = nextCode++;
            } else {
                b = tail;
                if (b == index)
                    return;  // never reuse the string being extended
                Unlink(b);
            }
            Attach(b, index, ch);
            index = b;
        }
    }

private:
    // Takes the tail out of the recency list and out of its parent's
    // children. The tail never has children of its own.
    void Unlink(std::uint32_t b)
    {
        tail = newer[b];
        older[tail] = kDictNone;
        if (prevSibling[b] != kDictNone)
            nextSibling[prevSibling[b]] = nextSibling[b];
        else
            firstChild[parent[b]] = nextSibling[b];
        if (nextSibling[b] != kDictNone)
            prevSibling[nextSibling[b]] = prevSibling[b];
    }

    void Attach(std::uint32_t b, std::uint32_t index, std::uint8_t ch)
    {
        suffix[b] = ch;
        parent[b] = index;
        firstChild[b] = kDictNone;
        prevSibling[b] = kDictNone;
        nextSibling[b] = firstChild[index];
        if (firstChild[index] != kDictNone)
            prevSibling[firstChild[index]] = b;
        firstChild[index] = b;

        if (index < kDictRoots) {
            newer[b] = kDictNone;
            older[b] = head;
            if (head != kDictNone)
                newer[head] = b;
            else
                tail = b;
            head = b;
        } else if (index == tail) {
            newer[b] = index;
            older[b] = kDictNone;
            older[index] = b;
            tail = b;
        } else {
            newer[b] = index;
            older[b] = older[index];
            newer[older[index]] = b;
            older[index] = b;
        }
    }
};

}  // namespace tarnwick
