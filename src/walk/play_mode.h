// Which clips the lines play with, on its own: the settings and the export
// need the mode without the walker.
#pragma once

#include <cstdint>

#include "sound/voice_output.h"

namespace tarnwick {

// Each line's own kind, or every line's clip from one archive. The
// settings file keeps the number.
enum class PlayMode_T { kDefault = 0, kShort = 1, kLong = 2 };

// The mode a stored number (or a list index) stands for; a number out of
// range gives kDefault.
PlayMode_T PlayModeOfNumber(int number);

// The clip kind a line plays with under the play mode: kDefault takes the
// line's own kind (kSilent for a silent line), the others their archive.
ClipKind_T ClipKindFor(PlayMode_T playMode, std::int32_t voiceKind);

}  // namespace tarnwick
