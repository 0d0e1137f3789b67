#include "talk/capture_list.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_file.h"
#include "host/host_path.h"
#include "talk/decimal_value.h"

namespace tarnwick {

namespace {

// Lines ended by LF; a CR right before the LF goes with it. The last line
// needs no line end. Reads its source a block at a time, so memory follows
// the longest line, not the file. Gives nothing at the end of the source or
// on a read error, so what was read before an error is kept.
class CLineReader {
public:
    // read(dst, n) gives up to n bytes, 0 at the end or on an error.
    using ReadBlock = std::function<std::uint64_t(char*, std::uint64_t)>;

    // Reads no more than limit bytes, however the source grows meanwhile.
    CLineReader(ReadBlock r, std::uint64_t limit) : read(std::move(r)), left(limit) {}

    std::optional<std::string_view> Next()
    {
        for (;;) {
            // A long line is read in many blocks: each is looked through
            // once, not the whole line again after every block.
            const std::size_t nl = pending.find('\n', std::max(start, scanned));
            if (nl != std::string::npos) {
                std::string_view line(pending.data() + start, nl - start);
                start = nl + 1;
                if (!line.empty() && line.back() == '\r')
                    line.remove_suffix(1);
                return line;
            }
            scanned = pending.size();
            if (atEnd) {
                if (start >= pending.size())
                    return std::nullopt;
                const std::string_view last(pending.data() + start, pending.size() - start);
                start = pending.size();
                return last;
            }
            pending.erase(0, start);
            scanned -= start;
            start = 0;
            const std::size_t had = pending.size();
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, left));
            pending.resize(had + want);
            const std::uint64_t got = want != 0 ? read(pending.data() + had, want) : 0;
            pending.resize(had + static_cast<std::size_t>(got));
            left -= got;
            atEnd = got == 0;
        }
    }

private:
    static constexpr std::size_t kBlock = 64u << 10;
    ReadBlock read;
    std::uint64_t left;
    std::string pending;    // read, not yet given out from start on
    std::size_t start = 0;
    std::size_t scanned = 0;  // pending holds no line end before here
    bool atEnd = false;
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

void ParseCaptureList(CLineReader& reader, std::deque<CCaptureElm>& captureItems,
                      std::vector<std::string>& captureNames)
{
    const std::optional<std::string_view> first = reader.Next();
    if (!first || TrimAny(*first, " \t\r\n\v\f") != "<CaptureList>")
        return;

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
                // A deque keeps earlier items where they are as it grows,
                // and holds them in blocks rather than one allocation each.
                CCaptureElm& item = captureItems.emplace_back();
                item.captureName = captureName;
                item.itemName = std::string(*name);
                openItem = &item;
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
}

}  // namespace

bool ReadCaptureList(const std::string& path, std::deque<CCaptureElm>& captureItems,
                     std::vector<std::string>& captureNames)
{
    // Only a regular file is read, so a FIFO or a device in its place cannot
    // hold start-up up.
    CHostFile file;
    if (!file.Open(path) || file.Size() > kMaxCaptureListBytes)
        return false;
    CLineReader reader([&file](char* dst, std::uint64_t n) { return file.Read(dst, n); }, kMaxCaptureListBytes);
    ParseCaptureList(reader, captureItems, captureNames);
    return true;
}

void ParseCaptureListText(std::string_view text, std::deque<CCaptureElm>& captureItems,
                          std::vector<std::string>& captureNames)
{
    CLineReader reader(
        [&text](char* dst, std::uint64_t n) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, text.size()));
            text.copy(dst, take);
            text.remove_prefix(take);
            return static_cast<std::uint64_t>(take);
        },
        kMaxCaptureListBytes);
    ParseCaptureList(reader, captureItems, captureNames);
}

}  // namespace tarnwick
