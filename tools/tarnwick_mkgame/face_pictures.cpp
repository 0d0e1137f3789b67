#include "face_pictures.h"

#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarnwick::demo {

namespace {

struct Colour_T {
    double r, g, b;
};

Colour_T FromRgb(std::uint32_t rgb)
{
    return {static_cast<double>((rgb >> 16) & 0xFF) / 255.0, static_cast<double>((rgb >> 8) & 0xFF) / 255.0,
            static_cast<double>(rgb & 0xFF) / 255.0};
}

Colour_T Shade(Colour_T c, double f) { return {c.r * f, c.g * f, c.b * f}; }

Colour_T Mix(Colour_T a, Colour_T b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Signed distances in pixels: negative inside, positive outside. Edge
// coverage comes from the distance, which gives one pixel of soft edge.
double EllipseDistance(double x, double y, double cx, double cy, double rx, double ry)
{
    const double px = (x - cx) / rx, py = (y - cy) / ry;
    const double k0 = std::hypot(px, py);
    const double k1 = std::hypot(px / rx, py / ry);
    if (k1 == 0.0)
        return -std::min(rx, ry);
    return k0 * (k0 - 1.0) / k1;
}

double CapsuleDistance(double x, double y, double ax, double ay, double bx, double by, double r)
{
    const double pax = x - ax, pay = y - ay, bax = bx - ax, bay = by - ay;
    const double h = std::clamp((pax * bax + pay * bay) / (bax * bax + bay * bay), 0.0, 1.0);
    return std::hypot(pax - bax * h, pay - bay * h) - r;
}

class CCanvas {
public:
    CCanvas(int w, int h) : width(w), height(h), px(static_cast<std::size_t>(w) * h * 4, 0.0) {}

    // Paints colour over the canvas where distance(x, y) < 0, within the
    // box (left, top, right, bottom) in pixels.
    template <typename Distance>
    void Fill(double left, double top, double right, double bottom, Colour_T c, double opacity,
              Distance distance)
    {
        const int x0 = std::max(0, static_cast<int>(std::floor(left)) - 1);
        const int y0 = std::max(0, static_cast<int>(std::floor(top)) - 1);
        const int x1 = std::min(width, static_cast<int>(std::ceil(right)) + 2);
        const int y1 = std::min(height, static_cast<int>(std::ceil(bottom)) + 2);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const double d = distance(x + 0.5, y + 0.5);
                const double cover = std::clamp(0.5 - d, 0.0, 1.0) * opacity;
                if (cover <= 0.0)
                    continue;
                double* p = &px[(static_cast<std::size_t>(y) * width + x) * 4];
                p[0] = c.r * cover + p[0] * (1 - cover);  // premultiplied
                p[1] = c.g * cover + p[1] * (1 - cover);
                p[2] = c.b * cover + p[2] * (1 - cover);
                p[3] = cover + p[3] * (1 - cover);
            }
        }
    }

    void Ellipse(double cx, double cy, double rx, double ry, Colour_T c, double opacity = 1.0)
    {
        Fill(cx - rx, cy - ry, cx + rx, cy + ry, c, opacity,
             [=](double x, double y) { return EllipseDistance(x, y, cx, cy, rx, ry); });
    }

    // An ellipse with a darker rim of the given width.
    void OutlinedEllipse(double cx, double cy, double rx, double ry, Colour_T c, double rim)
    {
        Ellipse(cx, cy, rx + rim, ry + rim, Shade(c, 0.55));
        Ellipse(cx, cy, rx, ry, c);
    }

    void Line(double ax, double ay, double bx, double by, double r, Colour_T c)
    {
        Fill(std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r, c, 1.0,
             [=](double x, double y) { return CapsuleDistance(x, y, ax, ay, bx, by, r); });
    }

    // The upper (up = true) or lower half of an elliptic ring: closed
    // smiling eyes, frowns and smiles.
    void Arc(double cx, double cy, double rx, double ry, double thickness, bool up, Colour_T c)
    {
        Fill(cx - rx - thickness, cy - ry - thickness, cx + rx + thickness, cy + ry + thickness, c, 1.0,
             [=](double x, double y) {
                 const double ring = std::abs(EllipseDistance(x, y, cx, cy, rx, ry)) - thickness;
                 const double half = up ? y - cy : cy - y;
                 return std::max(ring, half);
             });
    }

