#include "text_out.h"

#include "host/cp932_text.h"

namespace tarnwick::cli {

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
