// The demo game generator: writes one demo game for the whole suite and
// reads it back the way the program does.
#include <gtest/gtest.h>
#include <spng.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "background_music.h"
#include "demo_game.h"
#include "demo_plan.h"
#include "face_pictures.h"
#include "game_archives.h"
#include "support/temp_folder.h"
#include "talk_table.h"
#include "voice_clips.h"

namespace tarnwick::test {
namespace {

using demo::DemoLine_T;
using demo::DemoPlan_T;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kSeed = 7;

std::string Cp932(const char* utf8)
{
    const std::optional<std::string> s = demo::ToCp932(utf8);
    if (!s)
        throw std::runtime_error("not convertible");
    return *s;
}

bool Contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

std::vector<std::string> Split(const std::string& s, const std::string& separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = s.find(separator, start)) != std::string::npos; start = at + separator.size())
        parts.push_back(s.substr(start, at - start));
    parts.push_back(s.substr(start));
    return parts;
}

class MkGameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TempFolder>();
        plan = demo::PlanDemoGame(kSeed, demo::DemoScale::kDemo);
        demo::DemoGameOptions_T options;
        options.seed = kSeed;
        generated = demo::WriteDemoGame(folder->Path(), options, &report);
        set = std::make_unique<CArchiveSet>();
        set->SetGameFolder(folder->Path());
        set->SetProgramFolder(folder->Path());  // no loose overrides there
    }

    static void TearDownTestSuite()
    {
        set.reset();
        folder.reset();
    }

    void SetUp() override { ASSERT_TRUE(generated) << report.error; }

    static bool Open(int n) { return set->IsOpen(n) || set->OpenArchive(n); }

    static std::optional<Bytes> Read(int n, const std::string& name)
    {
        std::uint32_t length = 0;
        if (!Open(n) || !set->ReadEntry(n, name, &length))
            return std::nullopt;
        return Bytes(set->Buffer(), set->Buffer() + length);
    }

    static std::string Text(int n, const std::string& name)
    {
        const std::optional<Bytes> b = Read(n, name);
        return b ? std::string(b->begin(), b->end()) : std::string();
    }

    static inline std::unique_ptr<TempFolder> folder;
    static inline DemoPlan_T plan;
    static inline demo::DemoGameReport_T report;
    static inline bool generated = false;
    static inline std::unique_ptr<CArchiveSet> set;
};

TEST_F(MkGameTest, AllArchivesOpenAndEveryEntryReadsBack)
{
    int compressedEntries = 0, plainEntries = 0, compressedDirectories = 0;
    std::size_t entries = 0;
    for (int n = 0; n < kArchiveCount; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(Open(n));
        ASSERT_GE(set->NameCount(n), 1u);
        compressedDirectories += (set->Record(n, 0)->storedSize & kStoredCompressed) != 0;
        for (std::uint32_t k = 1; k <= set->NameCount(n); ++k) {
            const HedRecord_T* r = set->Record(n, k);
            ((r->storedSize & kStoredCompressed) ? compressedEntries : plainEntries) += 1;
            std::uint32_t length = 0;
            ASSERT_TRUE(set->ReadEntry(n, std::string(set->NameAt(n, k - 1)), &length));
            EXPECT_EQ(length, r->fullSize);
            ++entries;
        }
    }
    EXPECT_EQ(entries, report.archiveEntries);
    EXPECT_GT(compressedEntries, 20);
    EXPECT_GT(plainEntries, 20);
    EXPECT_GT(compressedDirectories, 10);
    EXPECT_LT(compressedDirectories, kArchiveCount - 10);
}

