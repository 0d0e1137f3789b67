// The wave device over Qt's audio output: one QAudioSink per clip, pulling
// the caller's PCM bytes in place. Its done handler runs from the event
// loop of the thread the device lives in (the window's), queued, never from
// inside one of its calls.
#pragma once

#include <QAudio>
#include <QIODevice>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "sound/wave_device.h"

class QAudioSink;

namespace tarnwick {

// A read-only view of the clip's bytes for the sink to pull; no copy. Empty
// until the clip is written; a growing clip's end moves on as it is filled.
class CPcmSource : public QIODevice {
public:
    void SetBytes(const std::uint8_t* data, std::size_t length, bool complete = true);
    void Grow(std::size_t ready) { length = std::max(length, ready); }
    // Where the sink reads next; at most the end of what is there.
    void MoveTo(std::size_t at) { offset = std::min(at, length); }
    std::size_t Offset() const { return offset; }
    // The factor samples are read at, 16 bits each.
    void SetGain(float linear) { gain = linear; }
    void Complete() { complete = true; }
    bool HasMore() const { return offset < length; }
    bool IsFinished() const { return complete && offset >= length; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
    std::size_t offset = 0;
    bool complete = true;
    float gain = 1.0f;
};

class CQtWaveDevice : public QObject, public IWaveDevice {
public:
    explicit CQtWaveDevice(QObject* parent = nullptr);
    ~CQtWaveDevice() override;

    void SetDoneHandler(DoneHandler handler) override { done = std::move(handler); }
    // Fails when there is no audio output (no sound server), the output
    // cannot play the format, or the sink cannot open its stream.
    bool Open(const WaveFormat_T& format) override;
    void Write(const std::uint8_t* data, std::size_t length) override;
    void WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler fill) override;
    void Reset() override;
    void Suspend() override;
    void Resume() override;
    void Close() override;
    void SetGain(float linear) override { source.SetGain(linear); }
    std::uint64_t PlayedBytes() const override;
    void Seek(std::size_t offset, std::size_t ready) override;

private:
    void OnStateChanged(QAudio::State state);
    void OnFill();
    void StopFilling();
    void PostDone();
    void DeliverDone();

    std::unique_ptr<QAudioSink> sink;
    CPcmSource source;
    // The sink reports idle once it has handed the last bytes on, while its
    // own buffer still holds them: the done waits for that buffer to play.
    QTimer drainTimer;
    int drainMs = 0;
    // What was left of the drain when the clip was suspended, or -1.
    int heldDrainMs = -1;
    // Fills a growing clip a slice at a time from the event loop.
    QTimer fillTimer;
    FillHandler fill;
    DoneHandler done;
    bool written = false;
    bool doneOwed = false;
    // A seek restarts the sink: its stop is not the clip's end.
    bool restarting = false;
    std::uint16_t blockAlign = 0;
    // Tells a queued done from a clip that was closed since.
    std::uint64_t clip = 0;
};

}  // namespace tarnwick
