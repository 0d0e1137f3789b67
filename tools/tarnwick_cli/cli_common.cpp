#include "cli_common.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "archive/archive_set.h"
#include "host/windows_path.h"

namespace tarnwick::cli {

int UsageError(const std::string& message)
{
    std::cerr << "tarnwick-cli: " << message << "\nTry 'tarnwick-cli --help'.\n";
    return kExitUsage;
}

int Failure(const std::string& message)
{
    std::cerr << "tarnwick-cli: " << message << '\n';
    return kExitFailed;
}

std::optional<std::vector<std::uint8_t>> ReadAllStdin()
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
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

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

int OpenGameArchive(const Context_T& context, CArchiveSet& set, const std::string& gameFolder, int n)
{
    set.SetGameFolder(HostFolderFor(gameFolder, context.environment));
    set.SetProgramFolder(context.programFolder);
    if (!set.OpenArchive(n))
        return Failure("cannot open archive " + std::to_string(n) + ": " + set.LastFailure().Describe());
    return kExitOk;
}

std::optional<int> ParseInt(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
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
