#include "ui/qt_player_factory.h"

#include "ui/gst_media_player.h"
#include "ui/qt_line_timer.h"
#include "ui/qt_wave_device.h"

namespace tarnwick {

std::unique_ptr<IWaveDevice> CQtPlayerFactory::MakeWaveDevice()
{
    return std::make_unique<CQtWaveDevice>();
}

std::unique_ptr<INextLineTimer> CQtPlayerFactory::MakeTimer(std::function<void()> onTimeout)
{
    auto timer = std::make_unique<CQtLineTimer>();
    QObject::connect(&timer->Timer(), &QTimer::timeout, &timer->Timer(), std::move(onTimeout));
    return timer;
}

CBgmPlayer::MediaFactory CQtPlayerFactory::MusicFactory()
{
    if (!music)
        return {};
    return [] { return std::make_unique<CGstMediaPlayer>(); };
}

IPlayerFactory& QtPlayerFactory(bool withMusic)
{
    static CQtPlayerFactory withIt(true);
    static CQtPlayerFactory without(false);
    return withMusic ? static_cast<IPlayerFactory&>(withIt) : without;
}

}  // namespace tarnwick
