#include "sound/walk_render.h"

#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>
#include <type_traits>

#include "sound/walk_codecs.h"

namespace tarnwick {

using walk_codecs::CSinkGuard;
using walk_codecs::ISampleWriter;

namespace {

constexpr std::uint64_t kMaxFrames = std::numeric_limits<std::uint64_t>::max();
// Longer than any game's every line said in a row; a plan past it is a
// mistake, and padding it out would write for days.
constexpr std::uint64_t kMaxWalkSeconds = 48 * 3600;
constexpr std::uint32_t kOpusRate = 48000;
constexpr std::size_t kChunkFrames = 4096;

// value * num / den rounded to nearest, saturating instead of wrapping;
// num and den fit 32 bits, so the remainder's product fits 64.
std::uint64_t MulDivRound(std::uint64_t value, std::uint64_t num, std::uint64_t den)
{
    if (den == 0)
        return 0;
    const std::uint64_t whole = value / den;
    const std::uint64_t rest = value % den;
    if (num != 0 && whole > kMaxFrames / num)
        return kMaxFrames;
    const std::uint64_t part = (rest * num + den / 2) / den;
    const std::uint64_t scaled = whole * num;
    return scaled > kMaxFrames - part ? kMaxFrames : scaled + part;
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > kMaxFrames - b ? kMaxFrames : a + b;
}

// A clip's length at the file's rate, as the resampler is held to it.
std::uint64_t ClipFramesAt(const WalkItem_T& item, std::uint32_t rate)
{
    if (!item.hasClip || item.clipRate == 0)
        return 0;
    return MulDivRound(item.clipFrames, rate, item.clipRate);
}

std::uint64_t Milliseconds(std::uint64_t frames, std::uint32_t rate)
{
    return MulDivRound(frames, 1000, rate);
}

// "HH:MM:SS" then the separator and the milliseconds.
std::string ClockTime(std::uint64_t frames, std::uint32_t rate, char separator)
{
    const std::uint64_t ms = Milliseconds(frames, rate);
    char text[48];
    std::snprintf(text, sizeof text, "%02llu:%02u:%02u%c%03u", static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60), separator,
                  static_cast<unsigned>(ms % 1000));
    return text;
}

// LRC counts whole minutes and hundredths.
std::string LrcTime(std::uint64_t frames, std::uint32_t rate)
{
    const std::uint64_t cs = MulDivRound(frames, 100, rate);
    char text[48];
    std::snprintf(text, sizeof text, "[%02llu:%02u.%02u]", static_cast<unsigned long long>(cs / 6000),
                  static_cast<unsigned>(cs / 100 % 60), static_cast<unsigned>(cs % 100));
    return text;
}

// A subtitle's lines without carriage returns or empty lines: an empty line
// would end an SRT entry early.
std::vector<std::string> SubtitleLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t to = std::min(text.find('\n', from), text.size());
        std::string line = text.substr(from, to - from);
        std::erase(line, '\r');
        if (!line.empty())
            lines.push_back(std::move(line));
        from = to + 1;
    }
    return lines;
}

// A line's subtitle ends with its clip, or with its pause when it has no
// sound of its own.
std::uint64_t ShownUntil(const WalkItem_T& item, const WalkSpan_T& span)
{
    return item.hasClip && span.clipEnd > span.start ? span.clipEnd : span.end;
}

std::string Joined(const std::vector<std::string>& lines, std::string_view between)
{
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty())
            out += between;
        out += line;
    }
    return out;
}

std::string WithoutNul(std::string text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\0')
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
    return out;
}

std::vector<std::string> ChapterComments(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans,
                                         std::uint32_t rate)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "CHAPTER%03zu", i + 1);
        out.push_back(std::string(key) + "=" + ClockTime(spans[i].start, rate, '.'));
        out.push_back(std::string(key) + "NAME=" + WithoutNul(items[i].chapter));
    }
    return out;
}

std::string Hertz(std::uint64_t channels, std::uint64_t rate)
{
    return std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz";
}

