// A wave device that plays nothing: it keeps the formats and buffers it is
// given, for the command-line tool, the tests and the benchmarks. Its done
// handler runs only when asked to (FinishBuffer), as an event loop would
// run it later.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/wave_device.h"

namespace tarnwick {

class CWaveRecorder : public IWaveDevice {
public:
    // copyPcm false keeps only the pointer and length of each buffer.
    explicit CWaveRecorder(bool copy = true) : copyPcm(copy) {}

    void SetDoneHandler(DoneHandler handler) override { done = std::move(handler); }
    bool Open(const WaveFormat_T& format) override;
    void Write(const std::uint8_t* data, std::size_t length) override;
    void Reset() override;
    void Suspend() override;
    void Resume() override;
    void Close() override;
    void SetGain(float linear) override { gain = linear; }
    // As far as the test says the buffer has played.
    std::uint64_t PlayedBytes() const override { return played; }
    void Seek(std::size_t offset, std::size_t) override
    {
        seeks.push_back(offset);
        played = offset;
    }

    // Delivers the done of the written buffer, once, unless the device was
    // closed since. Gives whether a done was delivered.
    bool FinishBuffer();

    bool IsOpen() const { return open; }
    bool IsSuspended() const { return suspended; }

    // What the device was given and asked, for the caller to inspect.
    bool failOpen = false;  // Open gives false, as a machine without output would
    std::vector<WaveFormat_T> opened;  // every format Open was called with
    std::vector<std::uint8_t> pcm;     // the last buffer's bytes (copyPcm)
    const std::uint8_t* lastData = nullptr;
    std::size_t lastLength = 0;
    int writes = 0;
    int resets = 0;
    int closes = 0;
    int suspends = 0;
    int resumes = 0;
    float gain = 1.0f;
    std::uint64_t played = 0;
    std::vector<std::size_t> seeks;

private:
    bool copyPcm;
    bool open = false;
    bool donePending = false;
    bool suspended = false;
    DoneHandler done;
};

}  // namespace tarnwick