TEST_F(MkGameTest, TalkTableIsCp932WithCrLfRowsAndRowsToSkip)
{
    const std::string table = Text(kTableArchive, "another_aa_talk.csv");
    ASSERT_FALSE(table.empty());
    // Stored as code page 932: the name with a 0x5C trail byte is there in
    // that form and not in UTF-8.
    EXPECT_TRUE(Contains(table, Cp932("ソフィア")));
    EXPECT_EQ(Cp932("ソ"), "\x83\x5C");
    EXPECT_FALSE(Contains(table, "ソフィア"));
    EXPECT_TRUE(Contains(table, Cp932("$R")));

    ASSERT_GE(table.size(), 2u);
    EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
    std::vector<std::string> rows = Split(table, "\r\n");
    rows.pop_back();  // after the last CR LF
    for (const std::string& row : rows)
        EXPECT_EQ(row.find('\n'), std::string::npos) << "an LF without CR";
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].substr(0, 3), "ID,");

    std::size_t data = 0;
    std::set<std::string> skipped;
    for (const std::string& row : rows) {
        const std::string first = row.substr(0, row.find(','));
        const bool numeric = !row.empty() && row.find(',') != std::string::npos &&
                             first.find_first_not_of("0123456789-") == std::string::npos;
        if (numeric) {
            ++data;
            EXPECT_EQ(std::count(row.begin(), row.end(), ','), 10) << row;
        } else {
            skipped.insert(first);
        }
    }
    EXPECT_EQ(data, plan.lines.size());
    EXPECT_EQ(skipped, (std::set<std::string>{"ID", "note", "", "12a"}));
}

// Numbers the table's rows as the program does (consecutive rows sharing an
// ID form a talk; skipped rows do not break a run) and compares them with
// the plan, which also names the clips.
TEST_F(MkGameTest, TalkRowsNumberLikeThePlan)
{
    std::vector<std::string> rows = Split(Text(kTableArchive, "another_aa_talk.csv"), "\r\n");
    std::vector<std::vector<std::string>> records;
    for (const std::string& row : rows) {
        const std::size_t comma = row.find(',');
        if (comma == std::string::npos || row.substr(0, comma).find_first_not_of("0123456789-") != std::string::npos)
            continue;
        records.push_back(Split(row, ","));
    }
    ASSERT_EQ(records.size(), plan.lines.size());
    int lineNo = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DemoLine_T& line = plan.lines[i];
        SCOPED_TRACE(demo::VoiceEntryName(line.talkId, line.lineNo));
        lineNo = i > 0 && records[i][0] == records[i - 1][0] ? lineNo + 1 : 1;
        EXPECT_EQ(std::stoi(records[i][0]), line.talkId);
        EXPECT_EQ(lineNo, line.lineNo);
        EXPECT_EQ(std::stoi(records[i][1]), line.faceId);
        EXPECT_EQ(std::stoi(records[i][2]), line.faceVariant);
        EXPECT_EQ(records[i][3], Cp932(plan.speakers[line.speaker].name.c_str()));
        EXPECT_EQ(std::stoi(records[i][4]), line.frameStyle);
        EXPECT_EQ(records[i][5], Cp932(line.text.c_str()));
        EXPECT_EQ(std::stoi(records[i][6]), line.waitTenths);
        EXPECT_EQ(std::stoi(records[i][8]), line.voiceKind);
    }
}

