// Checked little-endian reading from a byte range: every read is tested
// against the end fixed at construction.
#pragma once

#include <cstdint>
#include <span>

namespace tarnwick {

class CLeReader {
public:
    explicit CLeReader(std::span<const std::uint8_t> bytes) : data(bytes) {}

    bool U32(std::uint32_t& value)
    {
        if (data.size() - pos < 4)
            return false;
        const std::uint8_t* p = data.data() + pos;
        value = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        pos += 4;
        return true;
    }

    std::size_t Position() const { return pos; }
    std::size_t Remaining() const { return data.size() - pos; }

private:
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

}  // namespace tarnwick
