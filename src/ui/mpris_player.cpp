#include "ui/mpris_player.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "host/file_writer.h"
#include "talk/veyqel_talk.h"
#include "ui/face_frame.h"
#include "ui/game_text.h"
#include "ui/quit_signals.h"
#include "app/talk_selection.h"
#include "app/tarnwick_app.h"
#include "walk/playback.h"

namespace tarnwick {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.tarnwick");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// An object path element takes letters, digits and "_" only.
QString PathNumber(std::int32_t n)
{
    return n < 0 ? QStringLiteral("m%1").arg(-static_cast<qint64>(n)) : QString::number(n);
}

constexpr std::string_view kFacePrefix = "face-";
constexpr std::string_view kFaceEnd = ".png";

QString Latin1(std::string_view s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

bool IsFacePictureName(std::string_view name, long* pid)
{
    if (!name.starts_with(kFacePrefix) || !name.ends_with(kFaceEnd))
        return false;
    const std::string_view numbers =
        name.substr(kFacePrefix.size(), name.size() - kFacePrefix.size() - kFaceEnd.size());
    const char* const end = numbers.data() + numbers.size();
    long p = 0;
    unsigned long n = 0;
    const auto [pEnd, pError] = std::from_chars(numbers.data(), end, p);
    if (pError != std::errc() || p <= 0 || pEnd == end || *pEnd != '-')
        return false;
    const auto [nEnd, nError] = std::from_chars(pEnd + 1, end, n);
    if (nError != std::errc() || nEnd != end)
        return false;
    if (pid)
        *pid = p;
    return true;
}

void RemoveStaleFacePictures(const QString& folder)
{
    RemoveFilesOfGoneProcesses(QFile::encodeName(folder).toStdString(), IsFacePictureName);
}

CMprisPlayer::CMprisPlayer(const Parts_T& p, const QString& folder, QObject* parent)
    : QObject(parent), parts(p), artFolder(folder)
{
    changes.setSingleShot(true);
    changes.setInterval(0);
    connect(&changes, &QTimer::timeout, this, &CMprisPlayer::SendChanges);
    new CMprisRootAdaptor(*this);
    new CMprisPlayerAdaptor(*this);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return;
    // A second running copy takes a name of its own, as the interface allows.
    serviceName = kServiceName;
    if (!bus.registerService(serviceName)) {
        serviceName = kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(serviceName)) {
            bus.unregisterObject(kObjectPath);
            serviceName.clear();
            return;
        }
    }
    parts.player.Playback().AddView(*this);
    // Marks change the controls that are offered.
    connect(&parts.table, &QAbstractItemModel::dataChanged, &changes, qOverload<>(&QTimer::start));
    connect(&parts.table, &QAbstractItemModel::modelReset, &changes, qOverload<>(&QTimer::start));
    announced = PlayerProperties();
}

CMprisPlayer::~CMprisPlayer()
{
    parts.player.Playback().RemoveView(*this);
    if (!serviceName.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(serviceName);
        bus.unregisterObject(kObjectPath);
    }
    RemoveArtFile();
}

QString CMprisPlayer::PlaybackStatus() const
{
    switch (parts.player.Playback().State()) {
    case PlaybackState_T::kPlaying: return QStringLiteral("Playing");
    case PlaybackState_T::kPaused: return QStringLiteral("Paused");
    case PlaybackState_T::kStopped: break;
    }
    return QStringLiteral("Stopped");
}

QDBusObjectPath CMprisPlayer::TrackId() const
{
    if (!hasLine)
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(
        QStringLiteral("/io/github/tarnwick/line/%1_%2").arg(PathNumber(talkId), PathNumber(lineNo)));
}

QVariantMap CMprisPlayer::Metadata() const
{
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
    if (!hasLine)
        return m;
    m.insert(QStringLiteral("xesam:title"), title);
    m.insert(QStringLiteral("xesam:asText"), text);
    m.insert(QStringLiteral("xesam:artist"), QStringList{cast});
    m.insert(QStringLiteral("xesam:album"), album);
    if (!artFile.isEmpty())
        m.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(artFile).toString());
    if (lengthMicroseconds != 0)
        m.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(lengthMicroseconds));
    return m;
}

bool CMprisPlayer::HasMarkedRows() const
{
    return parts.selection.Rows().MarkedPlace(-1).count > 0;
}

void CMprisPlayer::Raise()
{
    // A minimized window comes back as it was before.
    QWidget& window = parts.window;
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void CMprisPlayer::Quit()
{
    // As the close button, from any dialog or export: the settings are
    // written as the window closes. Queued, so the caller has its answer
    // before the window goes; it holds the window, which outlives these
    // controls.
    QMetaObject::invokeMethod(&parts.window, [&app = parts.app] { QuitFromAnyState(app); }, Qt::QueuedConnection);
}

void CMprisPlayer::Play()
{
    parts.player.Playback().Play();
}

void CMprisPlayer::Pause()
{
    parts.player.Playback().Pause();
}

void CMprisPlayer::PlayPause()
{
    parts.player.Playback().PlayPause();
}

void CMprisPlayer::Stop()
{
    parts.player.Playback().Stop();
}

void CMprisPlayer::Next()
{
    parts.player.Playback().Next();
}

void CMprisPlayer::Previous()
{
    parts.player.Playback().Previous();
}

bool CMprisPlayer::Shuffle() const
{
    return parts.player.Options().shuffle;
}

void CMprisPlayer::SetShuffle(bool on)
{
    parts.player.SetShuffle(on);
}

QString CMprisPlayer::LoopStatus() const
{
    switch (parts.player.Options().repeat) {
    case Repeat_T::kLine: return QStringLiteral("Track");
    case Repeat_T::kWalk: return QStringLiteral("Playlist");
    case Repeat_T::kOff: break;
    }
    return QStringLiteral("None");
}

void CMprisPlayer::SetLoopStatus(const QString& status)
{
    // Another word changes nothing.
    if (status == QLatin1String("None"))
        parts.player.SetRepeat(Repeat_T::kOff);
    else if (status == QLatin1String("Track"))
        parts.player.SetRepeat(Repeat_T::kLine);
    else if (status == QLatin1String("Playlist"))
        parts.player.SetRepeat(Repeat_T::kWalk);
}

double CMprisPlayer::Volume() const
{
    return parts.player.Options().voiceVolume / static_cast<double>(kMaxVoiceVolume);
}

void CMprisPlayer::SetVolume(double volume)
{
    // Below 0 is silence; above 1 is as loud as the clip is.
    if (std::isnan(volume))
        return;
    parts.player.SetVoiceVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kMaxVoiceVolume)));
}

