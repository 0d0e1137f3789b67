// Shared pieces of the command-line companion's subcommands.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_environment.h"

namespace tarnwick {
class CArchiveSet;
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

std::optional<std::vector<std::uint8_t>> ReadAllStdin();
bool WriteAllStdout(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// Points set at gameFolder (a Windows path is looked for under Wine) and the
// program folder, and opens archive n. Gives kExitOk, or the exit status
// after saying which file failed and why.
int OpenGameArchive(const Context_T& context, CArchiveSet& set, const std::string& gameFolder, int n);

// A whole decimal number, sign allowed, nothing else.
std::optional<int> ParseInt(std::string_view text);

// A whole decimal number within [0, max], nothing else.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t max);

}  // namespace tarnwick::cli
