#include "devkit/dict_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <list>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/dict_decoder.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A deliberately plain decoder: whole strings, a std::list for the recency
// order and a hash map for the children. Encoder and decoder share one
// implementation of the dictionary, so a round trip alone cannot catch a
// fault in it; comparing with this model can.
class ModelDecoder {
public:
    bool ok = true;
    std::string out;  // everything decoded, no capacity
    std::vector<std::string> strings;
    std::uint32_t next = 256;

    void Decode(const Bytes& src)
    {
        ok = true;
        out.clear();
        // Codes from next on are unreachable until handed out again.
        if (strings.empty()) {
            strings.resize(kDictCodes);
            for (std::uint32_t c = 0; c < 256; ++c)
                strings[c] = std::string(1, static_cast<char>(c));
            parent.assign(kDictCodes, kDictNone);
            where.resize(kDictCodes);
        }
        children.clear();
        recency.clear();
        next = 256;
        std::uint32_t width = 1, threshold = 2;
        if (src.empty())
            return;

        std::size_t pos = 0;
        std::uint32_t byte = 0, left = 0;
        auto read = [&](std::uint32_t n) {
            std::uint32_t v = 0;
            while (n-- > 0) {
                if (left == 0)
                    byte = pos < src.size() ? src[pos++] : 0xFFu, left = 8;
                v = v << 1 | ((byte >> --left) & 1u);
            }
            return v;
        };
        std::uint32_t prev = kDictNone;
        do {
            if (next - 256 >= threshold)
                ++width, threshold *= 2;
            const std::uint32_t code = read(1) == 0 ? read(8) : read(width) + 256;
            if (code >= next) {
                ok = false;
                return;
            }
            for (std::uint32_t x = code; x >= 256; x = parent[x])
                recency.splice(recency.begin(), recency, where[x]);
            const std::string s = strings[code];
            out += s;
            if (prev != kDictNone)
                Grow(prev, s);
            prev = code;
        } while (pos < src.size());
    }

private:
    static std::uint32_t Key(std::uint32_t code, char ch)
    {
        return code << 8 | static_cast<std::uint8_t>(ch);
    }

    void Grow(std::uint32_t index, const std::string& s)
    {
        const std::size_t m = strings[index].size();
        for (std::size_t i = 0; i < s.size() && m + i + 1 <= 100; ++i) {
            if (auto it = children.find(Key(index, s[i])); it != children.end()) {
                index = it->second;
                continue;
            }
            std::uint32_t b;
            if (next < kDictCodes) {
                b = next++;
            } else {
                b = recency.back();
                if (b == index)
                    return;
                recency.pop_back();
                children.erase(Key(parent[b], strings[b].back()));
            }
            strings[b] = strings[index] + s[i];
            parent[b] = index;
            children[Key(index, s[i])] = b;
            where[b] = recency.insert(index < 256 ? recency.begin() : std::next(where[index]), b);
            index = b;
        }
    }

    std::vector<std::uint32_t> parent;
    std::unordered_map<std::uint32_t, std::uint32_t> children;
    std::list<std::uint32_t> recency;  // front: most recently used
    std::vector<std::list<std::uint32_t>::iterator> where;
};

Bytes Random(std::size_t n, std::uint32_t seed, std::uint32_t alphabet)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<std::uint8_t>(rng() % alphabet);
    return b;
}

Bytes TextLike(std::size_t n, std::uint32_t seed)
{
    static const char* const words[] = {"the ",   "talk ", "line ",  "voice ", "face ",
                                        "cast, ", "and ",  "music ", "$R",     "\r\n",
                                        "of ",    "a ",    "wait ",  "0042,",  "frame "};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const std::string w = words[rng() % std::size(words)];
        b.insert(b.end(), w.begin(), w.end());
    }
    b.resize(n);
    return b;
}

