#include "face/face_picture.h"

#include <spng.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

namespace tarnwick {

namespace {

// Ancillary chunks are kept in memory by the decoder; without these caps a
// file could make it hold (or inflate) as much as it likes. Face pictures
// carry no metadata worth more than a few kilobytes.
constexpr std::size_t kChunkSizeLimit = 1u << 20;
constexpr std::size_t kChunkCacheLimit = 4u << 20;

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngFree>;

// The decoder gives R, G, B, A; the drawing code reads B, G, R, A.
void SwapRedAndBlue(FacePicture_T& picture)
{
    for (int y = 0; y < picture.height; ++y) {
        std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.width; ++x, p += 4)
            std::swap(p[0], p[2]);
    }
}

}  // namespace

bool AllocatePicture(FacePicture_T& picture, int width, int height)
{
    picture = FacePicture_T{};
    if (width <= 0 || height <= 0)
        return false;
    const std::uint64_t pitch = static_cast<std::uint64_t>(width) * 4;
    const std::uint64_t size = pitch * static_cast<std::uint64_t>(height);
    if (size > std::numeric_limits<std::size_t>::max())
        return false;
    try {
        picture.pixels = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.pitch = static_cast<std::size_t>(pitch);
    return true;
}

bool DecodeFacePng(std::span<const std::uint8_t> png, FacePicture_T& picture)
{
    picture = FacePicture_T{};
    if (png.empty())
        return false;
    const SpngContext ctx(spng_ctx_new(0));
    if (!ctx || spng_set_image_limits(ctx.get(), kMaxFaceSide, kMaxFaceSide) != 0 ||
        spng_set_chunk_limits(ctx.get(), kChunkSizeLimit, kChunkCacheLimit) != 0 ||
        spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0)
        return false;

    // The header alone decides whether the picture is worth any memory.
    spng_ihdr ihdr{};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0)
        return false;
    if (ihdr.width == 0 || ihdr.height == 0 || ihdr.width > kMaxFaceSide || ihdr.height > kMaxFaceSide)
        return false;
    const int width = static_cast<int>(ihdr.width);
    const int height = static_cast<int>(ihdr.height);

    std::size_t size = 0;
    if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0 ||
        size != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return false;
    FacePicture_T decoded;
    if (!AllocatePicture(decoded, width, height))
        return false;
    // RGBA8 with tRNS applied turns every colour type and depth into one
    // straight-alpha format: opaque unless the file says otherwise.
    if (spng_decode_image(ctx.get(), decoded.pixels.get(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
        return false;
    SwapRedAndBlue(decoded);
    picture = std::move(decoded);
    return true;
}

namespace {

struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeRgbPng(const FacePicture_T& picture)
{
    if (picture.IsEmpty())
        return std::nullopt;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.width; ++x, p += 4)
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
    const SpngContext ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    // A quick deflate and one filter: an export frames a face for every
    // picture it tags, and a small picture gains little from more effort.
    if (!ctx || spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0 ||
        spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, 1) != 0 ||
        spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_PAETH) != 0)
        return std::nullopt;
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(picture.width);
    ihdr.height = static_cast<std::uint32_t>(picture.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_ihdr(ctx.get(), &ihdr) != 0 ||
        spng_encode_image(ctx.get(), rgb.data(), rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
        return std::nullopt;
    std::size_t length = 0;
    int error = 0;
    const std::unique_ptr<void, MallocFree> png(spng_get_png_buffer(ctx.get(), &length, &error));
    if (!png || error != 0)
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(png.get());
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

}  // namespace tarnwick