// Some checks of a plan made elsewhere: every span follows the one before,
// in order, and the whole is not absurdly long.
bool CheckPlan(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans, std::uint32_t rate,
               Failure_T& why)
{
    if (items.size() != spans.size()) {
        why = Failure_T::Refused("walk", std::to_string(spans.size()) + " spans for " + std::to_string(items.size()) +
                                             " lines");
        return false;
    }
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const WalkSpan_T& span = spans[i];
        if (span.start != at || span.clipEnd < span.start || span.end < span.clipEnd) {
            why = Failure_T::Refused("walk", "line " + std::to_string(i + 1) + "'s span is out of order");
            return false;
        }
        at = span.end;
    }
    // Not even a frame: no file a player would open (libopusenc even
    // asserts on it).
    if (at == 0) {
        why = Failure_T::Refused("walk", "it has no sound and no pause to render");
        return false;
    }
    if (at / rate > kMaxWalkSeconds) {
        why = Failure_T::Refused("walk", "it would last " + std::to_string(at / rate / 3600) +
                                             " hours; a walk may last 48 at the most");
        return false;
    }
    return true;
}

struct SoxrDeleter {
    void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

// 16-bit little-endian frames taken to `to` channels: mono is copied to every
// channel, many averaged down to mono; other layouts keep their first
// channels, repeated where there are fewer.
void MapChannels(const std::uint8_t* pcm, std::size_t frames, std::size_t from, std::size_t to,
                 std::vector<std::int16_t>& out)
{
    out.resize(frames * to);
    auto sample = [pcm, from](std::size_t frame, std::size_t channel) {
        const std::uint8_t* p = pcm + (frame * from + channel) * 2;
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
    };
    for (std::size_t f = 0; f < frames; ++f) {
        if (to == 1 && from > 1) {
            long sum = 0;
            for (std::size_t c = 0; c < from; ++c)
                sum += sample(f, c);
            out[f] = static_cast<std::int16_t>(sum / static_cast<long>(from));
        } else {
            for (std::size_t c = 0; c < to; ++c)
                out[f * to + c] = sample(f, c % from);
        }
    }
}

class CWalkRender final : public CWalkEncoder {
public:
    CWalkRender(RenderFormatChoice_T format, std::span<const WalkItem_T> items, std::span<const WalkSpan_T> plan,
                ByteSink to)
        : out(format), spans(plan.begin(), plan.end()), sink(std::move(to))
    {
        for (const WalkItem_T& item : items)
            hasClip.push_back(item.hasClip);
        total = spans.empty() ? 0 : spans.back().end;
    }
    ~CWalkRender() override
    {
        // A codec torn down unfinished (a walk given up half way) would
        // still flush: none of that reaches the sink.
        sink.Close();
    }
    CWalkRender(const CWalkRender&) = delete;
    CWalkRender& operator=(const CWalkRender&) = delete;

    bool Start(const walk_codecs::CodecSetup_T& setup, RenderFormat_T format, Failure_T& why)
    {
        switch (format) {
        case RenderFormat_T::kOgg:
            writer = walk_codecs::MakeVorbisWriter(setup, sink, why);
            break;
        case RenderFormat_T::kOpus:
            writer = walk_codecs::MakeOpusWriter(setup, sink, why);
            break;
        case RenderFormat_T::kFlac:
            writer = walk_codecs::MakeFlacWriter(setup, sink, why);
            break;
        case RenderFormat_T::kWav:
            writer = walk_codecs::MakeWavWriter(setup, sink, why);
            break;
        }
        return writer != nullptr;
    }

    bool AddClip(const WaveFormat_T& format, std::span<const std::uint8_t> pcm, Failure_T& why) override
    {
        if (!Usable(why))
            return false;
        if (!IsPlayableWaveFormat(format)) {
            why = Failure_T::Refused("clip", "16-bit sound of 1 to 8 channels at 8 to 192 kHz only, not " +
                                                 Hertz(format.channels, format.samplesPerSec));
            return false;
        }
        // The next line with a clip not yet passed; lines whose clip the
        // caller skipped keep the silence it padded them with.
        std::size_t line = nextLine;
        while (line < spans.size() && (!hasClip[line] || spans[line].start < frames))
            ++line;
        if (line == spans.size()) {
            why = Failure_T::Refused("clip", "no line's clip is left at frame " + std::to_string(frames));
            return false;
        }
        nextLine = line + 1;
        if (!PadTo(spans[line].start, why))
            return false;
        const std::uint64_t clipEnd = spans[line].clipEnd;
        if (!Convert(format, pcm, clipEnd, why))
            return false;
        // A clip that came out shorter than planned keeps the chapters in
        // place with silence.
        return PadTo(clipEnd, why);
    }

    bool PadTo(std::uint64_t until, Failure_T& why) override
    {
        if (!Usable(why))
            return false;
        if (until > total) {
            why = Failure_T::Refused("walk", "frame " + std::to_string(until) + " lies past its end at frame " +
                                                 std::to_string(total));
            return false;
        }
        if (until <= frames)
            return true;
        silence.assign(kChunkFrames * out.channels, 0);
        while (frames < until) {
            const std::uint64_t n = std::min<std::uint64_t>(kChunkFrames, until - frames);
            if (!Deliver(std::span(silence).first(n * out.channels), why))
                return false;
        }
        return true;
    }

