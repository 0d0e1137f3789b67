#include "sound/clip_tags.h"

// GCC 12 at -O3 takes the vectors of the hostile-input table below for an
// array of none and warns of bounds it never crosses.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif

#include <ogg/ogg.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "face/png_maker.h"
#include "sound/voice_output.h"
#include "sound/wav_file.h"
#include "support/temp_folder.h"
#include "voice_archives.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

struct Decoded_T {
    bool opened = false;
    std::string vendor;
    std::vector<std::string> comments;
    Bytes pcm;
    ogg_int64_t frames = -1;
};

Decoded_T Decode(const Bytes& ogg)
{
    Decoded_T d;
    ClipSource_T source{ogg.data(), ogg.data(), static_cast<std::int32_t>(ogg.size())};
    OggVorbis_File vf;
    if (ov_open_callbacks(&source, &vf, nullptr, 0, {ClipRead, ClipSeek, ClipClose, ClipTell}) != 0)
        return d;
    d.opened = true;
    d.frames = ov_pcm_total(&vf, -1);
    const vorbis_comment* vc = ov_comment(&vf, -1);
    d.vendor = vc->vendor;
    for (int i = 0; i < vc->comments; ++i)
        d.comments.emplace_back(vc->user_comments[i], static_cast<std::size_t>(vc->comment_lengths[i]));
    char buffer[4096];
    int section = 0;
    for (long n; (n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section)) > 0;)
        d.pcm.insert(d.pcm.end(), buffer, buffer + n);
    ov_clear(&vf);
    return d;
}

