// What the player plays through on the Qt side: the audio sink and timers
// of the event loop.
#pragma once

#include "walk/player.h"

namespace tarnwick {

class CQtPlayerFactory : public IPlayerFactory {
public:
    explicit CQtPlayerFactory(bool withMusic) : music(withMusic) {}
    std::unique_ptr<IWaveDevice> MakeWaveDevice() override;
    std::unique_ptr<INextLineTimer> MakeTimer(std::function<void()> onTimeout) override;
    // GStreamer's player, which loops a track without a gap; none without
    // music.
    CBgmPlayer::MediaFactory MusicFactory() override;

private:
    bool music;
};

// The one the program makes its player with, and one whose music is
// silent, for windows that must not play it.
IPlayerFactory& QtPlayerFactory(bool withMusic = true);

}  // namespace tarnwick
