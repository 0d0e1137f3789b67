#include "walk/player.h"

#include <algorithm>

namespace tarnwick {

CPlayer::CPlayer(CTalkListModel& list, IPlayerFactory& factory, const PlayerResources_T& resources,
                 const PlayerOptions_T& chosen)
    : voice(resources.voice), archives(resources.archives), music(resources.music), options(chosen),
      wave(factory.MakeWaveDevice()), nextLine(factory.MakeTimer([this] { playback->OnNextLineTimer(); })),
      watch(factory.MakeTimer([this] {
          playback->OnMusicWatchTimer();
          if (watching)
              watch->Start(kMusicWatchMs);
      })),
      // Playback takes the device's end of a clip, which comes from the
      // event loop, never from inside a device call, so it may close the
      // clip and start the next.
      playback(std::make_unique<CPlayback>(list, PlaybackDevices_T{*wave, resources.voice, resources.archives,
                                                                   resources.faces, Music(), *nextLine}))
{
    if (CBgmPlayer::MediaFactory makeMusic = factory.MusicFactory())
        music.SetMediaFactory(std::move(makeMusic));
    SetOptions(chosen);
}

void CPlayer::SetOptions(const PlayerOptions_T& chosen)
{
    options = chosen;
    if (options.musicVolume < kMinBgmVolume || options.musicVolume > kMaxBgmVolume)
        options.musicVolume = kMaxBgmVolume;
    options.voiceVolume = std::clamp(options.voiceVolume, 0, kMaxVoiceVolume);
    SetBgmVolume(Music(), options.musicVolume);
    playback->SetPlayMode(options.playMode);
    playback->SetShuffle(options.shuffle);
    playback->SetRepeat(options.repeat);
    ApplyVoiceLevel();
    Report();
}

CPlayer::~CPlayer()
{
    watching = false;
    watch->Stop();
    nextLine->Stop();
    playback.reset();
    CloseVoiceClip(voice);
}

void CPlayer::ApplyVoiceLevel()
{
    SetVoiceLevel(voice, VoiceLevel_T{options.voiceVolume, options.evenLoudness});
}

void CPlayer::Report()
{
    playback->ReportOptions(options);
}

void CPlayer::SetPlayMode(PlayMode_T mode)
{
    options.playMode = mode;
    playback->SetPlayMode(mode);
    Report();
}

void CPlayer::SetMusicVolume(int hundredthsOfDb)
{
    if (hundredthsOfDb < kMinBgmVolume || hundredthsOfDb > kMaxBgmVolume)
        return;
    SetBgmVolume(Music(), hundredthsOfDb);
    Report();
}

void CPlayer::SetVoiceVolume(int percent)
{
    options.voiceVolume = std::clamp(percent, 0, kMaxVoiceVolume);
    ApplyVoiceLevel();
    Report();
}

void CPlayer::SetShuffle(bool on)
{
    options.shuffle = on;
    playback->SetShuffle(on);
    Report();
}

void CPlayer::SetRepeat(Repeat_T repeat)
{
    options.repeat = repeat;
    playback->SetRepeat(repeat);
    Report();
}

void CPlayer::SetEvenLoudness(bool on)
{
    options.evenLoudness = on;
    ApplyVoiceLevel();
    Report();
}

void CPlayer::StartMusicWatch()
{
    watching = true;
    watch->Start(kMusicWatchMs);
}

void CPlayer::Close()
{
    watching = false;
    watch->Stop();
    nextLine->Stop();
    playback->OnDestroy();
}

}  // namespace tarnwick
