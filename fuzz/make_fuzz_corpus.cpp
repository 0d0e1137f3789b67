// Writes the seed corpora of the fuzz targets into the folder given
// (fuzz/corpus): known streams, encoder outputs of varied content, valid
// archives made by the archive writer, hand-made broken archives, and talk
// tables and capture lists that walk their rules' edge cases. The files are
// committed; rerun this only when the seeds should change.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/archive_set.h"
#include "devkit/archive_writer.h"
#include "devkit/dict_encoder.h"
#include "devkit/split_mix64.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
using namespace std::string_literals;

fs::path root;
int failures = 0;

void Save(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const fs::path folder = root / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
        ++failures;
    }
}

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Le(std::uint64_t v, int count)
{
    Bytes out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

// A fixed-seed generator, so that the corpus is the same on every run.
using Random = tarnwick::CSplitMix64;

Bytes RandomBytes(std::size_t n, std::uint64_t seed)
{
    Random r{seed};
    Bytes out(n);
    for (std::uint8_t& b : out)
        b = static_cast<std::uint8_t>(r.Next());
    return out;
}

// Talk-table-like rows: numbers, a cast name, text with "$R" breaks and
// Shift-JIS-like byte pairs, CR LF line ends.
Bytes TalkRows(int rows, std::uint64_t seed)
{
    static const char* const casts[] = {"Ayla", "Bram", "Corin", "Dessa"};
    static const char* const words[] = {"the", "road", "north", "is", "closed", "again", "we",
                                        "should", "wait", "for", "morning", "light", "$R"};
    Random r{seed};
    std::string s;
    for (int i = 0; i < rows; ++i) {
        s += std::to_string(1000 + i / 3) + "," + std::to_string(i % 3) + "," +
             casts[r.Next() % 4] + ",";
        const int n = 3 + static_cast<int>(r.Next() % 9);
        for (int w = 0; w < n; ++w) {
            if (r.Next() % 4 == 0) {
                s += static_cast<char>(0x82);
                s += static_cast<char>(0x9F + r.Next() % 80);
            } else {
                s += words[r.Next() % 13];
                s += ' ';
            }
        }
        s += ',';
        s += std::to_string(r.Next() % 50) + "," + std::to_string(r.Next() % 3) + "\r\n";
    }
    return Text(s);
}

// Fixed-size records with small integers, a zero run and a repeated tail.
Bytes Records(int count)
{
    Bytes out;
    for (int i = 0; i < count; ++i) {
        const Bytes id = Le(static_cast<std::uint32_t>(i), 4);
        out.insert(out.end(), id.begin(), id.end());
        out.push_back(static_cast<std::uint8_t>(i % 7));
        out.push_back(static_cast<std::uint8_t>(i % 3));
        out.insert(out.end(), 10, 0);
        for (int k = 0; k < 16; ++k)
            out.push_back(static_cast<std::uint8_t>("TARNWICKrecord!!"[k]));
    }
    return out;
}

Bytes Encode(const Bytes& content)
{
    static tarnwick::CDictEncoder encoder;
    return encoder.Encode(content);
}

// ---- dict_decode_fuzzer: capacity (4 bytes) then the stream ----

void DecodeSeeds()
{
    const std::string t = "dict_decode_fuzzer";
    const Bytes example = {0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC6};
    const Bytes xs = {0x3C, 0x1E, 0x2B, 0x20};
    Save(t, "empty", {});
    Save(t, "capacity-only", Le(12, 4));
    Save(t, "worked-example-cap12", Cat({Le(12, 4), example}));
    Save(t, "worked-example-cap5", Cat({Le(5, 4), example}));
    Save(t, "worked-example-cap0", Cat({Le(0, 4), example}));
    // The last bit follows the final code and must not matter.
    Save(t, "worked-example-last-bit-set", Cat({Le(12, 4), {0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC7}}));
    Save(t, "worked-example-cut", Cat({Le(12, 4), {0x30, 0x98, 0x8C}}));
    Save(t, "ten-x-cap10", Cat({Le(10, 4), xs}));
    Save(t, "ten-x-cap4", Cat({Le(4, 4), xs}));
    Save(t, "undefined-first-code", Cat({Le(16, 4), {0x80}}));
    Save(t, "all-ones", Cat({Le(4096, 4), Bytes(32, 0xFF)}));
    Save(t, "all-zeros", Cat({Le(4096, 4), Bytes(64, 0x00)}));
    Save(t, "huge-capacity", Cat({Le(0xFFFFFFFF, 4), xs}));

    const Bytes talk = TalkRows(40, 1);
    Save(t, "enc-talk-rows", Cat({Le(talk.size(), 4), Encode(talk)}));
    Save(t, "enc-talk-rows-short-cap", Cat({Le(talk.size() / 3, 4), Encode(talk)}));
    const Bytes run(1000, 'x');  // strings grow to the 100-byte limit
    Save(t, "enc-run-1000", Cat({Le(run.size(), 4), Encode(run)}));
    const Bytes records = Records(200);
    Save(t, "enc-records", Cat({Le(records.size(), 4), Encode(records)}));
    // Enough distinct strings to take all 8192 codes and recycle the tail.
    const Bytes noise = RandomBytes(12000, 2);
    Save(t, "enc-random-12k", Cat({Le(noise.size(), 4), Encode(noise)}));
    const Bytes manyRows = TalkRows(900, 3);
    Save(t, "enc-talk-rows-large", Cat({Le(manyRows.size(), 4), Encode(manyRows)}));
    Bytes flipped = Encode(talk);
    flipped[flipped.size() / 2] ^= 0x10;
    Save(t, "enc-talk-rows-bit-flipped", Cat({Le(talk.size(), 4), flipped}));
    // Full long before the bad code: the result must still be false.
    Save(t, "enc-talk-rows-bit-flipped-cap64", Cat({Le(64, 4), flipped}));
}

// ---- dict_roundtrip_fuzzer: mode byte, then content or stitch length ----

void RoundTripSeeds()
{
    const std::string t = "dict_roundtrip_fuzzer";
    Save(t, "empty", {});
    Save(t, "mode-only", {0x00});
    Save(t, "one-byte", {0x00, 'A'});
    // Ends on a string code short enough to fit in the last byte's spare
    // bits, which the decoder would never read.
    Save(t, "aaaa", Cat({{0x00}, Text("aaaa")}));
    Save(t, "abc-repeated", Cat({{0x00}, Text("abcabcabcabc")}));
    Save(t, "abc-repeated-cap-half", Cat({{0x80}, Text("abcabcabcabc")}));
    Save(t, "talk-rows", Cat({{0x40}, TalkRows(30, 4)}));
    Save(t, "run-300", Cat({{0xFE}, Bytes(300, 'x')}));
    Save(t, "records", Cat({{0x20}, Records(60)}));
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    Save(t, "all-byte-values", Cat({{0x10}, all, all}));
    // Stitched: short input, long content that fills and recycles codes.
    Save(t, "stitch-64k-words",
         Cat({{0x61, 0xFF, 0xFF}, Text("the road north is closed again, we should wait. ")}));
    Save(t, "stitch-64k-random", Cat({{0x03, 0xFF, 0xFF}, RandomBytes(64, 5)}));
    Save(t, "stitch-32k-run", Cat({{0x91, 0xFF, 0x7F}, Bytes(8, 'x')}));
    Save(t, "stitch-4k-records", Cat({{0x41, 0x00, 0x10}, Records(4)}));
}

// ---- dict_differential_fuzzer: mode byte (stream kind, capacity share) ----

// Fields of the given widths packed most significant bit first, as the
// decoder takes them; the last byte is padded with zeros.
Bytes PackBits(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& fields)
{
    Bytes out;
    std::uint64_t acc = 0;
    std::uint32_t held = 0;
    for (const auto& [value, width] : fields) {
        acc = acc << width | (value & ((1u << width) - 1u));
        for (held += width; held >= 8; held -= 8)
            out.push_back(static_cast<std::uint8_t>(acc >> (held - 8)));
    }
    if (held > 0)
        out.push_back(static_cast<std::uint8_t>(acc << (8 - held)));
    return out;
}

// Fills all 8192 codes with literals whose pairs are all new, so that "ab"
// (256) stays the tail; then a code starting with 'b' after 'a' extends
// "ab", which has to stop growth instead of taking the tail from under it.
Bytes TailIsExtended()
{
    Bytes symbols;
    for (int c = 0; symbols.size() < 100; ++c)
        if (c != 'a' && c != 'b')
            symbols.push_back(static_cast<std::uint8_t>(c));
    Bytes filler;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        filler.push_back(symbols[i]);
        for (std::size_t j = i + 1; j < symbols.size(); ++j)
            filler.insert(filler.end(), {symbols[i], symbols[j]});
    }
    filler.resize(8192 - 256 - 2);
    // Flag 0 and eight bits for a literal; flag 1 and 13 bits for a code.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> fields = {{0, 1}, {'a', 8}, {0, 1}, {'b', 8}};
    for (const std::uint8_t f : filler)
        fields.insert(fields.end(), {{0, 1}, {f, 8}});
    fields.insert(fields.end(), {{0, 1}, {'a', 8}, {1, 1}, {257 - 256, 13}, {1, 1}, {256 - 256, 13}, {0, 1}, {'z', 8}});
    return PackBits(fields);
}

