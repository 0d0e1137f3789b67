#include "host/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tarnwick {

namespace {

struct MallocFree {
    void operator()(char* p) const { std::free(p); }
};

// Where a rename must go to replace the file path names: through a symbolic
// link to its target, so the link stays a link. exists and st tell what is
// there now.
std::string RenameTarget(const std::string& path, bool& exists, struct stat& st)
{
    exists = ::lstat(path.c_str(), &st) == 0;
    if (!exists || !S_ISLNK(st.st_mode))
        return path;
    exists = ::stat(path.c_str(), &st) == 0;
    const std::unique_ptr<char, MallocFree> real(::realpath(path.c_str(), nullptr));
    return real ? std::string(real.get()) : path;
}

// ".NAME.PID.N.tmp" beside the target. The name part is cut so the whole
// stays within the file system's name limit.
std::string TempPathFor(const std::string& path, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    static const long pid = ::getpid();
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 200)
        name.resize(200);
    return folder + "." + name + "." + std::to_string(pid) + "." +
           std::to_string(counter.fetch_add(1) + attempt) + ".tmp";
}

}  // namespace

bool MakeFolders(const std::string& folder, Failure_T& failure)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        failure = Failure_T::System(folder, ec.value());
        return false;
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        failure = Failure_T::System(folder, ENOTDIR);
        return false;
    }
    return true;
}

CAtomicFile::~CAtomicFile()
{
    Abandon();
}

void CAtomicFile::Abandon()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (!tempPath.empty()) {
        ::unlink(tempPath.c_str());
        tempPath.clear();
    }
}

bool CAtomicFile::Fail(Failure_T& failure, int error)
{
    Abandon();
    failure = Failure_T::System(target, error);
    return false;
}

bool CAtomicFile::Open(const std::string& path, Failure_T& failure)
{
    Abandon();
    target = path;
    if (path.empty() || path.back() == '/')
        return Fail(failure, EISDIR);
    bool exists = false;
    struct stat st;
    finalPath = RenameTarget(path, exists, st);
    if (exists && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            return Fail(failure, EISDIR);
        Abandon();
        failure = Failure_T::System(target, 0);
        failure.detail = "not a regular file";
        return false;
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = TempPathFor(finalPath, attempt);
        const int f = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (f >= 0) {
            fd = f;
            tempPath = temp;
            return true;
        }
        if (errno != EEXIST)
            return Fail(failure, errno);
    }
    return Fail(failure, EEXIST);
}

bool CAtomicFile::Write(std::span<const std::uint8_t> bytes, Failure_T& failure)
{
    if (fd < 0)
        return Fail(failure, EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        const ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(failure, n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CAtomicFile::Commit(Failure_T& failure, bool sync)
{
    if (fd < 0)
        return Fail(failure, EBADF);
    if (sync && ::fsync(fd) != 0)
        return Fail(failure, errno);
    const int f = fd;
    fd = -1;
    // close reports a delayed write error (a full disk on NFS, say).
    if (::close(f) != 0)
        return Fail(failure, errno);
    if (::rename(tempPath.c_str(), finalPath.c_str()) != 0)
        return Fail(failure, errno);
    tempPath.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, Failure_T& failure,
                         bool sync)
{
    CAtomicFile file;
    return file.Open(path, failure) && file.Write(bytes, failure) && file.Commit(failure, sync);
}

}  // namespace tarnwick
