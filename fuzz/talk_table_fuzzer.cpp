// The input as the talk table, loaded by the talk catalogue with an empty
// program folder, so that no capture list is read.
//
// A small splitter here finds the data rows, their fields and their numbers
// its own way; the catalogue must agree with it record for record. Besides
// that: the input stays as it was (Load copies), the fields view the
// reader's copy at the place their bytes came from, that copy differs from
// the input only by the NULs written over the rows' commas and CRs, the
// lines of a talk are numbered 1, 2, ... and the entry names are the
// zero-padded numbers printf would give.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz_check.h"
#include "talk/veyqel_talk.h"

using tarnwick::fuzz::Check;

namespace {

// Lets the checks see the reader's copy of the table.
class CCatalogueProbe : public tarnwick::CVeyQelTalk {
public:
    const char* Copy() const { return textCopy.get(); }
    std::size_t CopyLength() const { return textLength; }
};

const std::string& EmptyFolder()
{
    return tarnwick::fuzz::ScratchFolder();
}

// A field as the reference sees it: where it starts in the table and its
// length up to the line's end, its comma or its first NUL.
struct Field {
    std::size_t start = 0;
    std::size_t length = 0;
};

struct Row {
    std::size_t start = 0;
    std::size_t length = 0;  // without the CR LF
    std::vector<Field> fields;  // all of them, also past the eleventh
};

// Rows are CR LF ended lines, and the text after the last CR LF unless it is
// empty or starts with NUL. A row counts when its first field ends in a
// comma before any NUL and holds only digits and minus signs.
std::vector<Row> ReferenceRows(std::string_view text)
{
    std::vector<Row> rows;
    if (text.empty() || text.front() == '\0')
        return rows;
    std::size_t p = 0;
    while (p < text.size()) {
        const std::size_t crlf = text.find("\r\n", p);
        if (crlf == std::string_view::npos && text[p] == '\0')
            break;
        const std::size_t end = crlf == std::string_view::npos ? text.size() : crlf;
        const std::string_view line = text.substr(p, end - p);
        const std::size_t stop = line.find_first_of(std::string_view(",\0", 2));
        const bool counts = stop != std::string_view::npos && line[stop] == ',' &&
                            line.substr(0, stop).find_first_not_of("0123456789-") == std::string_view::npos;
        if (counts) {
            Row row{p, line.size(), {}};
            std::size_t from = 0;
            for (;;) {
                const std::size_t comma = std::min(line.find(',', from), line.size());
                const std::string_view field = line.substr(from, comma - from);
                row.fields.push_back({p + from, std::min(field.find('\0'), field.size())});
                if (comma == line.size())
                    break;
                from = comma + 1;
            }
            rows.push_back(std::move(row));
        }
        if (crlf == std::string_view::npos)
            break;
        p = crlf + 2;
    }
    return rows;
}

// strtoll's reading of a field, held to 32 bits the way the catalogue holds
// out-of-range numbers.
std::int32_t ReferenceNumber(std::string_view field)
{
    const std::string text(field);
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// printf's "%0<width>d": the sign counts towards the width, zeros go
// between the sign and the digits.
std::string Padded(std::int32_t value, std::size_t width)
{
    std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    const std::string sign = value < 0 ? "-" : "";
    if (sign.size() + digits.size() < width)
        digits.insert(0, width - sign.size() - digits.size(), '0');
    return sign + digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<Row> rows = ReferenceRows(input);

    CCatalogueProbe talk;
    talk.SetProgramFolder(EmptyFolder());
    talk.Load(data, size);
    Check(std::memcmp(input.data(), data, size) == 0, "Load changed its input");
    Check(talk.CaptureNameCount() == 0 && talk.CaptureItemCount() == 0,
          "capture groups from an empty folder");

    const char* const copy = talk.Copy();
    Check(copy != nullptr && talk.CopyLength() == size, "the reader's copy is not the table's size");
    Check(talk.GetCount() == rows.size(), "record count differs from the reference rows");

    // The copy is the input with each row's commas and its CR (or, for a
    // last row without one, the spare byte behind the table) set to NUL.
    std::string expected = input;
    for (const Row& row : rows) {
        for (std::size_t i = row.start; i < row.start + row.length; ++i) {
            if (expected[i] == ',')
                expected[i] = '\0';
        }
        if (row.start + row.length < size)
            expected[row.start + row.length] = '\0';
        else
            Check(copy[size] == '\0', "a last row without CR LF is not NUL-ended");
    }
    Check(std::memcmp(copy, expected.data(), size) == 0, "the copy differs from the input beyond the row ends");

    for (std::size_t r = 0; r < rows.size(); ++r) {
        const tarnwick::CVeyQelTalkElm& e = *talk.GetAt(r);
        const Row& row = rows[r];
        for (std::size_t k = 0; k < tarnwick::kTalkFieldSlots; ++k) {
            const std::string_view got = e.fields[k];
            Check(got.find('\0') == std::string_view::npos, "a field holds a NUL");
            Check(got.find("\r\n") == std::string_view::npos, "a field holds a CR LF");
            if (k >= row.fields.size()) {
                Check(got.empty(), "a missing field is not empty");
                continue;
            }
            const Field& f = row.fields[k];
            Check(got.size() == f.length, "a field's length differs from the reference");
            if (!got.empty())
                Check(got.data() == copy + f.start, "a field does not view its own bytes in the copy");
        }
        Check(e.IdText() == e.fields[0] && e.castName() == e.fields[3] && e.talkText() == e.fields[5],
              "named texts are not their slots");

        const auto column = [&](std::size_t k) {
            return k < row.fields.size()
                       ? ReferenceNumber(std::string_view(input).substr(row.fields[k].start, row.fields[k].length))
                       : 0;
        };
        Check(e.talkId == column(0), "talkId differs from the reference");
        Check(e.faceId == column(1), "faceId differs from the reference");
        Check(e.faceVariant == column(2), "faceVariant differs from the reference");
        Check(e.frameStyle == column(4), "frameStyle differs from the reference");
        Check(e.waitTenths == column(6), "waitTenths differs from the reference");
        Check(e.voiceKind == column(8), "voiceKind differs from the reference");
        Check(e.bgmNo == 0, "bgmNo set by loading");

        const tarnwick::CVeyQelTalkElm* previous = r > 0 ? talk.GetAt(r - 1) : nullptr;
        const std::int32_t lineNo = previous && previous->talkId == e.talkId ? previous->lineNo + 1 : 1;
        Check(e.lineNo >= 1 && e.lineNo == lineNo, "lineNo breaks the numbering");

        Check(e.FaceEntryName() == Padded(e.faceId, 4) + "_" + Padded(e.faceVariant, 2) + ".png",
              "face entry name is not %04d_%02d.png");
        Check(e.VoiceEntryName() == Padded(e.talkId, 5) + "_" + Padded(e.lineNo, 4) + ".vc",
              "voice entry name is not %05d_%04d.vc");
    }
    return 0;
}