// The pages of a stream as their headers lay them out, unchecked.
std::vector<Bytes> Pages(const Bytes& ogg)
{
    std::vector<Bytes> pages;
    for (std::size_t at = 0; at + 27 <= ogg.size() && at + 27 + ogg[at + 26] <= ogg.size();) {
        std::size_t end = at + 27 + ogg[at + 26];
        for (std::size_t i = 0; i < ogg[at + 26]; ++i)
            end += ogg[at + 27 + i];
        if (end > ogg.size())
            break;
        pages.emplace_back(ogg.begin() + static_cast<std::ptrdiff_t>(at),
                           ogg.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    return pages;
}

Bytes Joined(const std::vector<Bytes>& pages)
{
    Bytes out;
    for (const Bytes& p : pages)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The pages after the headers' (whose granule positions are all 0, or -1
// where a page ends no packet), without the sequence number and checksum,
// which a retag renumbers.
std::vector<Bytes> AudioPages(const Bytes& ogg)
{
    std::vector<Bytes> pages = Pages(ogg);
    auto isHeader = [](const Bytes& p) {
        const bool zero = std::all_of(p.begin() + 6, p.begin() + 14, [](std::uint8_t b) { return b == 0; });
        return zero || std::all_of(p.begin() + 6, p.begin() + 14, [](std::uint8_t b) { return b == 0xFF; });
    };
    pages.erase(pages.begin(), std::find_if_not(pages.begin(), pages.end(), isHeader));
    for (Bytes& p : pages)
        std::fill(p.begin() + 18, p.begin() + 26, 0);
    return pages;
}

Bytes FromBase64(std::string_view text)
{
    const std::string_view digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes out;
    std::uint32_t group = 0;
    int bits = 0;
    for (std::size_t v; !text.empty() && (v = digits.find(text.front())) != std::string_view::npos;) {
        text.remove_prefix(1);
        group = group << 6 | static_cast<std::uint32_t>(v);
        if ((bits += 6) >= 8)
            out.push_back(static_cast<std::uint8_t>(group >> (bits -= 8)));
    }
    return out;
}

// ---- the comments and the picture block ---------------------------------

TEST(VorbisComments, InOrderEmptyOnesLeftOutNulReplaced)
{
    ClipTags_T all;
    all.title = "Title";
    all.artist = std::string("Ar\0tist", 7);
    all.album = "Album";
    all.track = 12;
    all.trackTotal = 30;
    all.line = "1042:3";
    ClipTags_T totalOnly;
    totalOnly.trackTotal = 5;
    ClipTags_T hugePicture;
    hugePicture.picture.png.resize(16u << 20);  // more than a FLAC block holds
    const struct {
        ClipTags_T tags;
        std::vector<std::string> comments;
    } cases[] = {
        {all,
         {"TITLE=Title", "ARTIST=Ar\xEF\xBF\xBDtist", "ALBUM=Album", "TRACKNUMBER=12", "TRACKTOTAL=30",
          "TARNWICK_LINE=1042:3"}},
        {totalOnly, {"TRACKTOTAL=5"}},
        {ClipTags_T{}, {}},
        {hugePicture, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VorbisComments(c.tags), c.comments);
}

TEST(Base64, KnownVectors)
{
    const struct {
        std::string_view in, out;
    } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFF\xFE", "//4="}};
    for (const auto& c : cases)
        EXPECT_EQ(Base64(Of(c.in)), c.out) << c.in;
}

TEST(FlacPictureBlock, BigEndianFieldsThenThePng)
{
    const TagPicture_T picture{{0x89, 'P', 'N', 'G', 7}, 640, 0x01020304};
    using namespace std::string_view_literals;
    EXPECT_EQ(FlacPictureBlock(picture), Of("\0\0\0\3"  "\0\0\0\x09" "image/png" "\0\0\0\0" "\0\0\x02\x80"
                                            "\x01\x02\x03\x04" "\0\0\0\x18" "\0\0\0\0" "\0\0\0\x05"
                                            "\x89PNG\x07"sv));
    EXPECT_TRUE(FlacPictureBlock(TagPicture_T{}).empty());
}

// ---- retagging an Ogg Vorbis clip ---------------------------------------

// One clip and one set of tags for every test: encoding them is slow.
const Bytes& Clip()
{
    static const Bytes clip = test::EncodeTone({2, 44100, 2.0, 0.4, 441.0, 0.05});
    return clip;
}

ClipTags_T MakeFullTags()
{
    // Noise does not compress: a picture of about 200 KB, so that the
    // comment header spans several pages.
    test::PngImage_T image{256, 256, SPNG_COLOR_TYPE_TRUECOLOR};
    image.samples.resize(256 * 256 * 3);
    std::uint32_t seed = 7;
    for (std::uint8_t& s : image.samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::uint8_t>(seed >> 24);
    }
    ClipTags_T tags;
    tags.title = "The lighthouse keeper's answer";
    tags.artist = "Keeper";
    tags.album = "Tarnwick \xE2\x80\x94 lines";
    tags.track = 4;
    tags.trackTotal = 17;
    tags.line = "301:4";
    tags.picture = {test::EncodePng(image), 256, 256};
    return tags;
}

const ClipTags_T& FullTags()
{
    static const ClipTags_T tags = MakeFullTags();
    return tags;
}

Bytes Retagged(const Bytes& ogg, const ClipTags_T& tags)
{
    Bytes out;
    Failure_T why;
    EXPECT_TRUE(RetagOggVorbis(ogg, tags, out, why)) << why.Describe();
    return out;
}

TEST(RetagOggVorbis, TagsReadBackAndTheAudioIsUntouched)
{
    ASSERT_GT(FullTags().picture.png.size(), 190000u);
    const Decoded_T before = Decode(Clip());
    ASSERT_TRUE(before.opened);
    const Bytes tagged = Retagged(Clip(), FullTags());
    const Decoded_T after = Decode(tagged);
    ASSERT_TRUE(after.opened);

    EXPECT_EQ(after.comments, VorbisComments(FullTags()));
    EXPECT_EQ(after.vendor, before.vendor);
    const std::string key = "METADATA_BLOCK_PICTURE=";
    ASSERT_EQ(after.comments.size(), 7u);
    ASSERT_EQ(after.comments.back().rfind(key, 0), 0u);
    const Bytes block = FromBase64(std::string_view(after.comments.back()).substr(key.size()));
    ASSERT_GT(block.size(), 41u);
    EXPECT_EQ(Bytes(block.begin() + 41, block.end()), FullTags().picture.png);

    EXPECT_GT(before.frames, 0);
    EXPECT_EQ(after.frames, before.frames);
    EXPECT_TRUE(after.pcm == before.pcm) << after.pcm.size() << " bytes decoded, " << before.pcm.size() << " before";
    // The audio pages byte for byte: packets, page breaks, granule positions.
    const std::vector<Bytes> audio = AudioPages(Clip());
    EXPECT_GT(audio.size(), 3u);
    EXPECT_TRUE(AudioPages(tagged) == audio);
    EXPECT_GT(Pages(tagged).size(), Pages(Clip()).size() + 2);
}

TEST(RetagOggVorbis, RetaggingAgainChangesNothing)
{
    const Bytes once = Retagged(Clip(), FullTags());
    EXPECT_EQ(Retagged(once, FullTags()), once);
    EXPECT_EQ(Retagged(Retagged(Clip(), ClipTags_T{}), FullTags()), once);
    const Decoded_T plain = Decode(Retagged(once, ClipTags_T{}));
    EXPECT_TRUE(plain.comments.empty());
    EXPECT_EQ(plain.pcm.size(), Decode(Clip()).pcm.size());
}

TEST(RetagOggVorbis, RefusesWhatIsNotOneWholeVorbisStream)
{
    const Bytes& ogg = Clip();
    const std::vector<Bytes> pages = Pages(ogg);
    ASSERT_GT(pages.size(), 5u);
    auto cut = [&ogg](std::size_t n) { return Bytes(ogg.begin(), ogg.begin() + static_cast<std::ptrdiff_t>(n)); };
    auto without = [&pages](std::size_t k) {
        std::vector<Bytes> p = pages;
        p.erase(p.begin() + static_cast<std::ptrdiff_t>(k));
        return Joined(p);
    };
    demo::Pcm_T silence;
    silence.samples.assign(4410, 0.0f);
    const Bytes other = demo::EncodeVorbis(silence, 0.1f, 99).value_or(Bytes{});
    std::vector<Bytes> mixed = pages;
    mixed.insert(mixed.begin() + 1, Pages(other).front());
    // Another codec's first packet, with a right checksum.
    std::vector<Bytes> notVorbis = pages;
    Bytes& first = notVorbis.front();
    first[first.size() - 30 + 6] = 'z';
    ogg_page og{first.data(), 27 + first[26], first.data() + 27 + first[26], 30};
    ogg_page_checksum_set(&og);
    Bytes flipped = ogg;
    flipped[ogg.size() - 100] ^= 0x10;
    Bytes random(5000);
    std::uint32_t seed = 3;
    for (std::uint8_t& b : random)
        b = static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);

    const struct {
        const char* name;
        Bytes input;
    } cases[] = {
        {"empty", {}},
        {"random bytes", random},
        {"inside the first page", cut(40)},
        {"after the first page", cut(pages[0].size())},
        {"inside the headers' page", cut(pages[0].size() + 60)},
        {"after the headers", cut(pages[0].size() + pages[1].size())},
        {"inside an audio page", cut(ogg.size() / 2)},
        {"no end-of-stream page", cut(ogg.size() - pages.back().size())},
        {"an audio page missing", without(3)},
        {"the header page missing", without(1)},
        {"two chained streams", Joined({ogg, other})},
        {"the same stream twice", Joined({ogg, ogg})},
        {"two multiplexed streams", Joined(mixed)},
        {"not Vorbis", Joined(notVorbis)},
        {"bytes after the end", Joined({ogg, Of("ID3\x04")})},
    };
    for (const auto& c : cases) {
        Bytes out = {42};
        Failure_T why;
        EXPECT_FALSE(RetagOggVorbis(c.input, FullTags(), out, why)) << c.name;
        EXPECT_EQ(out, Bytes{42}) << c.name;
        EXPECT_EQ(why.kind, FailureKind::kDamaged) << c.name;
        EXPECT_EQ(why.detail.rfind("not an Ogg Vorbis stream", 0), 0u) << c.name << ": " << why.detail;
    }
    // A damaged audio page is the game's to keep: it is copied as it is,
    // as a copy of the stored clip would hold it.
    const Bytes kept = Retagged(flipped, FullTags());
    ASSERT_FALSE(kept.empty());
    const Bytes stored = Retagged(ogg, FullTags());
    ASSERT_EQ(kept.size(), stored.size());
    // The flipped byte, and the page's checksum when it was renumbered.
    std::size_t differing = 0;
    for (std::size_t i = 0; i < kept.size(); ++i)
        differing += kept[i] != stored[i];
    EXPECT_GE(differing, 1u);
    EXPECT_LE(differing, 5u);
    EXPECT_NE(kept[stored.size() - 100], stored[stored.size() - 100]);
}

TEST(RetagOggVorbis, VorbiscommentListsTheTags)
{
    const test::TempFolder folder;
    folder.Write("tagged.ogg", Retagged(Clip(), FullTags()));
    // The folder's path holds no quote.
    FILE* pipe = ::popen(("vorbiscomment -l '" + folder / "tagged.ogg" + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string listed;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        listed.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "vorbiscomment (vorbis-tools) is not installed";
    std::string expected;
    for (const std::string& c : VorbisComments(FullTags()))
        expected += c + "\n";
    EXPECT_TRUE(listed == expected) << listed.substr(0, 300);
}

// ---- WAV ----------------------------------------------------------------

TEST(TaggedWavHeader, ListInfoChunkBetweenFormatAndData)
{
    const WaveFormat_T format{kWaveFormatPcm, 2, 22050, 88200, 4, 16};
    const std::uint64_t dataSize = 8820;
    ClipTags_T tags;  // texts of odd and even length, one with a NUL
    tags.title = std::string("Ti\0tle", 6);
    tags.artist = "Keeper";
    tags.album = "Lines";
    tags.track = 12;
    tags.trackTotal = 20;  // neither of these is a RIFF INFO tag
    tags.line = "3:4";
    using namespace std::string_view_literals;
    const Bytes list = Of("LIST" "\x40\0\0\0" "INFO"
                          "INAM" "\x09\0\0\0" "Ti\xEF\xBF\xBDtle\0" "\0"
                          "IART" "\x07\0\0\0" "Keeper\0" "\0"
                          "IPRD" "\x06\0\0\0" "Lines\0"
                          "ITRK" "\x03\0\0\0" "12\0" "\0"sv);
    Bytes expected = WavHeader(format, dataSize);
    ASSERT_EQ(expected.size(), kWavHeaderSize);
    expected.insert(expected.begin() + 36, list.begin(), list.end());
    expected[4] = static_cast<std::uint8_t>(expected[4] + list.size());

    const Bytes header = TaggedWavHeader(format, dataSize, tags);
    EXPECT_EQ(header, expected);
    EXPECT_EQ(static_cast<std::size_t>(header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24),
              header.size() + dataSize - 8);
    tags.title = tags.artist = tags.album = {};
    tags.track = 0;
    EXPECT_EQ(TaggedWavHeader(format, dataSize, tags), WavHeader(format, dataSize));
}

}  // namespace
}  // namespace tarnwick