TEST_F(MkGameTest, DemoLayoutHasWhatThePlayerMustHandle)
{
    std::map<int, int> talkLength;
    std::set<int> kinds, frames, blocks;
    int breaks = 0, scrolling = 0;
    for (const DemoLine_T& line : plan.lines) {
        ++talkLength[line.talkId];
        kinds.insert(line.voiceKind);
        frames.insert(line.frameStyle);
        blocks.insert(line.talkId / 1000);
        EXPECT_GE(line.waitTenths, 10);
        EXPECT_LE(line.waitTenths, 60);
        const std::size_t marks = Split(line.text, "$R").size() - 1;
        breaks += marks > 0;
        scrolling += marks >= 3;
    }
    EXPECT_EQ(talkLength.size(), 40u);
    EXPECT_EQ(talkLength.begin()->first, 1001);
    for (const auto& [id, count] : talkLength) {
        EXPECT_GE(count, 2) << id;
        EXPECT_LE(count, 10) << id;
    }
    EXPECT_EQ(talkLength[1020], 10);
    EXPECT_EQ(blocks, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(kinds, (std::set<int>{0, 1, 2}));
    EXPECT_EQ(frames, (std::set<int>{0, 1, 2}));
    EXPECT_GT(breaks, 10);
    EXPECT_GT(scrolling, 2);
}

std::optional<spng_ihdr> DecodePng(const Bytes& png, Bytes& rgba)
{
    spng_ctx* ctx = spng_ctx_new(0);
    spng_ihdr ihdr{};
    std::size_t size = 0;
    bool ok = spng_set_png_buffer(ctx, png.data(), png.size()) == 0 && spng_get_ihdr(ctx, &ihdr) == 0 &&
              spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    if (ok) {
        rgba.resize(size);
        ok = spng_decode_image(ctx, rgba.data(), size, SPNG_FMT_RGBA8, 0) == 0;
    }
    spng_ctx_free(ctx);
    return ok ? std::optional(ihdr) : std::nullopt;
}

TEST_F(MkGameTest, FacePicturesArePngsWithSoftAlphaButOne)
{
    int withoutAlpha = 0;
    std::set<std::pair<int, int>> sizes;
    for (const demo::DemoFace_T& face : plan.faces) {
        const std::string name = demo::FaceEntryName(face.faceId, face.variant);
        SCOPED_TRACE(name);
        const std::optional<Bytes> png = Read(kFaceArchive, name);
        ASSERT_TRUE(png);
        Bytes rgba;
        const std::optional<spng_ihdr> ihdr = DecodePng(*png, rgba);
        ASSERT_TRUE(ihdr);
        EXPECT_EQ(static_cast<int>(ihdr->width), face.width);
        EXPECT_EQ(static_cast<int>(ihdr->height), face.height);
        sizes.insert({face.width, face.height});
        auto alphaAt = [&](std::uint32_t x, std::uint32_t y) { return rgba[(y * ihdr->width + x) * 4 + 3]; };
        if (ihdr->color_type != SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) {
            EXPECT_EQ(ihdr->color_type, SPNG_COLOR_TYPE_TRUECOLOR);
            ++withoutAlpha;
            continue;
        }
        EXPECT_EQ(alphaAt(0, 0), 0);
        EXPECT_EQ(alphaAt(ihdr->width - 1, 0), 0);
        EXPECT_EQ(alphaAt(ihdr->width / 2, ihdr->height / 2), 255);
        int soft = 0;
        for (std::size_t i = 3; i < rgba.size(); i += 4)
            soft += rgba[i] > 0 && rgba[i] < 255;
        EXPECT_GT(soft, 20) << "anti-aliased edges";
    }
    EXPECT_EQ(withoutAlpha, 1);
    EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{90, 90}, {120, 80}}));
}

TEST_F(MkGameTest, OnlyTheIntendedFacesAreMissing)
{
    std::set<std::string> missing;
    for (const DemoLine_T& line : plan.lines) {
        const std::string name = demo::FaceEntryName(line.faceId, line.faceVariant);
        if (!Read(kFaceArchive, name))
            missing.insert(name);
    }
    EXPECT_EQ(missing, (std::set<std::string>{"0000_00.png", "0008_02.png", "0099_00.png"}));
}

struct MemoryClip {
    const Bytes* bytes;
    std::size_t pos = 0;
};

std::size_t ClipRead(void* dst, std::size_t size, std::size_t count, void* source)
{
    auto* c = static_cast<MemoryClip*>(source);
    const std::size_t n = std::min(size * count, c->bytes->size() - c->pos);
    std::memcpy(dst, c->bytes->data() + c->pos, n);
    c->pos += n;
    return size ? n / size : 0;
}

int ClipSeek(void* source, ogg_int64_t offset, int origin)
{
    auto* c = static_cast<MemoryClip*>(source);
    const ogg_int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<ogg_int64_t>(c->pos)
                                                                        : static_cast<ogg_int64_t>(c->bytes->size());
    if (base + offset < 0 || base + offset > static_cast<ogg_int64_t>(c->bytes->size()))
        return -1;
    c->pos = static_cast<std::size_t>(base + offset);
    return 0;
}

long ClipTell(void* source) { return static_cast<long>(static_cast<MemoryClip*>(source)->pos); }

struct DecodedClip {
    int channels = 0;
    long rate = 0;
    double seconds = 0;
    int peak = 0;  // of the 16-bit samples
};