void DifferentialSeeds()
{
    const std::string t = "dict_differential_fuzzer";
    // Mode: stream kind in bits 0-1, capacity in 32nds of the output above.
    auto mode = [](std::uint8_t kind, std::uint8_t share) { return static_cast<std::uint8_t>(kind | share << 2); };
    const Bytes example = {0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC6};
    Save(t, "empty", {});
    Save(t, "raw-worked-example-full", Cat({{mode(0, 32)}, example}));
    Save(t, "raw-worked-example-part", Cat({{mode(0, 13)}, example}));
    Save(t, "raw-ten-x-twice-the-room", Cat({{mode(0, 63)}, {0x3C, 0x1E, 0x2B, 0x20}}));
    Save(t, "raw-undefined-first-code", {mode(0, 32), 0x80});
    Save(t, "raw-all-ones", Cat({{mode(0, 32)}, Bytes(64, 0xFF)}));
    Save(t, "raw-random", Cat({{mode(0, 20)}, RandomBytes(4000, 11)}));
    Save(t, "raw-tail-is-extended", Cat({{mode(0, 32)}, TailIsExtended()}));
    Save(t, "raw-tail-is-extended-part", Cat({{mode(0, 31)}, TailIsExtended()}));
    Save(t, "enc-talk-rows", Cat({{mode(1, 32)}, TalkRows(40, 12)}));
    Save(t, "enc-run-1000", Cat({{mode(1, 17)}, Bytes(1000, 'x')}));
    Save(t, "enc-records-cap0", Cat({{mode(1, 0)}, Records(100)}));
    // Enough distinct strings to take all 8192 codes and recycle the tail.
    Save(t, "enc-random-12k", Cat({{mode(1, 32)}, RandomBytes(12000, 13)}));
    Save(t, "enc-talk-rows-large", Cat({{mode(1, 40)}, TalkRows(300, 14)}));
    Save(t, "stitch-64k-words", Cat({{mode(2, 32), 0xFF, 0xFF}, Text("the road north is closed again, we should wait. ")}));
    Save(t, "stitch-64k-random", Cat({{mode(2, 7), 0xFF, 0xFF}, RandomBytes(64, 15)}));
    Save(t, "stitch-32k-run", Cat({{mode(2, 50), 0xFF, 0x7F}, Bytes(8, 'x')}));
    Save(t, "damaged-words", Cat({{mode(3, 32), 0xFF, 0xFF}, Text("we should wait for morning light $R")}));
    Save(t, "damaged-random", Cat({{mode(3, 63), 0x00, 0x40}, RandomBytes(48, 16)}));
    Save(t, "damaged-records", Cat({{mode(3, 16), 0xFF, 0x3F}, Records(3)}));
}

