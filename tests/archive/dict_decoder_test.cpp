#include "archive/dict_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

// Packs bits most significant first, the order in which the decoder takes
// them; the last byte is padded with zeros.
class BitWriter {
public:
    void Put(std::uint32_t value, std::uint32_t count)
    {
        while (count-- > 0) {
            if (bits % 8 == 0)
                bytes.push_back(0);
            if ((value >> count) & 1u)
                bytes.back() = static_cast<std::uint8_t>(bytes.back() | (0x80u >> (bits % 8)));
            ++bits;
        }
    }
    void Literal(std::uint8_t b) { Put(0, 1), Put(b, 8); }
    void Code(std::uint32_t code, std::uint32_t width) { Put(1, 1), Put(code - 256, width); }

    std::vector<std::uint8_t> bytes;
    std::uint64_t bits = 0;
};

constexpr char kUntouched = '\xEE';
constexpr std::uint32_t kSlack = 4;  // guard bytes behind the capacity

struct Decoded {
    bool ok;
    std::string dst;  // the whole destination, capacity plus the guard bytes
    std::uint32_t written;
};

Decoded DecodeInto(CDictDecoder& decoder, const std::vector<std::uint8_t>& src,
                   std::uint32_t capacity)
{
    std::vector<std::uint8_t> dst(capacity + kSlack, static_cast<std::uint8_t>(kUntouched));
    std::uint32_t written = 0xDEAD;
    const bool ok = decoder.Decode(src.data(), static_cast<std::uint32_t>(src.size()), dst.data(),
                                   capacity, &written);
    return {ok, std::string(dst.begin(), dst.end()), written};
}

std::string Untouched(std::size_t n) { return std::string(n, kUntouched); }

const std::vector<std::uint8_t> kAbc = {0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC6};

TEST(DictDecoderTest, AbcStreamBuildsTheDictionaryCodeByCode)
{
    CDictDecoder decoder;
    const Decoded r = DecodeInto(decoder, kAbc, 12);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, "abcabcabcabc" + Untouched(kSlack));

    const char* const added[] = {"ab",   "bc",    "ca",   "cab",   "abc",
                                 "abca", "abcab", "cabc", "cabca", "cabcab"};
    for (std::uint32_t i = 0; i < std::size(added); ++i)
        EXPECT_EQ(decoder.DictString(256 + i), added[i]) << "code " << 256 + i;
    EXPECT_EQ(decoder.NextCode(), 266u);
    EXPECT_EQ(decoder.CodeWidth(), 4u);
    EXPECT_EQ(decoder.DictString('c'), "c");
}

TEST(DictDecoderTest, CapacityLimitsOutputButNotDecoding)
{
    CDictDecoder decoder;
    const std::string all = "abcabcabcabc";
    for (std::uint32_t capacity = 0; capacity <= 16; ++capacity) {
        const Decoded r = DecodeInto(decoder, kAbc, capacity);
        EXPECT_TRUE(r.ok) << capacity;
        const std::size_t written = std::min<std::size_t>(capacity, all.size());
        EXPECT_EQ(r.dst, all.substr(0, written) + Untouched(capacity + kSlack - written))
            << capacity;
        EXPECT_EQ(r.written, written);
        // The dictionary is built from the whole stream, whatever was kept.
        EXPECT_EQ(decoder.NextCode(), 266u) << capacity;
    }
}

TEST(DictDecoderTest, EmptyInputAndUndefinedFirstCode)
{
    CDictDecoder decoder;
    ASSERT_TRUE(DecodeInto(decoder, kAbc, 12).ok);

    Decoded r = DecodeInto(decoder, {}, 8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, Untouched(8 + kSlack));
    EXPECT_EQ(r.written, 0u);
    EXPECT_EQ(decoder.NextCode(), 256u);  // still a fresh dictionary
    EXPECT_EQ(decoder.CodeWidth(), 1u);

    // Flag 1, value 0: code 256 before any string exists.
    r = DecodeInto(decoder, {0x80}, 8);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.dst, Untouched(8 + kSlack));
}

TEST(DictDecoderTest, RunOfOneLetterWithGrowingWidth)
{
    CDictDecoder decoder;
    const std::vector<std::uint8_t> src = {0x3C, 0x1E, 0x2B, 0x20};
    Decoded r = DecodeInto(decoder, src, 10);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, std::string(10, 'x') + Untouched(kSlack));
    EXPECT_EQ(decoder.DictString(256), "xx");
    EXPECT_EQ(decoder.DictString(257), "xxx");
    EXPECT_EQ(decoder.CodeWidth(), 3u);

    r = DecodeInto(decoder, src, 4);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, "xxxx" + Untouched(kSlack));
}

