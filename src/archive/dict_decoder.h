// Decoder for the archives' compressed entries: a dictionary coder with a
// flag bit before every code, 8-bit literals, variable-width dictionary codes
// and a recency list that recycles the least recently used string once all
// 8192 codes are taken.
//
// Nearly every output byte adds a string, and each addition first looks for
// an existing child. A walk along a parent's children is slow once a root
// has hundreds of them, so children are found in a direct table indexed by
// (code, byte). An entry there counts only while the code it names is handed
// out and still has that parent and byte; entries left behind by reused codes
// or by earlier decodes are simply ignored, so nothing ever clears the table.
#pragma once

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
    // One code's entry, eight bytes, so that the whole dictionary stays in
    // the first-level cache. newer and older link the recency list.
    struct Node_T {
        std::uint16_t parent;
        std::uint16_t newer;
        std::uint16_t older;
        std::uint8_t suffix;
        std::uint8_t length;  // of the code's string, 1 to kDictMaxString
    };

    // The recency list is a ring through this extra node: its older link is
    // the head (most recent string), its newer link the tail.
    static constexpr std::uint32_t kListEnd = kDictCodes;
    static constexpr std::uint32_t kChildSlots = kDictCodes * 256;

    void Reset();

    Node_T nodes[kDictCodes + 1];
    std::uint8_t firstByte[kDictCodes];  // of each code's string
    // children[code * 256 + byte]: the last code handed out as that child.
    std::unique_ptr<std::uint16_t[]> children;
    std::uint32_t nextCode;
    std::uint32_t codeWidth;
    std::uint32_t widthThreshold;
    std::uint8_t stringBuffer[kDictMaxString];
};

}  // namespace tarnwick
