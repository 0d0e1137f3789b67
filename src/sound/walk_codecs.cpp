#include "sound/walk_codecs.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <ogg/ogg.h>
#include <opusenc.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <bit>
#include <string_view>

#include "sound/wav_file.h"

namespace tarnwick::walk_codecs {

bool CSinkGuard::Put(std::span<const std::uint8_t> bytes)
{
    if (refused)
        return false;
    if (!bytes.empty() && !sink(bytes))
        refused = true;
    return !refused;
}

bool CSinkGuard::Put(const void* data, std::size_t size)
{
    return Put(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
}

namespace {

constexpr std::string_view kPictureKey = "METADATA_BLOCK_PICTURE=";
constexpr std::size_t kChunkFrames = 4096;

bool IsPictureComment(const std::string& comment)
{
    return comment.starts_with(kPictureKey);
}

Failure_T CodecFailure(const char* codec, std::string detail)
{
    return Failure_T::Refused(codec, std::move(detail));
}

// The sink's refusal names the real cause; the codec's own error after it
// is only its echo.
bool Fail(const char* codec, const CSinkGuard& sink, std::string detail, Failure_T& why)
{
    why = CodecFailure(codec, sink.Refused() ? std::string("the output took no more bytes") : std::move(detail));
    return false;
}

// ---- Ogg Vorbis

constexpr const char* kVorbis = "Ogg Vorbis";
constexpr float kVorbisQuality = 0.4f;
// One logical stream in the file: any serial number does, and a fixed one
// keeps a render reproducible.
constexpr int kOggSerial = 0x54574b31;

class CVorbisWriter final : public ISampleWriter {
public:
    CVorbisWriter(CSinkGuard& to, std::uint16_t count) : sink(to), channels(count)
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~CVorbisWriter() override
    {
        if (streamReady)
            ogg_stream_clear(&stream);
        if (analysisReady) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    CVorbisWriter(const CVorbisWriter&) = delete;
    CVorbisWriter& operator=(const CVorbisWriter&) = delete;

    bool Open(const CodecSetup_T& setup, Failure_T& why)
    {
        if (vorbis_encode_init_vbr(&info, setup.out.channels, setup.out.rate, kVorbisQuality) != 0)
            return Fail(kVorbis, sink,
                        "libvorbis has no mode for " + std::to_string(setup.out.channels) + " channels at " +
                            std::to_string(setup.out.rate) + " Hz",
                        why);
        for (const std::string& text : setup.comments)
            vorbis_comment_add(&comment, text.c_str());
        if (vorbis_analysis_init(&dsp, &info) != 0 || vorbis_block_init(&dsp, &block) != 0) {
            // vorbis_dsp_clear also frees a half-made analysis state.
            vorbis_dsp_clear(&dsp);
            return Fail(kVorbis, sink, "the encoder could not start", why);
        }
        analysisReady = true;
        ogg_stream_init(&stream, kOggSerial);
        streamReady = true;
        ogg_packet header;
        ogg_packet comments;
        ogg_packet codebooks;
        if (vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &codebooks) != 0)
            return Fail(kVorbis, sink, "the headers could not be made", why);
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &comments);
        ogg_stream_packetin(&stream, &codebooks);
        // The audio starts on a page of its own.
        return PutPages(true, why);
    }

    bool Write(std::span<const std::int16_t> samples, Failure_T& why) override
    {
        const std::size_t frames = samples.size() / channels;
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(kChunkFrames, frames - done);
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            const std::int16_t* in = samples.data() + done * channels;
            for (std::size_t f = 0; f < n; ++f)
                for (std::size_t c = 0; c < channels; ++c)
                    buffer[c][f] = static_cast<float>(in[f * channels + c]) / 32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            if (!Encode(why))
                return false;
            done += n;
        }
        return true;
    }

    bool End(Failure_T& why) override
    {
        vorbis_analysis_wrote(&dsp, 0);
        return Encode(why) && PutPages(true, why);
    }

private:
    bool Encode(Failure_T& why)
    {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            if (vorbis_analysis(&block, nullptr) != 0 || vorbis_bitrate_addblock(&block) != 0)
                return Fail(kVorbis, sink, "a block could not be encoded", why);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                if (!PutPages(false, why))
                    return false;
            }
        }
        return true;
    }

    bool PutPages(bool flush, Failure_T& why)
    {
        ogg_page page;
        while ((flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) != 0) {
            if (!sink.Put(page.header, static_cast<std::size_t>(page.header_len)) ||
                !sink.Put(page.body, static_cast<std::size_t>(page.body_len)))
                return Fail(kVorbis, sink, {}, why);
        }
        return true;
    }

    CSinkGuard& sink;
    std::size_t channels;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool analysisReady = false;
    bool streamReady = false;
};