TEST(DictDecoderTest, CodeInTheLastBytesUnreadBitsIsIgnored)
{
    // 'a' and 'b' take bits 0..17, so 'b' fetches the third byte. Its
    // remaining six bits hold a complete, defined code (256 = "ab" at width 1).
    BitWriter trailing;
    trailing.Literal('a'), trailing.Literal('b'), trailing.Code(256, 1);
    ASSERT_EQ(trailing.bytes.size(), 3u);
    CDictDecoder decoder;
    Decoded r = DecodeInto(decoder, trailing.bytes, 8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, "ab" + Untouched(6 + kSlack));
    EXPECT_EQ(decoder.NextCode(), 257u);

    // The same bits followed by another code are read.
    BitWriter control = trailing;
    control.Literal('c');
    r = DecodeInto(decoder, control.bytes, 8);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, "ababc" + Untouched(3 + kSlack));
}

TEST(DictDecoderTest, MissingBitsAtTheEndReadAsOnes)
{
    // 0x30 holds flag 0 and seven bits of 'a' (0x61); its last bit is missing.
    CDictDecoder decoder;
    Decoded r = DecodeInto(decoder, {0x30}, 2);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, "a" + Untouched(1 + kSlack));

    // A wide code cut short: 303 literals with all pairs distinct bring the
    // width to 9, then flag 1 lands on the last bit of a byte and only eight
    // of the code's nine bits follow. The ninth reads as 1: code 257 ("\1\2"),
    // not 256 ("\0\1").
    BitWriter w;
    std::string literals;
    for (int i = 0; i < 256; ++i)
        w.Literal(static_cast<std::uint8_t>(i)), literals += static_cast<char>(i);
    for (int i = 0; i < 47; ++i)
        w.Literal(static_cast<std::uint8_t>(2 * i)), literals += static_cast<char>(2 * i);
    ASSERT_EQ(w.bits % 8, 7u);
    w.Put(1, 1);
    const auto capacity = static_cast<std::uint32_t>(literals.size() + 2);

    BitWriter defined = w;
    defined.Put(0, 8);
    ASSERT_EQ(defined.bits % 8, 0u);
    r = DecodeInto(decoder, defined.bytes, capacity);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, literals + "\1\2" + Untouched(kSlack));
    EXPECT_EQ(decoder.CodeWidth(), 9u);

    // Completed with a 1, eight ones make code 767, which does not exist yet.
    BitWriter undefined = w;
    undefined.Put(0xFF, 8);
    r = DecodeInto(decoder, undefined.bytes, capacity);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.dst, literals + Untouched(2 + kSlack));
}

TEST(DictDecoderTest, UndefinedCodeMidwayKeepsWhatWasWritten)
{
    BitWriter w;
    w.Literal('a'), w.Literal('b'), w.Code(257, 1), w.Literal('c');  // only 256 exists
    CDictDecoder decoder;
    const Decoded r = DecodeInto(decoder, w.bytes, 6);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.dst, "ab" + Untouched(4 + kSlack));
    EXPECT_EQ(r.written, 2u);
}

// Children are found through a table that no decode clears. After "ab"
// was code 256 in one decode, the next decode must not take that entry for
// "ab": not while 256 is not handed out yet, nor once 256 has become another
// string, with another first byte or the same first byte.
TEST(DictDecoderTest, ChildrenLeftByAnEarlierDecodeDoNotCount)
{
    struct Case {
        const char* literals;
        std::uint32_t abCode;  // the code "ab" gets in the second decode
        std::uint32_t width;
    };
    const Case cases[] = {{"ab", 256, 1}, {"xyab", 258, 2}, {"acab", 258, 2}};
    BitWriter earlier;
    earlier.Literal('a'), earlier.Literal('b');
    CDictDecoder decoder;
    for (const Case& c : cases) {
        ASSERT_TRUE(DecodeInto(decoder, earlier.bytes, 2).ok);
        BitWriter w;
        for (const char* l = c.literals; *l; ++l)
            w.Literal(static_cast<std::uint8_t>(*l));
        // The last literal makes sure the code is read, not left in the
        // unread bits of a byte fetched before.
        w.Code(c.abCode, c.width), w.Literal('z');
        const std::string expected = std::string(c.literals) + "abz";
        const Decoded r = DecodeInto(decoder, w.bytes, static_cast<std::uint32_t>(expected.size()));
        EXPECT_TRUE(r.ok) << c.literals;
        EXPECT_EQ(r.dst, expected + Untouched(kSlack)) << c.literals;
        EXPECT_EQ(decoder.DictString(c.abCode), "ab") << c.literals;
    }
}