std::optional<DecodedClip> DecodeStoredClip(Bytes stored)
{
    for (std::uint8_t& b : stored)
        b = static_cast<std::uint8_t>(~b);
    if (stored.size() < 4 || std::memcmp(stored.data(), "OggS", 4) != 0)
        return std::nullopt;
    MemoryClip source{&stored};
    OggVorbis_File file;
    if (ov_open_callbacks(&source, &file, nullptr, 0, {ClipRead, ClipSeek, nullptr, ClipTell}) != 0)
        return std::nullopt;
    DecodedClip out;
    const vorbis_info* info = ov_info(&file, -1);
    out.channels = info->channels;
    out.rate = info->rate;
    out.seconds = ov_time_total(&file, -1);
    char pcm[4096];
    int section = 0;
    for (long n; (n = ov_read(&file, pcm, sizeof pcm, 0, 2, 1, &section)) > 0;)
        for (long i = 0; i + 1 < n; i += 2) {
            std::int16_t s;
            std::memcpy(&s, pcm + i, 2);
            out.peak = std::max(out.peak, std::abs(static_cast<int>(s)));
        }
    ov_clear(&file);
    return out;
}

TEST_F(MkGameTest, VoicedLinesHaveClipsInBothArchivesButFour)
{
    int voicedWithout = 0;
    for (const DemoLine_T& line : plan.lines) {
        const std::string name = demo::VoiceEntryName(line.talkId, line.lineNo);
        const bool inLong = Open(kLongVoiceArchive) && set->FindEntry(kLongVoiceArchive, name) != 0;
        const bool inShort = Open(kShortVoiceArchive) && set->FindEntry(kShortVoiceArchive, name) != 0;
        EXPECT_EQ(inLong, inShort) << name;
        EXPECT_EQ(inLong, line.voiceKind != 0 && line.hasClip) << name;
        voicedWithout += line.voiceKind != 0 && !inLong;
    }
    EXPECT_EQ(voicedWithout, 4);
    EXPECT_EQ(set->NameCount(kLongVoiceArchive) + set->NameCount(kShortVoiceArchive), report.voiceEntries);
}

TEST_F(MkGameTest, ClipsAreInvertedOggVorbisOfThePlannedFormat)
{
    std::set<Bytes> distinct;
    std::set<int> rates;
    int clips = 0;
    for (const DemoLine_T& line : plan.lines) {
        if (!line.hasClip || line.voiceKind == 0)
            continue;
        const std::string name = demo::VoiceEntryName(line.talkId, line.lineNo);
        for (const bool isLong : {false, true}) {
            SCOPED_TRACE(name + (isLong ? " long" : " short"));
            const demo::DemoClip_T& planned = isLong ? line.longClip : line.shortClip;
            const std::optional<Bytes> stored = Read(isLong ? kLongVoiceArchive : kShortVoiceArchive, name);
            ASSERT_TRUE(stored);
            distinct.insert(*stored);
            const std::optional<DecodedClip> clip = DecodeStoredClip(*stored);
            ASSERT_TRUE(clip);
            EXPECT_EQ(clip->channels, planned.channels);
            EXPECT_EQ(clip->rate, planned.rate);
            EXPECT_NEAR(clip->seconds, planned.seconds, 0.01);
            EXPECT_GE(clip->seconds, isLong ? 2.0 : 1.0);
            EXPECT_LE(clip->seconds, isLong ? 4.0 : 1.5);
            EXPECT_GT(clip->peak, 8000) << "clearly audible";
            rates.insert(clip->channels * 100000 + static_cast<int>(clip->rate));
            ++clips;
        }
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(clips)) << "every clip is its own";
    EXPECT_EQ(rates, (std::set<int>{122050, 244100}));
}

