// Decoder for the archives' compressed entries: a dictionary coder with a
// flag bit before every code, 8-bit literals, variable-width dictionary codes
// and a recency list that recycles the least recently used string once all
// 8192 codes are taken.
//
// Nearly every output byte adds a string, and each addition first looks for
// an existing child, which the encoder's longest matches make nearly always
// absent. So the lookup is built to say "absent" fast and everything stays
// in the second-level cache: a root's children (hundreds of them) are found
// in a direct (root, byte) table only, checked against the code it names;
// any other string keeps a 64-bit mask of the bytes its children have had,
// so a clear bit settles the lookup, and a set bit walks its few children.
// Children of strings are linked to their parent both ways, so recycling a
// code unlinks it in constant time.
//
// The recency list is rewritten in whole chains rather than one move at a
// time: an expanded code's ancestors are linked to their final neighbours
// as they are walked and put at the head together, and the strings that a
// code adds (each the only child of the one before) are filled with their
// links known and spliced in once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/dict_tables.h"

namespace tarnwick {

class CDictDecoder {
public:
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
    // One code's entry, sixteen bytes, all that adding or recycling a
    // string touches. newer and older link the recency list and sit side by
    // side, so both are set in one store. children[0] is the next sibling
    // and children[1] the first child (newest first); childLink names the
    // link that points at this code (code * 2 + which), so that unlinking
    // needs no walk.
    struct Node_T {
        std::uint16_t parent;
        std::uint16_t newer;
        std::uint16_t older;
        std::uint16_t children[2];
        std::uint16_t childLink;
        std::uint8_t suffix;
        std::uint8_t length;     // of the code's string, 1 to kDictMaxString
        std::uint8_t firstByte;  // of the code's string
        std::uint8_t unused;
    };
    static_assert(sizeof(Node_T) == 16);
    // Growth stores parent with newer, and suffix with the three bytes
    // after it, four bytes at a time.
    static_assert(offsetof(Node_T, newer) == offsetof(Node_T, parent) + 2);
    static_assert(offsetof(Node_T, unused) == offsetof(Node_T, suffix) + 3);

    // The recency list is a ring through this extra node: its older link is
    // the head (most recent string), its newer link the tail. Links to no
    // code (kDictNone) also land here, and so does the childLink of a
    // root's children, which are in no child list: its child fields take
    // stray writes.
    static constexpr std::uint32_t kListEnd = kDictCodes;
    static_assert(kListEnd == kDictNone);
    static constexpr std::uint32_t kRootSlots = kDictRoots * 256;

    void Reset();

    Node_T nodes[kDictCodes + 1];
    // Bit byte % 64 is set once a child with that byte has been
    // added; only handing the code out again clears it.
    std::uint64_t childBytes[kDictCodes];
    // rootChildren[root * 256 + byte]: the last code handed out as that child.
    std::unique_ptr<std::uint16_t[]> rootChildren;
    std::uint32_t nextCode;
    std::uint32_t codeWidth;
    std::uint32_t widthThreshold;
    std::uint8_t stringBuffer[kDictMaxString];
};

}  // namespace tarnwick
