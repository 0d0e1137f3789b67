#include "face/face_draw.h"

#include "face/face_stretch.h"

namespace tarnwick {

FrameColours_T FrameColoursFor(int frameStyle)
{
    switch (frameStyle) {
    case 1:
        return {{255, 0, 0}, {255, 144, 144}};
    case 2:
        return {{255, 255, 255}, {255, 255, 192}};
    default:
        return {{0, 0, 255}, {144, 144, 255}};
    }
}

bool CompositeOverBackdrop(const FacePicture_T& picture, FrameColour_T backdrop, FaceFrame_T& composite)
{
    if (picture.IsEmpty() || !AllocatePicture(composite, picture.width, picture.height))
        return false;
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.Row(y);
        std::uint8_t* out = composite.Row(y);
        for (int x = 0; x < picture.width; ++x, in += 4, out += 4) {
            const std::uint8_t a = in[3];
            out[0] = BlendChannel(in[0], a, backdrop.blue);
            out[1] = BlendChannel(in[1], a, backdrop.green);
            out[2] = BlendChannel(in[2], a, backdrop.red);
            out[3] = 255;
        }
    }
    return true;
}

FaceFrame_T DrawFaceImage(int frameStyle, int frameWidth, int frameHeight, const FacePicture_T& picture)
{
    const FrameColours_T colours = FrameColoursFor(frameStyle);
    FaceFrame_T composite;
    FaceFrame_T frame;
    if (!CompositeOverBackdrop(picture, colours.backdrop, composite) ||
        !AllocatePicture(frame, frameWidth, frameHeight))
        return {};

    for (int y = 0; y < frame.height; ++y) {
        std::uint8_t* p = frame.Row(y);
        for (int x = 0; x < frame.width; ++x, p += 4) {
            p[0] = colours.border.blue;
            p[1] = colours.border.green;
            p[2] = colours.border.red;
            p[3] = 255;
        }
    }
    const PictureRect_T inner{kFaceBorderWidth, kFaceBorderWidth, frameWidth - 2 * kFaceBorderWidth,
                              frameHeight - 2 * kFaceBorderWidth};
    if (inner.width > 0 && inner.height > 0 && !StretchInto(composite, frame, inner))
        return {};
    return frame;
}

}  // namespace tarnwick
