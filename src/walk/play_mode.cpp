#include "walk/play_mode.h"

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

}  // namespace tarnwick
