#include "ui/qt_wave_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarnwick {

namespace {

// Played after the sink's buffer should have run out, to be safe.
constexpr int kDrainMarginMs = 40;

}  // namespace

void CPcmSource::SetBytes(const std::uint8_t* data, std::size_t size, bool whole)
{
    bytes = data;
    length = size;
    offset = 0;
    complete = whole;
}

qint64 CPcmSource::bytesAvailable() const
{
    return static_cast<qint64>(length - offset) + QIODevice::bytesAvailable();
}

qint64 CPcmSource::readData(char* data, qint64 maxSize)
{
    std::size_t n = std::min(static_cast<std::size_t>(std::max<qint64>(maxSize, 0)), length - offset);
    // Whole samples, so that a gain set later still finds them in step.
    if (n >= 2)
        n -= n % 2;
    if (n != 0)
        std::memcpy(data, bytes + offset, n);
    if (gain != 1.0f)
        ScaleSamples(reinterpret_cast<std::uint8_t*>(data), n, gain);
    offset += n;
    return static_cast<qint64>(n);
}

qint64 CPcmSource::writeData(const char*, qint64)
{
    return -1;
}

CQtWaveDevice::CQtWaveDevice(QObject* parent) : QObject(parent)
{
    drainTimer.setSingleShot(true);
    connect(&drainTimer, &QTimer::timeout, this, &CQtWaveDevice::DeliverDone);
    fillTimer.setInterval(0);
    connect(&fillTimer, &QTimer::timeout, this, &CQtWaveDevice::OnFill);
}

CQtWaveDevice::~CQtWaveDevice()
{
    Close();
}

bool CQtWaveDevice::Open(const WaveFormat_T& format)
{
    Close();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    // The sink is not asked what it cannot take: a rate of 1 Hz passes its
    // own check and then fails inside it.
    if (output.isNull() || !IsPlayableWaveFormat(format))
        return false;
    QAudioFormat qformat;
    qformat.setSampleRate(static_cast<int>(format.samplesPerSec));
    qformat.setChannelCount(format.channels);
    qformat.setSampleFormat(QAudioFormat::Int16);
    if (!output.isFormatSupported(qformat))
        return false;

    sink = std::make_unique<QAudioSink>(output, qformat);
    connect(sink.get(), &QAudioSink::stateChanged, this, &CQtWaveDevice::OnStateChanged);
    // Started now, with nothing to pull yet, so that a stream the sound
    // server refuses fails here and the line counts as silent.
    source.SetBytes(nullptr, 0);
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    sink->start(&source);
    if (sink->error() == QAudio::OpenError || sink->state() == QAudio::StoppedState) {
        Close();
        return false;
    }
    drainMs = static_cast<int>(static_cast<qint64>(sink->bufferSize()) * 1000 / format.avgBytesPerSec) +
              kDrainMarginMs;
    blockAlign = format.blockAlign;
    return true;
}

std::uint64_t CQtWaveDevice::PlayedBytes() const
{
    if (!sink || !written)
        return 0;
    // What the sink has taken, less what still waits in its buffer.
    const qint64 held = std::max<qint64>(0, sink->bufferSize() - sink->bytesFree());
    const auto taken = static_cast<qint64>(source.Offset());
    return static_cast<std::uint64_t>(std::max<qint64>(0, taken - held));
}

void CQtWaveDevice::Seek(std::size_t offset, std::size_t ready)
{
    if (!sink || !written || sink->state() == QAudio::StoppedState)
        return;
    source.Grow(ready);
    if (blockAlign != 0)
        offset -= offset % blockAlign;
    const bool held = sink->state() == QAudio::SuspendedState;
    // The sink's own buffer would play on from the old place: it starts
    // again, pulling from the new one.
    restarting = true;
    sink->stop();
    source.MoveTo(offset);
    sink->start(&source);
    restarting = false;
    if (sink->state() == QAudio::StoppedState) {
        if (doneOwed) {
            drainTimer.stop();
            PostDone();
        }
        return;
    }
    drainTimer.stop();
    heldDrainMs = -1;
    if (held)
        sink->suspend();
    if (source.IsFinished() && doneOwed && !held)
        drainTimer.start(drainMs);
}

