#include "sound/walk_render.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace tarnwick {
namespace {

// 16-bit little-endian frames of a tone, the same in every channel but for
// a slight offset, so that a swapped or dropped channel changes the bytes.
std::vector<std::uint8_t> TonePcm(std::uint64_t frames, std::uint32_t rate, std::uint16_t channels)
{
    std::vector<std::uint8_t> pcm;
    for (std::uint64_t f = 0; f < frames; ++f) {
        for (std::uint16_t c = 0; c < channels; ++c) {
            const double t = static_cast<double>(f) / rate;
            const auto v = static_cast<std::int16_t>(std::lround(9000 * std::sin(2 * M_PI * 440 * t) + 100 * c));
            pcm.push_back(static_cast<std::uint8_t>(v & 0xff));
            pcm.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
        }
    }
    return pcm;
}

std::vector<std::uint8_t> SamplesPcm(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> pcm;
    for (const std::int16_t v : samples) {
        pcm.push_back(static_cast<std::uint8_t>(v & 0xff));
        pcm.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    }
    return pcm;
}

WaveFormat_T RawFormat(std::uint16_t channels, std::uint32_t rate)
{
    WaveFormat_T f;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.blockAlign = static_cast<std::uint16_t>(channels * 2);
    f.avgBytesPerSec = static_cast<std::uint32_t>(rate * f.blockAlign);
    return f;
}

WalkItem_T Line(std::string chapter, std::string text, std::uint64_t frames, std::uint32_t rate,
                std::uint16_t channels, std::uint64_t pauseUs)
{
    WalkItem_T item;
    item.chapter = std::move(chapter);
    item.text = std::move(text);
    item.hasClip = rate != 0;
    item.clipFrames = frames;
    item.clipRate = rate;
    item.clipChannels = channels;
    item.pauseMicroseconds = pauseUs;
    return item;
}

// A 2x2 RGB PNG.
const std::vector<std::uint8_t> kPng = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xfd, 0xd4, 0x9a, 0x73, 0x00, 0x00, 0x00, 0x11, 0x49,
    0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0x00, 0x44, 0x0c, 0x60, 0xf2, 0x3f, 0x00, 0x1b, 0xf2, 0x03,
    0xfd, 0xf3, 0xe7, 0x4b, 0xb1, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

ClipTags_T WalkTags()
{
    ClipTags_T tags;
    tags.title = "Walk of the test";
    tags.artist = "Tarnwick";
    tags.album = "Demo";
    tags.picture = {kPng, 2, 2};
    return tags;
}

struct Rendered_T {
    std::vector<std::uint8_t> bytes;
    std::vector<WalkSpan_T> spans;
    RenderFormatChoice_T out;
};

// Renders items as the walk would: each clip, then up to its pause's end.
Rendered_T Render(RenderFormat_T format, const std::vector<WalkItem_T>& items,
                  const std::vector<std::vector<std::uint8_t>>& clips)
{
    Rendered_T r;
    r.out = RenderOutputFormat(format, items);
    r.spans = PlanWalk(items, r.out.rate);
    Failure_T why;
    auto encoder = CWalkEncoder::Create(
        format, r.out, WalkTags(), items, r.spans,
        [&r](std::span<const std::uint8_t> bytes) {
            r.bytes.insert(r.bytes.end(), bytes.begin(), bytes.end());
            return true;
        },
        why);
    EXPECT_TRUE(encoder) << why.Describe();
    if (!encoder)
        return r;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].hasClip) {
            EXPECT_TRUE(encoder->AddClip(RawFormat(items[i].clipChannels, items[i].clipRate), clips[i], why))
                << why.Describe();
            // Resampled or not, a clip fills exactly its planned frames.
            EXPECT_EQ(encoder->Frames(), r.spans[i].clipEnd) << "line " << i;
        }
        EXPECT_TRUE(encoder->PadTo(r.spans[i].end, why)) << why.Describe();
    }
    EXPECT_TRUE(encoder->Finish(why)) << why.Describe();
    EXPECT_EQ(encoder->Frames(), r.spans.empty() ? 0 : r.spans.back().end);
    return r;
}

struct Run_T {
    int status = -1;
    std::string out;
};

