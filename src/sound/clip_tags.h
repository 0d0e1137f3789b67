// Tags that travel with an exported clip, so that a music player, a phone
// or a file manager shows the line: Vorbis comments in an Ogg file (its
// audio packets kept byte for byte, as vorbiscomment rewrites a file) and a
// LIST/INFO chunk in a WAV file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/failure.h"
#include "sound/wave_device.h"

namespace tarnwick {

// A PNG picture with what a FLAC picture block says of it.
struct TagPicture_T {
    std::vector<std::uint8_t> png;  // empty: none
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Base64(FlacPictureBlock(*this)), made once for a picture that many
    // clips share; empty: made for each clip.
    std::string blockBase64;
};

// Every text UTF-8; a NUL never reaches a tag (each becomes U+FFFD).
struct ClipTags_T {
    std::string title;   // TITLE / INAM
    std::string artist;  // ARTIST / IART
    std::string album;   // ALBUM / IPRD
    unsigned track = 0;       // TRACKNUMBER / ITRK; 0: none
    unsigned trackTotal = 0;  // TRACKTOTAL; 0: none
    std::string line;         // TARNWICK_LINE, "talkId:lineNo"; empty: none
    TagPicture_T picture;     // METADATA_BLOCK_PICTURE, front cover
};

// The comments as "KEY=value" in the order above, empty ones left out.
std::vector<std::string> VorbisComments(const ClipTags_T& tags);

// A FLAC picture block (type 3, front cover, "image/png"), as FLAC files
// hold it and, in base64, METADATA_BLOCK_PICTURE. Empty for no picture, and
// for one too large for a FLAC metadata block (16 MiB), which is then left
// out of the comments as well.
std::vector<std::uint8_t> FlacPictureBlock(const TagPicture_T& picture);
std::string Base64(std::span<const std::uint8_t> bytes);

// The Ogg Vorbis file ogg with its comment header replaced by one holding
// the tags (vendor string kept): every other packet, and the audio pages'
// granule positions, as they were. False, out untouched, with why, when
// ogg is not an Ogg Vorbis stream of one logical bitstream it can read
// (whole pages from the first to the end-of-stream page, the audio starting
// on a page of its own); why's subject is left for the caller to name.
bool RetagOggVorbis(std::span<const std::uint8_t> ogg, const ClipTags_T& tags, std::vector<std::uint8_t>& out,
                    Failure_T& why);

// WavHeader's header with a LIST/INFO chunk of the tags (INAM, IART, IPRD,
// ITRK) between the format and data chunks; without any of those tags,
// WavHeader's bytes. A text longer than 64 KiB is cut.
std::vector<std::uint8_t> TaggedWavHeader(const WaveFormat_T& format, std::uint64_t dataSize, const ClipTags_T& tags);

}  // namespace tarnwick
