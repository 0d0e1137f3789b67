// Voice clips: a talk line's clip fetched from a sound archive, its stored
// bytes inverted back into an Ogg Vorbis stream, decoded into one PCM block
// and handed to the wave device as a single buffer. The block is decoded in
// slices while it plays, so that a long clip never holds up the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <ogg/os_types.h>

#include "sound/clip_loudness.h"
#include "sound/wave_device.h"

namespace tarnwick {

class CArchiveSet;

inline constexpr std::int32_t kInitialPcmCapacity = 10240;
inline constexpr int kVoiceReadChunk = 1024;
// ov_read fails again and again only on a stream it cannot get past; give
// up on the rest of the clip after this many failures in a row.
inline constexpr int kMaxVoiceReadErrors = 32;
// Voice lines last seconds. A larger entry is not read; a longer clip plays
// its first ten minutes (and no more than ten minutes of 48 kHz stereo).
inline constexpr std::uint64_t kMaxVoiceEntryBytes = 64u << 20;
inline constexpr std::uint32_t kMaxVoiceSeconds = 600;
inline constexpr std::uint32_t kMaxVoicePcmBytes = kMaxVoiceSeconds * 48000 * 4;
// Decoded before the clip starts, then at each turn of the event loop.
inline constexpr std::uint32_t kFirstVoiceSliceSeconds = 2;
inline constexpr std::uint32_t kVoiceSlicesPerSecond = 4;

class CVoiceDecoder;

// The most PCM bytes a clip of this format plays: whole frames.
std::uint32_t MaxVoicePcmBytes(const WaveFormat_T& format);
// The whole seconds that bytes of format last.
inline std::uint64_t PcmSeconds(const WaveFormat_T& format, std::uint64_t bytes)
{
    return format.avgBytesPerSec == 0 ? 0 : bytes / format.avgBytesPerSec;
}

// How a line's clip plays. The talk table stores it as a number: 0 silent,
// 1 from the short-clip archive, 2 from the long-clip one.
enum class ClipKind_T { kSilent = 0, kShort = 1, kLong = 2 };

// The kind a talk table number stands for; the game reads every number
// but 0 and 1 from the long-clip archive, so they all mean kLong.
ClipKind_T ClipKindOfNumber(std::int32_t number);

// The short-clip archive for kShort; every other kind the long-clip one.
int VoiceArchiveFor(ClipKind_T kind);

// Voice clips are stored with every bit inverted; this turns the stored
// bytes into the Ogg Vorbis stream (and back), in place.
void InvertVoiceBytes(std::uint8_t* bytes, std::size_t length);

// The one buffer the device was given. A non-null data pointer is the
// program's mark that a clip is open.
struct WaveHeader_T {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// How loud clips play: a share of their own level, and each brought to one
// loudness when evenLoudness is on.
struct VoiceLevel_T {
    int volumePercent = 100;  // 0 to 100
    bool evenLoudness = false;
    bool operator==(const VoiceLevel_T&) const = default;
};

class VoiceOutput {
public:
    VoiceOutput();
    // Closes a clip still open: the device must not read the block after
    // it is freed.
    ~VoiceOutput();
    VoiceOutput(const VoiceOutput&) = delete;
    VoiceOutput& operator=(const VoiceOutput&) = delete;

    bool IsPlaying() const { return header.data != nullptr; }

    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };

    // The decoded samples of the current clip. Grown with realloc so that
    // growing to exactly each chunk's end stays cheap; never shrinks.
    std::unique_ptr<std::uint8_t[], FreeDeleter> pcm;
    std::int32_t pcmCapacity = 0;
    // The device of the open clip, not owned; null when none is open. It
    // must outlive the clip: its owner closes the clip before it goes.
    IWaveDevice* device = nullptr;
    // header.length counts the bytes decoded so far, up to pcmLimit.
    WaveHeader_T header;
    // The open clip's decoder while samples are still to come.
    std::unique_ptr<CVoiceDecoder> decoding;
    std::uint32_t pcmLimit = 0;
    // How long the open clip plays, in microseconds; 0 when none is open.
    std::uint64_t lengthMicroseconds = 0;
    // The open clip's stream states more than a clip may play: it plays
    // only its first lengthMicroseconds. False when none is open.
    bool cut = false;
    WaveFormat_T format;  // the open clip's

