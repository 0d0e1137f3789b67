#include "talk/capture_list.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_file.h"
#include "host/host_path.h"
#include "talk/decimal_value.h"

namespace tarnwick {

namespace {

// Lines ended by LF; a CR right before the LF goes with it. The last line
// needs no line end.
class CLineReader {
public:
    explicit CLineReader(std::string_view t) : text(t) {}

    std::optional<std::string_view> Next()
    {
        if (pos >= text.size())
            return std::nullopt;
        std::size_t nl = text.find('\n', pos);
        std::string_view line;
        if (nl == std::string_view::npos) {
            line = text.substr(pos);
            pos = text.size();
        } else {
            line = text.substr(pos, nl - pos);
            pos = nl + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
        return line;
    }

private:
    std::string_view text;
    std::size_t pos = 0;
};

std::string_view TrimAny(std::string_view s, std::string_view spaces)
{
    const std::size_t first = s.find_first_not_of(spaces);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(spaces) - first + 1);
}

bool StartsWithNoCase(std::string_view line, std::string_view prefix)
{
    return line.size() >= prefix.size() && EqualsNoCase(line.substr(0, prefix.size()), prefix);
}

// The text between an opening tag of tagLength bytes and the first `">`,
// when there is at least one byte of it.
std::optional<std::string_view> QuotedName(std::string_view line, std::size_t tagLength)
{
    const std::size_t close = line.find("\">");
    if (close == std::string_view::npos || close <= tagLength)
        return std::nullopt;
    return line.substr(tagLength, close - tagLength);
}

// scanf's "%d": optional white space, an optional sign, at least one digit.
bool ScanInt(std::string_view body, std::size_t& pos, std::int32_t& value)
{
    std::size_t i = pos;
    while (i < body.size() && (body[i] == ' ' || (body[i] >= '\t' && body[i] <= '\r')))
        ++i;
    std::size_t digits = i;
    if (digits < body.size() && (body[digits] == '+' || body[digits] == '-'))
        ++digits;
    std::size_t end = digits;
    while (end < body.size() && body[end] >= '0' && body[end] <= '9')
        ++end;
    if (end == digits)
        return false;
    value = DecimalValue(body.substr(i, end - i));
    pos = end;
    return true;
}

// "%d,%d,%d": three numbers, or two with music 0; fewer is no range.
std::optional<TalkRange_T> ParseRange(std::string_view body)
{
    std::int32_t numbers[3] = {0, 0, 0};
    int count = 0;
    std::size_t pos = 0;
    while (count < 3) {
        if (count > 0) {
            if (pos >= body.size() || body[pos] != ',')
                break;
            ++pos;
        }
        if (!ScanInt(body, pos, numbers[count]))
            break;
        ++count;
    }
    if (count < 2)
        return std::nullopt;
    return TalkRange_T{numbers[0], numbers[1], numbers[2]};
}

}  // namespace

bool ReadCaptureList(const std::string& path, std::vector<std::unique_ptr<CCaptureElm>>& captureItems,
                     std::vector<std::string>& captureNames)
{
    // Only a regular file is read, so a FIFO or a device in its place cannot
    // hold start-up up; a read error keeps what was read before it.
    CHostFile file;
    if (!file.Open(path) || file.Size() > kMaxCaptureListBytes)
        return false;
    std::string text;
    try {
        text.resize(static_cast<std::size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    text.resize(static_cast<std::size_t>(file.Read(text.data(), text.size())));
    CLineReader reader(text);

    const std::optional<std::string_view> first = reader.Next();
    if (!first || TrimAny(*first, " \t\r\n\v\f") != "<CaptureList>")
        return true;

    std::string captureName;
    CCaptureElm* openItem = nullptr;
    while (const std::optional<std::string_view> raw = reader.Next()) {
        const std::string_view line = TrimAny(*raw, " \t");
        if (StartsWithNoCase(line, "<Range>")) {
            const std::size_t close = line.find("</Range>");
            if (close == std::string_view::npos || close <= 7 || !openItem)
                continue;
            if (const std::optional<TalkRange_T> range = ParseRange(line.substr(7, close - 7)))
                openItem->ranges.push_back(*range);
        } else if (StartsWithNoCase(line, "<Item Name=\"")) {
            if (const std::optional<std::string_view> name = QuotedName(line, 12)) {
                auto item = std::make_unique<CCaptureElm>();
                item->captureName = captureName;
                item->itemName = std::string(*name);
                openItem = item.get();
                captureItems.push_back(std::move(item));
            }
        } else if (line == "</Item>") {
            openItem = nullptr;
        } else if (StartsWithNoCase(line, "<Capture Name=\"")) {
            // The open item stays open across a group line.
            if (const std::optional<std::string_view> name = QuotedName(line, 15)) {
                captureName = std::string(*name);
                captureNames.push_back(captureName);
            }
        }
    }
    return true;
}

}  // namespace tarnwick
