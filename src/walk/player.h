// The player: the walk and its playback together with what they play
// through, the wave output and the two timers (the next line, the music
// watch), which the platform makes through a factory. The window and the
// desktop's media controls are views of it and hold none of its state.
#pragma once

#include <functional>
#include <memory>

#include "walk/playback.h"

namespace tarnwick {

class IPlayerFactory {
public:
    virtual ~IPlayerFactory() = default;
    virtual std::unique_ptr<IWaveDevice> MakeWaveDevice() = 0;
    // A single-shot timer that calls onTimeout from the event loop, never
    // from inside Start or Stop.
    virtual std::unique_ptr<INextLineTimer> MakeTimer(std::function<void()> onTimeout) = 0;
};

// What the player plays from; it outlives the player.
struct PlayerResources_T {
    VoiceOutput& voice;
    CArchiveSet& archives;
    CFaceCache& faces;
    BgmContext_T music;
};

class CPlayer {
public:
    static constexpr int kMusicWatchMs = 1000;

    CPlayer(CTalkListModel& list, IPlayerFactory& factory, const PlayerResources_T& resources);
    // The clip's device goes with the player: nothing plays from it after.
    ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    CPlayback& Playback() { return *playback; }
    const CPlayback& Playback() const { return *playback; }

    // The music watch runs every second while a window shows the player.
    void StartMusicWatch();
    // The window closes: the watch, the walk, the music and the clip stop.
    void Close();

private:
    VoiceOutput& voice;
    std::unique_ptr<IWaveDevice> wave;
    std::unique_ptr<INextLineTimer> nextLine;
    std::unique_ptr<INextLineTimer> watch;
    bool watching = false;
    std::unique_ptr<CPlayback> playback;
};

}  // namespace tarnwick
