// Decoder for the archives' compressed entries: a dictionary coder with a
// flag bit before every code, 8-bit literals, variable-width dictionary codes
// and a recency list that recycles the least recently used string once all
// 8192 codes are taken.
//
// Nearly every output byte adds a string, and each addition first looks for
// an existing child, which the encoder's longest matches make nearly always
// absent. So children are found without walking or branching on the data:
// one direct table, indexed by byte and code, holds the last code handed out
// as that child, and an entry counts only while that code still has that
// parent and byte. Stale entries are never cleared: recycling a code unlinks
// nothing, and a reset touches no table. The table is laid out byte by byte,
// so a text touches only the rows of the bytes it uses.
//
// The recency list is rewritten in whole chains rather than one move at a
// time: an expanded code's ancestors are linked to their final neighbours
// as they are walked and put at the head together, and the strings that a
// code adds (each the only child of the one before) are filled with their
// links known and spliced in once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/dict_tables.h"
#include "host/mapped_memory.h"

namespace tarnwick {

class CDictDecoder {
public:
    // Throws std::bad_alloc, as any allocation would, without memory for its
    // tables.
    CDictDecoder();

    // Writes at most capacity bytes to dst. True when the input was used up,
    // false at a code that is not defined yet (bytes written so far stay).
    // src and dst may share a block as long as they do not overlap.
    // written, when given, receives the number of bytes put into dst.
    // The whole decode is this one function, so its bounds stay in view.
    bool Decode(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                std::uint32_t capacity, std::uint32_t* written = nullptr);

    // Inspection of the dictionary as the last decode left it, for tests
    // and tools. DictString walks parents only and moves nothing.
    std::uint32_t NextCode() const { return nextCode; }
    std::uint32_t CodeWidth() const { return codeWidth; }
    std::string DictString(std::uint32_t code) const;

private:
    // One code's entry, eight bytes, all that adding or recycling a string
    // touches. newer and older link the recency list.
    struct Node_T {
        std::uint16_t parent;
        std::uint16_t newer;
        std::uint16_t older;
        std::uint8_t suffix;
        std::uint8_t length;  // of the code's string, 1 to kDictMaxString
    };
    static_assert(sizeof(Node_T) == 8);
    // Growth stores parent with newer, four bytes at a time.
    static_assert(offsetof(Node_T, newer) == offsetof(Node_T, parent) + 2);

    // The recency list is a ring through this extra node: its older link is
    // the head (most recent string), its newer link the tail.
    static constexpr std::uint32_t kListEnd = kDictCodes;
    static_assert(kListEnd == kDictNone);
    // A child's slot in childTable: byte << kChildByteShift | code.
    static constexpr std::uint32_t kChildByteShift = 13;
    static_assert(kDictCodes == 1u << kChildByteShift);
    static constexpr std::size_t kChildSlots = std::size_t{256} << kChildByteShift;

    void Reset();

    Node_T nodes[kDictCodes + 1];
    // The last code handed out as each child: zeros from the kernel, in
    // huge pages where it gives them.
    CLargeBuffer childTable;
    std::uint32_t nextCode;
    std::uint32_t codeWidth;
    std::uint32_t widthThreshold;
    std::uint8_t stringBuffer[kDictMaxString];
};

}  // namespace tarnwick
