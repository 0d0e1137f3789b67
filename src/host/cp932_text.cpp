#include "host/cp932_text.h"

#include <cerrno>

namespace tarnwick {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

CCp932Decoder::CCp932Decoder() : cd(::iconv_open("UTF-8", "CP932")) {}

CCp932Decoder::~CCp932Decoder()
{
    if (cd != kNoConverter)
        ::iconv_close(cd);
}

std::string CCp932Decoder::ToUtf8(std::string_view cp932)
{
    std::string out;
    if (cd == kNoConverter) {
        // No table on this system: keep ASCII, mark the rest.
        for (const char c : cp932)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string_view(&c, 1) : kReplacement;
        return out;
    }
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[1024];
    char* in = const_cast<char*>(cp932.data());
    std::size_t inLeft = cp932.size();
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &o, &outLeft);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: one byte cannot start a character here.
        out += kReplacement;
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    CCp932Decoder decoder;
    return decoder.ToUtf8(cp932);
}

}  // namespace tarnwick
