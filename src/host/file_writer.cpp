#include "host/file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "host/host_path.h"

namespace tarnwick {

namespace {

constexpr std::string_view kTempMark = ".tarnwick-";
constexpr std::string_view kTempEnd = ".tmp";

// The temporaries being written, for the signal handler: a slot is free at
// -1, being filled at -2, and holds its folder's descriptor otherwise.
struct TempSlot_T {
    std::atomic<int> folder{-1};
    char name[NAME_MAX + 1] = {};
};
// Room for every thread an export or extract starts, and more.
constexpr int kTempSlots = 256;
TempSlot_T tempSlots[kTempSlots];
static_assert(std::atomic<int>::is_always_lock_free);
// The first signal only asks to stop while askToStop; its number then.
std::atomic<bool> askToStop{false};
std::atomic<int> stopSignal{0};

int RegisterTemp(int folder, const std::string& name)
{
    if (name.size() > NAME_MAX)
        return -1;
    for (int i = 0; i < kTempSlots; ++i) {
        int expected = -1;
        if (tempSlots[i].folder.compare_exchange_strong(expected, -2)) {
            std::memcpy(tempSlots[i].name, name.c_str(), name.size() + 1);
            tempSlots[i].folder.store(folder);
            return i;
        }
    }
    return -1;  // more files at once than the table holds: not cleaned on a signal
}

void UnregisterTemp(int& slot)
{
    if (slot >= 0)
        tempSlots[slot].folder.store(-1);
    slot = -1;
}

extern "C" void RemoveTemporariesAndExit(int signal)
{
    int none = 0;
    if (askToStop.load() && stopSignal.compare_exchange_strong(none, signal))
        return;
    for (TempSlot_T& slot : tempSlots) {
        const int folder = slot.folder.load();
        if (folder >= 0)
            ::unlinkat(folder, slot.name, 0);
    }
    ::_exit(128 + signal);
}

// ".NAME.tarnwick-PID-N.tmp" beside the target: hidden, and recognisable
// by a later run as this program's. The name part is cut so the whole
// stays within the file system's name limit.
std::string TempNameFor(const std::string& name)
{
    static std::atomic<unsigned> counter{0};
    static const long pid = ::getpid();
    return "." + name.substr(0, 200) + std::string(kTempMark) + std::to_string(pid) + "-" +
           std::to_string(counter.fetch_add(1)) + std::string(kTempEnd);
}

// Why openat could not open a folder component: a link is named as such.
Failure_T FolderFailure(int parent, const std::string& component, const std::string& shown, int error)
{
    struct stat st;
    if ((error == ELOOP || error == ENOTDIR) && ::fstatat(parent, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return Failure_T::Refused(shown, "a symbolic link, not followed");
        return Failure_T::System(shown, ENOTDIR);
    }
    return Failure_T::System(shown, error);
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

CFileDescriptor& CFileDescriptor::operator=(CFileDescriptor&& other) noexcept
{
    if (this != &other)
        Reset(std::exchange(other.fd, -1));
    return *this;
}

void CFileDescriptor::Reset(int f)
{
    if (fd >= 0)
        ::close(fd);
    fd = f;
}

bool ProcessIsGone(long pid)
{
    // EPERM: it runs, as another user.
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveFilesOfGoneProcesses(int folder, WriterOfName writerOf)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing), ::closedir);
    if (!dir) {
        ::close(listing);
        return;
    }
    const long self = ::getpid();
    while (const dirent* e = ::readdir(dir.get())) {
        long pid = 0;
        if (!writerOf(e->d_name, &pid) || pid == self || !ProcessIsGone(pid))
            continue;
        struct stat file;
        if (::fstatat(folder, e->d_name, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode))
            ::unlinkat(folder, e->d_name, 0);
    }
}

void RemoveFilesOfGoneProcesses(const std::string& folder, WriterOfName writerOf)
{
    const CFileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.IsOpen())
        RemoveFilesOfGoneProcesses(fd.Get(), writerOf);
}

bool IsTemporaryName(std::string_view name, long* pid)
{
    if (name.size() < 2 || name.front() != '.' || !name.ends_with(kTempEnd))
        return false;
    name.remove_suffix(kTempEnd.size());
    const std::size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || mark == 0)
        return false;
    const std::string_view numbers = name.substr(mark + kTempMark.size());
    const std::size_t dash = numbers.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == numbers.size())
        return false;
    long p = 0;
    unsigned long n = 0;
    const auto [pEnd, pError] = std::from_chars(numbers.data(), numbers.data() + dash, p);
    const auto [nEnd, nError] = std::from_chars(numbers.data() + dash + 1, numbers.data() + numbers.size(), n);
    if (pError != std::errc() || nError != std::errc() || pEnd != numbers.data() + dash ||
        nEnd != numbers.data() + numbers.size() || p <= 0)
        return false;
    if (pid)
        *pid = p;
    return true;
}

