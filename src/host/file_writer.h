// Writing files so that a reader never sees half of one: the bytes go to a
// temporary file beside the target, which is renamed over the target only
// once complete. An interrupted or failed write leaves the old file (or
// none) and no temporary behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/failure.h"

namespace tarnwick {

// Creates folder and its missing parents, as "mkdir -p" does. An existing
// folder is fine; anything else in the way is a failure naming it.
bool MakeFolders(const std::string& folder, Failure_T& failure);

// One file being written. The target's folder must exist: a missing one is
// a failure, not made silently. A target that exists and is not a regular
// file (a folder, FIFO or device) is refused; a symbolic link is followed,
// so the file it names is the one replaced.
class CAtomicFile {
public:
    CAtomicFile() = default;
    // Removes the temporary file unless Commit succeeded.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Starts a new file for path, dropping any unfinished one.
    bool Open(const std::string& path, Failure_T& failure);
    bool Write(std::span<const std::uint8_t> bytes, Failure_T& failure);
    // Closes the file and renames it over the target. With sync the bytes
    // reach the disk first, so a crash cannot leave an empty file there.
    bool Commit(Failure_T& failure, bool sync = false);
    // Drops the unfinished file.
    void Abandon();

    const std::string& Path() const { return target; }

private:
    bool Fail(Failure_T& failure, int error);

    int fd = -1;
    std::string target;     // the path as given, for messages
    std::string finalPath;  // where the rename goes (a link's target)
    std::string tempPath;
};

// The whole file at once, through CAtomicFile.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, Failure_T& failure,
                         bool sync = false);

}  // namespace tarnwick