// Encodes, then decodes with a capacity of exactly the input's size.
::testing::AssertionResult RoundTrips(const Bytes& input, CDictDecoder& decoder)
{
    CDictEncoder encoder;
    const Bytes stored = encoder.Encode(input);
    Bytes back(input.size() + 1, 0xEE);
    const bool ok = decoder.Decode(stored.data(), static_cast<std::uint32_t>(stored.size()),
                                   back.data(), static_cast<std::uint32_t>(input.size()));
    if (ok && back.back() == 0xEE && std::equal(input.begin(), input.end(), back.begin()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "length " << input.size() << ", decode " << ok;
}

TEST(DictEncoderTest, AbcTextEncodesToTheKnownStream)
{
    const std::string text = "abcabcabcabc";
    CDictEncoder encoder;
    EXPECT_EQ(encoder.Encode(Bytes(text.begin(), text.end())),
              (Bytes{0x30, 0x98, 0x8C, 0x72, 0xEC, 0xC6}));
}

TEST(DictEncoderTest, ShortInputsRoundTrip)
{
    CDictDecoder decoder;
    EXPECT_TRUE(RoundTrips({}, decoder));
    Bytes all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
        EXPECT_TRUE(RoundTrips({all.back()}, decoder)) << b;
    }
    EXPECT_TRUE(RoundTrips(all, decoder));
}

// The stream has to end on the code that fetches its last byte, at whatever
// bit position the data happens to end.
TEST(DictEncoderTest, EveryLengthEndsCleanly)
{
    CDictDecoder decoder;
    for (std::uint32_t alphabet : {1u, 2u, 3u, 16u, 256u}) {
        for (std::uint32_t seed = 1; seed <= 4; ++seed) {
            const Bytes data = Random(300, seed * 101 + alphabet, alphabet);
            for (std::size_t n = 1; n <= data.size(); ++n)
                ASSERT_TRUE(RoundTrips(Bytes(data.begin(), data.begin() + n), decoder))
                    << "alphabet " << alphabet << " seed " << seed;
        }
    }
}

TEST(DictEncoderTest, LongRunsStopAtHundredByteStrings)
{
    CDictDecoder decoder;
    for (std::size_t n : {100u, 101u, 5050u, 20000u})
        EXPECT_TRUE(RoundTrips(Bytes(n, 'x'), decoder)) << n;
    // A run can only make the strings of 2 to 100 x, one code each; a
    // 100-byte string is never extended.
    ASSERT_EQ(decoder.NextCode(), 256u + 99u);
    std::vector<bool> seen(101);
    for (std::uint32_t c = 256; c < decoder.NextCode(); ++c) {
        const std::string s = decoder.DictString(c);
        ASSERT_TRUE(s.size() >= 2 && s.size() <= 100 && !seen[s.size()]) << s.size();
        EXPECT_EQ(s, std::string(s.size(), 'x'));
        seen[s.size()] = true;
    }
}

TEST(DictEncoderTest, SmallerCapacityGivesTheLeadingBytes)
{
    const Bytes input = TextLike(5000, 7);
    CDictEncoder encoder;
    const Bytes stored = encoder.Encode(input);
    CDictDecoder decoder;
    for (std::uint32_t capacity : {0u, 1u, 2500u, 4999u}) {
        Bytes dst(capacity + 4, 0xEE);
        EXPECT_TRUE(decoder.Decode(stored.data(), static_cast<std::uint32_t>(stored.size()),
                                   dst.data(), capacity));
        EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + capacity, input.begin())) << capacity;
        EXPECT_EQ(Bytes(dst.end() - 4, dst.end()), Bytes(4, 0xEE)) << capacity;
    }
}

// Large inputs fill all 8192 codes and keep recycling the tail; the decoder
// must agree with the model on every byte and on every dictionary string.
TEST(DictEncoderTest, FullDictionaryMatchesTheModel)
{
    struct Case {
        const char* what;
        Bytes data;
    };
    const Case cases[] = {
        {"random bytes", Random(60000, 1, 256)},
        {"16 letters", Random(150000, 2, 16)},
        {"3 letters", Random(200000, 3, 3)},
        {"text", TextLike(200000, 4)},
    };
    CDictEncoder encoder;
    CDictDecoder decoder;
    ModelDecoder model;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes stored = encoder.Encode(c.data);
        Bytes out(c.data.size());
        ASSERT_TRUE(decoder.Decode(stored.data(), static_cast<std::uint32_t>(stored.size()),
                                   out.data(), static_cast<std::uint32_t>(out.size())));
        EXPECT_TRUE(out == c.data);
        EXPECT_EQ(decoder.NextCode(), 8192u);
        EXPECT_EQ(decoder.CodeWidth(), 13u);

        model.Decode(stored);
        ASSERT_TRUE(model.ok);
        EXPECT_TRUE(model.out == std::string(c.data.begin(), c.data.end()));
        ASSERT_EQ(model.next, 8192u);
        for (std::uint32_t code = 256; code < 8192; ++code)
            ASSERT_EQ(decoder.DictString(code), model.strings[code]) << "code " << code;
    }
}

// Arbitrary bytes as a stream: whatever they decode to, and wherever they
// fail, the decoder writes exactly what the model decodes.
TEST(DictEncoderTest, ArbitraryStreamsMatchTheModel)
{
    std::mt19937 rng(99);
    CDictDecoder decoder;
    ModelDecoder model;
    for (int i = 0; i < 3000; ++i) {
        Bytes src = Random(1 + rng() % 48, static_cast<std::uint32_t>(i), 256);
        src[0] &= 0x7F;  // start with a literal, so most streams get somewhere
        model.Decode(src);
        // Room for the most that 48 bytes can decode to, and one guard byte.
        Bytes dst(48 * 4 * 100 + 1, 0xEE);
        const bool ok = decoder.Decode(src.data(), static_cast<std::uint32_t>(src.size()),
                                       dst.data(), static_cast<std::uint32_t>(dst.size() - 1));
        ASSERT_EQ(ok, model.ok) << "stream " << i;
        ASSERT_LT(model.out.size(), dst.size());
        const auto end = dst.begin() + static_cast<std::ptrdiff_t>(model.out.size());
        ASSERT_EQ(std::string(dst.begin(), end), model.out) << "stream " << i;
        ASSERT_EQ(*end, 0xEE) << "stream " << i;
    }
}

}  // namespace
}  // namespace tarnwick
