#include "sound/clip_tags.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

#include "archive/le_writer.h"
#include "sound/wav_file.h"

namespace tarnwick {

namespace {

// Readers in C stop a text at a NUL: U+FFFD shows where one was.
std::string TagText(std::string_view text)
{
    if (text.find('\0') == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\0')
            out += "\xEF\xBF\xBD";
        else
            out += c;
    }
    return out;
}

std::string TagNumber(unsigned n)
{
    return n == 0 ? std::string() : std::to_string(n);
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutBytes(std::vector<std::uint8_t>& out, std::string_view bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A FLAC metadata block's length field has 24 bits.
constexpr std::size_t kMaxFlacBlockBytes = 0xFFFFFF;
constexpr std::string_view kPictureMime = "image/png";
constexpr std::size_t kPictureFieldBytes = 8 * 4 + kPictureMime.size();

// A RIFF INFO text longer than this is cut: no player shows more, and the
// header's lengths stay far from 32 bits.
constexpr std::size_t kMaxInfoTextBytes = 0xFFFF;

// Cut to at most max bytes, never inside a UTF-8 sequence.
void CutUtf8(std::string& text, std::size_t max)
{
    if (text.size() <= max)
        return;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
}

// ---- Ogg ------------------------------------------------------------------

struct OggStream_T {
    ogg_stream_state state;
    explicit OggStream_T(int serial) { ogg_stream_init(&state, serial); }
    ~OggStream_T() { ogg_stream_clear(&state); }
    OggStream_T(const OggStream_T&) = delete;
    OggStream_T& operator=(const OggStream_T&) = delete;
};

struct VorbisHeaders_T {
    vorbis_info info;
    vorbis_comment comment;
    VorbisHeaders_T()
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~VorbisHeaders_T()
    {
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    VorbisHeaders_T(const VorbisHeaders_T&) = delete;
    VorbisHeaders_T& operator=(const VorbisHeaders_T&) = delete;
};

// The pages of one logical stream in a byte block, in order, each whole
// and with the next sequence number, up to and including the end-of-stream
// page and nothing after it. Pages are read in place; their checksums are
// not checked: a damaged page stays as the game has it, as it would in a
// copy of the stored clip, and checking every one would cost more than the
// rest of the export.
class CStreamPages {
public:
    explicit CStreamPages(std::span<const std::uint8_t> block) : bytes(block) {}

    int Serial() const { return serial; }
    bool Ended() const { return ended; }

    // 1: the next page, pointing into the block; 0: the block ended after
    // the end-of-stream page; -1: problem says what is wrong.
    int Next(ogg_page& page, std::string& problem)
    {
        const int r = NextInBlock(page, problem);
        if (r == 0 && !ended) {
            problem = seen ? "it stops before its end-of-stream page" : "no pages";
            return -1;
        }
        if (r <= 0)
            return r;
        if (!seen) {
            if (!ogg_page_bos(&page) || ogg_page_continued(&page)) {
                problem = "its first page does not begin a stream";
                return -1;
            }
            serial = ogg_page_serialno(&page);
            next = static_cast<std::uint32_t>(ogg_page_pageno(&page));
        } else if (ogg_page_serialno(&page) != serial || ogg_page_bos(&page)) {
            problem = "a second logical stream (chained or multiplexed)";
            return -1;
        }
        if (ended)
            problem = "pages after its end-of-stream page";
        else if (static_cast<std::uint32_t>(ogg_page_pageno(&page)) != next)
            problem = "a page missing before page " + std::to_string(ogg_page_pageno(&page));
        if (!problem.empty())
            return -1;
        seen = true;
        ended = ogg_page_eos(&page) != 0;
        ++next;
        return 1;
    }

private:
    int NextInBlock(ogg_page& page, std::string& problem)
    {
        if (at == bytes.size())
            return 0;
        const std::size_t left = bytes.size() - at;
        const std::uint8_t* p = bytes.data() + at;
        if (left < 27 || std::memcmp(p, "OggS", 4) != 0 || p[4] != 0) {
            problem = left >= 4 && std::memcmp(p, "OggS", 4) == 0 && p[4] != 0
                          ? "an Ogg page of an unknown version"
                          : "bytes that are not an Ogg page at offset " + std::to_string(at);
            return -1;
        }
        const std::size_t header = 27 + std::size_t{p[26]};
        std::size_t body = 0;
        for (std::size_t k = 27; k < header && k < left; ++k)
            body += p[k];
        if (left < header || left - header < body) {
            problem = "its end is not a whole page";
            return -1;
        }
        // libogg reads a page through non-const pointers, never writing.
        page.header = const_cast<unsigned char*>(p);
        page.header_len = static_cast<long>(header);
        page.body = const_cast<unsigned char*>(p + header);
        page.body_len = static_cast<long>(body);
        at += header + body;
        return 1;
    }

    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool seen = false;
    bool ended = false;
    int serial = 0;
    std::uint32_t next = 0;
};

// The last lacing value 255: the page's last packet goes on on the next one.
bool EndsInsidePacket(const ogg_page& page)
{
    const std::size_t segments = page.header[26];
    return segments > 0 && page.header[27 + segments - 1] == 255;
}

void PutPage(std::vector<std::uint8_t>& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

bool NotVorbis(Failure_T& why, const std::string& reason)
{
    why = Failure_T::Damaged({}, "not an Ogg Vorbis stream: " + reason);
    return false;
}

// The three header packets, each one libvorbis takes; the last of them must
// end its page, so that the audio starts on a fresh one.
bool IsSetupHeader(const ogg_packet& packet)
{
    static constexpr unsigned char kSetup[] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
    return packet.bytes > static_cast<long>(sizeof kSetup) && std::memcmp(packet.packet, kSetup, sizeof kSetup) == 0;
}

bool ReadHeaders(CStreamPages& pages, std::vector<std::uint8_t> (&headers)[3], Failure_T& why)
{
    OggStream_T stream(0);
    VorbisHeaders_T vorbis;
    ogg_page page;
    std::string problem;
    for (int got = 0; got < 3;) {
        if (pages.Ended())
            return NotVorbis(why, "it ends inside its headers");
        if (pages.Next(page, problem) < 0)
            return NotVorbis(why, problem);
        if (got == 0)
            ogg_stream_reset_serialno(&stream.state, pages.Serial());
        if (ogg_stream_pagein(&stream.state, &page) != 0)
            return NotVorbis(why, "a page it cannot read");
        ogg_packet packet;
        for (int r; got < 3 && (r = ogg_stream_packetout(&stream.state, &packet)) != 0;) {
            // The setup header is copied, never decoded here: its type and
            // name are enough, and reading its codebooks would cost more
            // than the whole rewrite.
            const bool read = r >= 0 && (got == 2 ? IsSetupHeader(packet)
                                                  : vorbis_synthesis_headerin(&vorbis.info, &vorbis.comment, &packet) == 0);
            if (!read)
                return NotVorbis(why, "header packet " + std::to_string(got + 1) + " is not a Vorbis header");
            headers[got++].assign(packet.packet, packet.packet + packet.bytes);
        }
    }
    if (ogg_stream_packetpeek(&stream.state, nullptr) != 0 || EndsInsidePacket(page))
        return NotVorbis(why, "its audio starts on the page its headers end on");
    if (pages.Ended())
        return NotVorbis(why, "no audio after its headers");
    return true;
}

// A comment header of the tags with the vendor string of comments, the old
// one, byte for byte: libvorbis would write its own, and vorbis_comment
// keeps it only up to a NUL.
bool CommentHeader(const std::vector<std::uint8_t>& comments, const ClipTags_T& tags,
                   std::vector<std::uint8_t>& packet, Failure_T& why)
{
    if (comments.size() < 11)
        return NotVorbis(why, "its comment header is cut short");
    const std::uint32_t vendorLength =
        static_cast<std::uint32_t>(comments[7]) | static_cast<std::uint32_t>(comments[8]) << 8 |
        static_cast<std::uint32_t>(comments[9]) << 16 | static_cast<std::uint32_t>(comments[10]) << 24;
    if (vendorLength > comments.size() - 11)
        return NotVorbis(why, "its comment header is cut short");
    // Type 3 and "vorbis", the vendor, the comments, the framing bit.
    const std::vector<std::string> fields = VorbisComments(tags);
    packet.assign(comments.begin(), comments.begin() + 11 + vendorLength);
    PutLe32(packet, static_cast<std::uint32_t>(fields.size()));
    for (const std::string& f : fields) {
        if (f.size() > std::numeric_limits<std::uint32_t>::max()) {
            why = Failure_T::Refused({}, "a tag longer than a Vorbis comment can hold");
            return false;
        }
        PutLe32(packet, static_cast<std::uint32_t>(f.size()));
        PutBytes(packet, f);
    }
    packet.push_back(1);
    return true;
}

// The identification header alone on the first page, the comment and setup
// headers on pages of their own after it; pages counts them.
bool PutHeaderPages(std::vector<std::uint8_t>& out, int serial, const std::vector<std::uint8_t>* const (&headers)[3],
                    std::uint32_t& pages, Failure_T& why)
{
    OggStream_T stream(serial);
    for (int i = 0; i < 3; ++i) {
        ogg_packet packet{};
        packet.packet = const_cast<unsigned char*>(headers[i]->data());
        packet.bytes = static_cast<long>(headers[i]->size());
        packet.b_o_s = i == 0;
        packet.packetno = i;
        if (ogg_stream_packetin(&stream.state, &packet) != 0) {
            why = Failure_T::System({}, ENOMEM);
            return false;
        }
        ogg_page page;
        while (i != 1 && ogg_stream_flush(&stream.state, &page) != 0) {
            PutPage(out, page);
            ++pages;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> VorbisComments(const ClipTags_T& tags)
{
    std::vector<std::string> out;
    auto add = [&out](std::string_view key, std::string_view value) {
        if (!value.empty())
            out.push_back(std::string(key) + "=" + TagText(value));
    };
    add("TITLE", tags.title);
    add("ARTIST", tags.artist);
    add("ALBUM", tags.album);
    add("TRACKNUMBER", TagNumber(tags.track));
    add("TRACKTOTAL", TagNumber(tags.trackTotal));
    add("TARNWICK_LINE", tags.line);
    // Made once when the picture is shared; base64 holds no NUL.
    const std::string picture =
        tags.picture.blockBase64.empty() ? Base64(FlacPictureBlock(tags.picture)) : std::string();
    const std::string& block = tags.picture.blockBase64.empty() ? picture : tags.picture.blockBase64;
    if (!block.empty())
        out.push_back("METADATA_BLOCK_PICTURE=" + block);
    return out;
}

std::vector<std::uint8_t> FlacPictureBlock(const TagPicture_T& picture)
{
    if (picture.png.empty() || picture.png.size() > kMaxFlacBlockBytes - kPictureFieldBytes)
        return {};
    std::vector<std::uint8_t> out;
    out.reserve(kPictureFieldBytes + picture.png.size());
    PutBe32(out, 3);  // front cover
    PutBe32(out, static_cast<std::uint32_t>(kPictureMime.size()));
    PutBytes(out, kPictureMime);
    PutBe32(out, 0);  // no description
    PutBe32(out, picture.width);
    PutBe32(out, picture.height);
    PutBe32(out, 24);  // bits per pixel: RGB
    PutBe32(out, 0);   // not indexed
    PutBe32(out, static_cast<std::uint32_t>(picture.png.size()));
    out.insert(out.end(), picture.png.begin(), picture.png.end());
    return out;
}

std::string Base64(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out((bytes.size() + 2) / 3 * 4, '=');
    std::size_t o = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (n > 1)
            group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (n > 2)
            group |= bytes[i + 2];
        for (std::size_t k = 0; k <= n; ++k)
            out[o + k] = kDigits[(group >> (18 - 6 * k)) & 0x3F];
        o += 4;
    }
    return out;
}

bool RetagOggVorbis(std::span<const std::uint8_t> ogg, const ClipTags_T& tags, std::vector<std::uint8_t>& out,
                    Failure_T& why)
{
    CStreamPages pages(ogg);
    std::vector<std::uint8_t> headers[3];
    std::vector<std::uint8_t> comments;
    if (!ReadHeaders(pages, headers, why) || !CommentHeader(headers[1], tags, comments, why))
        return false;
    std::vector<std::uint8_t> result;
    result.reserve(ogg.size() + comments.size() + comments.size() / (255 * 255) * 282 + 1024);
    std::uint32_t sequence = 0;
    if (!PutHeaderPages(result, pages.Serial(), {&headers[0], &comments, &headers[2]}, sequence, why))
        return false;

    // The audio pages as they were: only their sequence numbers follow the
    // new header pages, and their checksums with them, when the header
    // pages are more or fewer than before.
    ogg_page page;
    std::string problem;
    for (bool first = true;; first = false) {
        const int r = pages.Next(page, problem);
        if (r < 0)
            return NotVorbis(why, problem);
        if (r == 0)
            break;
        if (first && ogg_page_continued(&page))
            return NotVorbis(why, "its first audio page goes on with a packet that never began");
        const std::size_t start = result.size();
        PutPage(result, page);
        if (static_cast<std::uint32_t>(ogg_page_pageno(&page)) != sequence) {
            ogg_page copy{result.data() + start, page.header_len, result.data() + start + page.header_len,
                          page.body_len};
            for (int i = 0; i < 4; ++i)
                copy.header[18 + i] = static_cast<unsigned char>(sequence >> (8 * i));
            ogg_page_checksum_set(&copy);
        }
        ++sequence;
    }
    out.swap(result);
    return true;
}

std::vector<std::uint8_t> TaggedWavHeader(const WaveFormat_T& format, std::uint64_t dataSize, const ClipTags_T& tags)
{
    std::vector<std::uint8_t> info;
    auto add = [&info](const char (&id)[5], std::string_view value) {
        if (value.empty())
            return;
        std::string text = TagText(value);
        CutUtf8(text, kMaxInfoTextBytes);
        text.push_back('\0');
        PutRiffChunk(info, id, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    add("INAM", tags.title);
    add("IART", tags.artist);
    add("IPRD", tags.album);
    add("ITRK", TagNumber(tags.track));
    std::vector<std::uint8_t> list;
    if (!info.empty()) {
        std::vector<std::uint8_t> body;
        body.reserve(4 + info.size());
        PutBytes(body, "INFO");
        body.insert(body.end(), info.begin(), info.end());
        PutRiffChunk(list, "LIST", body);
    }
    return WavHeader(format, dataSize, list);
}

}  // namespace tarnwick
