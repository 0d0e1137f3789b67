// TEMPORARY: the few tag functions the walk render test links against,
// until src/sound/clip_tags.cpp lands. Drop this file (and its line in
// tests/sound/CMakeLists.txt) at that merge.
#include "sound/clip_tags.h"

#include "archive/le_writer.h"
#include "sound/wav_file.h"

namespace tarnwick {

namespace {

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text)
{
    PutBe32(out, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::vector<std::string> VorbisComments(const ClipTags_T& tags)
{
    std::vector<std::string> out;
    auto add = [&out](const char* key, const std::string& value) {
        if (!value.empty())
            out.push_back(std::string(key) + "=" + value);
    };
    add("TITLE", tags.title);
    add("ARTIST", tags.artist);
    add("ALBUM", tags.album);
    add("TRACKNUMBER", tags.track ? std::to_string(tags.track) : "");
    add("TRACKTOTAL", tags.trackTotal ? std::to_string(tags.trackTotal) : "");
    add("TARNWICK_LINE", tags.line);
    if (!tags.picture.png.empty())
        add("METADATA_BLOCK_PICTURE", Base64(FlacPictureBlock(tags.picture)));
    return out;
}

std::vector<std::uint8_t> FlacPictureBlock(const TagPicture_T& picture)
{
    std::vector<std::uint8_t> out;
    PutBe32(out, 3);
    PutText(out, "image/png");
    PutText(out, "");
    PutBe32(out, picture.width);
    PutBe32(out, picture.height);
    PutBe32(out, 32);
    PutBe32(out, 0);
    PutBe32(out, static_cast<std::uint32_t>(picture.png.size()));
    out.insert(out.end(), picture.png.begin(), picture.png.end());
    return out;
}

std::string Base64(std::span<const std::uint8_t> bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = v << 8 | (k < n ? bytes[i + k] : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

std::vector<std::uint8_t> TaggedWavHeader(const WaveFormat_T& format, std::uint64_t dataSize, const ClipTags_T& tags)
{
    std::vector<std::uint8_t> info = {'I', 'N', 'F', 'O'};
    auto add = [&info](const char* id, const std::string& value) {
        if (value.empty())
            return;
        info.insert(info.end(), id, id + 4);
        PutLe32(info, static_cast<std::uint32_t>(value.size() + 1));
        info.insert(info.end(), value.begin(), value.end());
        info.push_back(0);
        if (info.size() % 2 != 0)
            info.push_back(0);
    };
    add("INAM", tags.title);
    add("IART", tags.artist);
    std::vector<std::uint8_t> plain = WavHeader(format, dataSize);
    std::vector<std::uint8_t> out(plain.begin(), plain.begin() + 36);
    out.insert(out.end(), {'L', 'I', 'S', 'T'});
    PutLe32(out, static_cast<std::uint32_t>(info.size()));
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), plain.begin() + 36, plain.end());
    const std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8 + dataSize);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return out;
}

}  // namespace tarnwick
