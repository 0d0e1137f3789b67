// Shared pieces of the command-line companion's subcommands.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/game_folder.h"
#include "host/failure.h"
#include "host/host_environment.h"

namespace tarnwick {
class CArchiveSet;
class CCollectionStore;
class CTalkSelection;
class CVeyQelTalk;
}

namespace tarnwick::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the operation gave false or found nothing
inline constexpr int kExitUsage = 2;

using Args = std::span<const std::string>;

// What main finds once and every subcommand may need.
struct Context_T {
    std::string programFolder;  // the first base of loose override files
    HostEnvironment_T environment;  // where a Windows game path is looked for
};

// Prints "tarnwick-cli: message" on stderr and gives kExitUsage.
int UsageError(const std::string& message);
// Prints "tarnwick-cli: message" on stderr and gives kExitFailed.
int Failure(const std::string& message);
// Says on stderr that file holds only the first seconds of a clip that
// lasts longer (the most a clip plays); not a failure.
void ReportClipCut(const std::string& file, std::uint64_t seconds);

// All of standard input; nothing when it cannot be read or holds more than
// limit bytes (the most that what reads it takes), past which it is not read.
std::optional<std::vector<std::uint8_t>> ReadAllStdin(std::uint64_t limit);
bool WriteAllStdout(std::span<const std::uint8_t> bytes);
// Flushes what was printed to standard output: kExitOk, or the exit status
// after saying it could not be written (a full disk shows only here).
int FlushStdout();

// The whole of a named input file, "-" for standard input. Only a regular
// file is read by name (a folder or FIFO is refused without blocking); it
// is read to its end, however it changes meanwhile, but an input of more
// than limit bytes (the most that what reads it takes) is refused once
// that much is read. On false why names the path and the reason.
bool ReadInputFile(const std::string& path, std::vector<std::uint8_t>& bytes, Failure_T& why, std::uint64_t limit);
// ReadInputFile, or the exit status after saying why it failed.
int ReadInputOrFail(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t limit);
// Writes bytes to path atomically ("-" for standard output); the folder
// must exist. Gives kExitOk, or the exit status after saying why not.
int WriteOutputFile(const std::string& path, std::span<const std::uint8_t> bytes);
// Reads the capture list at path ("-" for standard input) into talk. A file
// that cannot be read, or is larger than any capture list, is a failure:
// gives the exit status after saying why.
int LoadCapturesOrFail(CVeyQelTalk& talk, const std::string& path);

// Whether an argument is one of RunSelection's choices.
bool IsSelectionChoice(const std::string& argument);
// The window's selection without a window: the selectors and the list as
// start-up fills them, then each choice in order as the user would make
// it: "capture=INDEX", "item=INDEX", "search=WORDS", "speaker=NAME" (the
// exact cast, UTF-8; "speaker=" for all) and "collection=NAME" (UTF-8).
// Gives kExitOk, a usage error's status, or a failure's for a collection
// that is not there.
int RunSelection(CTalkSelection& selection, const std::vector<std::string>& choices);

// The collections of folder (the settings home's, when empty), each file
// that cannot be used reported once on stderr; read only when a folder is
// named or a choice is a collection's.
void LoadCollections(const Context_T& context, const std::string& folder, const std::vector<std::string>& choices,
                     CCollectionStore& store);

// What opening gameFolder asks as the user typed it (a Windows path is
// looked for under Wine), with the program folder for loose overrides: all
// archives and the talk table, until the caller says otherwise.
GameRequest_T GameRequestFor(const Context_T& context, const std::string& gameFolder);

// Points set at gameFolder (a Windows path is looked for under Wine) and the
// program folder, and opens archive n. Gives kExitOk, or the exit status
// after saying which file failed and why.
int OpenGameArchive(const Context_T& context, CArchiveSet& set, const std::string& gameFolder, int n);

// Opens archive args[1] (a number from 0 to 107) of game folder args[0].
// Gives kExitOk and the number in n, or the exit status after saying what
// went wrong.
int OpenArchiveArgs(const Context_T& context, CArchiveSet& set, Args args, int& n);

// Gives kExitOk when folder lies outside gameFolder (a Windows path is
// looked for under Wine), else the exit status after saying so: what the
// tools write never goes into the game folder. folder need not exist yet.
int RefuseInsideGame(const Context_T& context, const std::string& folder, const std::string& gameFolder);

// The nearest folder at or above folder that holds the game: every one of
// the 108 archives, index and data file, at its place (letter case aside).
// For a command that names no game folder and must not write into one;
// folder need not exist yet.
std::optional<std::string> GameFolderAbove(const std::string& folder);

// Draws "what: done/total" over itself on stderr while stderr is a
// terminal; Clear removes it before other messages.
class CProgressLine {
public:
    CProgressLine(std::string what, std::size_t total);
    void Show(std::size_t done);
    void Clear();

private:
    std::string what;
    std::size_t total;
    bool shown = false;
    bool terminal;
};

// A whole decimal number, sign allowed, nothing else.
std::optional<int> ParseInt(std::string_view text);

// A whole decimal number within [0, max], nothing else.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t max);

}  // namespace tarnwick::cli
