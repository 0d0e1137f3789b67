#include "ui/qt_wave_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cstring>

namespace tarnwick {

namespace {

// Played after the sink's buffer should have run out, to be safe.
constexpr int kDrainMarginMs = 40;

}  // namespace

void CPcmSource::SetBytes(const std::uint8_t* data, std::size_t size)
{
    bytes = data;
    length = size;
    offset = 0;
}

qint64 CPcmSource::bytesAvailable() const
{
    return static_cast<qint64>(length - offset) + QIODevice::bytesAvailable();
}

qint64 CPcmSource::readData(char* data, qint64 maxSize)
{
    const std::size_t n = std::min(static_cast<std::size_t>(std::max<qint64>(maxSize, 0)), length - offset);
    if (n != 0)
        std::memcpy(data, bytes + offset, n);
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
}

CQtWaveDevice::~CQtWaveDevice()
{
    Close();
}

bool CQtWaveDevice::Open(const WaveFormat_T& format)
{
    Close();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull() || format.formatTag != kWaveFormatPcm || format.bitsPerSample != 16 ||
        format.blockAlign == 0)
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
    return true;
}

void CQtWaveDevice::Write(const std::uint8_t* data, std::size_t length)
{
    if (!sink)
        return;
    source.SetBytes(data, length);
    written = true;
    doneOwed = true;
    if (sink->state() == QAudio::StoppedState) {
        PostDone();  // the stream broke since Open: nothing will play
    } else if (length == 0) {
        drainTimer.start(0);  // an idle sink would not report the end again
    } else {
        emit source.readyRead();  // the sink stopped pulling when it found nothing
    }
}

void CQtWaveDevice::Reset()
{
    if (sink)
        sink->stop();  // reports StoppedState, which owes the done
}

void CQtWaveDevice::Close()
{
    ++clip;
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
    if (!doneOwed)
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
