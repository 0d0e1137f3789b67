// The wave output a voice clip plays through: opened for one PCM format,
// given one buffer, reset or closed, and telling its owner when the buffer
// is done. The Qt side implements it over the platform's audio output; the
// tools and tests use one that only records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarnwick {

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// Always plain PCM, 16 bits, channels interleaved.
struct WaveFormat_T {
    std::uint16_t formatTag = kWaveFormatPcm;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;  // blockAlign * samplesPerSec
    std::uint16_t blockAlign = 0;      // channels * 2
    std::uint16_t bitsPerSample = 16;

    friend bool operator==(const WaveFormat_T&, const WaveFormat_T&) = default;
};

// The 16-bit format for a stream's channels and rate; nothing (channels 0)
// when the counts are out of what the fields can hold.
WaveFormat_T PcmWaveFormat(long channels, long rate);

// What any output is asked to play: 8 to 192 kHz, one to eight channels.
// A file may hold other formats; an audio output may fail on them.
inline constexpr std::uint32_t kMinPlayableRate = 8000;
inline constexpr std::uint32_t kMaxPlayableRate = 192000;
inline constexpr std::uint16_t kMaxPlayableChannels = 8;
bool IsPlayableWaveFormat(const WaveFormat_T& format);

// Multiplies bytes / 2 little-endian 16-bit samples by gain in place,
// holding results at full scale; an odd last byte stays as it is.
void ScaleSamples(std::uint8_t* pcm, std::size_t bytes, float gain);

class IWaveDevice {
public:
    using DoneHandler = std::function<void()>;
    // Makes more of a growing buffer ready: sets ready to the bytes ready
    // from its start, and gives false once the buffer is complete.
    using FillHandler = std::function<bool(std::size_t& ready)>;

    virtual ~IWaveDevice() = default;

    // Called once for every written buffer, after the device has played it
    // or was reset, and never once the device is closed. It runs on the
    // owner's thread from its event loop, never from inside a call of this
    // interface, so the handler may close the clip and start the next one.
    virtual void SetDoneHandler(DoneHandler handler) = 0;

    // False when there is no output to play this format on.
    virtual bool Open(const WaveFormat_T& format) = 0;
    // Starts playing length bytes at data. The bytes are read while the
    // buffer plays, so they must stay put until Reset or Close.
    virtual void Write(const std::uint8_t* data, std::size_t length) = 0;
    // Starts playing a buffer of which only the first ready bytes are there
    // yet: fill makes more ready, called again and again from the owner's
    // event loop (never from inside a call of this interface) until it gives
    // false. The buffer counts as done once all of it has played. Like
    // Write's, the bytes must stay put until Reset or Close. This one fills
    // the whole buffer first, then writes it.
    virtual void WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler fill);
    // Cuts the playing buffer short; it then counts as done.
    virtual void Reset() = 0;
    // Holds the playing buffer where it is, and lets it go on from there; a
    // held buffer is not done. Either does nothing without a buffer.
    virtual void Suspend() = 0;
    virtual void Resume() = 0;
    // Stops at once and lets go of the buffer; a done not yet delivered is
    // dropped. Closing a device that is not open does nothing.
    virtual void Close() = 0;

    // The factor the samples are played at (the buffer itself stays as it
    // is), from the next bytes the output takes; results beyond 16 bits
    // are held at full scale. 1 until set; kept across buffers.
    virtual void SetGain(float linear) = 0;
    // The bytes of the written buffer heard so far; 0 without one.
    virtual std::uint64_t PlayedBytes() const = 0;
    // Plays on from byte offset of the written buffer (whole frames, at
    // most the end of what is ready); ready tells how much of a growing
    // buffer is ready now, when it has grown since its fill last said. A
    // held buffer stays held; the buffer still counts as done once, at its
    // end or reset.
    virtual void Seek(std::size_t offset, std::size_t ready) = 0;
};

}  // namespace tarnwick
