// The walk as one sound file: each line's clip and then its pause, in
// order, encoded as Ogg Vorbis, Opus, FLAC or WAV, with a chapter per line,
// the file's own tags and picture, and subtitles beside it. The times are
// planned before any sound is encoded, since chapters go in the headers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "sound/clip_tags.h"
#include "sound/wave_device.h"

namespace tarnwick {

enum class RenderFormat_T { kOgg, kOpus, kFlac, kWav };

// By the file name's extension (".ogg", ".opus", ".flac", ".wav", any
// letter case); nothing for another.
std::optional<RenderFormat_T> RenderFormatOf(std::string_view fileName);

// One line of the walk as planned.
struct WalkItem_T {
    std::string chapter;  // "CAST: TEXT", UTF-8
    std::string text;     // the subtitle, UTF-8, line breaks as "\n"; empty: none
    // The clip, when the line has one: its length and format as decoded.
    bool hasClip = false;
    std::uint64_t clipFrames = 0;
    std::uint32_t clipRate = 0;
    std::uint16_t clipChannels = 0;
    std::uint64_t pauseMicroseconds = 0;  // after the clip
};

// Where each line lies in the rendered file, in frames of the file's rate.
struct WalkSpan_T {
    std::uint64_t start = 0;    // the line's clip (or pause) starts
    std::uint64_t clipEnd = 0;  // its clip ends, its pause starts
    std::uint64_t end = 0;      // its pause ends, the next line starts
};

// The file's rate and channels: the first clip's (48 kHz for Opus), else
// 44100 Hz stereo when no line has a clip.
struct RenderFormatChoice_T {
    std::uint32_t rate = 44100;
    std::uint16_t channels = 2;
};
RenderFormatChoice_T RenderOutputFormat(RenderFormat_T format, std::span<const WalkItem_T> items);

// Every line's span, each clip's length taken to the file's rate as the
// resampler makes it, each pause rounded to whole frames.
std::vector<WalkSpan_T> PlanWalk(std::span<const WalkItem_T> items, std::uint32_t rate);

// Subtitles, UTF-8: each line with a text shown from its start to its clip's
// end (its pause's end for a line without a clip).
std::string SrtText(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans, std::uint32_t rate);
std::string LrcText(std::span<const WalkItem_T> items, std::span<const WalkSpan_T> spans, std::uint32_t rate);

// Encodes the walk into bytes handed to a sink as they come; the sink's
// false stops it (Finish then gives false).
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

class CWalkEncoder {
public:
    virtual ~CWalkEncoder() = default;
    // The whole file's format, tags and chapters (one per item at its
    // span's start: CHAPTERnnn / CHAPTERnnnNAME comments for Ogg, Opus and
    // FLAC; none in WAV). Nothing when the encoder cannot be made, or the
    // walk has not a frame to render.
    static std::unique_ptr<CWalkEncoder> Create(RenderFormat_T format, RenderFormatChoice_T out,
                                                const ClipTags_T& tags, std::span<const WalkItem_T> items,
                                                std::span<const WalkSpan_T> spans, ByteSink sink, Failure_T& why);
    // A clip's 16-bit samples in its own format, converted to the file's
    // rate and channels (libsoxr) when they differ. It fills the next line
    // with a clip exactly as planned, cut or padded with silence, after
    // silence up to that line's start.
    virtual bool AddClip(const WaveFormat_T& format, std::span<const std::uint8_t> pcm, Failure_T& why) = 0;
    // Silence up to frame `until` of the file (a pause's end, or a clip
    // that decoded shorter than planned); nothing when it is there already,
    // false past the walk's planned end.
    virtual bool PadTo(std::uint64_t until, Failure_T& why) = 0;
    // The frames written so far.
    virtual std::uint64_t Frames() const = 0;
    // Silence up to the walk's planned end, then the stream's end.
    virtual bool Finish(Failure_T& why) = 0;
};

}  // namespace tarnwick
