// The music player over QMediaPlayer with a QAudioOutput (GStreamer
// underneath). QMediaPlayer loads a file in the background, so Render can
// only refuse what it sees at once: a missing or unreadable file, or a
// source the player rejects on the spot. A file that turns out unplayable
// while loading stays rendered (the music player counts it as open) but
// polls as failed, so it stays silent and is not restarted.
#pragma once

#include <QAudioOutput>
#include <QMediaPlayer>

#include "sound/bgm_player.h"

namespace tarnwick {

class CQtMediaPlayer : public IMediaPlayer {
public:
    CQtMediaPlayer();
    ~CQtMediaPlayer() override;

    bool Render(const std::string& path) override;
    void Release() override;
    void Run() override;
    void Stop() override;
    void Pause() override;
    void Resume() override;
    void SetVolume(float linear) override;
    // kNotRunning for a stopped player, also after the end of the track
    // (StoppedState with EndOfMedia); kFailed while the media is invalid,
    // whatever state the player claims.
    MediaPoll Poll() override;

    QMediaPlayer& Player() { return player; }
    QAudioOutput& Output() { return output; }

private:
    QAudioOutput output;  // outlives the player that plays into it
    QMediaPlayer player;
};

}  // namespace tarnwick