qlonglong CMprisPlayer::Position() const
{
    return static_cast<qlonglong>(parts.player.Playback().ClipPosition());
}

bool CMprisPlayer::CanSeek() const
{
    return parts.player.Playback().ClipMicroseconds() != 0;
}

void CMprisPlayer::Seek(qlonglong offset)
{
    CPlayback& playback = parts.player.Playback();
    const std::uint64_t length = playback.ClipMicroseconds();
    if (length == 0)
        return;
    // Both within the clip's length, so the sum cannot overflow.
    const auto limit = static_cast<qlonglong>(length);
    const qlonglong to = static_cast<qlonglong>(playback.ClipPosition()) + std::clamp(offset, -limit, limit);
    if (to >= static_cast<qlonglong>(length))
        playback.Next();  // as the interface asks of a seek past the end
    else
        playback.SeekClip(static_cast<std::uint64_t>(std::max<qlonglong>(to, 0)));
}

void CMprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    CPlayback& playback = parts.player.Playback();
    if (trackId != TrackId() || position < 0 || static_cast<std::uint64_t>(position) > playback.ClipMicroseconds())
        return;
    playback.SeekClip(static_cast<std::uint64_t>(position));
}

void CMprisPlayer::ShowSeeked(std::uint64_t microseconds)
{
    emit Seeked(static_cast<qlonglong>(microseconds));
}

void CMprisPlayer::ShowLine(const CVeyQelTalkElm& line)
{
    hasLine = true;
    talkId = line.talkId;
    lineNo = line.lineNo;
    // One line for panels and --follow; the text whole, breaks and all.
    title = GameText(LineMarksReplaced(line.talkText(), " "));
    text = GameText(LineMarksReplaced(line.talkText(), "\n"));
    cast = GameText(line.castName());
    // As the export names the lines' album: the capture item, else the
    // group or collection, else "Tarnwick".
    album = QString::fromStdString(parts.selection.AlbumName());
    changes.start();
}

void CMprisPlayer::ShowMode(ClipKind_T)
{
    lengthMicroseconds = parts.player.Playback().ClipMicroseconds();
    changes.start();
}

void CMprisPlayer::ShowFace(const FaceFrame_T& frame)
{
    const QImage image = FaceFrameImage(frame);
    if (image.isNull())
        return;
    // A new name for every face: clients that keep pictures by address
    // load the new one, and the old file goes at once.
    RemoveArtFile();
    const QString name = Latin1(kFacePrefix) + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
                         QString::number(++artCount) + Latin1(kFaceEnd);
    const QString path = QDir(artFolder).filePath(name);
    // Encoded first, then written the one way the program writes files:
    // whole or not at all, never through a link already there.
    QByteArray png;
    QBuffer buffer(&png);
    Failure_T why;
    if (buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
        MakeFolders(QFile::encodeName(artFolder).toStdString(), why) &&
        WriteFileAtomically(QFile::encodeName(path).toStdString(),
                            {reinterpret_cast<const std::uint8_t*>(png.constData()), static_cast<std::size_t>(png.size())},
                            why))
        artFile = path;
    changes.start();
}

void CMprisPlayer::RemoveArtFile()
{
    if (!artFile.isEmpty())
        QFile::remove(std::exchange(artFile, QString()));
}

QVariantMap CMprisPlayer::PlayerProperties() const
{
    QVariantMap all{{QStringLiteral("PlaybackStatus"), PlaybackStatus()}, {QStringLiteral("Metadata"), Metadata()}};
    const bool can = HasMarkedRows();
    for (const char* name : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious", "CanControl"})
        all.insert(QString::fromLatin1(name), can);
    // The position changes all the time; clients ask for it, or hear Seeked.
    all.insert(QStringLiteral("CanSeek"), CanSeek());
    all.insert(QStringLiteral("Shuffle"), Shuffle());
    all.insert(QStringLiteral("LoopStatus"), LoopStatus());
    all.insert(QStringLiteral("Volume"), Volume());
    return all;
}

void CMprisPlayer::SendChanges()
{
    if (serviceName.isEmpty())
        return;
    QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty())
        return;
    announced = std::move(now);
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

CMprisRootAdaptor::CMprisRootAdaptor(CMprisPlayer& p) : QDBusAbstractAdaptor(&p), player(p) {}

QString CMprisRootAdaptor::Identity() const
{
    return tr("Tarnwick");
}

QString CMprisRootAdaptor::DesktopEntry() const
{
    return QGuiApplication::desktopFileName();
}

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisPlayer& p) : QDBusAbstractAdaptor(&p), player(p)
{
    connect(&p, &CMprisPlayer::Seeked, this, &CMprisPlayerAdaptor::Seeked);
}

}  // namespace tarnwick
