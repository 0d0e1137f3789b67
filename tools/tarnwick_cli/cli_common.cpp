#include "cli_common.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/host_path.h"
#include "host/windows_path.h"
#include "talk/decimal_value.h"
#include "app/collection_store.h"
#include "app/talk_selection.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"
#include "text_out.h"

namespace tarnwick::cli {

int UsageError(const std::string& message)
{
    std::cerr << "tarnwick-cli: " << MessageOut(message) << "\nTry 'tarnwick-cli --help'.\n";
    return kExitUsage;
}

int Failure(const std::string& message)
{
    std::cerr << "tarnwick-cli: " << MessageOut(message) << '\n';
    return kExitFailed;
}

void ReportClipCut(const std::string& file, std::uint64_t seconds)
{
    std::cerr << "tarnwick-cli: " << MessageOut(file) << ": the clip lasts longer than " << seconds << " s; only its first "
              << seconds << " s are written\n";
}

namespace {

// Reads fd to its end into bytes; gives 0, or the errno that stopped it:
// EFBIG, with bytes emptied, when it holds more than limit bytes, of which
// no more than one past the limit is read. A file is read into a buffer
// sized from it, by one read; a pipe, or a file that grows meanwhile, is
// read on to its end all the same.
int ReadToEnd(int fd, std::vector<std::uint8_t>& bytes, std::uint64_t limit)
{
    // One byte past the limit tells a larger input from one of the limit.
    const std::size_t most = static_cast<std::size_t>(std::min<std::uint64_t>(limit, SIZE_MAX - 1)) + 1;
    const auto tooLarge = [&bytes] {
        std::vector<std::uint8_t>().swap(bytes);
        return EFBIG;
    };
    try {
        struct stat st {};
        const bool sized = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
        if (sized && static_cast<std::uint64_t>(st.st_size) > limit)
            return tooLarge();
        bytes.resize(std::min(sized ? static_cast<std::size_t>(st.st_size) + 1 : std::size_t{1} << 16, most));
        std::size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (filled == most)
                    return tooLarge();
                // Exactly what is wanted: a vector left to grow by itself
                // would double past the limit.
                const std::size_t next = std::min(bytes.size() * 2, most);
                bytes.reserve(next);
                bytes.resize(next);
            }
            const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                bytes.resize(filled);
                return n < 0 ? errno : 0;
            }
            filled += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (const std::length_error&) {
        return ENOMEM;
    }
}

// Why reading subject failed: error's reason, or for EFBIG the limit it
// passed.
Failure_T InputFailure(std::string subject, int error, std::uint64_t limit)
{
    Failure_T why = Failure_T::System(std::move(subject), error);
    if (error == EFBIG) {
        why.errorNumber = 0;
        why.detail = "larger than " + (limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " MiB"
                                                                 : std::to_string(limit) + " bytes");
    }
    return why;
}

// Opens a named input, refusing without blocking what is no regular file:
// the descriptor, or -1 with the reason in why.
int OpenInput(const std::string& path, Failure_T& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        why = Failure_T::System(path, errno);
        return -1;
    }
    struct stat st;
    int error = ::fstat(fd, &st) != 0 ? errno : 0;
    if (error == 0 && S_ISDIR(st.st_mode))
        error = EISDIR;
    if (error == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = Failure_T::System(path, 0);
        why.detail = "not a regular file (use - for standard input)";
        return -1;
    }
    if (error != 0) {
        ::close(fd);
        why = Failure_T::System(path, error);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadAllStdin(std::uint64_t limit)
{
    std::vector<std::uint8_t> bytes;
    if (ReadToEnd(STDIN_FILENO, bytes, limit) != 0)
        return std::nullopt;
    return bytes;
}

bool ReadInputFile(const std::string& path, std::vector<std::uint8_t>& bytes, Failure_T& why, std::uint64_t limit)
{
    if (path == "-") {
        const int error = ReadToEnd(STDIN_FILENO, bytes, limit);
        why = InputFailure("standard input", error, limit);
        return error == 0;
    }
    const int fd = OpenInput(path, why);
    if (fd < 0)
        return false;
    const int error = ReadToEnd(fd, bytes, limit);
    ::close(fd);
    why = InputFailure(path, error, limit);
    return error == 0;
}

int ReadInputOrFail(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t limit)
{
    Failure_T why;
    if (!ReadInputFile(path, bytes, why, limit))
        return Failure("cannot read " + why.Describe());
    return kExitOk;
}

int WriteOutputFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    if (path == "-")
        return WriteAllStdout(bytes) ? kExitOk : Failure("cannot write standard output: " + std::string(std::strerror(errno)));
    Failure_T why;
    if (!WriteFileAtomically(path, bytes, why))
        return Failure("cannot write " + why.Describe());
    return kExitOk;
}

int LoadCapturesOrFail(CVeyQelTalk& talk, const std::string& path)
{
    // Standard input may be a pipe, which the list reader (regular files
    // only) would refuse: it is read here and handed over as text.
    if (path == "-") {
        std::vector<std::uint8_t> text;
        if (const int error = ReadToEnd(STDIN_FILENO, text, kMaxCaptureListBytes); error != 0)
            return Failure("cannot read " + InputFailure("standard input", error, kMaxCaptureListBytes).Describe());
        talk.LoadCaptureListText({reinterpret_cast<const char*>(text.data()), text.size()});
        return kExitOk;
    }
    // Checked first so that a folder, a FIFO or a file larger than any
    // capture list is refused with its reason.
    Failure_T why;
    const int fd = OpenInput(path, why);
    if (fd < 0)
        return Failure("cannot read " + why.Describe());
    struct stat st {};
    const bool tooLarge = ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > kMaxCaptureListBytes;
    ::close(fd);
    if (tooLarge)
        return Failure("cannot read " + InputFailure(path, EFBIG, kMaxCaptureListBytes).Describe());
    if (!talk.LoadCaptureListFile(path))
        return Failure("cannot read " + Failure_T::System(path, errno).Describe());
    return kExitOk;
}

bool IsSelectionChoice(const std::string& argument)
{
    for (const std::string_view kind : {"capture=", "item=", "search=", "speaker=", "collection="}) {
        if (argument.starts_with(kind))
            return true;
    }
    return false;
}

int RunSelection(CTalkSelection& selection, const std::vector<std::string>& choices)
{
    selection.Fill();
    for (const std::string& choice : choices) {
        const std::string value = choice.substr(choice.find('=') + 1);
        if (choice.starts_with("search=")) {
            selection.SetSearch(value);
            continue;
        }
        if (choice.starts_with("speaker=")) {
            std::optional<std::string> cast;
            if (!value.empty() && !(cast = Utf8ToCp932(value)))
                return UsageError(choice + ": not a name the game can hold");
            selection.ChooseSpeaker(std::move(cast));
            continue;
        }
        if (choice.starts_with("collection=")) {
            const int entry = selection.CollectionEntry(value);
            if (entry < 0) {
                const CCollectionStore* store = selection.Collections();
                return Failure("no collection named " + value + (store ? " in " + store->Folder() : std::string()));
            }
            selection.ChooseCapture(entry);
            continue;
        }
        const bool isCapture = choice.starts_with("capture=");
        const CSelectorModel& combo = isCapture ? selection.CaptureChoices() : selection.ItemChoices();
        const std::optional<std::uint64_t> index = ParseUnsigned(value, 1u << 30);
        if (!index || static_cast<int>(*index) >= combo.Count())
            return UsageError(choice + ": the selector has " + std::to_string(combo.Count()) + " entries");
        if (isCapture)
            selection.ChooseCapture(static_cast<int>(*index));
        else
            selection.ChooseItem(static_cast<int>(*index));
    }
    return kExitOk;
}

void LoadCollections(const Context_T& context, const std::string& folder, const std::vector<std::string>& choices,
                     CCollectionStore& store)
{
    const bool chosen = std::any_of(choices.begin(), choices.end(),
                                    [](const std::string& c) { return c.starts_with("collection="); });
    if (folder.empty() && !chosen)
        return;
    store = CCollectionStore(folder.empty() ? JoinPath(context.programFolder, kCollectionsFolder) : folder);
    store.Load();
    for (const Failure_T& why : store.Problems())
        Failure("collection not used, left as it is: " + why.Describe());
}

bool WriteAllStdout(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int FlushStdout()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Failure("cannot write standard output");
    return kExitOk;
}

GameRequest_T GameRequestFor(const Context_T& context, const std::string& gameFolder)
{
    GameRequest_T request;
    request.folder = HostFolderFor(gameFolder, context.environment);
    request.programFolder = context.programFolder;
    return request;
}

int OpenGameArchive(const Context_T& context, CArchiveSet& set, const std::string& gameFolder, int n)
{
    GameRequest_T request = GameRequestFor(context, gameFolder);
    request.archives = {n};
    request.talkTable = false;
    if (GameFailure_T failed; !OpenGameArchives(request, set, failed))
        return Failure("cannot open archive " + std::to_string(n) + ": " + failed.why.Describe());
    return kExitOk;
}

int OpenArchiveArgs(const Context_T& context, CArchiveSet& set, Args args, int& n)
{
    const std::optional<std::uint64_t> number = ParseUnsigned(args[1], kArchiveCount - 1);
    if (!number)
        return UsageError("ARCHIVE_NUMBER must be a number from 0 to 107");
    n = static_cast<int>(*number);
    return OpenGameArchive(context, set, args[0], n);
}

namespace {

// The real path of path's nearest existing ancestor (path itself when it
// exists), joined with the rest.
std::string RealPathOf(const std::string& path)
{
    std::string existing = path.empty() ? "." : path;
    std::string rest;
    for (;;) {
        if (char* real = ::realpath(existing.c_str(), nullptr)) {
            std::string joined = JoinPath(real, rest);
            std::free(real);
            return joined;
        }
        const std::size_t slash = existing.find_last_of('/');
        if (slash == std::string::npos) {
            rest = JoinPath(existing, rest);
            existing = ".";
            continue;
        }
        if (slash == 0)
            return path;
        rest = JoinPath(existing.substr(slash + 1), rest);
        existing = existing.substr(0, slash);
    }
}

// Whether folder holds every archive's index and data file, letter case
// aside: the whole game, not a folder made of a few packed archives.
bool HoldsEveryArchive(const std::string& folder)
{
    const auto present = [&folder](const std::string& relative) {
        const std::optional<std::string> path = ResolveUnder(folder, relative);
        struct stat st {};
        return path && ::stat(path->c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    for (int n = 0; n < kArchiveCount; ++n) {
        if (!present(ArchiveHedPaths()[n]) || !present(ArchiveDatPaths()[n]))
            return false;
    }
    return true;
}

}  // namespace

int RefuseInsideGame(const Context_T& context, const std::string& folder, const std::string& gameFolder)
{
    const std::string game = RealPathOf(HostFolderFor(gameFolder, context.environment));
    const std::string target = RealPathOf(folder);
    if (target == game || target.starts_with(game.back() == '/' ? game : game + "/"))
        return Failure(folder + " lies inside the game folder " + gameFolder + ": nothing is written there");
    return kExitOk;
}

std::optional<std::string> GameFolderAbove(const std::string& start)
{
    std::string folder = RealPathOf(start);
    for (;;) {
        if (HoldsEveryArchive(folder))
            return folder;
        if (folder == "/" || folder.empty())
            return std::nullopt;
        folder = ParentFolder(folder);
    }
}

CProgressLine::CProgressLine(std::string w, std::size_t t)
    : what(std::move(w)), total(t), terminal(::isatty(STDERR_FILENO) == 1)
{
}

void CProgressLine::Show(std::size_t done)
{
    if (!terminal)
        return;
    std::fprintf(stderr, "\r%s: %zu/%zu", what.c_str(), done, total);
    std::fflush(stderr);
    shown = true;
}

void CProgressLine::Clear()
{
    if (shown)
        std::fputs("\r\033[K", stderr);
    shown = false;
}

std::optional<int> ParseInt(std::string_view text)
{
    return WholeDecimalInt(text);
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t max)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > max)
        return std::nullopt;
    return value;
}

}  // namespace tarnwick::cli
