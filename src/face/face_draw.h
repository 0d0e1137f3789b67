// The face frame as the window shows it: a border in the line's frame
// colour and, inside it, the face picture laid over a light backdrop colour
// and stretched to fill the inner area.
#pragma once

#include <cstdint>

#include "face/face_picture.h"

namespace tarnwick {

struct FrameColour_T {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

struct FrameColours_T {
    FrameColour_T border;
    FrameColour_T backdrop;
};

inline constexpr int kFaceBorderWidth = 3;

// Pixels B, G, R and a fourth byte that is always 255.
using FaceFrame_T = FacePicture_T;

// The colour pair of a frameStyle: 0 blue, 1 red, 2 white; any other value
// is taken as 0.
FrameColours_T FrameColoursFor(int frameStyle);

// One colour channel c of a pixel with alpha a over backdrop channel b. The
// two shares are truncated on their own, so the sum never passes 255 and
// the ends are exact: a = 255 gives c, a = 0 gives b.
constexpr std::uint8_t BlendChannel(std::uint8_t c, std::uint8_t a, std::uint8_t b)
{
    return static_cast<std::uint8_t>(c * a / 255 + b * (255 - a) / 255);
}

// The picture laid over the backdrop: a picture of the same size with
// every fourth byte 255. False when the picture is empty or memory is short.
bool CompositeOverBackdrop(const FacePicture_T& picture, FrameColour_T backdrop, FaceFrame_T& composite);

// The frame of frameWidth x frameHeight pixels for a line of this
// frameStyle: kFaceBorderWidth pixels of border colour on every side, and
// the composite of the picture over the backdrop stretched to the rest
// (which may be nothing in a frame too small for it). Empty when the frame
// size is not positive, the picture is empty or memory is short.
FaceFrame_T DrawFaceImage(int frameStyle, int frameWidth, int frameHeight, const FacePicture_T& picture);

}  // namespace tarnwick
