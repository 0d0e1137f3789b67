// extract: an archive's entries as ordinary files, the archive opened once.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "cli_common.h"
#include "commands.h"
#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/host_path.h"
#include "host/ordered_run.h"
#include "sound/voice_output.h"
#include "text_out.h"

namespace tarnwick::cli {

namespace {

struct ExtractArgs_T {
    std::vector<std::string> positional;  // GAME_FOLDER ARCHIVE_NUMBER NAME...
    std::string folder = ".";
    bool raw = false;
    bool verbose = false;
};

int ParseExtractArgs(Args args, ExtractArgs_T& out)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-C") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return UsageError("-C takes the folder to write into");
            out.folder = args[++i];
        } else if (a == "--raw") {
            out.raw = true;
        } else if (a == "-v") {
            out.verbose = true;
        } else if (a.starts_with("--")) {
            return UsageError("extract: unknown option " + a);
        } else {
            out.positional.push_back(a);  // names may start with "-"
        }
    }
    if (out.positional.size() < 2)
        return UsageError("extract takes GAME_FOLDER ARCHIVE_NUMBER [NAME...] [-C DIR] [--raw] [-v]");
    return kExitOk;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The file an entry goes to under the folder: its stored name decoded to
// UTF-8 first (so that a 0x5C trail byte stays part of its character, and
// a byte that is no character becomes %HH), then "\\" and "/" as folder
// separators. Nothing for a name that is empty or has an empty, "." or ".."
// component: it could land outside the folder or on the folder itself. A
// voice clip becomes an Ogg file named ".ogg".
std::optional<std::string> ExtractPathFor(std::string_view storedName, bool voiceClip)
{
    std::string name = Cp932ToFileName(storedName);
    if (voiceClip)
        name = name.substr(0, name.size() - 3) + ".ogg";
    std::string path;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("\\/", pos);
        const std::string_view part = std::string_view(name).substr(pos, end == std::string::npos ? end : end - pos);
        if (part.empty() || part == "." || part == "..")
            return std::nullopt;
        path += part;
        if (end == std::string::npos)
            return path;
        path += '/';
        pos = end + 1;
    }
}

// Writes the entries on several threads, each reading with its own state
// over the same archive; what each gave is taken in list order on the
// calling thread, so messages, counts and -v lines come as from one
// thread.
class CExtractRun {
public:
    CExtractRun(CArchiveSet& s, int a, const ExtractArgs_T& o) : set(s), archive(a), args(o) {}

    void WriteAll(const std::vector<std::uint32_t>& entries, unsigned jobs)
    {
        std::vector<Task_T> tasks;
        tasks.reserve(entries.size());
        for (const std::uint32_t k : entries)
            tasks.push_back(Plan(k));
        std::vector<Outcome_T> outcomes(tasks.size());
        std::size_t taken = 0;
        // A signal stops the threads after the files in hand, each finished
        // or dropped.
        AskToStopOnSignals(true);
        RunInOrder<CArchiveSet>(
            tasks.size(), {.jobs = jobs},
            [this] {
                auto reader = std::make_unique<CArchiveSet>();
                reader->ReadThrough(set);
                reader->KeepDataFileOpen(true);
                return reader;
            },
            set,
            [&](std::size_t i, CArchiveSet& reader) {
                if (tasks[i].message.empty())
                    outcomes[i] = Write(reader, tasks[i]);
                return true;
            },
            [&](std::size_t i) {
                Take(tasks[i], outcomes[i]);
                taken = i + 1;
            },
            [&] {
                progress.Show(taken);
                return StopSignal() == 0;
            });
    }

    void Fail(const std::string& message)
    {
        progress.Clear();
        Failure(message);
        ++failures;
    }

    CArchiveSet& set;
    int archive;
    const ExtractArgs_T& args;
    CWriteFolder out;
    CProgressLine progress{"extract", 0};
    std::size_t fileCount = 0;
    std::uint64_t byteCount = 0;
    std::size_t failures = 0;
    std::size_t repeatedNames = 0;

private:
    // Entry k and the file it goes to, or why it gets none.
    struct Task_T {
        std::uint32_t k = 0;
        bool voiceClip = false;
        std::string relative;
        std::string message;
    };
    struct Outcome_T {
        std::string message;         // empty: written
        bool folderRefused = false;  // the failure is its folder's
        bool interrupted = false;    // a signal stopped it: dropped, unsaid
        std::uint64_t length = 0;
    };

    // Names are checked in list order, before any thread writes.
    Task_T Plan(std::uint32_t k)
    {
        Task_T task{k};
        const std::string_view stored = set.NameAt(archive, k - 1);
        task.voiceClip = !args.raw && (archive == kLongVoiceArchive || archive == kShortVoiceArchive) &&
                         EndsWithNoCase(stored, ".vc");
        const std::string entry = "entry " + std::to_string(k) + " (" + Cp932ToFileName(stored) + ")";
        const std::optional<std::string> relative = ExtractPathFor(stored, task.voiceClip);
        if (!relative) {
            task.message = entry + ": not a name that can be written under " + args.folder;
            return task;
        }
        // Names that differ as stored may still give one file (code page
        // 932 has characters twice): the first keeps it.
        if (const auto [first, added] = written.emplace(*relative, k); !added) {
            task.message = entry + ": " + *relative + " was written for entry " + std::to_string(first->second);
            return task;
        }
        task.relative = *relative;
        return task;
    }