Run_T RunCommand(const std::string& command)
{
    Run_T run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// ffprobe's flat output, keys lower-cased (Ogg keeps TITLE, WAV says title).
std::map<std::string, std::string> Probe(const std::string& path, std::string& errors)
{
    const std::string errorFile = path + ".err";
    const Run_T run = RunCommand("ffprobe -v error -show_entries format=duration:format_tags:stream=codec_type:stream_tags "
                          "-show_chapters -of flat '" +
                          path + "' 2>'" + errorFile + "'");
    errors = test::ReadFileText(errorFile);
    std::map<std::string, std::string> values;
    std::size_t from = 0;
    while (from < run.out.size()) {
        std::size_t to = run.out.find('\n', from);
        if (to == std::string::npos)
            to = run.out.size();
        const std::string line = run.out.substr(from, to - from);
        from = to + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"')
            value = value.substr(1, value.size() - 2);
        values[key] = value;
    }
    return values;
}

bool HasTag(const std::map<std::string, std::string>& values, const std::string& key, const std::string& value)
{
    for (const auto& [k, v] : values)
        if (k.ends_with(".tags." + key) && v == value)
            return true;
    return false;
}

// A 22050 Hz mono clip, a 44100 Hz stereo one, and a line with only a pause.
const std::vector<WalkItem_T> kThreeLines = {
    Line("ALICE: Good morning", "Good morning", 6615, 22050, 1, 250000),
    Line("BOB: Hello", "Hello\nthere", 17640, 44100, 2, 0),
    Line("ALICE: ...", "...", 0, 0, 0, 600000),
};
const std::vector<std::vector<std::uint8_t>> kThreeClips = {TonePcm(6615, 22050, 1), TonePcm(17640, 44100, 2), {}};

struct FormatCase_T {
    RenderFormat_T format;
    const char* file;
    bool chapters;
    double codecFrameSeconds;  // a lossy codec's chapter may be off by one frame
};

void PrintTo(const FormatCase_T& c, std::ostream* os)
{
    *os << c.file;
}

class WalkRenderFormatTest : public ::testing::TestWithParam<FormatCase_T> {};

TEST_P(WalkRenderFormatTest, RealReadersSeeThePlannedLengthChaptersAndTags)
{
    const FormatCase_T& c = GetParam();
    const Rendered_T r = Render(c.format, kThreeLines, kThreeClips);
    test::TempFolder folder;
    folder.Write(c.file, r.bytes);
    std::string errors;
    const auto probe = Probe(folder / c.file, errors);
    EXPECT_EQ(errors, "");

    const double planned = static_cast<double>(r.spans.back().end) / r.out.rate;
    ASSERT_TRUE(probe.count("format.duration")) << c.file;
    EXPECT_NEAR(std::stod(probe.at("format.duration")), planned, planned * 0.01) << c.file;
    EXPECT_TRUE(HasTag(probe, "title", "Walk of the test")) << c.file;
    EXPECT_TRUE(HasTag(probe, "artist", "Tarnwick")) << c.file;
    if (!c.chapters) {
        EXPECT_FALSE(probe.count("chapters.chapter.0.start_time"));
        return;
    }
    for (std::size_t i = 0; i < kThreeLines.size(); ++i) {
        const std::string key = "chapters.chapter." + std::to_string(i);
        ASSERT_TRUE(probe.count(key + ".start_time")) << c.file << " chapter " << i;
        EXPECT_NEAR(std::stod(probe.at(key + ".start_time")), static_cast<double>(r.spans[i].start) / r.out.rate,
                    0.001 + c.codecFrameSeconds)
            << c.file << " chapter " << i;
        EXPECT_EQ(probe.at(key + ".tags.title"), kThreeLines[i].chapter);
    }
    EXPECT_FALSE(probe.count("chapters.chapter.3.start_time"));
    // The picture shows as a still stream beside the sound.
    EXPECT_EQ(probe.count("streams.stream.1.codec_type") ? probe.at("streams.stream.1.codec_type") : "", "video")
        << c.file;
}

INSTANTIATE_TEST_SUITE_P(Formats, WalkRenderFormatTest,
                         ::testing::Values(FormatCase_T{RenderFormat_T::kOgg, "walk.ogg", true, 2048.0 / 22050},
                                           FormatCase_T{RenderFormat_T::kOpus, "walk.opus", true, 0.02},
                                           FormatCase_T{RenderFormat_T::kFlac, "walk.flac", true, 0},
                                           FormatCase_T{RenderFormat_T::kWav, "walk.wav", false, 0}),
                         [](const auto& param) {
                             std::string name = param.param.file;
                             return name.substr(name.find('.') + 1);
                         });

TEST(WalkRender, SubtitlesLoadInFfmpeg)
{
    const RenderFormatChoice_T out = RenderOutputFormat(RenderFormat_T::kOgg, kThreeLines);
    const std::vector<WalkSpan_T> spans = PlanWalk(kThreeLines, out.rate);
    test::TempFolder folder;
    folder.Write("walk.srt", SrtText(kThreeLines, spans, out.rate));
    folder.Write("walk.lrc", LrcText(kThreeLines, spans, out.rate));
    for (const char* file : {"walk.srt", "walk.lrc"}) {
        const Run_T run =
            RunCommand("ffmpeg -nostdin -v error -i '" + (folder / file) + "' -map 0 -c:s copy -f null - 2>&1");
        EXPECT_EQ(run.status, 0) << file;
        EXPECT_EQ(run.out, "") << file;
    }
    // Each line shows from its start until its clip ends (the last, without
    // a clip, through its pause).
    const Run_T packets = RunCommand("ffprobe -v error -show_entries packet=pts_time,duration_time -of csv=p=0 '" +
                                     (folder / "walk.srt") + "'");
    std::string expected;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const std::uint64_t until = kThreeLines[i].hasClip ? spans[i].clipEnd : spans[i].end;
        char line[64];
        const auto seconds = [&out](std::uint64_t frames) {
            return std::round(static_cast<double>(frames) * 1000 / out.rate) / 1000;
        };
        std::snprintf(line, sizeof line, "%.3f000,%.3f000\n", seconds(spans[i].start),
                      seconds(until) - seconds(spans[i].start));
        expected += line;
    }
    EXPECT_EQ(packets.out, expected);
}

