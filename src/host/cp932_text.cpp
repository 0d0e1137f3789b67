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

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes)
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
            // An invalid or cut-off sequence: one byte becomes U+FFFD.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
            ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace tarnwick
