// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer and the replay runner both treat an abort as a finding), and a
// little-endian field reader for inputs that carry parameters up front.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnwick::fuzz {

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Takes count (at most 4) bytes as a little-endian number, or fewer when the
// input runs out; the bytes taken are removed from the front.
inline std::uint32_t TakeLe(const std::uint8_t*& data, std::size_t& size, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count && size > 0; ++i, ++data, --size)
        value |= static_cast<std::uint32_t>(*data) << (8 * i);
    return value;
}

// A fresh folder for the process, in memory when the machine offers it,
// removed at exit (a crashing run leaves it behind). Never freed: the exit
// handler still needs the name after static destructors have run.
inline const std::string& ScratchFolder()
{
    static const std::string* const folder = new std::string([] {
        struct stat st;
        const char* base = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0
                               ? "/dev/shm"
                               : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        std::string path = std::string(base) + "/tarnwick-fuzz-XXXXXX";
        if (!::mkdtemp(path.data()))
            Fail("cannot make a scratch folder");
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return path;
    }());
    return *folder;
}

}  // namespace tarnwick::fuzz
