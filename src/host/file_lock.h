// An advisory lock that writers of one file take on a file beside it, so
// that their read-modify-write steps never interleave.
#pragma once

#include <string>

#include "host/file_writer.h"

namespace tarnwick {

class CFileLock {
public:
    // Takes an exclusive lock on the file at path, made if missing (never
    // through a link), waiting for another holder to let go. The file stays
    // afterwards: were it removed, one writer could hold a lock on the old
    // file while another locks a new one.
    explicit CFileLock(const std::string& path);

    bool Held() const { return fd.IsOpen(); }

private:
    CFileDescriptor fd;
};

}  // namespace tarnwick
