#include "host/cp932_text.h"

#include <iconv.h>

#include <cerrno>

namespace tarnwick {

namespace {

class CIconv {
public:
    CIconv() : cd(::iconv_open("UTF-8", "CP932")) {}
    ~CIconv()
    {
        if (IsOpen())
            ::iconv_close(cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd; }

private:
    iconv_t cd;
};

// Converts bytes, handing each byte that is not code page 932 to invalid.
template <typename Invalid>
std::string Convert(std::string_view bytes, Invalid invalid)
{
    // A converter keeps state between calls, so each thread has its own.
    thread_local CIconv conv;
    if (!conv.IsOpen())
        return std::string(bytes);
    ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char chunk[256];
    while (inLeft > 0) {
        char* o = chunk;
        std::size_t oLeft = sizeof chunk;
        const std::size_t r = ::iconv(conv.Get(), &in, &inLeft, &o, &oLeft);
        out.append(chunk, static_cast<std::size_t>(o - chunk));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: its first byte alone.
            invalid(out, static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes)
{
    return Convert(bytes, [](std::string& out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

std::string Cp932ToFileName(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto escape = [](std::string& out, unsigned char b) {
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    };
    // "%" is never part of a two-byte character, so the name is converted
    // between its "%" bytes, and each of those is kept or escaped by what
    // follows it.
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t mark = bytes.find('%', pos);
        out += Convert(bytes.substr(pos, mark == std::string_view::npos ? mark : mark - pos), escape);
        if (mark == std::string_view::npos)
            return out;
        const bool readsAsEscape = mark + 2 < bytes.size() && IsHexDigit(bytes[mark + 1]) && IsHexDigit(bytes[mark + 2]);
        if (readsAsEscape)
            escape(out, '%');
        else
            out += '%';
        pos = mark + 1;
    }
}

}  // namespace tarnwick
