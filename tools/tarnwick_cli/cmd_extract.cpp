// extract: an archive's entries as ordinary files, the archive opened once.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
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
// UTF-8 first (so that a 0x5C trail byte stays part of its character), then
// "\" and "/" as folder separators. Nothing for a name that is empty or has
// an empty, "." or ".." component: it could land outside the folder or on
// the folder itself. A voice clip becomes an Ogg file named ".ogg".
std::optional<std::string> ExtractPathFor(std::string_view storedName, bool voiceClip)
{
    std::string name = Cp932ToUtf8(storedName);
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
        const std::optional<std::string> relative = ExtractPathFor(stored, voiceClip);
        if (!relative)
            return Fail("entry " + std::to_string(k) + " (" + Cp932ToUtf8(stored) +
                        "): not a name that can be written under " + args.folder);
        std::uint32_t length = 0;
        if (!set.ReadEntryNumber(archive, k, &length))
            return Fail("cannot read entry: " + set.LastFailure().Describe());
        std::uint8_t* bytes = set.Buffer();
        if (voiceClip)
            InvertVoiceBytes(bytes, length);
        const std::string path = JoinPath(args.folder, *relative);
        Failure_T why;
        const std::string parent = ParentFolder(path);
        if (!parent.empty() && !madeFolders.contains(parent)) {
            if (!MakeFolders(parent, why))
                return Fail("cannot create " + why.Describe());
            madeFolders.insert(parent);
        }
        if (!WriteFileAtomically(path, {bytes, length}, why))
            return Fail("cannot write " + why.Describe());
        ++written;
        byteCount += length;
        if (args.verbose)
            std::printf("%s\n", path.c_str());
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
    std::unordered_set<std::string> madeFolders;
    CProgressLine progress{"extract", 0};
    std::size_t written = 0;
    std::uint64_t byteCount = 0;
    std::size_t failures = 0;
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
    Failure_T why;
    if (!MakeFolders(options.folder, why))
        return Failure("cannot create " + why.Describe());
    set->KeepDataFileOpen(true);

    // The entries in directory order; a name met again (in any letter case)
    // is the entry already written, as a read by name would find it.
    std::vector<std::uint32_t> entries;
    CExtractRun run(*set, n, options);
    if (options.positional.size() == 2) {
        std::unordered_set<std::string> seen;
        for (std::uint32_t i = 0; i < set->NameCount(n); ++i) {
            if (seen.insert(LowerAscii(set->NameAt(n, i))).second)
                entries.push_back(i + 1);
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
    std::fprintf(stderr, "extract: %zu files written, %llu bytes, %zu failures\n", run.written,
                 static_cast<unsigned long long>(run.byteCount), run.failures);
    if (!stdoutOk)
        return Failure("cannot write standard output");
    if (set->NameCount(n) == 0)
        return Failure("the archive holds no entries");
    return run.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace tarnwick::cli
