// voice: a talk line's voice clip fetched and decoded as the window plays
// it, written as a WAV file.
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "cli_common.h"
#include "commands.h"
#include "sound/voice_output.h"
#include "sound/wav_file.h"

namespace tarnwick::cli {

int CmdVoice(const Context_T& context, Args args)
{
    std::vector<std::string> positional;
    std::string outPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return UsageError("-o takes the output file (- for standard output)");
            outPath = args[++i];
        } else {
            positional.push_back(args[i]);  // KIND may be negative: "-1"
        }
    }
    if (positional.size() != 3 || outPath.empty())
        return UsageError("voice takes GAME_FOLDER NAME KIND -o OUT.wav");
    const std::optional<int> number = ParseInt(positional[2]);
    if (!number)
        return UsageError("KIND must be a whole number (1 short, any other long)");
    // Every number asks for a clip here, 0 too: only 1 means the short one.
    const ClipKind_T kind = *number == 1 ? ClipKind_T::kShort : ClipKind_T::kLong;

    const int archive = VoiceArchiveFor(kind);
    const auto set = std::make_unique<CArchiveSet>();
    if (const int status = OpenGameArchive(context, *set, positional[0], archive); status != kExitOk)
        return status;

    WaveFormat_T format;
    std::vector<std::uint8_t> pcm;
    bool cut = false;
    if (!DecodeVoiceClip(*set, positional[1], kind, format, pcm, cut))
        return Failure("no voice clip " + positional[1] + " in archive " + std::to_string(archive) +
                       " (missing, or not an Ogg Vorbis stream it can decode)");
    const std::vector<std::uint8_t> wav = WavFile(format, pcm);
    // With the WAV on standard output the summary goes to standard error.
    std::FILE* summary = outPath == "-" ? stderr : stdout;
    if (const int status = WriteOutputFile(outPath, wav); status != kExitOk)
        return status;
    if (cut)
        ReportClipCut(outPath == "-" ? "standard output" : outPath, PcmSeconds(format, pcm.size()));
    std::fprintf(summary, "channels %u, rate %u, %zu bytes\n", static_cast<unsigned>(format.channels),
                 static_cast<unsigned>(format.samplesPerSec), pcm.size());
    return FlushStdout();
}

}  // namespace tarnwick::cli