// ---- Opus

constexpr const char* kOpus = "Opus";
constexpr int kFrontCover = 3;

struct OpusDeleter {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};

int OpusWrite(void* user, const unsigned char* data, opus_int32 length)
{
    return static_cast<CSinkGuard*>(user)->Put(data, static_cast<std::size_t>(length)) ? 0 : 1;
}

int OpusClose(void*)
{
    return 0;
}

const OpusEncCallbacks kOpusCallbacks{OpusWrite, OpusClose};

class COpusWriter final : public ISampleWriter {
public:
    COpusWriter(CSinkGuard& to, std::uint16_t count) : sink(to), channels(count) {}

    bool Open(const CodecSetup_T& setup, Failure_T& why)
    {
        std::unique_ptr<OggOpusComments, OpusDeleter> comments(ope_comments_create());
        if (!comments)
            return Fail(kOpus, sink, "no memory for the comments", why);
        std::string pictureComment;
        for (const std::string& text : setup.comments) {
            if (IsPictureComment(text)) {
                pictureComment = text;
                continue;
            }
            if (const int error = ope_comments_add_string(comments.get(), text.c_str()); error != OPE_OK)
                return Fail(kOpus, sink, ope_strerror(error), why);
        }
        const std::vector<std::uint8_t>& png = setup.tags->picture.png;
        // libopusenc reads the size from the PNG itself; a picture it cannot
        // read still goes in as the block the tags made of it.
        if (!png.empty() &&
            ope_comments_add_picture_from_memory(comments.get(), reinterpret_cast<const char*>(png.data()),
                                                 png.size(), kFrontCover, nullptr) != OPE_OK &&
            !pictureComment.empty()) {
            if (const int error = ope_comments_add_string(comments.get(), pictureComment.c_str()); error != OPE_OK)
                return Fail(kOpus, sink, ope_strerror(error), why);
        }
        int error = OPE_OK;
        encoder.reset(ope_encoder_create_callbacks(&kOpusCallbacks, &sink, comments.get(),
                                                   static_cast<opus_int32>(setup.out.rate), channels, 0, &error));
        if (!encoder)
            return Fail(kOpus, sink, ope_strerror(error), why);
        return true;
    }

    bool Write(std::span<const std::int16_t> samples, Failure_T& why) override
    {
        const std::size_t frames = samples.size() / channels;
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(kChunkFrames, frames - done);
            const int error = ope_encoder_write(encoder.get(), samples.data() + done * channels, static_cast<int>(n));
            if (error != OPE_OK || sink.Refused())
                return Fail(kOpus, sink, ope_strerror(error), why);
            done += n;
        }
        return true;
    }

    bool End(Failure_T& why) override
    {
        const int error = ope_encoder_drain(encoder.get());
        if (error != OPE_OK || sink.Refused())
            return Fail(kOpus, sink, ope_strerror(error), why);
        return true;
    }

private:
    CSinkGuard& sink;
    int channels;
    std::unique_ptr<OggOpusEnc, OpusDeleter> encoder;
};

// ---- FLAC

constexpr const char* kFlac = "FLAC";
constexpr unsigned kFlacCompression = 5;

struct FlacDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using FlacBlock = std::unique_ptr<FLAC__StreamMetadata, FlacDeleter>;

