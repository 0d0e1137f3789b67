#include "text_out.h"

#include "host/cp932_text.h"

namespace tarnwick::cli {

namespace {

void AppendHex(std::string& out, unsigned char b)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when none starts
// there (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = at(i);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            low = 0xA0;
        if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            low = 0x90;
        if (b == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > text.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return n;
}

// Length of the code page 932 character at text[i] when it is one, 0 when
// not: a game name inside a message shows as its characters.
std::size_t Cp932Length(std::string_view text, std::size_t i)
{
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0xA1 && b <= 0xDF)
        return 1;
    if (!IsCp932LeadByte(b) || i + 1 >= text.size())
        return 0;
    const auto t = static_cast<unsigned char>(text[i + 1]);
    return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC) ? 2 : 0;
}

std::string Escape(std::string_view text, bool backslash, bool utf8, bool cp932 = false)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (utf8 && c >= 0x80) {
            const std::size_t n = Utf8Length(text, i);
            const std::size_t m = n == 0 && cp932 ? Cp932Length(text, i) : 0;
            const std::string character = m != 0 ? Cp932ToUtf8(text.substr(i, m)) : std::string();
            if (m != 0 && character != "\xEF\xBF\xBD") {
                out += character;
                i += m;
            } else if (n == 0) {
                AppendHex(out, c);
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '\\': out += backslash ? "\\\\" : "\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default:
            if (c < 0x20 || c == 0x7F)
                AppendHex(out, c);
            else
                out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

std::string EscapeField(std::string_view text)
{
    return Escape(text, true, false);
}

std::string FieldOut(std::string_view text, bool raw)
{
    return EscapeField(raw ? std::string(text) : Cp932ToUtf8(text));
}

std::string NameOut(std::string_view storedName)
{
    return EscapeField(Cp932ToFileName(storedName));
}

std::string PathOut(std::string_view path)
{
    return Escape(path, true, true);
}

std::string MessageOut(std::string_view message)
{
    return Escape(message, false, true, true);
}

}  // namespace tarnwick::cli
