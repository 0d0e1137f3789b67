// The four kinds of file a rendered walk becomes, each behind one small
// interface: whole frames of 16-bit samples in the file's own rate and
// channels go in, bytes come out through the sink. The resampling, the
// walk's bookkeeping and the sink's refusal live in walk_render.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/failure.h"
#include "sound/clip_tags.h"
#include "sound/walk_render.h"

namespace tarnwick::walk_codecs {

// The sink, with its first refusal kept: after it every write is refused
// too, so a codec that ignores one failed write still stops.
class CSinkGuard {
public:
    explicit CSinkGuard(ByteSink to) : sink(std::move(to)) {}
    bool Put(std::span<const std::uint8_t> bytes);
    bool Put(const void* data, std::size_t size);
    // No more bytes: a codec torn down unfinished writes nothing more.
    void Close() { refused = true; }
    bool Refused() const { return refused; }

private:
    ByteSink sink;
    bool refused = false;
};

// What a codec is made with. The comments are "KEY=value", the chapters
// among them; Opus and FLAC drop METADATA_BLOCK_PICTURE and carry the
// picture their own way.
struct CodecSetup_T {
    RenderFormatChoice_T out;
    std::uint64_t totalFrames = 0;
    std::vector<std::string> comments;
    const ClipTags_T* tags = nullptr;
};

class ISampleWriter {
public:
    virtual ~ISampleWriter() = default;
    // Whole frames, interleaved.
    virtual bool Write(std::span<const std::int16_t> samples, Failure_T& why) = 0;
    virtual bool End(Failure_T& why) = 0;
};

std::unique_ptr<ISampleWriter> MakeVorbisWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why);
std::unique_ptr<ISampleWriter> MakeOpusWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why);
std::unique_ptr<ISampleWriter> MakeFlacWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why);
std::unique_ptr<ISampleWriter> MakeWavWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why);

}  // namespace tarnwick::walk_codecs
