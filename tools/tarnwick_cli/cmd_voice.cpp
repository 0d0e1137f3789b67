// voice: a talk line's voice clip fetched and decoded as the window plays
// it, written as a WAV file.
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program_folder.h"
#include "app/windows_path.h"
#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "archive/archive_writer.h"
#include "cli_common.h"
#include "commands.h"
#include "sound/voice_output.h"
#include "sound/wave_recorder.h"

namespace tarnwick::cli {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5])
{
    out.insert(out.end(), tag, tag + 4);
}

// A canonical RIFF WAVE file: the 16-byte PCM format chunk, then the data.
std::vector<std::uint8_t> WavFile(const WaveFormat_T& format, const std::vector<std::uint8_t>& pcm)
{
    const auto dataSize = static_cast<std::uint32_t>(pcm.size());
    std::vector<std::uint8_t> out;
    out.reserve(44 + pcm.size());
    PutTag(out, "RIFF");
    PutLe(out, 36 + dataSize, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe(out, 16, 4);
    PutLe(out, format.formatTag, 2);
    PutLe(out, format.channels, 2);
    PutLe(out, format.samplesPerSec, 4);
    PutLe(out, format.avgBytesPerSec, 4);
    PutLe(out, format.blockAlign, 2);
    PutLe(out, format.bitsPerSample, 2);
    PutTag(out, "data");
    PutLe(out, dataSize, 4);
    out.insert(out.end(), pcm.begin(), pcm.end());  // 16-bit samples: never odd, no pad byte
    return out;
}

}  // namespace

int CmdVoice(Args args)
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
    const std::optional<int> kind = ParseInt(positional[2]);
    if (!kind)
        return UsageError("KIND must be a whole number (1 short, any other long)");

    const int archive = VoiceArchiveFor(*kind);
    const auto set = std::make_unique<CArchiveSet>();
    set->SetGameFolder(HostFolderFor(positional[0]));
    set->SetProgramFolder(ProgramFolderFor(RunningExecutablePath()));
    if (!set->OpenArchive(archive))
        return Failure("cannot open archive " + std::to_string(archive) + " (" + ArchiveHedPaths()[archive] + ")");

    CWaveRecorder recorder;
    const auto voice = std::make_unique<VoiceOutput>();
    if (!PlayVoiceClip(recorder, *voice, *set, positional[1], *kind))
        return Failure("no voice clip " + positional[1] + " in archive " + std::to_string(archive) +
                       " (missing, or not an Ogg Vorbis stream it can decode)");
    CloseVoiceClip(*voice);

    const WaveFormat_T& format = recorder.opened.back();
    const std::vector<std::uint8_t> wav = WavFile(format, recorder.pcm);
    // With the WAV on standard output the summary goes to standard error.
    std::FILE* summary = outPath == "-" ? stderr : stdout;
    if (outPath == "-") {
        if (!WriteAllStdout(wav))
            return Failure("cannot write standard output");
    } else if (!WriteWholeFile(outPath, wav)) {
        return Failure("cannot write " + outPath);
    }
    std::fprintf(summary, "channels %u, rate %u, %zu bytes\n", static_cast<unsigned>(format.channels),
                 static_cast<unsigned>(format.samplesPerSec), recorder.pcm.size());
    return kExitOk;
}

}  // namespace tarnwick::cli
