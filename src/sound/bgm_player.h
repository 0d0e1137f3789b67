// Background music: the one music player of the application, the
// operations that start, stop and restart track files from the game folder
// at the VolumeBGM setting, and the rule by which a walk changes the music
// from line to line.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

class CArchiveSet;

// What the platform's player tells a non-waiting poll.
enum class MediaPoll { kRunning, kNotRunning, kFailed };

// The platform's media player, one file at a time. The Qt side implements
// it; tests use a fake that records the calls.
class IMediaPlayer {
public:
    virtual ~IMediaPlayer() = default;
    // Prepares the file for playing. False when it cannot be played, as far
    // as the player can tell at once; then nothing is held.
    virtual bool Render(const std::string& path) = 0;
    // Lets go of the rendered file.
    virtual void Release() = 0;
    // Plays the track from its start and over again, the first sample
    // after the last, until Stop: the loop is the player's own.
    virtual void Run() = 0;
    virtual void Stop() = 0;
    // Holds a running track where it is; Resume runs it on from there.
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // Linear amplitude factor, 0 to 1.
    virtual void SetVolume(float linear) = 0;
    // Never waits. kNotRunning once the player has stopped (its output
    // gone, or it was stopped); kFailed when the file turned out unplayable after it was
    // rendered, which no restart would mend.
    virtual MediaPoll Poll() = 0;
};

class CBgmPlayer {
public:
    // Makes the platform's player; starting one takes a while, so it is
    // made when the music first plays.
    using MediaFactory = std::function<std::unique_ptr<IMediaPlayer>()>;

    CBgmPlayer() = default;
    explicit CBgmPlayer(std::unique_ptr<IMediaPlayer> player) : media(std::move(player)) {}
    ~CBgmPlayer() { Close(); }
    CBgmPlayer(const CBgmPlayer&) = delete;
    CBgmPlayer& operator=(const CBgmPlayer&) = delete;

    // Closes what is open and takes the player to use from now on. Without
    // one every Open fails and the music stays silent.
    void SetMediaPlayer(std::unique_ptr<IMediaPlayer> player);
    // Closes what is open and has the first Open from now on make the
    // player to use.
    void SetMediaFactory(MediaFactory factory);

    // Closes the current file and renders path; gives isOpen.
    bool Open(const std::string& path);
    // Stops and lets go of the current file.
    void Close();

    bool IsOpen() const { return isOpen; }
    IMediaPlayer* Media() const { return media.get(); }

private:
    std::unique_ptr<IMediaPlayer> media;
    MediaFactory makeMedia;
    bool isOpen = false;
};

// The pieces of the application state the music operations work on.
struct BgmContext_T {
    CBgmPlayer& player;
    const CArchiveSet& archives;  // holds the game folder the tracks lie under
    int& volumeBgm;               // the VolumeBGM setting
};

inline constexpr int kMinBgmVolume = -10000;  // hundredths of a decibel: silence
inline constexpr int kMaxBgmVolume = 0;       // full volume

// 10^(v / 2000), with -10000 (and below) giving silence.
float LinearVolume(int hundredthsOfDb);

// "data\sound\bgm_N.wma", relative to the game folder.
std::string BgmFileName(int n);

// Starts track n from its beginning at VolumeBGM. The old track ends even
// when the new file cannot be played.
void PlayBgm(const BgmContext_T& music, int n);
// Stops an open track; it stays open.
void StopBgm(const BgmContext_T& music);
// Holds an open track where it is, and runs it on from there.
void PauseBgm(const BgmContext_T& music);
void ResumeBgm(const BgmContext_T& music);
// Ignores v outside -10000..0; otherwise stores it in VolumeBGM and applies
// it to an open track at once.
void SetBgmVolume(const BgmContext_T& music, int v);
// The music watch: when track n is open but no longer running (a track
// loops by itself, so it stopped for another reason), starts it again from
// its beginning.
void PollBgm(const BgmContext_T& music, int n);

// What the music rule starts and stops: the application's player, or
// whatever stands in front of it (the walker's host).
class IMusicControl {
public:
    virtual ~IMusicControl() = default;
    virtual void PlayBgm(int number) = 0;
    virtual void StopBgm() = 0;
};

// A walk's music for a line with music number bgmNo: 0 stops the music,
// the number already playing plays on, any other number starts that track.
// currentBgmNo takes the new number even when its file cannot be played, so
// following lines with that number do not try again.
void ApplyMusicRule(IMusicControl& music, int bgmNo, int& currentBgmNo);
// The same rule on the application's player.
void ApplyMusicRule(const BgmContext_T& music, int bgmNo, int& currentBgmNo);

}  // namespace tarnwick
