#include "walk/play_mode.h"
#include "walk/player_options.h"

namespace tarnwick {

PlayMode_T PlayModeOfNumber(int number)
{
    switch (number) {
    case 1: return PlayMode_T::kShort;
    case 2: return PlayMode_T::kLong;
    default: return PlayMode_T::kDefault;
    }
}

ClipKind_T ClipKindFor(PlayMode_T playMode, std::int32_t voiceKind)
{
    switch (playMode) {
    case PlayMode_T::kShort: return ClipKind_T::kShort;
    case PlayMode_T::kLong: return ClipKind_T::kLong;
    case PlayMode_T::kDefault: break;
    }
    return ClipKindOfNumber(voiceKind);
}

Repeat_T RepeatOfNumber(int number)
{
    switch (number) {
    case 1: return Repeat_T::kLine;
    case 2: return Repeat_T::kWalk;
    default: return Repeat_T::kOff;
    }
}

Repeat_T NextRepeat(Repeat_T repeat)
{
    switch (repeat) {
    case Repeat_T::kOff: return Repeat_T::kLine;
    case Repeat_T::kLine: return Repeat_T::kWalk;
    case Repeat_T::kWalk: break;
    }
    return Repeat_T::kOff;
}

}  // namespace tarnwick
