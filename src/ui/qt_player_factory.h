// What the player plays through on the Qt side: the audio sink and timers
// of the event loop.
#pragma once

#include "walk/player.h"

namespace tarnwick {

class CQtPlayerFactory : public IPlayerFactory {
public:
    std::unique_ptr<IWaveDevice> MakeWaveDevice() override;
    std::unique_ptr<INextLineTimer> MakeTimer(std::function<void()> onTimeout) override;
};

// The one the program's windows make their player with.
IPlayerFactory& QtPlayerFactory();

}  // namespace tarnwick
