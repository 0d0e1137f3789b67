#include "face/face_stretch.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace tarnwick {

namespace {

constexpr int kWeightBits = 16;
constexpr std::int32_t kWeightOne = 1 << kWeightBits;

// Which source samples make each target sample along one direction, and how
// much of each; every target sample's weights add up to exactly kWeightOne,
// so a plain colour stays exactly that colour.
struct AxisTaps_T {
    int stride = 0;  // weight slots per target sample
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::int32_t> weights;
};

void MakeAxisTaps(int from, int to, AxisTaps_T& axis)
{
    const double scale = static_cast<double>(from) / to;
    const double support = from == to ? 0.5 : std::max(scale, 1.0);
    axis.stride = static_cast<int>(std::ceil(support)) * 2 + 1;
    axis.first.assign(static_cast<std::size_t>(to), 0);
    axis.count.assign(static_cast<std::size_t>(to), 0);
    axis.weights.assign(static_cast<std::size_t>(to) * static_cast<std::size_t>(axis.stride), 0);
    std::vector<double> w(static_cast<std::size_t>(axis.stride));

    for (int i = 0; i < to; ++i) {
        if (from == to) {
            axis.first[i] = i;
            axis.count[i] = 1;
            axis.weights[static_cast<std::size_t>(i) * axis.stride] = kWeightOne;
            continue;
        }
        const double centre = (i + 0.5) * scale;
        const int lo = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int hi = std::min({from, static_cast<int>(std::ceil(centre + support)), lo + axis.stride});
        double total = 0;
        for (int j = lo; j < hi; ++j) {
            const double distance = std::abs(j + 0.5 - centre) / support;
            w[j - lo] = std::max(0.0, 1.0 - distance);
            total += w[j - lo];
        }
        // Rounding the running sum, not each weight, keeps the sum exact
        // and every weight non-negative.
        std::int32_t* out = &axis.weights[static_cast<std::size_t>(i) * axis.stride];
        double running = 0;
        std::int32_t given = 0;
        for (int j = lo; j < hi; ++j) {
            running += w[j - lo];
            const auto upTo = static_cast<std::int32_t>(std::lround(running / total * kWeightOne));
            out[j - lo] = upTo - given;
            given = upTo;
        }
        axis.first[i] = lo;
        axis.count[i] = hi - lo;
    }
}

std::uint8_t Weighted(std::int32_t sum)
{
    return static_cast<std::uint8_t>(std::clamp((sum + kWeightOne / 2) >> kWeightBits, 0, 255));
}

// Each target pixel from count pixels step bytes apart, starting at p.
void Resample(const std::uint8_t* p, std::size_t step, const std::int32_t* w, int count, std::uint8_t* out)
{
    std::int32_t b = 0, g = 0, r = 0;
    for (int k = 0; k < count; ++k, p += step) {
        b += w[k] * p[0];
        g += w[k] * p[1];
        r += w[k] * p[2];
    }
    out[0] = Weighted(b);
    out[1] = Weighted(g);
    out[2] = Weighted(r);
    out[3] = 255;
}

}  // namespace

bool StretchInto(const FacePicture_T& source, FacePicture_T& target, PictureRect_T rect)
{
    if (source.IsEmpty() || target.IsEmpty() || rect.width <= 0 || rect.height <= 0)
        return false;
    assert(rect.left >= 0 && rect.top >= 0 && rect.left + rect.width <= target.width &&
           rect.top + rect.height <= target.height);

    AxisTaps_T across, down;
    FacePicture_T wide;  // the source's rows at the target's width
    try {
        MakeAxisTaps(source.width, rect.width, across);
        MakeAxisTaps(source.height, rect.height, down);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!AllocatePicture(wide, rect.width, source.height))
        return false;

    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.Row(y);
        std::uint8_t* out = wide.Row(y);
        for (int x = 0; x < rect.width; ++x, out += 4)
            Resample(row + static_cast<std::size_t>(across.first[x]) * 4, 4,
                     &across.weights[static_cast<std::size_t>(x) * across.stride], across.count[x], out);
    }
    for (int y = 0; y < rect.height; ++y) {
        const std::uint8_t* column = wide.Row(down.first[y]);
        const std::int32_t* w = &down.weights[static_cast<std::size_t>(y) * down.stride];
        std::uint8_t* out = target.Row(rect.top + y) + static_cast<std::size_t>(rect.left) * 4;
        for (int x = 0; x < rect.width; ++x, out += 4)
            Resample(column + static_cast<std::size_t>(x) * 4, wide.pitch, w, down.count[y], out);
    }
    return true;
}

}  // namespace tarnwick
