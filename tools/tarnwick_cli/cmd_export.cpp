// export and check: the marked talk lines kept as ordinary files, and a game
// folder opened as start-up opens it, without a window.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/game_folder.h"
#include "app/collection_store.h"
#include "app/line_export.h"
#include "app/walk_file_export.h"
#include "app/talk_selection.h"
#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "cli_common.h"
#include "host/file_writer.h"
#include "commands.h"
#include "host/host_path.h"
#include "sound/walk_render.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick::cli {

namespace {

struct ExportArgs_T {
    std::vector<std::string> positional;  // GAME_FOLDER OUT_DIR
    std::string capturesFile;
    std::vector<std::string> choices;
    std::optional<std::string> collection;
    std::string collectionsFolder;  // empty: the settings home's
    PlayMode_T playMode = PlayMode_T::kLong;  // the program's default
    LineExportOptions_T outputs;
    std::string oneFile;  // the walk as one file, under OUT_DIR; empty: none
    unsigned jobs = 0;  // 0: one per core
};

// A whole number from 1 to 1024, nothing around it.
bool ParseJobCount(const std::string& text, unsigned& jobs)
{
    const std::optional<int> number = ParseInt(text);
    if (!number || *number < 1 || *number > 1024)
        return false;
    jobs = static_cast<unsigned>(*number);
    return true;
}

int ParseExportArgs(Args args, ExportArgs_T& out)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--captures" && hasValue) {
            out.capturesFile = args[++i];
        } else if (a == "--collection" && hasValue) {
            out.collection = args[++i];
        } else if (a == "--collections" && hasValue) {
            out.collectionsFolder = args[++i];
        } else if (a == "--mode" && hasValue) {
            const std::string& mode = args[++i];
            if (mode == "default")
                out.playMode = PlayMode_T::kDefault;
            else if (mode == "short")
                out.playMode = PlayMode_T::kShort;
            else if (mode == "long")
                out.playMode = PlayMode_T::kLong;
            else
                return UsageError("--mode takes default, short or long");
        } else if (a == "--jobs" && hasValue) {
            if (!ParseJobCount(args[++i], out.jobs))
                return UsageError("--jobs takes a number of threads from 1 to 1024");
        } else if (a == "--wav") {
            out.outputs.format = VoiceFileFormat::kWav;
        } else if (a == "--untagged") {
            out.outputs.tagged = false;
        } else if (a == "--no-playlist") {
            out.outputs.playlist = false;
        } else if (a == "--one-file" && hasValue) {
            out.oneFile = args[++i];
            if (!RenderFormatOf(out.oneFile))
                return UsageError("--one-file takes NAME.ogg, NAME.opus, NAME.flac or NAME.wav");
        } else if (IsSelectionChoice(a)) {
            out.choices.push_back(a);
        } else if (a.starts_with("-")) {
            return UsageError("export: unknown option or missing value: " + a);
        } else {
            out.positional.push_back(a);
        }
    }
    if (out.positional.size() != 2)
        return UsageError("export takes GAME_FOLDER OUT_DIR [--captures FILE] [--collection NAME] "
                          "[--collections DIR] [CHOICE...] [--mode default|short|long] [--wav] [--untagged] "
                          "[--no-playlist] [--one-file NAME.EXT] [--jobs N]");
    // The collection is chosen first, as a group would be.
    if (out.collection)
        out.choices.insert(out.choices.begin(), "collection=" + *out.collection);
    return kExitOk;
}

// Opens the archives of gameFolder in order (all of them, as start-up does,
// when none are named) and loads the talk table into talk. Gives kExitOk, or
// the exit status after saying which step failed first and why.
int OpenGameOrFail(const Context_T& context, CArchiveSet& set, const std::string& gameFolder,
                   const std::vector<int>& archives, CVeyQelTalk& talk)
{
    GameRequest_T request = GameRequestFor(context, gameFolder);
    request.archives = archives;
    GameFailure_T failed;
    if (OpenGame(request, set, talk, failed))
        return kExitOk;
    if (failed.step == GameStep::kArchive)
        return Failure("archive " + std::to_string(failed.archive) + ": " + failed.why.Describe());
    return Failure("talk table: " + failed.why.Describe());
}

}  // namespace

