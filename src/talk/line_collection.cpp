#include "talk/line_collection.h"

#include <unicode/uchar.h>

#include <charconv>
#include <set>
#include <utility>

namespace tarnwick {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The code point that starts at text[i], moving i past it; -1 for bytes
// that are not UTF-8, overlong forms and surrogates included.
std::int32_t NextCodePoint(std::string_view text, std::size_t& i)
{
    const auto byte = [text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i++);
    if (lead < 0x80)
        return lead;
    int more = 0;  // bytes after the lead
    std::int32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        least = 0x10000;
    } else {
        return -1;
    }
    std::int32_t c = lead & (0x3F >> more);
    for (; more > 0; --more) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80)
            return -1;
        c = (c << 6) | (byte(i++) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return -1;
    return c;
}

bool IsUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (NextCodePoint(text, i) < 0)
            return false;
    }
    return true;
}

bool IsBlank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

enum class KeyRead { kRead, kNotKey, kOutOfRange };

KeyRead ReadNumber(std::string_view& text, std::int32_t& value)
{
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc::result_out_of_range)
        return KeyRead::kOutOfRange;
    if (error != std::errc())
        return KeyRead::kNotKey;
    text.remove_prefix(static_cast<std::size_t>(at - text.data()));
    return KeyRead::kRead;
}

// "talkId:lineNo" and nothing else: no sign but '-', no spaces.
KeyRead ReadKey(std::string_view line, TalkLineKey_T& key)
{
    if (const KeyRead r = ReadNumber(line, key.talkId); r != KeyRead::kRead)
        return r;
    if (line.empty() || line.front() != ':')
        return KeyRead::kNotKey;
    line.remove_prefix(1);
    if (const KeyRead r = ReadNumber(line, key.lineNo); r != KeyRead::kRead)
        return r;
    return line.empty() ? KeyRead::kRead : KeyRead::kNotKey;
}

}  // namespace

std::string CollectionFileText(const LineCollection_T& collection)
{
    std::string text = collection.name + '\n';
    for (const TalkLineKey_T& key : collection.lines)
        text.append(std::to_string(key.talkId)).append(":").append(std::to_string(key.lineNo)).append("\n");
    return text;
}

bool ParseCollectionFile(std::string_view bytes, LineCollection_T& out, std::string& why)
{
    // Some editors start a UTF-8 file with one.
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    LineCollection_T read;
    std::set<TalkLineKey_T> held;
    std::size_t number = 0;
    const auto fail = [&why, &number](std::string_view reason) {
        why = "line " + std::to_string(number) + ": " + std::string(reason);
        return false;
    };
    // An empty file still has its first line, the name, and it is empty.
    while (number == 0 || !bytes.empty()) {
        ++number;
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!IsUtf8(line))
            return fail("not UTF-8");
        if (number == 1) {
            if (line.empty())
                return fail("no name");
            if (!IsCollectionName(line))
                return fail("not a collection name");
            read.name = line;
            continue;
        }
        if (IsBlank(line))
            continue;
        TalkLineKey_T key;
        switch (ReadKey(line, key)) {
        case KeyRead::kRead:
            break;
        case KeyRead::kNotKey:
            return fail("not talkId:lineNo");
        case KeyRead::kOutOfRange:
            return fail("a number that does not fit 32 bits");
        }
        if (held.insert(key).second)
            read.lines.push_back(key);
    }
    out = std::move(read);
    return true;
}

bool IsCollectionName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxCollectionNameBytes)
        return false;
    bool onlySpaces = true;
    for (std::size_t i = 0; i < name.size();) {
        const std::int32_t c = NextCodePoint(name, i);
        if (c < 0 || c == 0xFEFF)
            return false;
        const std::int8_t type = u_charType(c);
        if (type == U_CONTROL_CHAR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR)
            return false;
        onlySpaces = onlySpaces && u_isUWhiteSpace(c);
    }
    return !onlySpaces;
}

}  // namespace tarnwick