TEST(WalkRender, WavDataIsTheClipsAndThePausesExactly)
{
    // The clips in the file's format go in as they are; one too long is cut
    // to its plan, one too short filled with silence, stereo averaged.
    const std::vector<std::int16_t> stereo = {1000, 3000, -5, -7, 32767, 32767, -32768, -32768};
    const std::vector<WalkItem_T> items = {
        Line("A: one", "", 1000, 22050, 1, 10000),  // 220.5 frames of pause: 221
        Line("A: two", "", 500, 22050, 1, 0),
        Line("A: three", "", 500, 22050, 1, 0),
        Line("A: four", "", 4, 22050, 2, 0),
        Line("A: five", "", 0, 0, 0, 1000),  // 22.05 frames: 22
    };
    const std::vector<std::vector<std::uint8_t>> clips = {TonePcm(1000, 22050, 1), TonePcm(600, 22050, 1),
                                                          TonePcm(300, 22050, 1), SamplesPcm(stereo), {}};
    const Rendered_T r = Render(RenderFormat_T::kWav, items, clips);
    std::vector<std::uint8_t> expected = clips[0];
    expected.resize(expected.size() + 221 * 2);
    expected.insert(expected.end(), clips[1].begin(), clips[1].begin() + 500 * 2);
    expected.insert(expected.end(), clips[2].begin(), clips[2].end());
    expected.resize(expected.size() + 200 * 2);
    const std::vector<std::uint8_t> mono = SamplesPcm({2000, -6, 32767, -32768});
    expected.insert(expected.end(), mono.begin(), mono.end());
    expected.resize(expected.size() + 22 * 2);

    // Walk the RIFF chunks to the data chunk.
    ASSERT_GE(r.bytes.size(), 12u);
    auto le32 = [&r](std::size_t at) {
        return static_cast<std::uint32_t>(r.bytes[at] | r.bytes[at + 1] << 8 | r.bytes[at + 2] << 16 |
                                          r.bytes[at + 3] << 24);
    };
    EXPECT_EQ(le32(4), r.bytes.size() - 8);
    std::size_t at = 12;
    while (at + 8 <= r.bytes.size() && std::memcmp(&r.bytes[at], "data", 4) != 0)
        at += 8 + (le32(at + 4) + 1) / 2 * 2;
    ASSERT_LE(at + 8, r.bytes.size());
    EXPECT_EQ(le32(at + 4), expected.size());
    const std::vector<std::uint8_t> data(r.bytes.begin() + static_cast<std::ptrdiff_t>(at + 8), r.bytes.end());
    EXPECT_EQ(data, expected);
}

