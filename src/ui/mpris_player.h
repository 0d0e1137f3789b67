// The desktop's media controls (a panel applet, playerctl, the media keys
// of a desktop that takes them itself) reach the window through the MPRIS
// D-Bus interfaces on the session bus. This layer only translates: the
// interfaces' methods become the playback's commands, and what playback
// reports becomes properties and their change signals.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class QAbstractItemModel;
class QWidget;

#include <cstdint>
#include <string_view>

#include "walk/player.h"

namespace tarnwick {

class CTalkSelection;
class CTarnwickApp;

// Whether name is a face picture the media controls wrote ("face-PID-N.png"),
// and if so the process that wrote it.
bool IsFacePictureName(std::string_view name, long* pid = nullptr);
// Removes the face pictures in folder left by runs that were killed before
// they could remove their own.
void RemoveStaleFacePictures(const QString& folder);

class CMprisPlayer : public QObject, private IPlaybackView {
    Q_OBJECT
public:
    // Offers the playback on the session bus when there is one; without it
    // the program runs as it does anyway. The controls are a view of the
    // playback and the selection, as the window is; they know the window
    // only as the widget to raise, and the list's table for its changes.
    // Face pictures for the controls go as files into artFolder, which is
    // made when missing.
    struct Parts_T {
        CTarnwickApp& app;
        CPlayer& player;
        const CTalkSelection& selection;
        const QAbstractItemModel& table;
        QWidget& window;
    };
    CMprisPlayer(const Parts_T& parts, const QString& artFolder, QObject* parent = nullptr);
    ~CMprisPlayer() override;
    CMprisPlayer(const CMprisPlayer&) = delete;
    CMprisPlayer& operator=(const CMprisPlayer&) = delete;

    // The bus name taken, or empty when the window is not on the bus.
    const QString& ServiceName() const { return serviceName; }

    // What the interfaces answer.
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    bool HasMarkedRows() const;
    bool Shuffle() const;
    QString LoopStatus() const;  // "None", "Track" or "Playlist"
    double Volume() const;       // the voice volume, 0 to 1
    qlonglong Position() const;  // microseconds into the line's clip
    bool CanSeek() const;        // while a clip plays

    // The interfaces' methods.
    void Raise();
    void Quit();
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void SetShuffle(bool on);
    void SetLoopStatus(const QString& status);
    void SetVolume(double volume);
    // Relative, in microseconds; past the clip's end goes to the next line.
    void Seek(qlonglong offset);
    // Only for the line shown; a position outside the clip does nothing.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);

signals:
    void Seeked(qlonglong position);

private:
    void ShowLine(const CVeyQelTalkElm& line) override;
    void ShowFace(const FaceFrame_T& frame) override;
    void ShowTalkText(const std::string&) override {}
    void ShowCast(std::string_view) override {}
    void ShowWait(std::int32_t) override {}
    // Reported once the line's clip has started, so its length is known.
    void ShowMode(ClipKind_T) override;
    void ShowStartText(StartText_T) override { changes.start(); }
    void ShowState(PlaybackState_T) override { changes.start(); }
    void ShowOptions(const PlayerOptions_T&) override { changes.start(); }
    void ShowSeeked(std::uint64_t microseconds) override;
    QDBusObjectPath TrackId() const;

    // The player interface's properties that change, by name.
    QVariantMap PlayerProperties() const;
    // Sends one PropertiesChanged with whatever differs from what was
    // last announced; a line's several reports make a single signal.
    void SendChanges();
    void RemoveArtFile();

    Parts_T parts;
    QString artFolder;
    QString serviceName;
    QTimer changes;  // single shot, at once: after the reports of one step

    // The line shown, as the controls name it.
    bool hasLine = false;
    std::uint64_t lengthMicroseconds = 0;  // 0: a silent line, or not known
    std::int32_t talkId = 0;
    std::int32_t lineNo = 0;
    QString title;  // one line: each "$R" a space
    QString text;   // with its line breaks
    QString cast;
    QString album;
    QString artFile;
    int artCount = 0;

    QVariantMap announced;  // the player interface's properties as last sent
};

// org.mpris.MediaPlayer2: the application.
class CMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
    Q_PROPERTY(bool Fullscreen READ Fullscreen)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit CMprisRootAdaptor(CMprisPlayer& player);

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool CanSetFullscreen() const { return false; }
    bool Fullscreen() const { return false; }
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public slots:
    void Raise() { player.Raise(); }
    void Quit() { player.Quit(); }

private:
    CMprisPlayer& player;
};

// org.mpris.MediaPlayer2.Player: the transport controls and the line shown.
class CMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(bool CanGoNext READ CanControl)
    Q_PROPERTY(bool CanGoPrevious READ CanControl)
    Q_PROPERTY(bool CanPlay READ CanControl)
    Q_PROPERTY(bool CanPause READ CanControl)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit CMprisPlayerAdaptor(CMprisPlayer& player);

    QString PlaybackStatus() const { return player.PlaybackStatus(); }
    double Rate() const { return 1.0; }
    double Volume() const { return player.Volume(); }
    void SetVolume(double volume) { player.SetVolume(volume); }
    qlonglong Position() const { return player.Position(); }
    bool Shuffle() const { return player.Shuffle(); }
    void SetShuffle(bool on) { player.SetShuffle(on); }
    QString LoopStatus() const { return player.LoopStatus(); }
    void SetLoopStatus(const QString& status) { player.SetLoopStatus(status); }
    QVariantMap Metadata() const { return player.Metadata(); }
    bool CanControl() const { return player.HasMarkedRows(); }
    bool CanSeek() const { return player.CanSeek(); }

public slots:
    void Play() { player.Play(); }
    void Pause() { player.Pause(); }
    void PlayPause() { player.PlayPause(); }
    void Stop() { player.Stop(); }
    void Next() { player.Next(); }
    void Previous() { player.Previous(); }
    void Seek(qlonglong offset) { player.Seek(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) { player.SetPosition(trackId, position); }
    // The player opens nothing by address.
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong position);

private:
    CMprisPlayer& player;
};

}  // namespace tarnwick
