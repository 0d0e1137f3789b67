// The straightforward decoder of the archive codec: children found by a walk
// along each string's sibling list, exactly as the dictionary is defined.
// The program uses the fast CDictDecoder; this one stays as the oracle that
// tests and fuzz targets hold it to, byte for byte and result for result.
#pragma once

#include <cstdint>
#include <string>

#include "archive/dict_tables.h"

namespace tarnwick {

class CDictReferenceDecoder {
public:
    // Writes at most capacity bytes to dst. True when the input was used up,
    // false at a code that is not defined yet (bytes written so far stay).
    // src and dst may share a block as long as they do not overlap.
    // written, when given, receives the number of bytes put into dst.
    bool Decode(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                std::uint32_t capacity, std::uint32_t* written = nullptr);

    // Inspection of the dictionary as the last decode left it, for tests
    // and tools. DictString walks parents only and moves nothing.
    std::uint32_t NextCode() const { return tables.nextCode; }
    std::uint32_t CodeWidth() const { return tables.codeWidth; }
    std::string DictString(std::uint32_t code) const;

private:
    // The whole decode in one function, so its bounds stay in view.
    bool Run(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
             std::uint32_t capacity, std::uint32_t& outPos);

    DictTables_T tables;
    std::uint8_t stringBuffer[kDictMaxString];
};

}  // namespace tarnwick
