#include "host/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tarnwick {

namespace {

// Why the lock file did not open: a link in its place is named as such.
Failure_T OpenFailure(const std::string& path, int error)
{
    struct stat st;
    if (error == ELOOP && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return Failure_T::Refused(path, "a symbolic link, not followed");
    return Failure_T::System(path, error);
}

}  // namespace

CFileLock::CFileLock(const std::string& path, std::chrono::milliseconds wait)
{
    fd.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666));
    // Another user's lock file will do: locking needs no write access.
    if (!fd.IsOpen() && errno == EACCES)
        fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (!fd.IsOpen()) {
        why = OpenFailure(path, errno);
        return;
    }
    // Polled rather than blocking: nothing else wakes a blocked flock in
    // time, and a signal handler could be caught by any other thread.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    std::chrono::milliseconds pause(1);
    while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        const Clock::time_point now = Clock::now();
        if (error != EWOULDBLOCK || now >= deadline) {
            why = error == EWOULDBLOCK ? Failure_T::Refused(path, "locked by another process")
                                       : Failure_T::System(path, error);
            fd.Reset();
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

}  // namespace tarnwick
