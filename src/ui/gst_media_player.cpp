#include "ui/gst_media_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <gst/gst.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarnwick {

namespace {

// A sample this small (-54 dB) counts as the silence a decoder starts
// with: WMA's first frame decodes to a faint hiss, not to zeros.
constexpr int kSilentSample = 64;
constexpr int kWatchMs = 20;

bool GstReady()
{
    static const bool ready = gst_init_check(nullptr, nullptr, nullptr) != FALSE;
    return ready;
}

bool SilentFrame(const std::uint8_t* frame, int channels)
{
    for (int c = 0; c < channels; ++c) {
        std::int16_t s;
        std::memcpy(&s, frame + 2 * c, 2);
        if (std::abs(s) > kSilentSample)
            return false;
    }
    return true;
}

// Drops the track's leading silence as it arrives, up to the most a
// decoder leaves; a longer one is the music's own and stays.
void FindLoopStart(MusicPcm_T& t)
{
    const std::size_t frame = static_cast<std::size_t>(t.channels) * 2;
    const auto most = static_cast<std::size_t>(kMaxDroppedLeadSeconds * t.rate) * frame;
    while (!t.leadDone && t.loopStart + frame <= t.bytes.size()) {
        if (t.loopStart >= most) {
            t.loopStart = 0;
            t.leadDone = true;
        } else if (SilentFrame(t.bytes.data() + t.loopStart, t.channels)) {
            t.loopStart += frame;
        } else {
            t.leadDone = true;
        }
    }
}

// The track is all there: its end drops the silence the decoder added,
// as its start did.
void Complete(MusicPcm_T& t)
{
    if (t.complete && t.loopEnd != 0)
        return;
    t.complete = true;
    t.leadDone = true;
    const std::size_t frame = static_cast<std::size_t>(std::max(t.channels, 1)) * 2;
    const std::size_t end = t.bytes.size() / frame * frame;
    const auto most = static_cast<std::size_t>(kMaxDroppedLeadSeconds * t.rate) * frame;
    std::size_t kept = end;
    while (kept >= t.loopStart + frame && end - kept < most && t.channels > 0 &&
           SilentFrame(t.bytes.data() + kept - frame, t.channels))
        kept -= frame;
    t.loopEnd = end - kept < most && kept > t.loopStart ? kept : end;
}

}  // namespace

qint64 CLoopSource::bytesAvailable() const
{
    std::lock_guard hold(track.lock);
    const std::size_t end = track.complete ? track.loopEnd : track.bytes.size();
    const std::size_t kept = track.leadDone && end > track.loopStart ? end - track.loopStart : 0;
    const std::size_t left = track.complete ? kept : kept - std::min(offset, kept);
    return static_cast<qint64>(left) + QIODevice::bytesAvailable();
}

qint64 CLoopSource::readData(char* data, qint64 maxSize)
{
    std::lock_guard hold(track.lock);
    if (!track.leadDone || track.channels <= 0)
        return 0;
    const std::size_t frame = static_cast<std::size_t>(track.channels) * 2;
    const std::size_t end = track.complete ? track.loopEnd : track.bytes.size();
    const std::size_t kept = end > track.loopStart ? (end - track.loopStart) / frame * frame : 0;
    std::size_t room = static_cast<std::size_t>(std::max<qint64>(maxSize, 0)) / frame * frame;
    std::size_t done = 0;
    while (room > 0 && kept > 0) {
        if (offset >= kept) {
            // The end of the track: its first sample comes next, once it is
            // all there.
            if (!track.complete)
                break;
            offset = 0;
            ++wraps;
        }
        const std::size_t n = std::min(room, kept - offset);
        std::memcpy(data + done, track.bytes.data() + track.loopStart + offset, n);
        offset += n;
        done += n;
        room -= n;
    }
    return static_cast<qint64>(done);
}

CGstMediaPlayer::CGstMediaPlayer()
{
    watch.setInterval(kWatchMs);
    connect(&watch, &QTimer::timeout, this, &CGstMediaPlayer::OnWatch);
}

CGstMediaPlayer::~CGstMediaPlayer()
{
    Release();
}

int CGstMediaPlayer::Loops() const
{
    return source ? source->Wraps() : 0;
}

bool CGstMediaPlayer::Render(const std::string& path)
{
    Release();
    struct stat st {};
    if (!GstReady() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return false;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri)
        return false;
    GError* error = nullptr;
    GstElement* made = gst_parse_launch(
        "uridecodebin name=in ! audioconvert ! audio/x-raw,format=S16LE,layout=interleaved ! "
        "fakesink name=out signal-handoffs=true sync=false",
        &error);
    if (error)
        g_error_free(error);
    if (!made) {
        g_free(uri);
        return false;
    }
    pipeline = GST_ELEMENT(gst_object_ref_sink(made));
    pcm = std::make_unique<MusicPcm_T>();
    source = std::make_unique<CLoopSource>(*pcm);
    source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    if (in)
        g_object_set(in, "uri", uri, nullptr);
    if (out)
        g_signal_connect(out, "handoff", G_CALLBACK(&CGstMediaPlayer::OnDecoded), pcm.get());
    g_free(uri);
    const bool linked = in && out;
    if (in)
        gst_object_unref(in);
    if (out)
        gst_object_unref(out);
    if (!linked || gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Release();
        return false;
    }
    watch.start();
    return true;
}

