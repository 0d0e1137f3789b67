// Face pictures for the demo game: a simple drawn face per speaker (head,
// hair in the speaker's colour and style, eyes and mouth after the
// expression), transparent around it with soft edges, stored as PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "demo_plan.h"

namespace tarnwick::demo {

struct FacePixels_T {
    int width = 0;
    int height = 0;
    int channels = 4;  // 4: R, G, B, straight alpha; 3: R, G, B
    std::vector<std::uint8_t> bytes;  // top row first
};

// Expressions by variant: 0 calm, 1 smiling, 2 cross; further variants
// repeat them.
FacePixels_T DrawFace(const FaceLook_T& look, int variant, int frameStyle, int width, int height,
                      bool withAlpha);

// PNG bytes through libspng; nothing when the encoder fails.
std::optional<std::vector<std::uint8_t>> EncodePng(const FacePixels_T& pixels);

// The picture of one face entry of the plan.
std::optional<std::vector<std::uint8_t>> FacePicturePng(const DemoPlan_T& plan, const DemoFace_T& face);

}  // namespace tarnwick::demo
