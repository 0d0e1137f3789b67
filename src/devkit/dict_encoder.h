// Encoder for the archive codec, for the project's tools and tests: the
// program itself only decodes. It keeps the decoder's dictionary step by step
// and writes, at each step, the longest string the dictionary holds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "archive/dict_tables.h"

namespace tarnwick {

class CDictEncoder {
public:
    // Decoding the result with a capacity of input.size() gives the input
    // back and true.
    std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> input);

private:
    void PutBits(std::uint32_t value, std::uint32_t count);

    DictTables_T tables;
    std::uint8_t stringBuffer[kDictMaxString];
    std::vector<std::uint8_t> out;
    std::uint64_t bitCount = 0;
};

}  // namespace tarnwick
