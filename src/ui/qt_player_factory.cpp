#include "ui/qt_player_factory.h"

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

IPlayerFactory& QtPlayerFactory()
{
    static CQtPlayerFactory factory;
    return factory;
}

}  // namespace tarnwick