TEST(WalkRender, PlanAndFormatChoice)
{
    const std::vector<WalkItem_T> items = {
        Line("", "", 0, 0, 0, 20),                   // no clip: 0.96 frames at 48 kHz, 1
        Line("", "", 1001, 22050, 1, 123456),        // 2179.14 frames, then 5925.9
        Line("", "", 6, 44100, 6, 0),                // 6.53: 7
    };
    const std::vector<WalkSpan_T> spans = PlanWalk(items, 48000);
    ASSERT_EQ(spans.size(), 3u);
    const std::uint64_t expect[][3] = {{0, 0, 1}, {1, 2180, 8106}, {8106, 8113, 8113}};
    for (std::size_t i = 0; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].start, expect[i][0]) << i;
        EXPECT_EQ(spans[i].clipEnd, expect[i][1]) << i;
        EXPECT_EQ(spans[i].end, expect[i][2]) << i;
    }
    // Absurd lengths saturate instead of wrapping round to a short walk.
    const std::vector<WalkSpan_T> huge = PlanWalk(std::vector{Line("", "", ~0ull, 44100, 1, ~0ull)}, 48000);
    EXPECT_EQ(huge[0].clipEnd, ~0ull);
    EXPECT_EQ(huge[0].end, ~0ull);

    struct Case {
        RenderFormat_T format;
        std::vector<WalkItem_T> items;
        std::uint32_t rate;
        std::uint16_t channels;
    };
    const Case cases[] = {
        {RenderFormat_T::kOgg, items, 22050, 1},  // the first clip's, not the first line's
        {RenderFormat_T::kFlac, {items[2]}, 44100, 6},
        {RenderFormat_T::kOpus, items, 48000, 1},
        {RenderFormat_T::kOpus, {items[2]}, 48000, 2},
        {RenderFormat_T::kWav, {items[0]}, 44100, 2},
        {RenderFormat_T::kOpus, {}, 48000, 2},
    };
    for (const Case& c : cases) {
        const RenderFormatChoice_T out = RenderOutputFormat(c.format, c.items);
        EXPECT_EQ(out.rate, c.rate);
        EXPECT_EQ(out.channels, c.channels);
    }

    const std::pair<const char*, std::optional<RenderFormat_T>> names[] = {
        {"walk.OGG", RenderFormat_T::kOgg},       {"a.b/walk.Opus", RenderFormat_T::kOpus},
        {"walk.flac", RenderFormat_T::kFlac},     {"walk.WaV", RenderFormat_T::kWav},
        {"walk.mp3", std::nullopt},               {"ogg", std::nullopt},
        {"walk.ogg/inside", std::nullopt},        {"walk.ogg.txt", std::nullopt},
    };
    for (const auto& [name, format] : names)
        EXPECT_EQ(RenderFormatOf(name), format) << name;
}

TEST(WalkRender, SubtitleTimesAndLines)
{
    // At 1000 Hz a frame is a millisecond.
    const std::vector<WalkItem_T> items = {
        Line("", "Hello\r\n\nthere", 1, 1000, 1, 0),
        Line("", "", 1, 1000, 1, 0),
        Line("", "Bye", 0, 0, 0, 0),  // no clip: shown through its pause
        Line("", "Next", 1, 1000, 1, 0),
    };
    const std::vector<WalkSpan_T> spans = {
        {0, 2345, 3000}, {3000, 4000, 4000}, {4000, 4000, 3723456}, {3723456, 3730000, 3730000}};
    EXPECT_EQ(SrtText(items, spans, 1000),
              "1\n00:00:00,000 --> 00:00:02,345\nHello\nthere\n\n"
              "2\n00:00:04,000 --> 01:02:03,456\nBye\n\n"
              "3\n01:02:03,456 --> 01:02:10,000\nNext\n\n");
    // "Next" replaces "Bye" at once: no clearing line between them.
    EXPECT_EQ(LrcText(items, spans, 1000),
              "[00:00.00]Hello there\n[00:02.35]\n[00:04.00]Bye\n[62:03.46]Next\n[62:10.00]\n");
}

