#include "sound/voice_output.h"

#include <cstring>
#include <limits>

// The header's file-callback sets are static and unused here.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "archive/archive_set.h"
#include "archive/archive_table.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kMaxPcmBytes = std::numeric_limits<std::int32_t>::max();

// Owns the decoder state of an opened OggVorbis_File, not its memory.
struct OvClear {
    void operator()(OggVorbis_File* file) const { ov_clear(file); }
};

const ov_callbacks kClipCallbacks{ClipRead, ClipSeek, ClipClose, ClipTell};

bool GrowPcm(VoiceOutput& out, std::int32_t size)
{
    void* grown = std::realloc(out.pcm.get(), static_cast<std::size_t>(size));
    if (!grown)
        return false;  // the old block is still valid and still ours
    static_cast<void>(out.pcm.release());
    out.pcm.reset(static_cast<std::uint8_t*>(grown));
    out.pcmCapacity = size;
    return true;
}

// Decodes the rest of the stream as 16-bit signed little-endian samples,
// handing each chunk to put(bytes, n, doneSoFar), which gives false to stop
// the decoding as failed. A hole or damaged page only loses its own samples.
template <typename Put>
bool DecodeStream(OggVorbis_File& file, std::int32_t& total, Put put)
{
    char chunk[kVoiceReadChunk];
    std::int32_t done = 0;
    int errorsInRow = 0;
    int section = 0;
    for (;;) {
        const long n = ov_read(&file, chunk, kVoiceReadChunk, 0, 2, 1, &section);
        if (n == 0)
            break;
        if (n < 0) {
            if (++errorsInRow >= kMaxVoiceReadErrors)
                break;
            continue;
        }
        errorsInRow = 0;
        if (n > kMaxPcmBytes - done)
            return false;
        if (!put(chunk, static_cast<std::int32_t>(n), done))
            return false;
        done += static_cast<std::int32_t>(n);
    }
    total = done;
    return true;
}

// The block grows to exactly the end of any chunk that passes its size.
bool DecodeWhole(OggVorbis_File& file, VoiceOutput& out, std::int32_t& total)
{
    return DecodeStream(file, total, [&out](const char* chunk, std::int32_t n, std::int32_t done) {
        const std::int32_t needed = done + n;
        if (out.pcmCapacity < needed && !GrowPcm(out, needed))
            return false;
        std::memcpy(out.pcm.get() + done, chunk, static_cast<std::size_t>(n));
        return true;
    });
}

// Fetches the clip, inverts its bytes back and opens the decoder over them.
// The entry's bytes stay in the archive set's buffer, which the decoder
// reads until it is cleared.
bool OpenClip(CArchiveSet& archives, std::string_view name, int kind, ClipSource_T& source,
              OggVorbis_File& file, WaveFormat_T& format)
{
    std::uint32_t length = 0;
    if (!archives.ReadEntry(VoiceArchiveFor(kind), name, &length))
        return false;
    if (length > static_cast<std::uint32_t>(kMaxPcmBytes))
        return false;
    std::uint8_t* bytes = archives.Buffer();
    InvertVoiceBytes(bytes, length);
    source = ClipSource_T{bytes, bytes, static_cast<std::int32_t>(length)};

    // A stream the decoder refuses gives no stream information to trust:
    // the line is silent.
    if (ov_open_callbacks(&source, &file, nullptr, 0, kClipCallbacks) != 0)
        return false;
    const vorbis_info* info = ov_info(&file, -1);
    format = info ? PcmWaveFormat(info->channels, info->rate) : WaveFormat_T{};
    if (format.channels == 0) {
        ov_clear(&file);
        return false;
    }
    return true;
}

}  // namespace