    std::uint64_t Frames() const override { return frames; }

    bool Finish(Failure_T& why) override
    {
        if (!PadTo(total, why))
            return false;
        finished = true;
        if (!writer->End(why)) {
            failure = why;
            return false;
        }
        return true;
    }

private:
    bool Usable(Failure_T& why) const
    {
        if (failure) {
            why = failure;
            return false;
        }
        if (finished) {
            why = Failure_T::Refused("walk", "it is finished already");
            return false;
        }
        return true;
    }

    // Hands frames to the codec, never past `limit`; the rest is dropped.
    bool Deliver(std::span<const std::int16_t> samples, Failure_T& why, std::uint64_t limit = kMaxFrames)
    {
        const std::uint64_t room = limit > frames ? limit - frames : 0;
        const std::uint64_t n = std::min<std::uint64_t>(samples.size() / out.channels, room);
        if (n == 0)
            return true;
        if (!writer->Write(samples.first(n * out.channels), why)) {
            failure = why;
            return false;
        }
        frames += n;
        return true;
    }

    // The clip in the file's channels and rate, up to frame `limit`.
    bool Convert(const WaveFormat_T& format, std::span<const std::uint8_t> pcm, std::uint64_t limit, Failure_T& why)
    {
        const std::size_t inFrames = pcm.size() / format.blockAlign;
        Resampler resampler;
        if (format.samplesPerSec != out.rate) {
            const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            soxr_error_t error = nullptr;
            resampler.reset(
                soxr_create(format.samplesPerSec, out.rate, out.channels, &error, &io, &quality, nullptr));
            if (!resampler || error) {
                why = Failure_T::Refused("resampler", soxr_strerror(error));
                return false;
            }
            // Room for what one chunk becomes, and some of the filter's tail.
            resampled.resize((static_cast<std::size_t>(MulDivRound(kChunkFrames, out.rate, format.samplesPerSec)) +
                              kChunkFrames) *
                             out.channels);
        }
        for (std::size_t done = 0; done < inFrames && frames < limit;) {
            const std::size_t n = std::min(kChunkFrames, inFrames - done);
            MapChannels(pcm.data() + done * format.blockAlign, n, format.channels, out.channels, mapped);
            done += n;
            if (!resampler) {
                if (!Deliver(mapped, why, limit))
                    return false;
                continue;
            }
            for (std::size_t used = 0; used < n && frames < limit;) {
                std::size_t took = 0;
                std::size_t made = 0;
                if (!Resample(resampler.get(), mapped.data() + used * out.channels, n - used, took, made, why) ||
                    !Deliver(std::span(resampled).first(made * out.channels), why, limit))
                    return false;
                used += took;
                if (took == 0 && made == 0)
                    break;  // no progress: never spin
            }
        }
        // The filter's tail, until it runs dry or the clip's plan is full.
        while (resampler && frames < limit) {
            std::size_t took = 0;
            std::size_t made = 0;
            if (!Resample(resampler.get(), nullptr, 0, took, made, why) ||
                !Deliver(std::span(resampled).first(made * out.channels), why, limit))
                return false;
            if (made == 0)
                break;
        }
        return true;
    }

    bool Resample(soxr_t resampler, const std::int16_t* in, std::size_t inFrames, std::size_t& took,
                  std::size_t& made, Failure_T& why)
    {
        const soxr_error_t error = soxr_process(resampler, in, inFrames, &took, resampled.data(),
                                                resampled.size() / out.channels, &made);
        if (error) {
            why = Failure_T::Refused("resampler", error);
            failure = why;
            return false;
        }
        return true;
    }

    RenderFormatChoice_T out;
    std::vector<WalkSpan_T> spans;
    std::vector<bool> hasClip;
    std::uint64_t total = 0;
    // The sink outlives the codec, which may still write while it goes.
    CSinkGuard sink;
    std::unique_ptr<ISampleWriter> writer;
    std::uint64_t frames = 0;
    std::size_t nextLine = 0;
    bool finished = false;
    Failure_T failure;
    std::vector<std::int16_t> mapped;
    std::vector<std::int16_t> resampled;
    std::vector<std::int16_t> silence;
};

}  // namespace

