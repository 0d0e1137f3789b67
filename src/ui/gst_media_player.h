// The music player: GStreamer decodes the track (WMA among what it reads)
// into memory, and a QAudioSink plays that sound over and over, the last
// sample followed by the first. A decoder's own player would restart the
// decoder at each loop, which leaves a frame of silence (tens of
// milliseconds) the file does not hold; the decoder's leading silence is
// dropped here for the same reason. The track plays while it is still
// being decoded. Render refuses what it can see at once (a missing or
// unreadable file); a file that turns out unplayable polls as failed and
// stays silent, as the music does without a sound server.
#pragma once

#include <QIODevice>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sound/bgm_player.h"

class QAudioSink;
typedef struct _GstElement GstElement;

namespace tarnwick {

// A track of any length plays its first this many bytes of PCM.
inline constexpr std::size_t kMaxMusicPcmBytes = std::size_t{128} << 20;
// The most silence dropped at either end: a decoder's, not a rest of the
// music's own.
inline constexpr double kMaxDroppedLeadSeconds = 0.1;

// The decoded track, filled from GStreamer's threads and read by the sink.
struct MusicPcm_T {
    std::mutex lock;
    std::vector<std::uint8_t> bytes;
    int rate = 0;
    int channels = 0;
    std::size_t loopStart = 0;  // after the dropped leading silence
    std::size_t loopEnd = 0;    // before the dropped trailing silence, once complete
    bool leadDone = false;      // the leading silence is behind
    bool complete = false;      // the whole track (or as much as is kept)
    bool failed = false;
};

// The track for the sink to pull, round and round.
class CLoopSource : public QIODevice {
public:
    explicit CLoopSource(MusicPcm_T& pcm) : track(pcm) {}
    void Rewind() { offset = 0; }
    int Wraps() const { return wraps; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    MusicPcm_T& track;
    std::size_t offset = 0;  // from loopStart
    int wraps = 0;
};

class CGstMediaPlayer : public QObject, public IMediaPlayer {
public:
    CGstMediaPlayer();
    ~CGstMediaPlayer() override;
    CGstMediaPlayer(const CGstMediaPlayer&) = delete;
    CGstMediaPlayer& operator=(const CGstMediaPlayer&) = delete;

    bool Render(const std::string& path) override;
    void Release() override;
    // From the track's start, over and over until Stop.
    void Run() override;
    void Stop() override;
    void Pause() override;
    void Resume() override;
    void SetVolume(float linear) override;
    MediaPoll Poll() override;

    float Volume() const { return volume; }
    // How many times the track has started again after its end.
    int Loops() const;

private:
    // The decoder's output, from a streaming thread.
    static void OnDecoded(GstElement* sink, void* buffer, void* pad, void* self);
    // What the decoding says, and the sink once the track's format is
    // known; from the event loop.
    void OnWatch();
    void StartSink();
    void StopDecoding();

    std::unique_ptr<MusicPcm_T> pcm;
    std::unique_ptr<CLoopSource> source;
    std::unique_ptr<QAudioSink> sink;
    GstElement* pipeline = nullptr;
    QTimer watch;
    float volume = 1.0f;
    enum class Want_T { kStopped, kPlaying, kPaused };
    Want_T want = Want_T::kStopped;
    bool failed = false;
};

}  // namespace tarnwick
