// Game texts are code page 932 bytes; this turns them into UTF-8 where the
// core must (search, file names, exports). Microsoft's table, as the game
// wrote them: 0x8160 is U+FF5E, the NEC and IBM rows are mapped.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace tarnwick {

class CCp932Decoder {
public:
    CCp932Decoder();
    ~CCp932Decoder();
    CCp932Decoder(const CCp932Decoder&) = delete;
    CCp932Decoder& operator=(const CCp932Decoder&) = delete;

    // A byte that starts no character, or a lead byte without its trail,
    // becomes U+FFFD and decoding goes on after it.
    std::string ToUtf8(std::string_view cp932);

private:
    iconv_t cd;
};

// One-off conversion, for callers that decode a few texts.
std::string Cp932ToUtf8(std::string_view cp932);

}  // namespace tarnwick
