// extract: an archive's entries as ordinary files, the archive opened once.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
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

class CExtractRun {
public:
    CExtractRun(CArchiveSet& s, int a, const ExtractArgs_T& o) : set(s), archive(a), args(o) {}

    // Writes entry k (1-based) under the stored name that names its file.
    void WriteEntry(std::uint32_t k)
    {
        const std::string_view stored = set.NameAt(archive, k - 1);
        const bool voiceClip = !args.raw && (archive == kLongVoiceArchive || archive == kShortVoiceArchive) &&
                               EndsWithNoCase(stored, ".vc");
        const std::string entry = "entry " + std::to_string(k) + " (" + Cp932ToFileName(stored) + ")";
        const std::optional<std::string> relative = ExtractPathFor(stored, voiceClip);
        if (!relative)
            return Fail(entry + ": not a name that can be written under " + args.folder);
        // Names that differ as stored may still give one file (code page
        // 932 has characters twice): the first keeps it.
        if (const auto [first, added] = written.emplace(*relative, k); !added)
            return Fail(entry + ": " + *relative + " was written for entry " + std::to_string(first->second));
        const std::string folder = ParentFolder(*relative);
        if (refusedFolders.contains(folder)) {
            ++failures;  // said once for the folder
            return;
        }
        Failure_T why;
        CAtomicFile file;
        if (!file.Open(out, *relative, why)) {
            if (why.subject != JoinPath(args.folder, *relative))
                refusedFolders.insert(folder);
            return Fail("cannot write " + why.Describe());
        }
        std::uint64_t length = 0;
        bool writeFailed = false;
        const bool copied = set.CopyEntryNumber(
            archive, k,
            [&](std::span<std::uint8_t> block) {
                length += block.size();
                if (voiceClip)
                    InvertVoiceBytes(block.data(), static_cast<std::uint32_t>(block.size()));
                writeFailed = !file.Write(block, why);
                return !writeFailed;
            },
            kMaxCopyDecodedBytes);
        if (writeFailed)
            return Fail("cannot write " + why.Describe());
        if (!copied)
            return Fail("cannot read entry: " + set.LastFailure().Describe());
        if (!file.Commit(why))
            return Fail("cannot write " + why.Describe());
        ++fileCount;
        byteCount += length;
        if (args.verbose)
            std::printf("%s\n", PathOut(JoinPath(args.folder, *relative)).c_str());
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
    std::unordered_map<std::string, std::uint32_t> written;  // file to the entry it holds
    std::unordered_set<std::string> refusedFolders;
    CProgressLine progress{"extract", 0};
    std::size_t fileCount = 0;
    std::uint64_t byteCount = 0;
    std::size_t failures = 0;
    std::size_t repeatedNames = 0;
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
    for (std::size_t i = 0; i < entries.size(); ++i) {
        run.WriteEntry(entries[i]);
        if (i % 64 == 0)
            run.progress.Show(i);
    }
    run.progress.Clear();
    const bool stdoutOk = std::fflush(stdout) == 0;
    std::fprintf(stderr, "extract: %zu files written, %llu bytes, %zu failures, %zu repeated names skipped\n",
                 run.fileCount, static_cast<unsigned long long>(run.byteCount), run.failures, run.repeatedNames);
    if (!stdoutOk)
        return Failure("cannot write standard output");
    if (set->NameCount(n) == 0)
        return Failure("the archive holds no entries");
    return run.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace tarnwick::cli