TEST_F(MkGameTest, MusicFilesAreAsf)
{
    const unsigned char kAsfHeader[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
    for (int n : {1, 2, 3}) {
        const std::string music = ReadFileText(*folder / ("data/sound/bgm_" + std::to_string(n) + ".wma"));
        ASSERT_GT(music.size(), 20000u) << n;
        EXPECT_EQ(std::memcmp(music.data(), kAsfHeader, sizeof kAsfHeader), 0) << n;
    }
    EXPECT_FALSE(std::filesystem::exists(*folder / "data/sound/bgm_4.wma"));
}

TEST_F(MkGameTest, CaptureListCoversEveryTalkWithMusicZeroToThree)
{
    const std::string text = ReadFileText(*folder / "CaptureList.xml");
    EXPECT_TRUE(Contains(text, Cp932("メインストーリー")));
    std::vector<std::string> lines = Split(text, "\r\n");
    ASSERT_EQ(lines.back(), "");
    lines.pop_back();
    EXPECT_EQ(lines.front(), "<CaptureList>");
    EXPECT_EQ(lines.back(), "</CaptureList>");

    int groups = 0;
    std::set<int> music;
    std::vector<std::pair<int, int>> ranges;
    for (std::string line : lines) {
        line.erase(0, line.find_first_not_of('\t'));
        if (line.rfind("<Capture Name=\"", 0) == 0) {
            ++groups;
            EXPECT_EQ(line.substr(line.size() - 2), "\">");
        } else if (line.rfind("<Range>", 0) == 0) {
            int first = 0, last = 0, bgm = -1;
            ASSERT_EQ(std::sscanf(line.c_str(), "<Range>%d,%d,%d</Range>", &first, &last, &bgm), 3) << line;
            EXPECT_EQ(line.substr(line.size() - 8), "</Range>");
            EXPECT_LE(first, last);
            music.insert(bgm);
            ranges.emplace_back(first, last);
        }
    }
    EXPECT_EQ(groups, 3);
    EXPECT_EQ(music, (std::set<int>{0, 1, 2, 3}));
    for (const DemoLine_T& line : plan.lines)
        EXPECT_TRUE(std::any_of(ranges.begin(), ranges.end(), [&](const auto& r) {
            return r.first <= line.talkId && line.talkId <= r.second;
        })) << line.talkId;
}

// The same seed gives the same bytes, also when written by one thread
// instead of two; another seed gives other texts, voices and music.
TEST_F(MkGameTest, SameSeedSameBytesOtherSeedOtherBytes)
{
    TempFolder again;
    demo::DemoGameOptions_T options;
    options.seed = kSeed;
    options.threads = 1;
    demo::DemoGameReport_T againReport;
    ASSERT_TRUE(demo::WriteDemoGame(again.Path(), options, &againReport)) << againReport.error;
    const char* const kSamples[] = {
        "data/xls/table.dat",  "data/xls/table.hed",   "data/sprite/another/facepict.dat",
        "data/sound/long.dat", "data/sound/short.hed", "data/sound/bgm_1.wma",
        "data/map/attr.dat",   "CaptureList.xml",
    };
    for (const char* sample : kSamples) {
        const std::string original = ReadFileText(*folder / sample);
        ASSERT_FALSE(original.empty()) << sample;
        EXPECT_EQ(ReadFileText(again / sample), original) << sample;
    }

    const DemoPlan_T other = demo::PlanDemoGame(kSeed + 1, demo::DemoScale::kDemo);
    EXPECT_NE(demo::TalkTableText(other), demo::TalkTableText(plan));
    EXPECT_NE(demo::StoredVoiceClip(other.lines[1].longClip), demo::StoredVoiceClip(plan.lines[1].longClip));
    EXPECT_NE(demo::WavBytes(demo::ComposeMusic(2, kSeed + 1)), demo::WavBytes(demo::ComposeMusic(2, kSeed)));
}

// The full-size game is too big to write here; its plan is checked
// instead: sizes a benchmark relies on, and names that cannot collide.
TEST(MkGamePlanTest, FullScaleIsLargeAndConsistent)
{
    const DemoPlan_T full = demo::PlanDemoGame(kSeed, demo::DemoScale::kFull);
    EXPECT_GE(full.lines.size(), 20000u);
    std::set<std::string> voiceNames;
    std::size_t voiced = 0;
    for (const DemoLine_T& line : full.lines) {
        EXPECT_LE(line.talkId, 99999);  // five digits in the clip name
        if (!line.hasClip || line.voiceKind == 0)
            continue;
        ++voiced;
        voiceNames.insert(demo::VoiceEntryName(line.talkId, line.lineNo));
        ASSERT_GE(line.longClip.poolSlot, 0);
        ASSERT_LT(static_cast<std::size_t>(line.longClip.poolSlot), full.longPool.size());
    }
    EXPECT_EQ(voiceNames.size(), voiced) << "a talk ID came back after another";
    EXPECT_GE(voiced, 15000u);
    EXPECT_LE(full.longPool.size(), 64u);
    EXPECT_TRUE(demo::ToCp932(demo::TalkTableText(full)));
    EXPECT_TRUE(demo::ToCp932(demo::CaptureListText(full)));

    int big = 0;
    for (int n = 0; n < kArchiveCount; ++n)
        big += demo::FillerEntryCount(n, demo::DemoScale::kFull) >= 100000;
    EXPECT_GE(big, 4);
}

TEST(MkGamePlanTest, VoiceNamesOfTheDemoAreUnique)
{
    const DemoPlan_T plan = demo::PlanDemoGame(kSeed, demo::DemoScale::kDemo);
    std::set<std::string> names;
    for (const DemoLine_T& line : plan.lines)
        EXPECT_TRUE(names.insert(demo::VoiceEntryName(line.talkId, line.lineNo)).second);
}

TEST(MkGameSoundTest, MusicTracksLastFiveToEightSecondsInStereo)
{
    for (std::uint64_t seed : {1u, 2u, 3u})
        for (int track : {1, 2, 3, 12}) {
            const demo::Pcm_T music = demo::ComposeMusic(track, seed);
            EXPECT_EQ(music.channels, 2);
            const double seconds = static_cast<double>(music.Frames()) / music.rate;
            EXPECT_GE(seconds, 5.0);
            EXPECT_LE(seconds, 8.0);
            const float peak = *std::max_element(music.samples.begin(), music.samples.end());
            EXPECT_GT(peak, 0.3f);
            EXPECT_LE(peak, 1.0f);
        }
}

TEST(MkGameFaceTest, ExpressionsAndSpeakersLookDifferent)
{
    const DemoPlan_T plan = demo::PlanDemoGame(kSeed, demo::DemoScale::kDemo);
    std::set<std::vector<std::uint8_t>> pictures;
    int drawn = 0;
    for (const demo::DemoSpeaker_T& s : plan.speakers) {
        if (!s.hasFace)
            continue;
        for (int v = 0; v < 3; ++v, ++drawn)
            pictures.insert(demo::DrawFace(s.look, v, s.frameStyle, 90, 90, true).bytes);
    }
    EXPECT_EQ(pictures.size(), static_cast<std::size_t>(drawn));
    // The hair colour is the speaker's: the top middle of the head.
    const demo::DemoSpeaker_T& first = plan.speakers[0];
    const demo::FacePixels_T face = demo::DrawFace(first.look, 0, 0, 90, 90, true);
    const std::uint8_t* top = &face.bytes[(20 * 90 + 45) * 4];
    EXPECT_EQ((top[0] << 16) | (top[1] << 8) | top[2], static_cast<int>(first.look.hair));
    EXPECT_EQ(top[3], 255);
}

TEST(MkGameFailureTest, ReportsWhatWentWrong)
{
    TempFolder tmp;
    demo::DemoGameOptions_T options;
    options.ffmpeg = tmp / "no-such-ffmpeg";
    demo::DemoGameReport_T report;
    EXPECT_FALSE(demo::WriteDemoGame(tmp / "game", options, &report));
    EXPECT_TRUE(Contains(report.error, "no-such-ffmpeg")) << report.error;

    tmp.Write("file", std::string_view("x"));
    EXPECT_FALSE(demo::WriteDemoGame(tmp / "file", demo::DemoGameOptions_T{}, &report));
    EXPECT_TRUE(Contains(report.error, "folder")) << report.error;
}

TEST(MkGameTextTest, Cp932ConversionRefusesWhatTheCodePageLacks)
{
    EXPECT_EQ(demo::ToCp932("ID,表"), std::optional<std::string>("ID,\x95\x5C"));
    EXPECT_EQ(demo::ToCp932("ok \xF0\x9F\x98\x80"), std::nullopt);  // an emoji
    EXPECT_EQ(demo::ToCp932("\xFF"), std::nullopt);                 // not UTF-8
}

}  // namespace
}  // namespace tarnwick::test