    // Writes entry k under the stored name that names its file; safe on
    // several threads, each with its own reader.
    Outcome_T Write(CArchiveSet& reader, const Task_T& task)
    {
        Outcome_T outcome;
        Failure_T why;
        CAtomicFile file;
        if (!file.Open(out, task.relative, why)) {
            outcome.folderRefused = why.subject != JoinPath(args.folder, task.relative);
            outcome.message = "cannot write " + why.Describe();
            return outcome;
        }
        bool writeFailed = false;
        const bool copied = reader.CopyEntryNumber(
            archive, task.k,
            [&](std::span<std::uint8_t> block) {
                // A large file does not hold up a stop.
                if (StopSignal() != 0) {
                    outcome.interrupted = true;
                    return false;
                }
                outcome.length += block.size();
                if (task.voiceClip)
                    InvertVoiceBytes(block.data(), static_cast<std::uint32_t>(block.size()));
                writeFailed = !file.Write(block, why);
                return !writeFailed;
            },
            kMaxCopyDecodedBytes);
        if (outcome.interrupted)
            return outcome;
        if (writeFailed)
            outcome.message = "cannot write " + why.Describe();
        else if (!copied)
            outcome.message = "cannot read entry: " + reader.LastFailure().Describe();
        else if (!file.Commit(why))
            outcome.message = "cannot write " + why.Describe();
        return outcome;
    }

    void Take(const Task_T& task, const Outcome_T& outcome)
    {
        if (!task.message.empty())
            return Fail(task.message);
        if (outcome.interrupted)
            return;
        const std::string folder = ParentFolder(task.relative);
        if (refusedFolders.contains(folder)) {
            ++failures;  // said once for the folder
            return;
        }
        if (outcome.folderRefused)
            refusedFolders.insert(folder);
        if (!outcome.message.empty())
            return Fail(outcome.message);
        ++fileCount;
        byteCount += outcome.length;
        if (args.verbose)
            std::printf("%s\n", PathOut(JoinPath(args.folder, task.relative)).c_str());
    }

    std::unordered_map<std::string, std::uint32_t> written;  // file to the entry it holds
    std::unordered_set<std::string> refusedFolders;
};

}  // namespace

int CmdExtract(const Context_T& context, Args args)
{
    ExtractArgs_T options;
    if (const int status = ParseExtractArgs(args, options); status != kExitOk)
        return status;
    const auto set = std::make_unique<CArchiveSet>();
    int n = 0;
    if (const int status = OpenArchiveArgs(context, *set, options.positional, n); status != kExitOk)
        return status;
    if (const int status = RefuseInsideGame(context, options.folder, options.positional[0]); status != kExitOk)
        return status;
    CExtractRun run(*set, n, options);
    // The game folder is only read, wherever a name would put a file.
    run.out.Refuse(set->GameFolder());
    if (Failure_T why; !run.out.Open(options.folder, why))
        return Failure("cannot create " + why.Describe());
    set->KeepDataFileOpen(true);

    // The entries in directory order; a name met again (in any letter case)
    // is the entry already written, as a read by name would find it.
    std::vector<std::uint32_t> entries;
    if (options.positional.size() == 2) {
        std::unordered_set<std::string> seen;
        for (std::uint32_t i = 0; i < set->NameCount(n); ++i) {
            if (seen.insert(LowerAscii(set->NameAt(n, i))).second)
                entries.push_back(i + 1);
            else
                ++run.repeatedNames;
        }
    } else {
        std::unordered_set<std::uint32_t> seen;
        for (std::size_t i = 2; i < options.positional.size(); ++i) {
            const std::string& name = options.positional[i];
            const std::uint32_t k = set->FindEntry(n, name);
            if (k == 0)
                run.Fail(name + " is not in archive " + std::to_string(n));
            else if (seen.insert(k).second)
                entries.push_back(k);
        }
    }

    run.progress = CProgressLine("extract", entries.size());
    run.WriteAll(entries, std::max(1u, std::thread::hardware_concurrency()));
    run.progress.Clear();
    const bool stdoutOk = std::fflush(stdout) == 0;
    std::fprintf(stderr, "extract: %zu files written, %llu bytes, %zu failures, %zu repeated names skipped\n",
                 run.fileCount, static_cast<unsigned long long>(run.byteCount), run.failures, run.repeatedNames);
    if (!stdoutOk)
        return Failure("cannot write standard output");
    if (set->NameCount(n) == 0)
        return Failure("the archive holds no entries");
    if (const int signal = StopSignal(); signal != 0)
        return 128 + signal;
    return run.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace tarnwick::cli
