// An advisory lock that writers of one file take on a file beside it, so
// that their read-modify-write steps never interleave.
#pragma once

#include <chrono>
#include <string>

#include "host/failure.h"
#include "host/file_writer.h"

namespace tarnwick {

class CFileLock {
public:
    // Takes an exclusive lock on the file at path, made if missing (never
    // through a link), waiting up to wait for another holder to let go:
    // one that never does must not keep a closing program from ending.
    // The file stays afterwards: were it removed, one writer could hold a
    // lock on the old file while another locks a new one.
    CFileLock(const std::string& path, std::chrono::milliseconds wait);

    bool Held() const { return fd.IsOpen(); }
    // Why the lock is not held: the path and the system's reason, or
    // "locked by another process" when the wait ran out.
    const Failure_T& Failure() const { return why; }

private:
    CFileDescriptor fd;
    Failure_T why;
};

}  // namespace tarnwick