    FacePixels_T Pixels(bool withAlpha, Colour_T background) const
    {
        FacePixels_T out;
        out.width = width;
        out.height = height;
        out.channels = withAlpha ? 4 : 3;
        out.bytes.reserve(static_cast<std::size_t>(width) * height * out.channels);
        auto byte = [](double v) {
            return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
        };
        for (std::size_t i = 0; i < px.size(); i += 4) {
            const double a = px[i + 3];
            if (withAlpha) {
                for (int k = 0; k < 3; ++k)
                    out.bytes.push_back(byte(a > 0 ? px[i + k] / a : 0.0));
                out.bytes.push_back(byte(a));
            } else {
                out.bytes.push_back(byte(px[i] + background.r * (1 - a)));
                out.bytes.push_back(byte(px[i + 1] + background.g * (1 - a)));
                out.bytes.push_back(byte(px[i + 2] + background.b * (1 - a)));
            }
        }
        return out;
    }

private:
    int width, height;
    std::vector<double> px;
};

Colour_T ClothesColour(int frameStyle)
{
    switch (frameStyle) {
    case 1:
        return FromRgb(0x6A7A3A);
    case 2:
        return FromRgb(0x8A2A3A);
    default:
        return FromRgb(0x3A5A9A);
    }
}

}  // namespace

