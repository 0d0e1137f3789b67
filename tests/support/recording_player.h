// The player's platform for tests: wave outputs that only record, and
// timers that fire only when a test says so.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "support/wave_recorder.h"
#include "walk/player.h"

namespace tarnwick::test {

class CManualTimer : public INextLineTimer {
public:
    explicit CManualTimer(std::function<void()> f) : fire(std::move(f)) {}
    void Start(int ms) override { due = ms; }
    void Stop() override { due = -1; }
    int Remaining() const override { return due; }
    // The timer runs out now, as the event loop would let it.
    void Fire()
    {
        due = -1;
        fire();
    }
    int due = -1;

private:
    std::function<void()> fire;
};

class CRecordingPlayerFactory : public IPlayerFactory {
public:
    std::unique_ptr<IWaveDevice> MakeWaveDevice() override
    {
        auto made = std::make_unique<CWaveRecorder>(false);
        wave = made.get();
        return made;
    }
    std::unique_ptr<INextLineTimer> MakeTimer(std::function<void()> onTimeout) override
    {
        auto made = std::make_unique<CManualTimer>(std::move(onTimeout));
        timers.push_back(made.get());
        return made;
    }
    CBgmPlayer::MediaFactory MusicFactory() override { return {}; }
    CWaveRecorder* wave = nullptr;
    std::vector<CManualTimer*> timers;  // the next line's, then the music watch's
};

}  // namespace tarnwick::test