void InvertVoiceBytes(std::uint8_t* bytes, std::size_t length)
{
    // Eight bytes at a time: a whole archive of clips goes through here.
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        word = ~word;
        std::memcpy(bytes + i, &word, 8);
    }
    for (; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

int VoiceArchiveFor(int kind)
{
    return kind == 1 ? kShortVoiceArchive : kLongVoiceArchive;
}

VoiceOutput::VoiceOutput() : pcm(static_cast<std::uint8_t*>(std::malloc(kInitialPcmCapacity)))
{
    pcmCapacity = pcm ? kInitialPcmCapacity : 0;
}

VoiceOutput::~VoiceOutput()
{
    CloseVoiceClip(*this);
}

bool PlayVoiceClip(IWaveDevice& device, VoiceOutput& out, CArchiveSet& archives, std::string_view name,
                   int kind)
{
    if (out.IsPlaying() || !out.pcm)
        return false;
    ClipSource_T source;
    OggVorbis_File file{};
    WaveFormat_T format;
    if (!OpenClip(archives, name, kind, source, file, format))
        return false;
    const std::unique_ptr<OggVorbis_File, OvClear> opened(&file);

    out.device = nullptr;
    out.header = {};
    // No output (no sound server, no device): silent, so a walk goes on
    // instead of waiting for an end that would never come.
    if (!device.Open(format))
        return false;
    std::int32_t total = 0;
    if (!DecodeWhole(file, out, total)) {
        device.Close();
        return false;
    }
    out.device = &device;
    out.header.data = out.pcm.get();
    out.header.length = static_cast<std::uint32_t>(total);
    device.Write(out.header.data, out.header.length);
    return true;
}

bool DecodeVoiceClip(CArchiveSet& archives, std::string_view name, int kind, WaveFormat_T& format,
                     std::vector<std::uint8_t>& pcm)
{
    pcm.clear();
    ClipSource_T source;
    OggVorbis_File file{};
    if (!OpenClip(archives, name, kind, source, file, format))
        return false;
    const std::unique_ptr<OggVorbis_File, OvClear> opened(&file);
    std::int32_t total = 0;
    return DecodeStream(file, total, [&pcm](const char* chunk, std::int32_t n, std::int32_t) {
        pcm.insert(pcm.end(), chunk, chunk + n);
        return true;
    });
}

void StopVoiceClip(VoiceOutput& out)
{
    if (out.IsPlaying() && out.device)
        out.device->Reset();
}

void CloseVoiceClip(VoiceOutput& out)
{
    if (out.device)
        out.device->Close();
    out.device = nullptr;
    out.header = {};
}

std::size_t ClipRead(void* destination, std::size_t size, std::size_t count, void* source)
{
    ClipSource_T& clip = *static_cast<ClipSource_T*>(source);
    const std::size_t left = static_cast<std::size_t>(clip.dataStart + clip.dataLength - clip.readPos);
    std::size_t n = 0;
    if (size != 0 && count != 0)
        n = count > left / size ? left : size * count;
    if (n != 0)
        std::memcpy(destination, clip.readPos, n);
    clip.readPos += n;
    return n;
}

int ClipSeek(void* source, ogg_int64_t offset, int origin)
{
    ClipSource_T& clip = *static_cast<ClipSource_T*>(source);
    std::int64_t base = 0;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = clip.readPos - clip.dataStart; break;
    case 2: base = clip.dataLength; break;
    default: return -1;
    }
    // Compared before adding, so no offset can overflow.
    if (offset < -base) {
        clip.readPos = clip.dataStart;
        return -1;
    }
    if (offset > clip.dataLength - base) {
        clip.readPos = clip.dataStart + clip.dataLength;
        return -1;
    }
    clip.readPos = clip.dataStart + (base + offset);
    return 0;
}

int ClipClose(void*)
{
    return 0;  // the bytes belong to the archive set's buffer
}

long ClipTell(void* source)
{
    const ClipSource_T& clip = *static_cast<const ClipSource_T*>(source);
    return static_cast<long>(clip.readPos - clip.dataStart);
}

}  // namespace tarnwick