void CWriteFolder::Refuse(const std::string& folder)
{
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        refused.emplace_back(st.st_dev, st.st_ino);
}

bool CWriteFolder::IsRefused(const struct stat& st) const
{
    return std::find(refused.begin(), refused.end(), Identity(st.st_dev, st.st_ino)) != refused.end();
}

void CWriteFolder::Forget()
{
    const std::lock_guard<std::shared_mutex> lock(mutex);
    held.clear();
    retired.clear();
    rootSwept = false;
    rootMade = false;
}

bool CWriteFolder::Open(const std::string& folder, Failure_T& failure)
{
    Forget();
    root.Reset();
    path = folder.empty() ? "." : folder;
    // The nearest folder that exists, and each one above it, is checked
    // before anything is made: making the rest inside a refused folder
    // would already write there.
    std::string existing = path;
    CFileDescriptor at(::open(existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (!at.IsOpen() && errno == ENOENT) {
        std::string parent = ParentFolder(existing);
        if (parent.empty())
            parent = ".";
        if (parent == existing)
            break;
        existing = std::move(parent);
        at.Reset(::open(existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    for (int depth = 0; at.IsOpen() && depth < 4096; ++depth) {
        struct stat here, there;
        if (::fstat(at.Get(), &here) != 0)
            break;
        if (IsRefused(here)) {
            failure = Failure_T::Refused(path, "inside a folder that is only read");
            return false;
        }
        CFileDescriptor up(::openat(at.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!up.IsOpen() || ::fstat(up.Get(), &there) != 0 ||
            (here.st_dev == there.st_dev && here.st_ino == there.st_ino))
            break;
        at = std::move(up);
    }
    // Made here, the folder holds only what this run puts there.
    std::error_code made;
    rootMade = std::filesystem::create_directories(path, made) && !made;
    rootSwept = rootMade;
    if (!MakeFolders(path, failure))
        return false;
    root.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.IsOpen()) {
        failure = Failure_T::System(path, errno);
        return false;
    }
    return true;
}

bool CWriteFolder::OpenFolder(std::string_view relative, CFileDescriptor& folder, Failure_T& failure)
{
    const int fd = HeldFolder(relative, failure);
    if (fd < 0)
        return false;
    folder.Reset(::dup(fd));
    if (!folder.IsOpen()) {
        failure = Failure_T::System(JoinPath(path, relative), errno);
        return false;
    }
    return true;
}

int CWriteFolder::HeldFolder(std::string_view relative, Failure_T& failure, bool* made)
{
    if (made)
        *made = false;
    {
        // The usual case, a folder held and swept already, lets other
        // threads in at the same time.
        const std::shared_lock<std::shared_mutex> lock(mutex);
        if (const int fd = StillHeld(relative, made); fd >= 0)
            return fd;
    }
    const std::lock_guard<std::shared_mutex> lock(mutex);
    if (!root.IsOpen()) {
        failure = Failure_T::System(path, EBADF);
        return -1;
    }
    int current = root.Get();
    bool* swept = &rootSwept;
    if (made)
        *made = rootMade;
    std::string shown = path;
    std::size_t pos = 0;
    while (pos < relative.size()) {
        std::size_t end = relative.find('/', pos);
        if (end == std::string_view::npos)
            end = relative.size();
        const std::string component(relative.substr(pos, end - pos));
        const std::string_view prefix = relative.substr(0, end);
        pos = end + 1;
        shown = JoinPath(shown, component);
        if (component.empty() || component == "." || component == "..") {
            failure = Failure_T::Refused(shown, "not a name that can be written");
            return -1;
        }
        struct stat st;
        const auto known = held.find(prefix);
        if (known != held.end()) {
            // Still the folder held: one look instead of opening it again.
            if (::fstatat(current, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
                Identity(st.st_dev, st.st_ino) == known->second.identity) {
                current = known->second.fd.Get();
                swept = &known->second.swept;
                if (made)
                    *made = known->second.made;
                continue;
            }
            retired.push_back(std::move(known->second.fd));
            held.erase(known);
        }
        constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = ::openat(current, component.c_str(), kFlags);
        bool madeHere = false;
        if (next < 0 && errno == ENOENT) {
            madeHere = ::mkdirat(current, component.c_str(), 0777) == 0;
            if (!madeHere && errno != EEXIST) {
                failure = Failure_T::System(shown, errno);
                return -1;
            }
            next = ::openat(current, component.c_str(), kFlags);
        }
        if (next < 0) {
            failure = FolderFailure(current, component, shown, errno);
            return -1;
        }
        CFileDescriptor opened(next);
        if (::fstat(next, &st) != 0) {
            failure = Failure_T::System(shown, errno);
            return -1;
        }
        if (IsRefused(st)) {
            failure = Failure_T::Refused(shown, "inside a folder that is only read");
            return -1;
        }
        Held_T& entry = held[std::string(prefix)];
        entry = Held_T{std::move(opened), Identity(st.st_dev, st.st_ino), madeHere, madeHere};
        current = next;
        swept = &entry.swept;
        if (made)
            *made = madeHere;
    }
    if (!*swept) {
        *swept = true;
        RemoveFilesOfGoneProcesses(current, IsTemporaryName);
    }
    return current;
}

int CWriteFolder::StillHeld(std::string_view relative, bool* made) const
{
    if (!root.IsOpen() || (relative.empty() && !rootSwept))
        return -1;
    int current = root.Get();
    if (made)
        *made = rootMade;
    for (std::size_t pos = 0; pos < relative.size();) {
        std::size_t end = relative.find('/', pos);
        if (end == std::string_view::npos)
            end = relative.size();
        const auto known = held.find(relative.substr(0, end));
        if (known == held.end() || (end == relative.size() && !known->second.swept))
            return -1;
        const std::string component(relative.substr(pos, end - pos));
        struct stat st;
        if (::fstatat(current, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            Identity(st.st_dev, st.st_ino) != known->second.identity)
            return -1;
        current = known->second.fd.Get();
        if (made)
            *made = known->second.made;
        pos = end + 1;
    }
    return current;
}

bool CWriteFolder::RemoveFile(std::string_view relative, Failure_T& failure)
{
    const std::size_t slash = relative.find_last_of('/');
    const std::string leaf(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    const int folder =
        HeldFolder(slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash), failure);
    if (folder < 0)
        return false;
    struct stat st;
    if (::fstatat(folder, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        return true;
    if (::unlinkat(folder, leaf.c_str(), 0) != 0 && errno != ENOENT) {
        failure = Failure_T::System(JoinPath(path, relative), errno);
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
    fd.Reset();
    if (!tempName.empty() && folderFd >= 0)
        ::unlinkat(folderFd, tempName.c_str(), 0);
    UnregisterTemp(slot);
    tempName.clear();
    folderFd = -1;
    ownFolder.Reset();
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
    const std::size_t slash = path.find_last_of('/');
    const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..")
        return Fail(failure, EISDIR);
    // The folder part is the user's own path: links in it are followed.
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    ownFolder.Reset(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!ownFolder.IsOpen())
        return Fail(failure, errno);
    folderFd = ownFolder.Get();
    return OpenIn(leaf, false, failure);
}

bool CAtomicFile::Open(CWriteFolder& under, std::string_view relative, Failure_T& failure)
{
    Abandon();
    target = JoinPath(under.Path(), relative);
    const std::size_t slash = relative.find_last_of('/');
    const std::string leaf(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    if (leaf.empty() || leaf == "." || leaf == "..")
        return Fail(failure, EISDIR);
    bool fresh = false;
    folderFd = under.HeldFolder(slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash),
                                failure, &fresh);
    if (folderFd < 0)
        return false;
    return OpenIn(leaf, fresh, failure);
}

bool CAtomicFile::OpenIn(const std::string& leaf, bool fresh, Failure_T& failure)
{
    struct stat st;
    keepMode = false;
    if (fresh) {
        // Nothing of anyone else's to keep or refuse.
    } else if (::fstatat(folderFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(failure, EISDIR);
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            Abandon();
            failure = Failure_T::Refused(target, "not a regular file");
            return false;
        }
        keepMode = S_ISREG(st.st_mode);
        mode = st.st_mode & 07777;
        owner = st.st_uid;
        group = st.st_gid;
    } else if (errno != ENOENT) {
        return Fail(failure, errno);
    }
    name = leaf;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = TempNameFor(name);
        // Known to the signal handler before it exists: a signal between
        // the two would leave it behind.
        slot = RegisterTemp(folderFd, temp);
        // A file that replaces another starts private, then takes the old
        // one's owner and mode before any byte is written; a new one
        // follows the umask.
        const int f = ::openat(folderFd, temp.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, keepMode ? 0600 : 0666);
        if (f >= 0) {
            fd.Reset(f);
            tempName = temp;
            if (keepMode) {
                if (owner != ::geteuid() || group != ::getegid())
                    static_cast<void>(::fchown(f, owner, group));  // only root may give a file away
                if (::fchmod(f, mode) != 0)
                    return Fail(failure, errno);
            }
            return true;
        }
        const int error = errno;
        // Not ours to remove on a signal.
        UnregisterTemp(slot);
        if (error != EEXIST)
            return Fail(failure, error);
    }
    return Fail(failure, EEXIST);
}

bool CAtomicFile::Write(std::span<const std::uint8_t> bytes, Failure_T& failure)
{
    if (!fd.IsOpen())
        return Fail(failure, EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, chunk);
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
    if (!fd.IsOpen())
        return Fail(failure, EBADF);
    if (sync && ::fsync(fd.Get()) != 0)
        return Fail(failure, errno);
    // close reports a delayed write error (a full disk on NFS, say).
    const int f = fd.Release();
    if (::close(f) != 0)
        return Fail(failure, errno);
    // The rename replaces whatever name is now, a link included; it never
    // writes through one.
    if (::renameat(folderFd, tempName.c_str(), folderFd, name.c_str()) != 0)
        return Fail(failure, errno);
    // The rename itself lasts through a crash once the folder is on disk.
    if (sync)
        ::fsync(folderFd);
    tempName.clear();
    UnregisterTemp(slot);
    folderFd = -1;
    ownFolder.Reset();
    return true;
}

namespace {

bool MayReplaceAt(int folder, const std::string& name, int flags, const std::string& shown, Failure_T& why)
{
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, flags) != 0) {
        if (errno == ENOENT)
            return true;
        why = Failure_T::System(shown, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = Failure_T::Refused(shown, "not a regular file");
        return false;
    }
    // Seen as a regular file just now: faccessat follows nothing here.
    if ((st.st_mode & S_IWUSR) == 0 || ::faccessat(folder, name.c_str(), W_OK, 0) != 0) {
        why = Failure_T::Refused(shown, "read-only, left as it is");
        return false;
    }
    return true;
}

}  // namespace

bool MayReplaceFile(const std::string& path, Failure_T& why)
{
    return MayReplaceAt(AT_FDCWD, path, 0, path, why);
}

bool MayReplaceFile(int folder, const std::string& name, const std::string& shown, Failure_T& why)
{
    return MayReplaceAt(folder, name, AT_SYMLINK_NOFOLLOW, shown, why);
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, Failure_T& failure,
                         bool sync)
{
    CAtomicFile file;
    return file.Open(path, failure) && file.Write(bytes, failure) && file.Commit(failure, sync);
}

bool WriteFileAtomically(CWriteFolder& folder, std::string_view relative, std::span<const std::uint8_t> bytes,
                         Failure_T& failure)
{
    CAtomicFile file;
    return file.Open(folder, relative, failure) && file.Write(bytes, failure) && file.Commit(failure);
}

void RemoveTemporariesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndExit;
    // A signal that only asks to stop must not fail the calls it lands in.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void AskToStopOnSignals(bool ask)
{
    askToStop.store(ask);
}

int StopSignal()
{
    return stopSignal.load();
}

}  // namespace tarnwick