// Literals whose consecutive pairs are all distinct, none of them 'a', 'b'
// or above 'e': x, then x y for every later y, for each x. Behind "ab" and
// one more literal, they take the codes up to 8190.
std::string DistinctPairFiller()
{
    std::vector<std::uint8_t> symbols;
    for (int c = 0; symbols.size() < 100; ++c)
        if (c != 'a' && c != 'b')
            symbols.push_back(static_cast<std::uint8_t>(c));
    std::string filler;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        filler += static_cast<char>(symbols[i]);
        for (std::size_t j = i + 1; j < symbols.size(); ++j)
            filler += {static_cast<char>(symbols[i]), static_cast<char>(symbols[j])};
    }
    filler.resize(8192 - 256 - 2);
    return filler;
}

// Random data practically never gets here, so the stream is built by hand:
// "ab" is the oldest string; literals over other bytes, every pair new, take
// the codes up to 8190; 'a' takes the last one. Then "b?" (257) walks from
// 'a' into "ab" and has to extend it, but "ab" is now the tail.
TEST(DictDecoderTest, FullDictionaryNeverReusesTheStringBeingExtended)
{
    const std::string filler = DistinctPairFiller();
    BitWriter w;
    w.Literal('a'), w.Literal('b');
    for (char f : filler)
        w.Literal(static_cast<std::uint8_t>(f));
    w.Literal('a');
    w.Code(257, 13), w.Code(256, 13), w.Literal('z');
    const std::string expected = "ab" + filler + "a" + "b" + filler[0] + "ab" + "z";

    CDictDecoder decoder;
    const Decoded r = DecodeInto(decoder, w.bytes, static_cast<std::uint32_t>(expected.size()));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.dst, expected + Untouched(kSlack));
    EXPECT_EQ(decoder.NextCode(), 8192u);
    EXPECT_EQ(decoder.CodeWidth(), 13u);
    EXPECT_EQ(decoder.DictString(256), "ab");

    // Nothing of that carries over into the next decode.
    CDictDecoder fresh;
    const Decoded again = DecodeInto(decoder, kAbc, 12);
    EXPECT_EQ(again.dst, DecodeInto(fresh, kAbc, 12).dst);
    EXPECT_EQ(decoder.NextCode(), fresh.NextCode());
    EXPECT_EQ(decoder.CodeWidth(), fresh.CodeWidth());
    for (std::uint32_t c = 256; c < fresh.NextCode(); ++c)
        EXPECT_EQ(decoder.DictString(c), fresh.DictString(c));
}

// A recycled code still stands where it was last found as a child; once it
// holds another string it is that child no more, whether it kept the parent
// or the byte. "ab" (256) is the oldest string when the dictionary fills
// up, then the pair after the last filler literal takes its code, and 'a'
// 'b' must make "ab" anew (258, after the pair before it took 257).
TEST(DictDecoderTest, RecycledCodeIsNoLongerTheChildItWas)
{
    const std::string filler = DistinctPairFiller();
    // The last filler literal, then the one whose pair takes code 256.
    const std::string pairs[] = {"aq", "rb"};
    for (const std::string& pair : pairs) {
        BitWriter w;
        w.Literal('a'), w.Literal('b');
        for (char f : filler)
            w.Literal(static_cast<std::uint8_t>(f));
        for (char l : pair + "ab")
            w.Literal(static_cast<std::uint8_t>(l));
        w.Code(258, 13), w.Literal('z');
        const std::string expected = "ab" + filler + pair + "ab" + "ab" + "z";

        CDictDecoder decoder;
        const Decoded r = DecodeInto(decoder, w.bytes, static_cast<std::uint32_t>(expected.size()));
        EXPECT_TRUE(r.ok) << pair;
        EXPECT_EQ(r.dst, expected + Untouched(kSlack)) << pair;
        EXPECT_EQ(decoder.DictString(256), pair) << pair;
        EXPECT_EQ(decoder.DictString(258), "ab") << pair;
    }
}

}  // namespace
}  // namespace tarnwick