std::optional<RenderFormat_T> RenderFormatOf(std::string_view fileName)
{
    const std::size_t slash = fileName.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string extension(base.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "ogg")
        return RenderFormat_T::kOgg;
    if (extension == "opus")
        return RenderFormat_T::kOpus;
    if (extension == "flac")
        return RenderFormat_T::kFlac;
    if (extension == "wav")
        return RenderFormat_T::kWav;
    return std::nullopt;
}

RenderFormatChoice_T RenderOutputFormat(RenderFormat_T format, std::span<const WalkItem_T> items)
{
    RenderFormatChoice_T choice;
    const auto first = std::find_if(items.begin(), items.end(), [](const WalkItem_T& item) { return item.hasClip; });
    if (first != items.end()) {
        choice.rate = first->clipRate;
        choice.channels = first->clipChannels;
    }
    if (format == RenderFormat_T::kOpus) {
        // Opus codes 48 kHz, and mono or stereo without a surround mapping.
        choice.rate = kOpusRate;
        choice.channels = choice.channels == 1 ? 1 : 2;
    }
    return choice;
}

std::vector<WalkSpan_T> PlanWalk(std::span<const WalkItem_T> items, std::uint32_t rate)
{
    std::vector<WalkSpan_T> spans;
    spans.reserve(items.size());
    std::uint64_t at = 0;
    for (const WalkItem_T& item : items) {
        WalkSpan_T span;
        span.start = at;
        span.clipEnd = SaturatingAdd(at, ClipFramesAt(item, rate));
        span.end = SaturatingAdd(span.clipEnd, MulDivRound(item.pauseMicroseconds, rate, 1000000));
        at = span.end;
        spans.push_back(span);
    }
    return spans;
}

std::string SrtText(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans, std::uint32_t rate)
{
    std::string out;
    unsigned entry = 0;
    for (std::size_t i = 0; i < items.size() && i < spans.size(); ++i) {
        const std::vector<std::string> lines = SubtitleLines(items[i].text);
        if (lines.empty())
            continue;
        out += std::to_string(++entry) + "\n" + ClockTime(spans[i].start, rate, ',') + " --> " +
               ClockTime(ShownUntil(items[i], spans[i]), rate, ',') + "\n" + Joined(lines, "\n") + "\n\n";
    }
    return out;
}

std::string LrcText(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans, std::uint32_t rate)
{
    struct Entry {
        std::string start;
        std::string end;
        std::string text;
    };
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < items.size() && i < spans.size(); ++i) {
        const std::vector<std::string> lines = SubtitleLines(items[i].text);
        if (!lines.empty())
            entries.push_back({LrcTime(spans[i].start, rate), LrcTime(ShownUntil(items[i], spans[i]), rate),
                               Joined(lines, " ")});
    }
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out += entries[i].start + entries[i].text + "\n";
        // The empty line clears the text, unless the next one replaces it
        // at that very moment.
        if (i + 1 == entries.size() || entries[i + 1].start != entries[i].end)
            out += entries[i].end + "\n";
    }
    return out;
}

std::unique_ptr<CWalkEncoder> CWalkEncoder::Create(RenderFormat_T format, RenderFormatChoice_T out,
                                                   const ClipTags_T& tags, std::span<const WalkItem_T> items,
                                                   std::span<const WalkSpan_T> spans, ByteSink sink, Failure_T& why)
{
    if (!IsPlayableWaveFormat(PcmWaveFormat(out.channels, out.rate))) {
        why = Failure_T::Refused("walk", "no file is made of " + Hertz(out.channels, out.rate));
        return nullptr;
    }
    if (format == RenderFormat_T::kOpus && (out.rate != kOpusRate || out.channels > 2)) {
        why = Failure_T::Refused("walk", "Opus is made of mono or stereo at 48000 Hz, not " +
                                             Hertz(out.channels, out.rate));
        return nullptr;
    }
    if (!sink) {
        why = Failure_T::Refused("walk", "nowhere to write");
        return nullptr;
    }
    if (!CheckPlan(items, spans, out.rate, why))
        return nullptr;
    walk_codecs::CodecSetup_T setup;
    setup.out = out;
    setup.totalFrames = spans.empty() ? 0 : spans.back().end;
    setup.tags = &tags;
    setup.comments = VorbisComments(tags);
    if (format != RenderFormat_T::kWav) {
        std::vector<std::string> chapters = ChapterComments(items, spans, out.rate);
        setup.comments.insert(setup.comments.end(), chapters.begin(), chapters.end());
    }
    auto render = std::make_unique<CWalkRender>(out, items, spans, std::move(sink));
    if (!render->Start(setup, format, why))
        return nullptr;
    return render;
}

}  // namespace tarnwick
