#include "bench_games.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "demo_game.h"

namespace tarnwick::bench {

std::string BenchGameFolder(GameScale_T scale)
{
    const std::string folder =
        std::string(TARNWICK_BENCH_GAMES) + (scale == GameScale_T::kFull ? "/full" : "/demo");
    const std::string done = folder + "/.complete";
    std::error_code ec;
    if (std::filesystem::exists(done, ec))
        return folder;
    std::cerr << "bench: generating the " << (scale == GameScale_T::kFull ? "full" : "demo")
              << " game in " << folder << '\n';
    demo::DemoGameOptions_T options;
    options.scale = scale == GameScale_T::kFull ? demo::DemoScale::kFull : demo::DemoScale::kDemo;
    demo::DemoGameReport_T report;
    if (!demo::WriteDemoGame(folder, options, &report)) {
        std::cerr << "bench: " << report.error << '\n';
        return {};
    }
    std::filesystem::create_directories(folder, ec);
    std::ofstream(done) << "ok\n";
    return folder;
}

}  // namespace tarnwick::bench