    VoiceLevel_T level;
    // Each clip's loudness once it has been decoded whole, for the run, by
    // archive and entry name.
    std::map<std::string, ClipLoudness_T, std::less<>> loudness;
    // The open clip's measure: being taken while it decodes, then known.
    std::unique_ptr<CLoudnessMeter> measuring;
    std::string measuringKey;
    ClipLoudness_T openLoudness;
};

// Takes the level; an open clip follows at once.
void SetVoiceLevel(VoiceOutput& out, const VoiceLevel_T& level);
// The gain the open clip plays at under the level.
float VoiceGain(const VoiceOutput& out);
// Where the open clip is heard now, in microseconds from its start; 0 when
// none is open.
std::uint64_t VoiceClipPosition(const VoiceOutput& out);
// Moves the open clip to microseconds from its start (at most its end),
// decoding up to there first; false when none is open. A held clip stays
// held there.
bool SeekVoiceClip(VoiceOutput& out, std::uint64_t microseconds);

// Plays entry name of the archive that kind selects. False (nothing opened,
// the line is silent) when the entry is missing or too large, the decoder
// refuses it, its rate or channel count is not playable, the block cannot
// grow or the device cannot be opened. Also false without
// touching anything while a clip is still open: its buffer is being played
// and must not move. On true the clip plays on while the device has the
// rest decoded, and the device's done handler follows. The decoder keeps a
// copy of the entry; the archive set's buffer is free at once.
bool PlayVoiceClip(IWaveDevice& device, VoiceOutput& out, CArchiveSet& archives, std::string_view name,
                   ClipKind_T kind);

// The same clip decoded whole into pcm without a device, as it would play
// (as long and no longer): for saving it. False where PlayVoiceClip would be
// silent for the clip, except that any rate and channel count are kept. cut
// says whether the stream held more than the most a clip plays, which pcm
// then ends at.
bool DecodeVoiceClip(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format,
                     std::vector<std::uint8_t>& pcm, bool& cut);
// The clip's format and the bytes of PCM it plays (as DecodeVoiceClip
// gives them, the stated length taken up to the most a clip plays), from
// its headers without decoding it. False where DecodeVoiceClip would be.
bool VoiceClipLength(CArchiveSet& archives, std::string_view name, ClipKind_T kind, WaveFormat_T& format,
                     std::uint32_t& pcmBytes);
// The length in seconds that an Ogg Vorbis stream in memory states for
// itself (its last granule position over its rate); 0 when it states none.
double OggVorbisSeconds(std::span<const std::uint8_t> ogg);

// Cuts an open clip short; the done handler still follows, and closes it.
void StopVoiceClip(VoiceOutput& out);

// Closes the device, drops what is left to decode and clears the playing
// mark; the block stays allocated.
// Meant for the done handler, and also safe at any other time (the
// window's teardown): the device stops at once and its pending done is
// dropped. Does nothing when no clip is open.
void CloseVoiceClip(VoiceOutput& out);

// The decoder's view of a fetched clip.
struct ClipSource_T {
    const std::uint8_t* readPos = nullptr;
    const std::uint8_t* dataStart = nullptr;
    std::int32_t dataLength = 0;
};

// The decoder's data callbacks over a ClipSource_T, in vorbisfile's order.
std::size_t ClipRead(void* destination, std::size_t size, std::size_t count, void* source);
int ClipSeek(void* source, ogg_int64_t offset, int origin);
int ClipClose(void* source);
long ClipTell(void* source);

}  // namespace tarnwick
