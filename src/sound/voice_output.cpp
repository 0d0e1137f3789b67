#include "sound/voice_output.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

// The header's file-callback sets are static and unused here.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "archive/archive_set.h"
#include "archive/archive_table.h"

namespace tarnwick {

namespace {

const ov_callbacks kClipCallbacks{ClipRead, ClipSeek, ClipClose, ClipTell};

}  // namespace

// The decoder of one clip over its own copy of the entry, inverted back.
class CVoiceDecoder {
public:
    CVoiceDecoder() = default;
    ~CVoiceDecoder()
    {
        if (opened)
            ov_clear(&file);
    }
    CVoiceDecoder(const CVoiceDecoder&) = delete;
    CVoiceDecoder& operator=(const CVoiceDecoder&) = delete;

    // Fetches the clip and opens the decoder over it; false when the entry
    // is missing or too large, or the decoder refuses it.
    bool Open(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format);
    // Frames the stream says it holds, or -1 when it cannot tell.
    std::int64_t Frames() { return ov_pcm_total(&file, -1); }
    // Decodes 16-bit signed little-endian samples into dst, up to room bytes:
    // the bytes written, 0 at the end. A hole or damaged page only loses its
    // own samples.
    std::uint32_t Read(std::uint8_t* dst, std::uint32_t room);

private:
    std::vector<std::uint8_t> bytes;
    ClipSource_T source;
    OggVorbis_File file{};
    bool opened = false;
    int errorsInRow = 0;
};

bool CVoiceDecoder::Open(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format)
{
    std::uint32_t length = 0;
    if (!archives.ReadEntry(VoiceArchiveFor(kind), name, &length, kMaxVoiceEntryBytes))
        return false;
    try {
        bytes.assign(archives.Buffer(), archives.Buffer() + length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    InvertVoiceBytes(bytes.data(), bytes.size());
    source = ClipSource_T{bytes.data(), bytes.data(), static_cast<std::int32_t>(length)};

    // A stream the decoder refuses gives no stream information to trust:
    // the line is silent.
    if (ov_open_callbacks(&source, &file, nullptr, 0, kClipCallbacks) != 0)
        return false;
    opened = true;
    const vorbis_info* info = ov_info(&file, -1);
    format = info ? PcmWaveFormat(info->channels, info->rate) : WaveFormat_T{};
    return format.channels != 0;
}

std::uint32_t CVoiceDecoder::Read(std::uint8_t* dst, std::uint32_t room)
{
    std::uint32_t done = 0;
    int section = 0;
    while (done < room) {
        const int want = static_cast<int>(std::min<std::uint32_t>(room - done, kVoiceReadChunk));
        const long n = ov_read(&file, reinterpret_cast<char*>(dst + done), want, 0, 2, 1, &section);
        if (n == 0)
            break;
        if (n < 0) {
            if (++errorsInRow >= kMaxVoiceReadErrors)
                break;
            continue;
        }
        errorsInRow = 0;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

namespace {

// Exactly size bytes, whatever the block held: the old samples are done.
bool GrowPcm(VoiceOutput& out, std::uint32_t size)
{
    void* grown = std::realloc(out.pcm.get(), size);
    if (!grown)
        return false;  // the old block is still valid and still ours
    static_cast<void>(out.pcm.release());
    out.pcm.reset(static_cast<std::uint8_t*>(grown));
    out.pcmCapacity = static_cast<std::int32_t>(size);
    return true;
}

// The block a clip needs: its stated length, within what a clip may play
// (cut says when the stated length is more). A stream that states less
// than it holds is cut there.
std::uint32_t PcmBytesFor(CVoiceDecoder& decoder, const WaveFormat_T& format, bool& cut)
{
    const std::uint32_t most = MaxVoicePcmBytes(format);
    const std::int64_t frames = decoder.Frames();
    cut = false;
    if (frames < 0)
        return most;
    const std::uint64_t stated = static_cast<std::uint64_t>(frames) * format.blockAlign;
    cut = stated > most;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(stated, most));
}

// Decodes up to bytes more of the open clip into the block; false once the
// clip is complete, which lets its decoder go.
bool DecodeSlice(VoiceOutput& out, std::uint32_t bytes)
{
    if (!out.decoding)
        return false;
    const std::uint32_t room = std::min(bytes, out.pcmLimit - out.header.length);
    const std::uint32_t got = out.decoding->Read(out.pcm.get() + out.header.length, room);
    if (out.measuring)
        out.measuring->Add(out.pcm.get() + out.header.length, got);
    out.header.length += got;
    if (got == room && out.header.length < out.pcmLimit)
        return true;
    out.decoding.reset();
    // Decoded whole: its measure is known, and kept for the next time.
    if (out.measuring) {
        out.openLoudness = out.measuring->Result();
        out.measuring.reset();
        out.loudness.insert_or_assign(std::move(out.measuringKey), out.openLoudness);
        out.measuringKey.clear();
        if (out.device && out.level.evenLoudness)
            out.device->SetGain(VoiceGain(out));
    }
    return false;
}

std::string LoudnessKey(ClipKind_T kind, std::string_view name)
{
    std::string key(1, static_cast<char>('0' + VoiceArchiveFor(kind) % 10));
    key += name;
    return key;
}

}  // namespace

std::uint32_t MaxVoicePcmBytes(const WaveFormat_T& format)
{
    const std::uint64_t seconds = std::uint64_t{format.avgBytesPerSec} * kMaxVoiceSeconds;
    const std::uint64_t most = std::min<std::uint64_t>(seconds, kMaxVoicePcmBytes);
    return format.blockAlign == 0 ? 0 : static_cast<std::uint32_t>(most - most % format.blockAlign);
}

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

ClipKind_T ClipKindOfNumber(std::int32_t number)
{
    switch (number) {
    case 0: return ClipKind_T::kSilent;
    case 1: return ClipKind_T::kShort;
    default: return ClipKind_T::kLong;
    }
}

int VoiceArchiveFor(ClipKind_T kind)
{
    return kind == ClipKind_T::kShort ? kShortVoiceArchive : kLongVoiceArchive;
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
                   ClipKind_T kind)
{
    if (out.IsPlaying() || !out.pcm)
        return false;
    std::unique_ptr<CVoiceDecoder> decoder = std::make_unique<CVoiceDecoder>();
    WaveFormat_T format;
    if (!decoder->Open(archives, name, kind, format) || !IsPlayableWaveFormat(format))
        return false;
    bool cut = false;
    const std::uint32_t limit = PcmBytesFor(*decoder, format, cut);
    if (limit > static_cast<std::uint32_t>(out.pcmCapacity) && !GrowPcm(out, limit))
        return false;

    out.device = nullptr;
    out.header = {};
    // No output (no sound server, no device): silent, so a walk goes on
    // instead of waiting for an end that would never come.
    if (!device.Open(format))
        return false;
    out.device = &device;
    out.decoding = std::move(decoder);
    out.pcmLimit = limit;
    out.cut = cut;
    out.format = format;
    out.lengthMicroseconds = format.avgBytesPerSec != 0 ? std::uint64_t{limit} * 1000000 / format.avgBytesPerSec : 0;
    out.header.data = out.pcm.get();
    std::string key = LoudnessKey(kind, name);
    const auto known = out.loudness.find(key);
    out.openLoudness = known != out.loudness.end() ? known->second : ClipLoudness_T{};
    if (known == out.loudness.end()) {
        out.measuring = std::make_unique<CLoudnessMeter>(format);
        out.measuringKey = std::move(key);
    }
    // Even loudness needs the measure from the first sample: a clip not
    // measured yet is decoded whole before it starts.
    const bool whole = out.measuring && out.level.evenLoudness;
    DecodeSlice(out, whole ? limit : format.avgBytesPerSec * kFirstVoiceSliceSeconds);
    device.SetGain(VoiceGain(out));
    // Whole frames: the decoder gives no part of one, and a slice it cannot
    // fill would count as the clip's end.
    std::uint32_t slice = std::max<std::uint32_t>(format.avgBytesPerSec / kVoiceSlicesPerSecond, kVoiceReadChunk);
    slice -= slice % format.blockAlign;
    device.WriteGrowing(out.header.data, out.header.length, [&out, slice](std::size_t& ready) {
        const bool more = DecodeSlice(out, slice);
        ready = out.header.length;
        return more;
    });
    return true;
}

bool DecodeVoiceClip(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format,
                     std::vector<std::uint8_t>& pcm, bool& cut)
{
    pcm.clear();
    cut = false;
    CVoiceDecoder decoder;
    if (!decoder.Open(archives, name, kind, format))
        return false;
    const std::uint32_t most = MaxVoicePcmBytes(format);
    std::uint8_t chunk[kVoiceReadChunk];
    try {
        bool statedCut = false;
        pcm.reserve(PcmBytesFor(decoder, format, statedCut));
        while (pcm.size() < most) {
            const std::uint32_t room = std::min<std::uint32_t>(kVoiceReadChunk, most - static_cast<std::uint32_t>(pcm.size()));
            const std::uint32_t got = decoder.Read(chunk, room);
            if (got == 0)
                break;
            pcm.insert(pcm.end(), chunk, chunk + got);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    // What the stream holds past the bound, not what it states: a sample
    // more is enough to tell.
    cut = pcm.size() >= most && most != 0 && decoder.Read(chunk, kVoiceReadChunk) != 0;
    return true;
}

bool VoiceClipLength(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format,
                     std::uint32_t& pcmBytes)
{
    pcmBytes = 0;
    CVoiceDecoder decoder;
    if (!decoder.Open(archives, name, kind, format))
        return false;
    bool cut = false;
    pcmBytes = PcmBytesFor(decoder, format, cut);
    return true;
}

double OggVorbisSeconds(std::span<const std::uint8_t> ogg)
{
    // Read from the page headers alone: opening a decoder would build the
    // codebooks, which costs more than the file's whole copy.
    const auto le = [&ogg](std::size_t at, int bytes) {
        std::uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | ogg[at + static_cast<std::size_t>(i)];
        return v;
    };
    const auto isPage = [&ogg](std::size_t at) {
        return at + 27 <= ogg.size() && std::memcmp(ogg.data() + at, "OggS", 4) == 0 && ogg[at + 4] == 0;
    };
    if (!isPage(0))
        return 0;
    // The identification header: type 1, "vorbis", version, channels, rate.
    const std::size_t packet = 27 + std::size_t{ogg[26]};
    if (packet + 16 > ogg.size() || ogg[packet] != 1 || std::memcmp(ogg.data() + packet + 1, "vorbis", 6) != 0)
        return 0;
    const std::uint64_t rate = le(packet + 12, 4);
    if (rate == 0)
        return 0;
    // The last page that ends a packet holds the stream's sample count.
    for (std::size_t at = ogg.size() - 27 + 1; at-- > 0;) {
        if (!isPage(at))
            continue;
        const std::uint64_t granule = le(at + 6, 8);
        if (granule != ~std::uint64_t{0})
            return granule < (std::uint64_t{1} << 62) ? static_cast<double>(granule) / static_cast<double>(rate) : 0;
    }
    return 0;
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
    out.lengthMicroseconds = 0;
    out.cut = false;
    out.format = {};
    out.decoding.reset();
    out.measuring.reset();
    out.measuringKey.clear();
    out.openLoudness = {};
}

float VoiceGain(const VoiceOutput& out)
{
    const float share = static_cast<float>(std::clamp(out.level.volumePercent, 0, 100)) / 100.0f;
    return out.level.evenLoudness ? share * EvenLoudnessGain(out.openLoudness) : share;
}

void SetVoiceLevel(VoiceOutput& out, const VoiceLevel_T& level)
{
    out.level = level;
    out.level.volumePercent = std::clamp(level.volumePercent, 0, 100);
    if (out.IsPlaying() && out.device)
        out.device->SetGain(VoiceGain(out));
}

std::uint64_t VoiceClipPosition(const VoiceOutput& out)
{
    if (!out.IsPlaying() || !out.device || out.format.avgBytesPerSec == 0)
        return 0;
    const std::uint64_t played = std::min<std::uint64_t>(out.device->PlayedBytes(), out.pcmLimit);
    return std::min(played * 1000000 / out.format.avgBytesPerSec, out.lengthMicroseconds);
}

bool SeekVoiceClip(VoiceOutput& out, std::uint64_t microseconds)
{
    if (!out.IsPlaying() || !out.device || out.format.blockAlign == 0)
        return false;
    const std::uint64_t us = std::min(microseconds, out.lengthMicroseconds);
    std::uint64_t at = std::min<std::uint64_t>(us * out.format.avgBytesPerSec / 1000000, out.pcmLimit);
    at -= at % out.format.blockAlign;
    if (at > out.header.length)
        DecodeSlice(out, static_cast<std::uint32_t>(at - out.header.length));
    out.device->Seek(static_cast<std::size_t>(std::min<std::uint64_t>(at, out.header.length)), out.header.length);
    return true;
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
