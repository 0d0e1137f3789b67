#include "ui/qt_media_player.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace tarnwick {

CQtMediaPlayer::CQtMediaPlayer()
{
    player.setAudioOutput(&output);
}

CQtMediaPlayer::~CQtMediaPlayer()
{
    player.stop();
}

bool CQtMediaPlayer::Render(const std::string& path)
{
    // Host file names are bytes; Qt gives them back the same way.
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    const QFileInfo file(name);
    if (!file.isFile() || !file.isReadable())
        return false;
    player.setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    if (player.mediaStatus() == QMediaPlayer::InvalidMedia) {
        Release();
        return false;
    }
    return true;
}

void CQtMediaPlayer::Release()
{
    // Clearing the source lets a later Render of the same file load it anew.
    player.setSource(QUrl());
}

void CQtMediaPlayer::Run()
{
    player.play();
}

void CQtMediaPlayer::Stop()
{
    player.stop();
}

void CQtMediaPlayer::Pause()
{
    if (player.playbackState() == QMediaPlayer::PlayingState)
        player.pause();
}

void CQtMediaPlayer::Resume()
{
    // play() from the stopped state would start the track again.
    if (player.playbackState() == QMediaPlayer::PausedState)
        player.play();
}

void CQtMediaPlayer::SetVolume(float linear)
{
    output.setVolume(linear);
}

MediaPoll CQtMediaPlayer::Poll()
{
    // Only the status tells: error() keeps an earlier file's error until
    // play(), and the previous file's pipeline may still report one late.
    if (player.mediaStatus() == QMediaPlayer::InvalidMedia)
        return MediaPoll::kFailed;
    return player.playbackState() == QMediaPlayer::PlayingState ? MediaPoll::kRunning : MediaPoll::kNotRunning;
}

}  // namespace tarnwick