int CmdExport(const Context_T& context, Args args)
{
    ExportArgs_T options;
    if (const int status = ParseExportArgs(args, options); status != kExitOk)
        return status;
    const std::string& gameFolder = options.positional[0];
    const std::string& outFolder = options.positional[1];

    const auto set = std::make_unique<CArchiveSet>();
    const auto talk = std::make_unique<CVeyQelTalk>();
    const std::vector<int> archives{kTableArchive, kFaceArchive, kLongVoiceArchive, kShortVoiceArchive};
    if (const int status = OpenGameOrFail(context, *set, gameFolder, archives, *talk); status != kExitOk)
        return status;
    if (!options.capturesFile.empty()) {
        if (const int status = LoadCapturesOrFail(*talk, options.capturesFile); status != kExitOk)
            return status;
    }
    CCollectionStore collections;
    LoadCollections(context, options.collectionsFolder, options.choices, collections);
    CTalkSelection selection(*talk, &collections);
    if (const int status = RunSelection(selection, options.choices); status != kExitOk)
        return status;
    std::vector<const CVeyQelTalkElm*> rows = MarkedRows(selection.Rows());
    options.outputs.album = selection.AlbumName();
    if (rows.empty())
        return Failure("no line is marked: nothing to export");

    if (const int status = RefuseInsideGame(context, outFolder, gameFolder); status != kExitOk)
        return status;
    set->KeepDataFileOpen(true);
    CLineExport exporter(*set, outFolder, std::move(rows), options.playMode, options.outputs);
    const unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    // The walk as one file, once every line is exported.
    CWalkFileExport walk(*set, {}, options.playMode, options.outputs.album);
    CProgressLine walkProgress("one file", exporter.LineCount());
    if (!options.oneFile.empty()) {
        walk.RenderAs(options.oneFile, jobs, [&](std::size_t linesDone) {
            walkProgress.Show(linesDone);
            return StopSignal() == 0;
        });
        exporter.AddOutput(walk);
    }
    if (Failure_T why; !exporter.Begin(why))
        return Failure("cannot create " + why.Describe());
    CProgressLine progress("export", exporter.LineCount());
    std::size_t reported = 0;
    auto reportFailures = [&] {
        for (; reported < exporter.Failures().size(); ++reported) {
            progress.Clear();
            Failure("cannot write " + exporter.Failures()[reported].Describe());
        }
    };
    // A signal stops the export as a cancel would: every thread's file is
    // finished or dropped, and the list names what was written.
    AskToStopOnSignals(true);
    exporter.Run(jobs, [&](std::size_t linesDone) {
        reportFailures();
        progress.Show(linesDone);
        return StopSignal() == 0;
    });
    progress.Clear();
    exporter.Finish();
    walkProgress.Clear();
    reportFailures();
    for (const Failure_T& why : exporter.RemovalFailures())
        Failure("cannot clear the earlier export: " + why.Describe());
    for (const CLineExport::CutClip_T& clip : exporter.CutClips())
        ReportClipCut(JoinPath(outFolder, clip.file), clip.seconds);
    const std::size_t failures = exporter.Failures().size() + exporter.RemovalFailures().size();
    const LineExportCounts_T& counts = exporter.Counts();
    std::fprintf(stderr,
                 "export: %zu lines, %zu voice files, %zu face files, %zu lines without clip, "
                 "%zu without picture, %zu failures\n",
                 counts.linesDone, counts.voiceFiles, counts.faceFiles, counts.linesWithoutClip,
                 counts.linesWithoutPicture, failures);
    if (const int signal = StopSignal(); signal != 0)
        return 128 + signal;
    return failures == 0 ? kExitOk : kExitFailed;
}

int CmdCheck(const Context_T& context, Args args)
{
    std::string gameFolder;
    std::string capturesFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--captures" && i + 1 < args.size())
            capturesFile = args[++i];
        else if (args[i].starts_with("-") || !gameFolder.empty())
            return UsageError("check takes GAME_FOLDER [--captures FILE]");
        else
            gameFolder = args[i];
    }
    if (gameFolder.empty())
        return UsageError("check takes GAME_FOLDER [--captures FILE]");

    const auto set = std::make_unique<CArchiveSet>();
    const auto talk = std::make_unique<CVeyQelTalk>();
    if (const int status = OpenGameOrFail(context, *set, gameFolder, {}, *talk); status != kExitOk)
        return status;
    if (!capturesFile.empty()) {
        if (const int status = LoadCapturesOrFail(*talk, capturesFile); status != kExitOk)
            return status;
    }
    std::uint64_t entries = 0;
    for (int n = 0; n < kArchiveCount; ++n)
        entries += set->NameCount(n);
    std::printf("archives\t%d\nentries\t%llu\ntalk_lines\t%zu\n", kArchiveCount,
                static_cast<unsigned long long>(entries), talk->GetCount());
    if (!capturesFile.empty())
        std::printf("capture_groups\t%zu\n", talk->CaptureNameCount());
    if (std::fflush(stdout) != 0)
        return Failure("cannot write standard output");
    return kExitOk;
}

}  // namespace tarnwick::cli
