#include "host/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace tarnwick {

CFileLock::CFileLock(const std::string& path)
{
    fd.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666));
    // Another user's lock file will do: locking needs no write access.
    if (!fd.IsOpen() && errno == EACCES)
        fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (!fd.IsOpen())
        return;
    while (::flock(fd.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            fd.Reset();
            return;
        }
    }
}

}  // namespace tarnwick
