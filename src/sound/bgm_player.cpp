#include "sound/bgm_player.h"

#include <cerrno>
#include <cmath>
#include <optional>
#include <utility>

#include "archive/archive_set.h"
#include "host/host_file.h"
#include "host/host_path.h"

namespace tarnwick {

void CBgmPlayer::SetMediaPlayer(std::unique_ptr<IMediaPlayer> player)
{
    Close();
    media = std::move(player);
}

void CBgmPlayer::SetMediaFactory(MediaFactory factory)
{
    SetMediaPlayer(nullptr);
    makeMedia = std::move(factory);
}

bool CBgmPlayer::Open(const std::string& path)
{
    Close();
    if (!media && makeMedia)
        media = std::exchange(makeMedia, nullptr)();
    if (media)
        isOpen = media->Render(path);
    return isOpen;
}

void CBgmPlayer::Close()
{
    if (media) {
        media->Stop();
        media->Release();
    }
    isOpen = false;
}

float LinearVolume(int hundredthsOfDb)
{
    if (hundredthsOfDb <= kMinBgmVolume)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredthsOfDb / 2000.0));
}

std::string BgmFileName(int n)
{
    return "data\\sound\\bgm_" + std::to_string(n) + ".wma";
}

void PlayBgm(const BgmContext_T& music, int n)
{
    const std::optional<std::string> path = ResolveUnder(music.archives.GameFolder(), BgmFileName(n));
    // A name that would climb out of the game folder, or something other
    // than a file in the track's place (a FIFO would hold the player up for
    // ever), is a missing track. A missing file is the player's to refuse.
    CHostFile probe;
    if (!path || (!probe.Open(*path) && probe.Failure(*path).errorNumber != ENOENT)) {
        music.player.Close();
        return;
    }
    if (!music.player.Open(*path))
        return;
    IMediaPlayer& media = *music.player.Media();
    media.SetVolume(LinearVolume(music.volumeBgm));
    media.Run();
}

void StopBgm(const BgmContext_T& music)
{
    if (music.player.IsOpen())
        music.player.Media()->Stop();
}

void PauseBgm(const BgmContext_T& music)
{
    if (music.player.IsOpen())
        music.player.Media()->Pause();
}

void ResumeBgm(const BgmContext_T& music)
{
    if (music.player.IsOpen())
        music.player.Media()->Resume();
}

void SetBgmVolume(const BgmContext_T& music, int v)
{
    if (v < kMinBgmVolume || v > kMaxBgmVolume)
        return;
    music.volumeBgm = v;
    if (music.player.IsOpen())
        music.player.Media()->SetVolume(LinearVolume(v));
}

void PollBgm(const BgmContext_T& music, int n)
{
    if (n == 0 || !music.player.IsOpen())
        return;
    // Only a player that is not running is restarted; one whose file failed
    // stays silent rather than being retried every second.
    if (music.player.Media()->Poll() == MediaPoll::kNotRunning)
        PlayBgm(music, n);
}

void ApplyMusicRule(IMusicControl& music, int bgmNo, int& currentBgmNo)
{
    if (bgmNo == 0) {
        music.StopBgm();
        currentBgmNo = 0;
    } else if (bgmNo != currentBgmNo) {
        music.PlayBgm(bgmNo);
        currentBgmNo = bgmNo;
    }
}

void ApplyMusicRule(const BgmContext_T& music, int bgmNo, int& currentBgmNo)
{
    class CPlayerControl : public IMusicControl {
    public:
        explicit CPlayerControl(const BgmContext_T& m) : context(m) {}
        void PlayBgm(int number) override { tarnwick::PlayBgm(context, number); }
        void StopBgm() override { tarnwick::StopBgm(context); }

    private:
        const BgmContext_T& context;
    } control(music);
    ApplyMusicRule(control, bgmNo, currentBgmNo);
}

}  // namespace tarnwick