void CQtWaveDevice::Write(const std::uint8_t* data, std::size_t length)
{
    WriteGrowing(data, length, nullptr);
}

void CQtWaveDevice::WriteGrowing(const std::uint8_t* data, std::size_t ready, FillHandler more)
{
    if (!sink)
        return;
    source.SetBytes(data, ready, more == nullptr);
    written = true;
    doneOwed = true;
    if (sink->state() == QAudio::StoppedState) {
        PostDone();  // the stream broke since Open: nothing will play
        return;
    }
    if (more) {
        fill = std::move(more);
        fillTimer.start();
    }
    if (source.HasMore())
        emit source.readyRead();  // the sink stopped pulling when it found nothing
    else if (source.IsFinished())
        drainTimer.start(0);  // an idle sink would not report the end again
}

void CQtWaveDevice::OnFill()
{
    if (!fill) {
        StopFilling();
        return;
    }
    std::size_t ready = 0;
    const bool more = fill(ready);
    source.Grow(ready);
    if (!more) {
        StopFilling();
        source.Complete();
    }
    if (!sink || sink->state() != QAudio::IdleState || !doneOwed)
        return;
    // An idle sink neither pulls nor reports its end by itself.
    if (source.HasMore())
        emit source.readyRead();
    else if (source.IsFinished() && !drainTimer.isActive())
        drainTimer.start(drainMs);
}

void CQtWaveDevice::StopFilling()
{
    fillTimer.stop();
    fill = nullptr;
}

void CQtWaveDevice::Reset()
{
    StopFilling();
    if (sink)
        sink->stop();  // reports StoppedState, which owes the done
}

void CQtWaveDevice::Suspend()
{
    if (!sink || sink->state() == QAudio::StoppedState || sink->state() == QAudio::SuspendedState)
        return;
    // The sink's buffer holds still, so the wait for it to play out does too.
    heldDrainMs = drainTimer.isActive() ? drainTimer.remainingTime() : -1;
    drainTimer.stop();
    sink->suspend();
}

void CQtWaveDevice::Resume()
{
    if (!sink || sink->state() != QAudio::SuspendedState)
        return;
    sink->resume();
    if (heldDrainMs >= 0 && doneOwed)
        drainTimer.start(heldDrainMs);
    heldDrainMs = -1;
}

void CQtWaveDevice::Close()
{
    ++clip;
    heldDrainMs = -1;
    StopFilling();
    drainTimer.stop();
    doneOwed = false;
    written = false;
    if (sink) {
        sink->disconnect(this);
        sink->stop();
        sink.reset();
    }
    source.close();
    source.SetBytes(nullptr, 0);
}

void CQtWaveDevice::OnStateChanged(QAudio::State state)
{
    if (!doneOwed || restarting)
        return;
    if (state == QAudio::StoppedState) {
        drainTimer.stop();
        PostDone();
    } else if (state == QAudio::IdleState && source.IsFinished() && !drainTimer.isActive()) {
        // An underrun with bytes left is not the end: the sink pulls again.
        drainTimer.start(drainMs);
    }
}

// stop() reports its state change from inside the call, so the done is
// queued to reach the owner from the event loop.
void CQtWaveDevice::PostDone()
{
    doneOwed = false;
    const std::uint64_t posted = clip;
    QMetaObject::invokeMethod(
        this,
        [this, posted] {
            if (posted == clip && written && done)
                done();
        },
        Qt::QueuedConnection);
}

void CQtWaveDevice::DeliverDone()
{
    if (!doneOwed)
        return;
    doneOwed = false;
    if (done)
        done();
}

}  // namespace tarnwick