// ---- archive_open_fuzzer: .hed length (2 bytes), .hed, .dat ----

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Entry {
    std::string name;
    Bytes content;
    bool compress;
};

// An archive as the archive writer makes it, packed for the fuzz target.
Bytes Written(const fs::path& scratch, const std::vector<Entry>& entries, bool compressNames)
{
    const std::string hed = (scratch / "a.hed").string();
    const std::string dat = (scratch / "a.dat").string();
    tarnwick::CArchiveWriter writer;
    bool ok = writer.Open(hed, dat);
    for (const Entry& e : entries)
        ok = ok && writer.Add(e.name, e.content, e.compress);
    ok = ok && writer.Finish(compressNames);
    if (!ok) {
        std::fprintf(stderr, "cannot write a seed archive\n");
        ++failures;
    }
    const Bytes h = ReadAll(hed);
    return Cat({Le(h.size(), 2), h, ReadAll(dat)});
}

struct Record {
    std::uint32_t offset, stored, full;
};

// A hand-made archive: records exactly as given, the .dat as given.
Bytes Raw(const std::vector<Record>& records, const Bytes& dat, const Bytes& hedTail = {})
{
    Bytes hed;
    for (const Record& r : records)
        hed = Cat({hed, Le(r.offset, 4), Le(r.stored, 4), Le(r.full, 4)});
    hed = Cat({hed, hedTail});
    return Cat({Le(hed.size(), 2), hed, dat});
}

