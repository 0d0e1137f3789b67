#include "host/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "host/host_path.h"

namespace tarnwick {

namespace {

bool IsPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

PathKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return PathKind::kFile;
    if (S_ISDIR(mode))
        return PathKind::kFolder;
    if (S_ISLNK(mode))
        return PathKind::kLink;
    return PathKind::kOther;
}

Failure_T Refusal(const std::string& subject, std::string detail)
{
    Failure_T why = Failure_T::System(subject, 0);
    why.detail = std::move(detail);
    return why;
}

}  // namespace

bool CFolderListing::Open(const std::string& folder, Failure_T& failure)
{
    path = folder.empty() ? "." : folder;
    root.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.IsOpen()) {
        failure = Failure_T::System(path, errno);
        return false;
    }
    return true;
}

bool CFolderListing::KindOf(std::string_view relative, PathKind& kind, Failure_T& failure) const
{
    const std::string shown = JoinPath(path, relative);
    if (!root.IsOpen()) {
        failure = Failure_T::System(shown, EBADF);
        return false;
    }
    CFileDescriptor owned;  // the folder being entered, once below the root
    int at = root.Get();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', pos);
        const std::string component(relative.substr(pos, slash == std::string_view::npos ? slash : slash - pos));
        if (!IsPlainName(component)) {
            failure = Refusal(shown, "not a name to look at");
            return false;
        }
        if (slash == std::string_view::npos) {
            struct stat st;
            if (::fstatat(at, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                kind = KindOfMode(st.st_mode);
                return true;
            }
            if (errno == ENOENT) {
                kind = PathKind::kMissing;
                return true;
            }
            failure = Failure_T::System(shown, errno);
            return false;
        }
        const int next = ::openat(at, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            // Nothing lies below a link, a file or a missing name.
            if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
                kind = PathKind::kMissing;
                return true;
            }
            failure = Failure_T::System(JoinPath(path, relative.substr(0, slash)), errno);
            return false;
        }
        owned.Reset(next);
        at = next;
        pos = slash + 1;
    }
}

namespace {

// Calls take with each name in folder but "." and "..", until it gives
// false.
template <typename Take>
bool ForEachName(const CFileDescriptor& root, const std::string& path, Take take, Failure_T& failure)
{
    const int listing = root.IsOpen() ? ::openat(root.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (listing < 0) {
        failure = Failure_T::System(path, root.IsOpen() ? errno : EBADF);
        return false;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing), ::closedir);
    if (!dir) {
        failure = Failure_T::System(path, errno);
        ::close(listing);
        return false;
    }
    for (;;) {
        // take may touch errno: only readdir's own is wanted.
        errno = 0;
        const dirent* e = ::readdir(dir.get());
        if (!e)
            break;
        const std::string_view name = e->d_name;
        if (name != "." && name != ".." && !take(name))
            return true;
    }
    if (errno != 0) {
        failure = Failure_T::System(path, errno);
        return false;
    }
    return true;
}

}  // namespace

bool CFolderListing::HasEntries(bool& any, Failure_T& failure) const
{
    any = false;
    // The first name is enough.
    const auto stop = [&any](std::string_view) {
        any = true;
        return false;
    };
    return ForEachName(root, path, stop, failure);
}

bool CFolderListing::Names(std::vector<std::string>& names, Failure_T& failure) const
{
    names.clear();
    const auto keep = [&names](std::string_view name) {
        names.emplace_back(name);
        return true;
    };
    const bool listed = ForEachName(root, path, keep, failure);
    if (!listed)
        names.clear();
    std::sort(names.begin(), names.end());
    return listed;
}

bool CFolderListing::ReadFile(const std::string& name, std::uint64_t limit, std::string& bytes,
                              Failure_T& failure) const
{
    const std::string shown = JoinPath(path, name);
    bytes.clear();
    if (!root.IsOpen() || !IsPlainName(name)) {
        failure = Failure_T::System(shown, root.IsOpen() ? EINVAL : EBADF);
        return false;
    }
    // O_NONBLOCK: a FIFO put there must not hold the run.
    CFileDescriptor file(
        ::openat(root.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.IsOpen()) {
        failure = errno == ELOOP ? Refusal(shown, "a symbolic link, not followed") : Failure_T::System(shown, errno);
        return false;
    }
    struct stat st;
    if (::fstat(file.Get(), &st) != 0) {
        failure = Failure_T::System(shown, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        failure = S_ISDIR(st.st_mode) ? Failure_T::System(shown, EISDIR) : Refusal(shown, "not a regular file");
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) > limit) {
        failure = Refusal(shown, "larger than " + std::to_string(limit) + " bytes");
        return false;
    }
    // The size as it was: a file that grows meanwhile is read only so far.
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failure = Failure_T::System(shown, errno);
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

}  // namespace tarnwick
