// tarnwick-mkgame: writes a demo game for Tarnwick to try and test with.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_game.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintHelp()
{
    std::printf(
        "Usage: tarnwick-mkgame OUT_FOLDER [--seed N] [--scale demo|full]\n"
        "Writes a demo game for Tarnwick into OUT_FOLDER: the 108 archives with the talk\n"
        "table, face pictures and voice clips, the music files data/sound/bgm_N.wma, and a\n"
        "sample CaptureList.xml (copy it beside the program to use it).\n\n"
        "Options:\n"
        "  --seed N        vary texts, waits, voices and music (default 1); the same seed\n"
        "                  always gives the same bytes\n"
        "  --scale demo    about 40 talks, a few entries per archive (default)\n"
        "  --scale full    the size of a real install, for benchmarks: tens of thousands of\n"
        "                  lines, archives with 100,000+ entries, a few hundred megabytes\n"
        "  --help          show this help\n"
        "  --version       show the version\n\n"
        "Needs ffmpeg on PATH for the music.\n"
        "Exit status: 0 on success, 1 when writing fails, 2 on a usage error.\n");
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "tarnwick-mkgame: %s\nTry 'tarnwick-mkgame --help'.\n", message.c_str());
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    tarnwick::demo::DemoGameOptions_T options;
    std::string folder;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            PrintHelp();
            return kExitOk;
        }
        if (a == "--version") {
            std::printf("tarnwick-mkgame %s\n", TARNWICK_VERSION);
            return kExitOk;
        }
        if (a == "--seed" || a == "--scale") {
            if (i + 1 >= args.size())
                return UsageError(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--seed") {
                const char* end = value.data() + value.size();
                const auto [p, ec] = std::from_chars(value.data(), end, options.seed);
                if (value.empty() || ec != std::errc() || p != end)
                    return UsageError("bad seed '" + value + "': give a whole number");
            } else if (value == "demo") {
                options.scale = tarnwick::demo::DemoScale::kDemo;
            } else if (value == "full") {
                options.scale = tarnwick::demo::DemoScale::kFull;
            } else {
                return UsageError("bad scale '" + value + "': give demo or full");
            }
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option '" + a + "'");
        } else if (folder.empty()) {
            folder = a;
        } else {
            return UsageError("more than one output folder given");
        }
    }
    if (folder.empty())
        return UsageError("no output folder given");

    const auto start = std::chrono::steady_clock::now();
    tarnwick::demo::DemoGameReport_T report;
    if (!tarnwick::demo::WriteDemoGame(folder, options, &report)) {
        std::fprintf(stderr, "tarnwick-mkgame: %s\n", report.error.c_str());
        return kExitFailed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Wrote %s: %zu talk lines, %zu voice clips, %zu face pictures, %zu archive entries, "
                "%.1f MB in %.1f s\n",
                folder.c_str(), report.talkLines, report.voiceEntries, report.facePictures,
                report.archiveEntries, static_cast<double>(report.bytesWritten) / 1e6, seconds);
    return kExitOk;
}
