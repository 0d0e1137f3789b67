// What the listener chooses about how the lines play: the clip archive,
// both volumes, the order of a walk and its repeat, and even loudness. The
// settings keep them; the player applies them.
#pragma once

#include "walk/play_mode.h"

namespace tarnwick {

// Off, the line again after its pause, or the walk again after its last
// line. The settings file keeps the number.
enum class Repeat_T { kOff = 0, kLine = 1, kWalk = 2 };

// The repeat a stored number stands for; out of range gives kOff.
Repeat_T RepeatOfNumber(int number);
// The one control's cycle: off, the line, the walk, off.
Repeat_T NextRepeat(Repeat_T repeat);

inline constexpr int kMaxVoiceVolume = 100;  // percent

struct PlayerOptions_T {
    PlayMode_T playMode = PlayMode_T::kDefault;
    int musicVolume = 0;  // VolumeBGM: hundredths of a decibel, -10000 to 0
    int voiceVolume = kMaxVoiceVolume;  // percent of the clip's own level
    bool shuffle = false;
    Repeat_T repeat = Repeat_T::kOff;
    bool evenLoudness = false;
    bool operator==(const PlayerOptions_T&) const = default;
};

}  // namespace tarnwick
