#include "text_out.h"

#include <iconv.h>

namespace tarnwick::cli {

namespace {

class CIconv {
public:
    CIconv() : cd(::iconv_open("UTF-8", "CP932")) {}
    ~CIconv()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            ::iconv_close(cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    iconv_t Get() const { return cd; }

private:
    iconv_t cd;
};

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes)
{
    static CIconv conv;
    if (conv.Get() == reinterpret_cast<iconv_t>(-1))
        return std::string(bytes);
    ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char chunk[256];
    while (inLeft > 0) {
        char* o = chunk;
        std::size_t oLeft = sizeof chunk;
        const std::size_t r = ::iconv(conv.Get(), &in, &inLeft, &o, &oLeft);
        out.append(chunk, static_cast<std::size_t>(o - chunk));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: one byte becomes U+FFFD.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string EscapeField(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FieldOut(std::string_view text, bool raw)
{
    return EscapeField(raw ? std::string(text) : Cp932ToUtf8(text));
}

}  // namespace tarnwick::cli
