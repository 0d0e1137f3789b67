#include "host/cp932_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

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

// A converter keeps state between calls, so each thread has its own.
CIconv& ThreadDecoder()
{
    thread_local CIconv conv;
    return conv;
}

// Converts bytes, handing each byte that is not code page 932 to invalid.
template <typename Invalid>
std::string Convert(std::string_view bytes, Invalid invalid)
{
    CIconv& conv = ThreadDecoder();
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

// The character at pos, moving pos past it; nothing for bytes that are not
// UTF-8, overlong forms and surrogates included.
std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& pos)
{
    const unsigned char first = static_cast<unsigned char>(s[pos]);
    if (first < 0x80) {
        ++pos;
        return first;
    }
    std::size_t length = 0;
    char32_t ch = 0;
    char32_t least = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        ch = first & 0x1F;
        least = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        ch = first & 0x0F;
        least = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        ch = first & 0x07;
        least = 0x10000;
    } else
        return std::nullopt;
    if (s.size() - pos < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        ch = (ch << 6) | (b & 0x3F);
    }
    if (ch < least || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return ch;
}

struct Cp932Code_T {
    char32_t ch;
    std::uint16_t code;  // a single byte, or lead << 8 | trail
};

// Among the codes of one character, the lowest is the one Windows writes.
int Preference(std::uint16_t code)
{
    const unsigned lead = code >> 8;
    if (lead == 0x87)
        return 1;  // NEC row 13
    if (lead >= 0xFA)
        return 2;  // IBM extensions
    if (lead == 0xED || lead == 0xEE)
        return 3;  // NEC's copy of the IBM extensions
    return 0;
}

// The one character that bytes decode to, unless they give U+FFFD or more.
std::optional<char32_t> SoleCharacter(std::string_view bytes)
{
    const std::string text = Cp932ToUtf8(bytes);
    if (text.empty())
        return std::nullopt;
    std::size_t pos = 0;
    const std::optional<char32_t> ch = NextUtf8(text, pos);
    if (!ch || pos != text.size() || *ch == 0xFFFD)
        return std::nullopt;
    return ch;
}

// Codes of one length (one byte, or a lead and a trail) back to back,
// each one's character added to table, the decoder asked once for a run of
// codes rather than once per code. Codes that do not give exactly one
// character (a byte the decoder refuses, U+FFFD, anything unexpected) are
// asked about one by one, as SoleCharacter asks.
void AddCharacters(std::string_view codes, std::size_t width, std::vector<Cp932Code_T>& table)
{
    const auto codeAt = [&](std::size_t at) {
        return static_cast<std::uint16_t>(width == 1 ? static_cast<unsigned char>(codes[at])
                                                     : static_cast<unsigned char>(codes[at]) << 8 |
                                                           static_cast<unsigned char>(codes[at + 1]));
    };
    const auto oneByOne = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; at += width) {
            if (const std::optional<char32_t> ch = SoleCharacter(codes.substr(at, width)))
                table.push_back({*ch, codeAt(at)});
        }
    };
    CIconv& conv = ThreadDecoder();
    if (!conv.IsOpen())
        return oneByOne(0, codes.size());
    char out[1024];
    // The code page keeps no state from one character to the next: a reset
    // before the first run is enough, a refused code leaving nothing behind.
    ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
    for (std::size_t at = 0; at < codes.size();) {
        char* in = const_cast<char*>(codes.data() + at);
        std::size_t inLeft = std::min(codes.size() - at, sizeof out / 4 * width);
        char* o = out;
        std::size_t oLeft = sizeof out;
        const bool stopped = ::iconv(conv.Get(), &in, &inLeft, &o, &oLeft) == static_cast<std::size_t>(-1);
        const int why = stopped ? errno : 0;
        const std::size_t used = static_cast<std::size_t>(in - (codes.data() + at));
        // What came out must be one character per code taken, or the run
        // is asked about code by code.
        const std::string_view text(out, static_cast<std::size_t>(o - out));
        const std::size_t before = table.size();
        bool fits = used % width == 0;
        for (std::size_t pos = 0, i = 0; fits && pos < text.size(); ++i) {
            const std::optional<char32_t> ch = NextUtf8(text, pos);
            fits = ch && *ch != 0xFFFD && i < used / width;
            if (fits)
                table.push_back({*ch, codeAt(at + i * width)});
        }
        if (!fits || table.size() - before != used / width) {
            table.resize(before);
            ::iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
            const std::size_t end = at + used + (stopped ? width - used % width : 0);
            oneByOne(at, end);
            at = end;
            continue;
        }
        at += used;
        // A code refused where it starts is no character, as it would be
        // alone; anything else about it is asked alone.
        if (why == EILSEQ)
            at += width;
        else if (stopped && why != E2BIG) {
            oneByOne(at, at + width);
            at += width;
        }
    }
}

// The decoder asked about every byte and every lead and trail pair, so
// that the encoder is its inverse whatever table the decoder uses.
std::vector<Cp932Code_T> BuildReverseTable()
{
    std::vector<Cp932Code_T> table;
    std::string singles;
    std::string pairs;
    for (unsigned first = 0; first < 0x100; ++first) {
        if (!IsCp932LeadByte(static_cast<unsigned char>(first))) {
            singles += static_cast<char>(first);
            continue;
        }
        for (unsigned second = 0; second < 0x100; ++second) {
            pairs += static_cast<char>(first);
            pairs += static_cast<char>(second);
        }
    }
    AddCharacters(singles, 1, table);
    AddCharacters(pairs, 2, table);
    std::sort(table.begin(), table.end(), [](const Cp932Code_T& a, const Cp932Code_T& b) {
        if (a.ch != b.ch)
            return a.ch < b.ch;
        if (Preference(a.code) != Preference(b.code))
            return Preference(a.code) < Preference(b.code);
        return a.code < b.code;
    });
    table.erase(std::unique(table.begin(), table.end(),
                            [](const Cp932Code_T& a, const Cp932Code_T& b) { return a.ch == b.ch; }),
                table.end());
    table.shrink_to_fit();
    return table;
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

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    static const std::vector<Cp932Code_T> table = BuildReverseTable();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::optional<char32_t> ch = NextUtf8(utf8, pos);
        if (!ch)
            return std::nullopt;
        const auto at = std::lower_bound(table.begin(), table.end(), *ch,
                                         [](const Cp932Code_T& c, char32_t wanted) { return c.ch < wanted; });
        if (at == table.end() || at->ch != *ch)
            return std::nullopt;
        if (at->code > 0xFF)
            out += static_cast<char>(at->code >> 8);
        out += static_cast<char>(at->code & 0xFF);
    }
    return out;
}

}  // namespace tarnwick
