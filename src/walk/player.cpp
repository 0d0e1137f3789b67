#include "walk/player.h"

namespace tarnwick {

CPlayer::CPlayer(CTalkListModel& list, IPlayerFactory& factory, const PlayerResources_T& resources)
    : voice(resources.voice), wave(factory.MakeWaveDevice()),
      nextLine(factory.MakeTimer([this] { playback->OnNextLineTimer(); })),
      watch(factory.MakeTimer([this] {
          playback->OnMusicWatchTimer();
          if (watching)
              watch->Start(kMusicWatchMs);
      })),
      // Playback takes the device's end of a clip, which comes from the
      // event loop, never from inside a device call, so it may close the
      // clip and start the next.
      playback(std::make_unique<CPlayback>(list, PlaybackDevices_T{*wave, resources.voice, resources.archives,
                                                                   resources.faces, resources.music, *nextLine}))
{
}

CPlayer::~CPlayer()
{
    watching = false;
    watch->Stop();
    nextLine->Stop();
    playback.reset();
    CloseVoiceClip(voice);
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
