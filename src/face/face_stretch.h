// Stretching a picture onto part of another, each direction on its own.
#pragma once

#include "face/face_picture.h"

namespace tarnwick {

struct PictureRect_T {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Fills rect of target (which must lie inside it) with source scaled to the
// rect's size, the aspect ratio not kept. Smooth: a triangle filter as wide
// as one source pixel when enlarging (bilinear) and as one target pixel when
// shrinking (close to an area average). A direction whose size does not
// change is copied pixel for pixel. The fourth byte of every written pixel
// is 255. False, with target unchanged, when memory is short or a size is
// not positive.
bool StretchInto(const FacePicture_T& source, FacePicture_T& target, PictureRect_T rect);

}  // namespace tarnwick
