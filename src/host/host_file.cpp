#include "host/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick {

CHostFile::~CHostFile()
{
    if (fd >= 0)
        ::close(fd);
}

bool CHostFile::Open(const std::string& path)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    error = 0;
    notRegular = false;
    const int f = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);  // a FIFO must not block us
    if (f < 0) {
        error = errno;
        return false;
    }
    struct stat st;
    if (::fstat(f, &st) != 0) {
        error = errno;
        ::close(f);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            error = EISDIR;
        else
            notRegular = true;
        ::close(f);
        return false;
    }
    ::fcntl(f, F_SETFL, ::fcntl(f, F_GETFL) & ~O_NONBLOCK);
    fd = f;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool CHostFile::Seek(std::uint64_t offset)
{
    if (fd < 0 || offset > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        error = errno;
        return false;
    }
    return true;
}

namespace {

// Reads until count bytes, the end, or an error (kept in error): readSome
// reads one slice at a given distance from the start.
template <typename ReadSome>
std::uint64_t ReadFully(void* dst, std::uint64_t count, int& error, ReadSome readSome)
{
    auto* p = static_cast<unsigned char*>(dst);
    std::uint64_t done = 0;
    while (done < count) {
        const std::uint64_t chunk = count - done < (1u << 30) ? count - done : (1u << 30);
        const ssize_t got = readSome(p + done, static_cast<std::size_t>(chunk), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        done += static_cast<std::uint64_t>(got);
    }
    return done;
}

}  // namespace

std::uint64_t CHostFile::Read(void* dst, std::uint64_t count)
{
    if (fd < 0)
        return 0;
    return ReadFully(dst, count, error,
                     [this](unsigned char* to, std::size_t n, std::uint64_t) { return ::read(fd, to, n); });
}

std::uint64_t CHostFile::ReadAt(std::uint64_t offset, void* dst, std::uint64_t count)
{
    if (fd < 0 || offset > static_cast<std::uint64_t>(INT64_MAX) - count)
        return 0;
    return ReadFully(dst, count, error, [this, offset](unsigned char* to, std::size_t n, std::uint64_t done) {
        return ::pread(fd, to, n, static_cast<off_t>(offset + done));
    });
}

Failure_T CHostFile::Failure(std::string subject) const
{
    if (notRegular) {
        Failure_T f = Failure_T::System(std::move(subject), 0);
        f.detail = "not a regular file";
        return f;
    }
    if (error != 0)
        return Failure_T::System(std::move(subject), error);
    return Failure_T::Damaged(std::move(subject), "shorter than its index says");
}

}  // namespace tarnwick