FLAC__StreamEncoderWriteStatus FlacWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[], std::size_t bytes,
                                         std::uint32_t, std::uint32_t, void* user)
{
    return static_cast<CSinkGuard*>(user)->Put(buffer, bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                              : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

// Reads the picture block the tags make, so that a FLAC file's PICTURE and
// an Ogg file's METADATA_BLOCK_PICTURE say the same of the picture.
class CBigEndianReader {
public:
    explicit CBigEndianReader(std::span<const std::uint8_t> from) : bytes(from) {}
    bool U32(std::uint32_t& value)
    {
        if (bytes.size() - at < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | bytes[at++];
        return true;
    }
    bool Bytes(std::uint32_t length, std::string& out)
    {
        if (bytes.size() - at < length)
            return false;
        out.assign(reinterpret_cast<const char*>(bytes.data() + at), length);
        at += length;
        return true;
    }

private:
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

FlacBlock FlacPicture(const TagPicture_T& picture)
{
    const std::vector<std::uint8_t> block = FlacPictureBlock(picture);
    CBigEndianReader read(block);
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    std::string mime;
    std::string description;
    std::string data;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    std::uint32_t colors = 0;
    if (!read.U32(type) || !read.U32(length) || !read.Bytes(length, mime) || !read.U32(length) ||
        !read.Bytes(length, description) || !read.U32(width) || !read.U32(height) || !read.U32(depth) ||
        !read.U32(colors) || !read.U32(length) || !read.Bytes(length, data))
        return nullptr;
    FlacBlock out(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE));
    if (!out || !FLAC__metadata_object_picture_set_mime_type(out.get(), mime.data(), true) ||
        !FLAC__metadata_object_picture_set_description(out.get(), reinterpret_cast<FLAC__byte*>(description.data()),
                                                       true) ||
        !FLAC__metadata_object_picture_set_data(out.get(), reinterpret_cast<FLAC__byte*>(data.data()),
                                                static_cast<FLAC__uint32>(data.size()), true))
        return nullptr;
    out->data.picture.type = static_cast<FLAC__StreamMetadata_Picture_Type>(type);
    out->data.picture.width = width;
    out->data.picture.height = height;
    out->data.picture.depth = depth;
    out->data.picture.colors = colors;
    return out;
}

class CFlacWriter final : public ISampleWriter {
public:
    CFlacWriter(CSinkGuard& to, std::uint16_t count) : sink(to), channels(count) {}

    bool Open(const CodecSetup_T& setup, Failure_T& why)
    {
        comments.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
        if (!comments)
            return Fail(kFlac, sink, "no memory for the comments", why);
        for (const std::string& text : setup.comments) {
            if (IsPictureComment(text))
                continue;
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            entry.length = static_cast<FLAC__uint32>(text.size());
            entry.entry = reinterpret_cast<FLAC__byte*>(const_cast<char*>(text.data()));
            if (!FLAC__metadata_object_vorbiscomment_append_comment(comments.get(), entry, true))
                return Fail(kFlac, sink, "no memory for the comments", why);
        }
        std::vector<FLAC__StreamMetadata*> blocks{comments.get()};
        if (!setup.tags->picture.png.empty()) {
            picture = FlacPicture(setup.tags->picture);
            if (!picture)
                return Fail(kFlac, sink, "the picture block could not be made", why);
            blocks.push_back(picture.get());
        }
        encoder.reset(FLAC__stream_encoder_new());
        if (!encoder)
            return Fail(kFlac, sink, "no memory for the encoder", why);
        FLAC__StreamEncoder* e = encoder.get();
        // The sink cannot seek, so STREAMINFO is final when written: its
        // length is the plan's, its MD5 left unset, and no seek table.
        const bool set = FLAC__stream_encoder_set_verify(e, false) &&
                         FLAC__stream_encoder_set_streamable_subset(e, true) &&
                         FLAC__stream_encoder_set_channels(e, static_cast<std::uint32_t>(channels)) &&
                         FLAC__stream_encoder_set_bits_per_sample(e, 16) &&
                         FLAC__stream_encoder_set_sample_rate(e, setup.out.rate) &&
                         FLAC__stream_encoder_set_compression_level(e, kFlacCompression) &&
                         FLAC__stream_encoder_set_total_samples_estimate(e, setup.totalFrames) &&
                         FLAC__stream_encoder_set_metadata(e, blocks.data(), static_cast<std::uint32_t>(blocks.size()));
        if (!set)
            return Fail(kFlac, sink, "the encoder refused its settings", why);
        const FLAC__StreamEncoderInitStatus status =
            FLAC__stream_encoder_init_stream(e, FlacWrite, nullptr, nullptr, nullptr, &sink);
        if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
            return Fail(kFlac, sink,
                        status == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR
                            ? FLAC__stream_encoder_get_resolved_state_string(e)
                            : FLAC__StreamEncoderInitStatusString[status],
                        why);
        return true;
    }

    bool Write(std::span<const std::int16_t> samples, Failure_T& why) override
    {
        for (std::size_t done = 0; done < samples.size();) {
            const std::size_t n = std::min(kChunkFrames * channels, samples.size() - done);
            wide.assign(samples.begin() + static_cast<std::ptrdiff_t>(done),
                        samples.begin() + static_cast<std::ptrdiff_t>(done + n));
            if (!FLAC__stream_encoder_process_interleaved(encoder.get(), wide.data(),
                                                          static_cast<std::uint32_t>(n / channels)))
                return Fail(kFlac, sink, FLAC__stream_encoder_get_resolved_state_string(encoder.get()), why);
            done += n;
        }
        return true;
    }

    bool End(Failure_T& why) override
    {
        if (!FLAC__stream_encoder_finish(encoder.get()) || sink.Refused())
            return Fail(kFlac, sink, FLAC__stream_encoder_get_resolved_state_string(encoder.get()), why);
        return true;
    }

private:
    CSinkGuard& sink;
    std::size_t channels;
    // The encoder holds pointers to the blocks: it goes first.
    FlacBlock comments;
    FlacBlock picture;
    std::unique_ptr<FLAC__StreamEncoder, FlacDeleter> encoder;
    std::vector<FLAC__int32> wide;
};

// ---- WAV

constexpr const char* kWav = "WAV";

class CWavWriter final : public ISampleWriter {
public:
    explicit CWavWriter(CSinkGuard& to) : sink(to) {}

    bool Open(const CodecSetup_T& setup, Failure_T& why)
    {
        const WaveFormat_T format = PcmWaveFormat(setup.out.channels, setup.out.rate);
        // The plan's length goes in first: the sink cannot go back to it.
        const std::uint64_t dataSize = setup.totalFrames * format.blockAlign;
        const std::vector<std::uint8_t> header = TaggedWavHeader(format, dataSize, *setup.tags);
        if (dataSize > 0xFFFFFFFFull - (header.size() - 8))
            return Fail(kWav, sink, "the walk is longer than a WAV file can hold (4 GiB)", why);
        if (!sink.Put(header))
            return Fail(kWav, sink, {}, why);
        return true;
    }

    bool Write(std::span<const std::int16_t> samples, Failure_T& why) override
    {
        bool put = true;
        if constexpr (std::endian::native == std::endian::little) {
            put = sink.Put(samples.data(), samples.size_bytes());
        } else {
            bytes.clear();
            for (const std::int16_t sample : samples) {
                bytes.push_back(static_cast<std::uint8_t>(sample & 0xff));
                bytes.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xff));
            }
            put = sink.Put(bytes);
        }
        return put || Fail(kWav, sink, {}, why);
    }

    bool End(Failure_T& why) override { return !sink.Refused() || Fail(kWav, sink, {}, why); }

private:
    CSinkGuard& sink;
    std::vector<std::uint8_t> bytes;
};

template <class Writer, class... Args>
std::unique_ptr<ISampleWriter> Opened(const CodecSetup_T& setup, Failure_T& why, Args&&... args)
{
    auto writer = std::make_unique<Writer>(std::forward<Args>(args)...);
    if (!writer->Open(setup, why))
        return nullptr;
    return writer;
}

}  // namespace

std::unique_ptr<ISampleWriter> MakeVorbisWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why)
{
    return Opened<CVorbisWriter>(setup, why, sink, setup.out.channels);
}

std::unique_ptr<ISampleWriter> MakeOpusWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why)
{
    return Opened<COpusWriter>(setup, why, sink, setup.out.channels);
}

std::unique_ptr<ISampleWriter> MakeFlacWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why)
{
    return Opened<CFlacWriter>(setup, why, sink, setup.out.channels);
}

std::unique_ptr<ISampleWriter> MakeWavWriter(const CodecSetup_T& setup, CSinkGuard& sink, Failure_T& why)
{
    return Opened<CWavWriter>(setup, why, sink);
}

}  // namespace tarnwick::walk_codecs