void ArchiveSeeds(const fs::path& scratch)
{
    const std::string t = "archive_open_fuzzer";
    const std::uint32_t z = tarnwick::kStoredCompressed;
    const Bytes talk = TalkRows(12, 6);
    const Bytes png = Cat({{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, RandomBytes(40, 7)});

    Save(t, "plain", Written(scratch, {{"another_aa_talk.csv", talk, false}, {"0001_01.png", png, false}}, false));
    Save(t, "compressed", Written(scratch, {{"another_aa_talk.csv", talk, true}, {"0001_01.png", png, true}}, true));
    Save(t, "mixed-case-twins",
         Written(scratch,
                 {{"Readme.TXT", Text("first"), true}, {"readme.txt", Text("second"), false},
                  {"00001_0001.vc", RandomBytes(30, 8), false}, {"a", {}, true}, {"", Text("nameless"), false}},
                 true));
    Save(t, "empty-directory", Written(scratch, {}, false));
    Save(t, "empty-entries", Written(scratch, {{"a", {}, false}, {"0001_01.png", {}, true}}, false));
    Save(t, "path-like-names",
         Written(scratch, {{"..\\a", Text("x"), false}, {"b/c", Text("y"), false}, {"pri-a", Text("z"), true}}, false));

    // Hand-made: the directory first, entries behind it.
    const Bytes dir2 = tarnwick::CArchiveWriter::NameDirectory({"a", "another_aa_talk.csv"});
    const auto d = static_cast<std::uint32_t>(dir2.size());
    const Bytes example = {0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC6};  // 12 bytes "abcabc..."
    const Bytes body = Cat({dir2, Text("0123456789"), example});
    const std::uint32_t ex = d + 10;
    Save(t, "raw-valid", Raw({{0, d, d}, {d, 10, 10}, {ex, 6 | z, 12}}, body));
    Save(t, "raw-plain-cut-short", Raw({{0, d, d}, {d, 10, 20}, {d + 5, 10, 10}}, Cat({dir2, Text("0123456789")})));
    Save(t, "raw-offset-past-end", Raw({{0, d, d}, {0x7FFFFFF0, 10, 10}, {ex + 100, 6 | z, 12}}, body));
    Save(t, "raw-compressed-gives-less", Raw({{0, d, d}, {d, 10, 10}, {ex, 6 | z, 20}}, body));
    Save(t, "raw-compressed-gives-more", Raw({{0, d, d}, {d, 10, 10}, {ex, 6 | z, 5}}, body));
    Save(t, "raw-compressed-stored-too-long", Raw({{0, d, d}, {d, 10, 10}, {ex, 600 | z, 12}}, body));
    Save(t, "raw-compressed-huge-full", Raw({{0, d, d}, {d, 10, 0xFFFFFFFF}, {ex, 6 | z, 0x7FFFFFFF}}, body));
    Save(t, "raw-compressed-undefined-code", Raw({{0, d, d}, {d, 1 | z, 30}, {ex, 6 | z, 12}}, Cat({dir2, {0x80}, Bytes(9, 0), example})));
    Save(t, "raw-plain-huge-full", Raw({{0, d, d}, {d, 10, 0xFFFFFFFF}, {ex, 6, 0x7FFFFFFF}}, body));
    Save(t, "raw-hed-partial-record", Raw({{0, d, d}, {d, 10, 10}, {ex, 6 | z, 12}}, body, {1, 2, 3, 4, 5}));
    Save(t, "raw-hed-empty", Raw({}, body));
    Save(t, "raw-fewer-records-than-names", Raw({{0, d, d}, {d, 10, 10}}, body));
    Save(t, "raw-count-too-large", Raw({{0, d, d}, {d, 10, 10}, {ex, 6 | z, 12}}, Cat({Le(1000, 4), Bytes(dir2.begin() + 4, dir2.end()), Text("0123456789"), example})));
    Save(t, "raw-name-without-zero", Raw({{0, d - 1, d - 1}, {d, 10, 10}, {ex, 6 | z, 12}}, body));
    Save(t, "raw-directory-too-short", Raw({{0, 3, 3}, {d, 10, 10}}, body));
    Save(t, "raw-directory-past-end", Raw({{0xFFFFFF00, d, d}, {d, 10, 10}}, body));
    const Bytes packed = Encode(dir2);
    const auto p = static_cast<std::uint32_t>(packed.size());
    Save(t, "raw-compressed-directory", Raw({{0, p | z, d}, {p, 10, 10}, {p + 10, 6 | z, 12}}, Cat({packed, Text("0123456789"), example})));
    Save(t, "raw-compressed-directory-undefined", Raw({{0, 1 | z, d}, {1, 10, 10}}, Cat({{0x80}, Text("0123456789")})));
    Save(t, "raw-compressed-directory-short", Raw({{0, p | z, d + 40}, {p, 10, 10}}, Cat({packed, Text("0123456789")})));
}


// ---- talk_table_fuzzer: the table's bytes ----

void TalkTableSeeds()
{
    const std::string t = "talk_table_fuzzer";
    // Shift-JIS "アリス" as a cast name; 0x5C as a second byte is no separator.
    const std::string cast = "\x83\x41\x83\x8a\x83\x58";
    const std::string row = "1203,15,3," + cast + ",1,Hello$Rworld,30,x,1,y,z\r\n";
    Save(t, "empty", {});
    Save(t, "crlf-only", Text("\r\n"));
    Save(t, "one-row", Text(row));
    Save(t, "heading-and-rows",
         Text("ID,Face,Var,Cast,Frame,Text,Wait,Note,Voice,A,B\r\n" + row +
              "1203,15,4," + cast + ",2,\x95\x5c\x8e\xa6,0,,2,,\r\n"
              "1204,7,1,Bram,0,Next talk,12,,0,,\r\n"));
    Save(t, "skipped-rows",
         Text("#note,1\r\n12a,1,2\r\n 12,1,2\r\n-,1,2,dash\r\n,1,2,empty id\r\nnocomma\r\n\r\n"
              "12\0,3,4\r\n5-5,6\r\n+5,1,2\r\n"s));
    Save(t, "ids-5-5-7-5", Text("5,1,1,a,0,t,0,,1\r\n5,1,1,b,0,t,0,,1\r\n7,1,1,c,0,t,0,,0\r\n5,1,1,d,0,t,0,,-1\r\n"));
    Save(t, "first-byte-nul", Cat({{0}, Text(row)}));
    Save(t, "nul-line-between", Text(row + "\0" "9,9,9\r\n"s + row));
    Save(t, "nul-inside-fields", Text("7,1\0" "2,3,ca\0st,0,te\0xt\r\n"s));
    Save(t, "lf-only-lines", Text("1,a\n2,b\n3,c\r\n4,d\n"));
    Save(t, "cr-alone", Text("1,a\r2,b\r\r\n3,c\r\r\r\n"));
    Save(t, "last-row-without-crlf", Text(row + "1204,2,2,Corin,0,last"));
    Save(t, "last-row-ends-in-cr", Text(row + "1204,2,2,Corin,0,last\r"));
    Save(t, "trailing-nul", Text(row + "\0"s));
    Save(t, "trailing-nul-text", Text(row + "\0" "1,2,3"s));
    Save(t, "fourteen-fields", Text("1,2,3,4,5,6,7,8,9,10,11,12,13,14\r\n1,,,,,,,,,,,,,,\r\n,\r\n"));
    Save(t, "quoted-comma", Text("9,1,1,Ayla,0,\"Hi, there\",5,,1\r\n"));
    Save(t, "short-rows", Text("3,\r\n3,1\r\n3,1,2,Cast\r\n-3,-1,-2,Neg,-1,t,-5,,-1\r\n"));
    Save(t, "number-edges",
         Text("2147483647,-2147483648,99999999999,c,+3, t, \t 42x,,  -0\r\n"
              "-2147483649,007,-7,c,\v9,t,++1,,- 1\r\n--,1,2\r\n"));
    Save(t, "many-rows", TalkRows(130, 9));
}

// ---- capture_list_fuzzer: the file's bytes ----

void CaptureListSeeds()
{
    const std::string t = "capture_list_fuzzer";
    Save(t, "empty", {});
    Save(t, "header-only", Text("<CaptureList>"));
    Save(t, "full",
         Text("<CaptureList>\r\n"
              "<Item Name=\"Early\">\r\n<Range>1,2</Range>\r\n</Item>\r\n"
              "<Capture Name=\"First\">\r\n"
              "\t<Item Name=\"A\">\r\n\t\t<Range>1,5</Range>\r\n\t\t<Range>10, 20, 3</Range>\r\n"
              "\t\t<RANGE>-4,-2,1</Range>  trailing\r\n\t</Item>\r\n"
              "\t<Item Name=\"Empty\"></Item>\r\n</Capture>\r\n"
              "<Capture Name=\"First\">\r\n<Item Name=\"B\">\r\n<Range>7,7,2</Range>\r\n"
              "</Capture>\r\n</CaptureList>\r\n"));
    Save(t, "header-padded", Text(" \t<CaptureList>\t \r\n<Item Name=\"x\">\n<Range>1,2</Range>\n"));
    Save(t, "header-lower", Text("<capturelist>\n<Item Name=\"x\">\n<Range>1,2</Range>\n"));
    Save(t, "header-bom", Text("\xEF\xBB\xBF<CaptureList>\n<Item Name=\"x\">\n<Range>1,2</Range>\n"));
    Save(t, "header-declaration",
         Text("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<CaptureList>\n<Item Name=\"x\">\n<Range>1,2</Range>\n"));
    Save(t, "cr-only", Text("<CaptureList>\r<Item Name=\"x\">\r<Range>1,2</Range>\r"));
    Save(t, "tag-case",
         Text("<CaptureList>\n<capture name=\"g\">\n<ITEM NAME=\"i\">\n<range>1,5</range>\n"
              "<RANGE>1,5</Range>\n<Range>2,6</RANGE>\n</item>\n<Range>3,7</Range>\n</Item>\n<Range>4,8</Range>\n"));
    Save(t, "empty-names",
         Text("<CaptureList>\n<Capture Name=\"g\">\n<Capture Name=\"\">\n<Capture Name=\">\n"
              "<Item Name=\"\">\n<Item Name=\">\n<Item Name=\"i\">\n<Range></Range>\n<Range>5,6</Range>\n"));
    Save(t, "end-item-spacing",
         Text("<CaptureList>\n<Item Name=\"a\">\n</Item >\n<Range>1,2</Range>\n \t</Item>\t \n<Range>3,4</Range>\n"
              "<Item Name=\"b\">\n</Item>\r\r\n<Range>5,6</Range>\n"));
    Save(t, "range-counts",
         Text("<CaptureList>\n<Item Name=\"r\">\n<Range>7</Range>\n<Range>1,5</Range>\n<Range>10, 20, 3</Range>\n"
              "<Range>1,2,3,4</Range>\n<Range>10 ,20</Range>\n<Range> +5,-3,x</Range>\n<Range>1,2,</Range>\n"
              "<Range>-,1,2</Range>\n<Range>99999999999,-99999999999,2147483648</Range>\n"
              "<Range>1,2</Range><Range>3,4</Range>\n<Range>1,2\n<Range>\v1,\f2,\r3</Range>\n"));
    Save(t, "item-and-range-one-line",
         Text("<CaptureList>\n<Item Name=\"one\"><Range>1,2</Range></Item>\n<Range>3,4</Range>\n"));
    Save(t, "range-before-item", Text("<CaptureList>\n<Range>1,2</Range>\n<Item Name=\"late\">\n"));
    Save(t, "item-across-groups",
         Text("<CaptureList>\n<Capture Name=\"g1\">\n<Item Name=\"i\">\n<Capture Name=\"g2\">\n<Range>1,9,4</Range>\n"
              "<Item Name=\"j\">\n<Item Name=\"k\">\n<Range>2,3</Range>\n"));
    Save(t, "names-verbatim",
         Text("<CaptureList>\n<Capture Name=\"A &amp; B\">\n<Item Name='single'>\n<Item  Name=\"two spaces\">\n"
              "<Item Name=\"q\"x\">\">\n<Item Name=\"\x83\x41\x83\x8a\">\n<Item Name=\"n\0ul\">\n<Range>1,2</Range>\n"s));
    Save(t, "no-final-lf", Text("<CaptureList>\r\n<Item Name=\"x\">\r\n<Range>1,2</Range>"));
    std::string huge = "<CaptureList>\n<Item Name=\"" + std::string(5000, 'n') + "\">\n<Range>";
    huge += std::string(3000, ' ') + "1," + std::string(2000, '0') + "2</Range>\n";
    Save(t, "huge-lines", Text(huge));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[1];
    std::string scratch = (fs::temp_directory_path() / "tarnwick-corpus-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    DecodeSeeds();
    RoundTripSeeds();
    DifferentialSeeds();
    ArchiveSeeds(scratch);
    TalkTableSeeds();
    CaptureListSeeds();
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return failures == 0 ? 0 : 1;
}
