// Japanese texts for the demo game: talk lines put together from a bank of
// sentences, and speaker names for the full-size game. Written in UTF-8
// here; the table writer converts them to code page 932.
#pragma once

#include <string>

#include "demo_random.h"

namespace tarnwick::demo {

enum class TextShape {
    kShort,   // one short sentence or exclamation
    kNormal,  // one or two sentences on one line
    kBreak,   // two sentences with a "$R" line break between them
    kScroll,  // more than a three-line text box shows, with "$R" breaks
};

std::string ComposeTalkText(CDemoRandom& rng, TextShape shape);

// A name like the game's: a given name, sometimes with a title before it.
std::string ComposeSpeakerName(CDemoRandom& rng);

// Names of capture groups and items for the full-size game.
std::string ChapterName(int chapter);

}  // namespace tarnwick::demo
