#include "png_maker.h"

#include "support/png_chunk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tarnwick::test {

namespace {

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngImage_T& image)
{
    const std::unique_ptr<spng_ctx, SpngFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    spng_ihdr ihdr{};
    ihdr.width = image.width;
    ihdr.height = image.height;
    ihdr.bit_depth = image.bitDepth;
    ihdr.color_type = image.colourType;
    int rc = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    rc = rc ? rc : spng_set_ihdr(ctx.get(), &ihdr);
    if (!image.palette.empty()) {
        spng_plte plte{};
        plte.n_entries = static_cast<std::uint32_t>(image.palette.size());
        for (std::size_t i = 0; i < image.palette.size(); ++i)
            plte.entries[i] = {image.palette[i][0], image.palette[i][1], image.palette[i][2], 255};
        rc = rc ? rc : spng_set_plte(ctx.get(), &plte);
    }
    if (image.transparency) {
        spng_trns trns = *image.transparency;
        rc = rc ? rc : spng_set_trns(ctx.get(), &trns);
    }
    std::vector<std::uint8_t> samples = image.samples;
    rc = rc ? rc
            : spng_encode_image(ctx.get(), samples.data(), samples.size(), SPNG_FMT_PNG,
                                SPNG_ENCODE_FINALIZE);
    std::size_t length = 0;
    const std::unique_ptr<void, MallocFree> png(rc ? nullptr : spng_get_png_buffer(ctx.get(), &length, &rc));
    if (!png) {
        ADD_FAILURE() << "spng cannot encode the test picture: " << spng_strerror(rc);
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(png.get());
    return {bytes, bytes + length};
}

std::vector<std::uint8_t> PlainRgbaPng(std::uint32_t width, std::uint32_t height,
                                       std::array<std::uint8_t, 4> rgba)
{
    PngImage_T image{width, height};
    for (std::uint32_t i = 0; i < width * height; ++i)
        image.samples.insert(image.samples.end(), rgba.begin(), rgba.end());
    return EncodePng(image);
}

std::vector<std::uint8_t> HeaderOnlyPng(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    PutBe32(ihdr, width);
    PutBe32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 0, 0, 0});
    PutPngChunk(out, "IHDR", ihdr);
    PutPngChunk(out, "IEND", {});
    return out;
}

std::vector<std::uint8_t> Samples16(const std::vector<std::uint16_t>& values)
{
    std::vector<std::uint8_t> out(values.size() * 2);
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

std::string AsString(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace tarnwick::test