FacePixels_T DrawFace(const FaceLook_T& look, int variant, int frameStyle, int width, int height,
                      bool withAlpha)
{
    CCanvas canvas(width, height);
    const double s = std::min(width, height);
    const double cx = width / 2.0, cy = height * 0.5;
    const double hx = look.headWidth * s / 2, hy = look.headHeight * s / 2;
    const double rim = std::max(1.0, s / 60);
    const Colour_T hair = FromRgb(look.hair), skin = FromRgb(look.skin), eyes = FromRgb(look.eyes);
    const Colour_T hairDark = Shade(hair, 0.6);
    const int mood = variant % 3;

    // Behind the head: long hair or a ponytail, then shoulders and neck.
    if (look.hairStyle == HairStyle::kLong)
        canvas.OutlinedEllipse(cx, cy + hy * 0.35, hx * 1.22, hy * 1.15, hair, rim);
    if (look.hairStyle == HairStyle::kPonytail)
        canvas.OutlinedEllipse(cx + hx * 1.05, cy - hy * 0.1, hx * 0.32, hy * 0.7, hair, rim);
    canvas.OutlinedEllipse(cx, height + s * 0.08, s * 0.42, s * 0.24, ClothesColour(frameStyle), rim);
    canvas.Fill(cx - hx * 0.3, cy, cx + hx * 0.3, height, skin, 1.0, [=](double x, double y) {
        return std::max(std::abs(x - cx) - hx * 0.28, std::abs(y - (cy + hy)) - hy * 0.5);
    });

    // Ears, head, and hair over the forehead.
    canvas.OutlinedEllipse(cx - hx, cy + hy * 0.05, hx * 0.16, hy * 0.2, skin, rim);
    canvas.OutlinedEllipse(cx + hx, cy + hy * 0.05, hx * 0.16, hy * 0.2, skin, rim);
    canvas.OutlinedEllipse(cx, cy, hx, hy, skin, rim);
    if (look.hairStyle == HairStyle::kBald) {
        canvas.Ellipse(cx - hx * 0.92, cy - hy * 0.3, hx * 0.16, hy * 0.3, hair);
        canvas.Ellipse(cx + hx * 0.92, cy - hy * 0.3, hx * 0.16, hy * 0.3, hair);
    } else {
        const bool spiky = look.hairStyle == HairStyle::kSpiky;
        const double fringe = cy - hy * (spiky ? 0.3 : 0.38);
        canvas.Fill(cx - hx * 1.2, cy - hy * 1.4, cx + hx * 1.2, cy, hair, 1.0, [=](double x, double y) {
            const double cap = EllipseDistance(x, y, cx, cy - hy * 0.12, hx * 1.1, hy * 1.0);
            // A wavy or jagged lower edge of the fringe.
            const double t = (x - cx) / (hx * 0.25);
            const double wave = spiky ? std::abs(t - 2 * std::floor(t / 2) - 1) * hy * 0.22
                                      : std::abs(std::sin(t * 1.6)) * hy * 0.08;
            return std::max(cap, y - (fringe + wave));
        });
        if (look.hairStyle == HairStyle::kLong) {
            canvas.Ellipse(cx - hx * 0.95, cy + hy * 0.1, hx * 0.2, hy * 0.6, hair);
            canvas.Ellipse(cx + hx * 0.95, cy + hy * 0.1, hx * 0.2, hy * 0.6, hair);
        }
    }
    if (look.beard) {
        canvas.Fill(cx - hx, cy, cx + hx, cy + hy * 1.2, hair, 1.0, [=](double x, double y) {
            const double chin = EllipseDistance(x, y, cx, cy + hy * 0.35, hx * 0.92, hy * 0.78);
            return std::max(chin, (cy + hy * 0.32) - y);
        });
    }

    // Eyes and brows after the expression.
    const double eyeY = cy + hy * 0.05, eyeDx = hx * 0.4;
    const double ex = hx * 0.2, ey = hy * 0.13;
    for (int side = -1; side <= 1; side += 2) {
        const double x = cx + side * eyeDx;
        if (mood == 1) {
            canvas.Arc(x, eyeY + ey * 0.3, ex, ey, std::max(0.8, s / 70), true, Shade(skin, 0.3));
        } else {
            canvas.OutlinedEllipse(x, eyeY, ex, ey, FromRgb(0xFFFFFF), std::max(0.6, s / 110));
            canvas.Ellipse(x, eyeY, ey * 0.85, ey * 0.85, eyes);
            canvas.Ellipse(x, eyeY, ey * 0.4, ey * 0.4, FromRgb(0x101018));
            canvas.Ellipse(x + ey * 0.3, eyeY - ey * 0.35, ey * 0.22, ey * 0.22, FromRgb(0xFFFFFF));
        }
        double innerY = eyeY - ey * 2.2, outerY = innerY;
        if (mood == 1) {  // raised
            innerY -= ey * 0.3;
            outerY -= ey * 0.3;
        } else if (mood == 2) {  // knitted: inner ends down
            innerY += ey * 0.8;
            outerY -= ey * 0.3;
        }
        canvas.Line(x - side * ex * 0.8, innerY, x + side * ex * 0.9, outerY, std::max(0.8, s / 80), hairDark);
    }

    // Nose, mouth, and cheeks when smiling.
    canvas.Line(cx, cy + hy * 0.25, cx - hx * 0.04, cy + hy * 0.33, std::max(0.6, s / 120), Shade(skin, 0.7));
    const double mouthY = cy + hy * 0.55;
    const Colour_T lips = Mix(FromRgb(0xA03040), skin, 0.25);
    if (mood == 1) {
        canvas.Fill(cx - hx * 0.3, mouthY - hy * 0.1, cx + hx * 0.3, mouthY + hy * 0.2, lips, 1.0,
                    [=](double x, double y) {
                        return std::max(EllipseDistance(x, y, cx, mouthY - hy * 0.04, hx * 0.26, hy * 0.18),
                                        (mouthY - hy * 0.04) - y);
                    });
        canvas.Ellipse(cx - hx * 0.62, cy + hy * 0.35, hx * 0.16, hy * 0.08, FromRgb(0xF07080), 0.45);
        canvas.Ellipse(cx + hx * 0.62, cy + hy * 0.35, hx * 0.16, hy * 0.08, FromRgb(0xF07080), 0.45);
    } else if (mood == 2) {
        canvas.Arc(cx, mouthY + hy * 0.08, hx * 0.2, hy * 0.1, std::max(0.7, s / 90), true, lips);
    } else {
        canvas.Line(cx - hx * 0.18, mouthY, cx + hx * 0.18, mouthY, std::max(0.7, s / 90), lips);
    }
    return canvas.Pixels(withAlpha, FromRgb(0xE8DCC0));
}

std::optional<std::vector<std::uint8_t>> EncodePng(const FacePixels_T& pixels)
{
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    if (!ctx)
        return std::nullopt;
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(pixels.width);
    ihdr.height = static_cast<std::uint32_t>(pixels.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = pixels.channels == 4 ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    std::optional<std::vector<std::uint8_t>> result;
    if (spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1) == 0 && spng_set_ihdr(ctx, &ihdr) == 0 &&
        spng_encode_image(ctx, pixels.bytes.data(), pixels.bytes.size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE) == 0) {
        std::size_t size = 0;
        int error = 0;
        void* png = spng_get_png_buffer(ctx, &size, &error);
        if (png && error == 0) {
            const auto* b = static_cast<const std::uint8_t*>(png);
            result.emplace(b, b + size);
        }
        std::free(png);
    }
    spng_ctx_free(ctx);
    return result;
}

std::optional<std::vector<std::uint8_t>> FacePicturePng(const DemoPlan_T& plan, const DemoFace_T& face)
{
    const DemoSpeaker_T& speaker = plan.speakers[face.speaker];
    return EncodePng(
        DrawFace(speaker.look, face.variant, speaker.frameStyle, face.width, face.height, face.withAlpha));
}

}  // namespace tarnwick::demo