void CGstMediaPlayer::OnDecoded(GstElement*, void* buffer, void* pad, void* self)
{
    auto& track = *static_cast<MusicPcm_T*>(self);
    std::lock_guard hold(track.lock);
    if (track.complete || track.failed)
        return;
    if (track.channels == 0) {
        GstCaps* caps = gst_pad_get_current_caps(static_cast<GstPad*>(pad));
        int rate = 0;
        int channels = 0;
        if (caps) {
            const GstStructure* format = gst_caps_get_structure(caps, 0);
            gst_structure_get_int(format, "rate", &rate);
            gst_structure_get_int(format, "channels", &channels);
            gst_caps_unref(caps);
        }
        if (rate < 8000 || rate > 192000 || channels < 1 || channels > 8) {
            track.failed = true;
            return;
        }
        track.rate = rate;
        track.channels = channels;
    }
    GstMapInfo map;
    if (!gst_buffer_map(static_cast<GstBuffer*>(buffer), &map, GST_MAP_READ))
        return;
    std::size_t n = std::min<std::size_t>(map.size, kMaxMusicPcmBytes - track.bytes.size());
    try {
        track.bytes.insert(track.bytes.end(), map.data, map.data + n);
    } catch (const std::bad_alloc&) {
        n = 0;
    }
    gst_buffer_unmap(static_cast<GstBuffer*>(buffer), &map);
    FindLoopStart(track);
    // What is there plays, looped, when no more may be kept.
    if (n < map.size || track.bytes.size() >= kMaxMusicPcmBytes)
        Complete(track);
}

void CGstMediaPlayer::OnWatch()
{
    if (!pcm)
        return;
    if (pipeline) {
        GstBus* bus = gst_element_get_bus(pipeline);
        while (GstMessage* message = bus ? gst_bus_pop(bus) : nullptr) {
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS) {
                std::lock_guard hold(pcm->lock);
                // An error after some of the track plays what came before it.
                if (type == GST_MESSAGE_ERROR && pcm->bytes.empty())
                    pcm->failed = true;
                Complete(*pcm);
            }
            gst_message_unref(message);
        }
        if (bus)
            gst_object_unref(bus);
    }
    bool complete = false;
    {
        std::lock_guard hold(pcm->lock);
        complete = pcm->complete || pcm->failed;
        failed = failed || pcm->failed;
    }
    if (complete || failed)
        StopDecoding();
    if (want == Want_T::kPlaying && !sink && !failed)
        StartSink();
    if (failed) {
        watch.stop();  // silent from here on, and never tried again
        return;
    }
    // A sink that ran dry while the track was decoding pulls again.
    if (sink && sink->state() == QAudio::IdleState && source->bytesAvailable() > 0)
        emit source->readyRead();
    if (complete && (sink || want != Want_T::kPlaying))
        watch.stop();
}

void CGstMediaPlayer::StartSink()
{
    int rate = 0;
    int channels = 0;
    {
        std::lock_guard hold(pcm->lock);
        if (!pcm->leadDone)
            return;
        rate = pcm->rate;
        channels = pcm->channels;
    }
    if (channels == 0)
        return;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    // No output, or none for this format: the music is silent.
    if (output.isNull() || !output.isFormatSupported(format)) {
        failed = true;
        StopDecoding();  // nothing will hear the rest
        return;
    }
    sink = std::make_unique<QAudioSink>(output, format);
    sink->setVolume(volume);
    source->Rewind();
    sink->start(source.get());
    if (want == Want_T::kPaused)
        sink->suspend();
}

void CGstMediaPlayer::StopDecoding()
{
    if (!pipeline)
        return;
    // NULL waits for the streaming threads: no handoff comes after this.
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    pipeline = nullptr;
}

void CGstMediaPlayer::Release()
{
    watch.stop();
    StopDecoding();
    if (sink) {
        sink->stop();
        sink.reset();
    }
    source.reset();
    pcm.reset();
    want = Want_T::kStopped;
    failed = false;
}

void CGstMediaPlayer::Run()
{
    if (!pcm)
        return;
    want = Want_T::kPlaying;
    if (sink) {
        sink->stop();
        source->Rewind();
        sink->start(source.get());
    } else {
        StartSink();
    }
    if (!sink && !failed)
        watch.start();
}

void CGstMediaPlayer::Stop()
{
    want = Want_T::kStopped;
    if (sink)
        sink->stop();
}

void CGstMediaPlayer::Pause()
{
    if (want != Want_T::kPlaying)
        return;
    want = Want_T::kPaused;
    if (sink)
        sink->suspend();
}

void CGstMediaPlayer::Resume()
{
    // A stopped track stays stopped: only a held one goes on.
    if (want != Want_T::kPaused)
        return;
    want = Want_T::kPlaying;
    if (sink)
        sink->resume();
    else if (!failed)
        watch.start();
}

void CGstMediaPlayer::SetVolume(float linear)
{
    volume = std::clamp(linear, 0.0f, 1.0f);
    if (sink)
        sink->setVolume(volume);
}

MediaPoll CGstMediaPlayer::Poll()
{
    OnWatch();
    if (failed)
        return MediaPoll::kFailed;
    if (want != Want_T::kPlaying)
        return MediaPoll::kNotRunning;
    // A sink that broke (its device gone) is not running; the watch starts
    // the track again.
    if (sink && sink->state() == QAudio::StoppedState)
        return MediaPoll::kNotRunning;
    return MediaPoll::kRunning;
}

}  // namespace tarnwick
