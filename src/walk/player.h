// The player: the walk and its playback together with what they play
// through, the wave output and the two timers (the next line, the music
// watch), which the platform makes through a factory, and the listener's
// choices (play mode, both volumes, shuffle, repeat, even loudness). The
// window and the desktop's media controls are views of it and hold none of
// its state.
#pragma once

#include <functional>
#include <memory>

#include "walk/playback.h"
#include "walk/player_options.h"

namespace tarnwick {

class IPlayerFactory {
public:
    virtual ~IPlayerFactory() = default;
    virtual std::unique_ptr<IWaveDevice> MakeWaveDevice() = 0;
    // A single-shot timer that calls onTimeout from the event loop, never
    // from inside Start or Stop.
    virtual std::unique_ptr<INextLineTimer> MakeTimer(std::function<void()> onTimeout) = 0;
    // What makes the music's player when the music first plays; empty
    // leaves the music as it is.
    virtual CBgmPlayer::MediaFactory MusicFactory() = 0;
};

// What the player plays from; it outlives the player.
struct PlayerResources_T {
    VoiceOutput& voice;
    CArchiveSet& archives;
    CFaceCache& faces;
    CBgmPlayer& music;
};

class CPlayer {
public:
    static constexpr int kMusicWatchMs = 1000;

    CPlayer(CTalkListModel& list, IPlayerFactory& factory, const PlayerResources_T& resources,
            const PlayerOptions_T& options = {});
    // The clip's device goes with the player: nothing plays from it after.
    ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    CPlayback& Playback() { return *playback; }
    const CPlayback& Playback() const { return *playback; }

    // The listener's choices. Each change reaches the walk, the clip that
    // plays and the music at once, and every view hears of it.
    const PlayerOptions_T& Options() const { return options; }
    // All of them at once: the stored ones, read after the player was made.
    void SetOptions(const PlayerOptions_T& chosen);
    // EnableBGM=0 keeps the music silent.
    void SetMusicEnabled(bool enabled) { playback->SetMusicEnabled(enabled); }
    // Takes effect with the next line that starts.
    void SetPlayMode(PlayMode_T mode);
    // Outside -10000..0 it is ignored.
    void SetMusicVolume(int hundredthsOfDb);
    // Clamped to 0..100.
    void SetVoiceVolume(int percent);
    void SetShuffle(bool on);
    void SetRepeat(Repeat_T repeat);
    void SetEvenLoudness(bool on);
    // The music the player plays, at its volume.
    BgmContext_T Music() { return {music, archives, options.musicVolume}; }

    // The music watch runs every second while a window shows the player.
    void StartMusicWatch();
    // The window closes: the watch, the walk, the music and the clip stop.
    void Close();

private:
    void ApplyVoiceLevel();
    void Report();

    VoiceOutput& voice;
    CArchiveSet& archives;
    CBgmPlayer& music;
    PlayerOptions_T options;
    std::unique_ptr<IWaveDevice> wave;
    std::unique_ptr<INextLineTimer> nextLine;
    std::unique_ptr<INextLineTimer> watch;
    bool watching = false;
    std::unique_ptr<CPlayback> playback;
};

}  // namespace tarnwick