TEST(WalkRender, HostileFormatsAndPlansAreRefused)
{
    const std::vector<WalkItem_T> items = {Line("A", "a", 100, 22050, 1, 1000)};
    const RenderFormatChoice_T out{22050, 1};
    const std::vector<WalkSpan_T> spans = PlanWalk(items, out.rate);
    auto sink = [](std::span<const std::uint8_t>) { return true; };
    Failure_T why;
    auto encoder = CWalkEncoder::Create(RenderFormat_T::kFlac, out, WalkTags(), items, spans, sink, why);
    ASSERT_TRUE(encoder) << why.Describe();

    const std::pair<std::uint16_t, std::uint32_t> clipFormats[] = {{0, 22050}, {300, 22050}, {1, 0}, {1, 10000000}};
    const std::vector<std::uint8_t> pcm(1200, 0);
    for (const auto& [channels, rate] : clipFormats) {
        why = {};
        EXPECT_FALSE(encoder->AddClip(RawFormat(channels, rate), pcm, why)) << channels << " " << rate;
        EXPECT_NE(why.Describe(), "") << channels << " " << rate;
        EXPECT_EQ(encoder->Frames(), 0u);
    }
    why = {};
    EXPECT_FALSE(encoder->PadTo(~0ull, why));  // would write zeros for ever
    EXPECT_NE(why.Describe(), "");
    // None of that spoils the walk.
    EXPECT_TRUE(encoder->AddClip(RawFormat(1, 22050), TonePcm(100, 22050, 1), why)) << why.Describe();
    why = {};
    EXPECT_FALSE(encoder->AddClip(RawFormat(1, 22050), TonePcm(100, 22050, 1), why));  // no line left for it
    EXPECT_NE(why.Describe(), "");
    EXPECT_TRUE(encoder->Finish(why)) << why.Describe();

    const RenderFormatChoice_T badOut[] = {{0, 2}, {10000000, 2}, {44100, 0}, {44100, 300}};
    for (const RenderFormatChoice_T& o : badOut) {
        why = {};
        EXPECT_FALSE(CWalkEncoder::Create(RenderFormat_T::kWav, o, WalkTags(), items, spans, sink, why));
        EXPECT_NE(why.Describe(), "");
    }
    why = {};
    EXPECT_FALSE(CWalkEncoder::Create(RenderFormat_T::kOpus, out, WalkTags(), items, spans, sink, why));
    EXPECT_NE(why.Describe(), "");
    why = {};
    EXPECT_FALSE(CWalkEncoder::Create(RenderFormat_T::kOgg, out, WalkTags(), items, {}, sink, why));
    EXPECT_NE(why.Describe(), "");
    why = {};
    EXPECT_FALSE(CWalkEncoder::Create(RenderFormat_T::kOpus, {48000, 2}, WalkTags(), {}, {}, sink, why));  // empty
    EXPECT_NE(why.Describe(), "");
    why = {};
    const std::vector<WalkSpan_T> endless = PlanWalk(std::vector{Line("", "", 0, 0, 0, ~0ull)}, out.rate);
    EXPECT_FALSE(CWalkEncoder::Create(RenderFormat_T::kFlac, out, WalkTags(), std::vector{Line("", "", 0, 0, 0, ~0ull)},
                                      endless, sink, why));
    EXPECT_NE(why.Describe(), "");
}

TEST(WalkRender, ASinkThatRefusesStopsEveryFormat)
{
    for (const RenderFormat_T format :
         {RenderFormat_T::kOgg, RenderFormat_T::kOpus, RenderFormat_T::kFlac, RenderFormat_T::kWav}) {
        const RenderFormatChoice_T out = RenderOutputFormat(format, kThreeLines);
        const std::vector<WalkSpan_T> spans = PlanWalk(kThreeLines, out.rate);
        bool refuse = false;
        std::size_t offered = 0;
        Failure_T why;
        auto encoder = CWalkEncoder::Create(
            format, out, WalkTags(), kThreeLines, spans,
            [&](std::span<const std::uint8_t>) {
                offered += refuse;
                return !refuse;
            },
            why);
        ASSERT_TRUE(encoder) << why.Describe();
        refuse = true;
        // The first refusal may come with a clip, or only at the end.
        (void)encoder->AddClip(RawFormat(1, 22050), kThreeClips[0], why);
        why = {};
        EXPECT_FALSE(encoder->Finish(why)) << static_cast<int>(format);
        EXPECT_NE(why.Describe(), "");
        EXPECT_LE(offered, 1u) << static_cast<int>(format);
    }
    // A walk given up half way frees its codec and writes nothing more.
    std::size_t after = 0;
    bool given = false;
    Failure_T why;
    const RenderFormatChoice_T out = RenderOutputFormat(RenderFormat_T::kFlac, kThreeLines);
    const std::vector<WalkSpan_T> spans = PlanWalk(kThreeLines, out.rate);
    auto encoder = CWalkEncoder::Create(
        RenderFormat_T::kFlac, out, WalkTags(), kThreeLines, spans,
        [&](std::span<const std::uint8_t>) {
            after += given;
            return true;
        },
        why);
    ASSERT_TRUE(encoder);
    ASSERT_TRUE(encoder->AddClip(RawFormat(1, 22050), kThreeClips[0], why));
    given = true;
    encoder.reset();
    EXPECT_EQ(after, 0u);
}

}  // namespace
}  // namespace tarnwick
