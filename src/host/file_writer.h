// Writing files so that a reader never sees half of one, and so that what
// is already in the target folder cannot redirect a write: the bytes go to
// a temporary file beside the target, which is renamed over the target only
// once complete. Folders below the one the user named are walked one at a
// time without following symbolic links, and a link where a file goes is
// replaced, not written through, as tar does when it extracts.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/failure.h"

namespace tarnwick {

// Creates folder and its missing parents, as "mkdir -p" does. An existing
// folder (or a link to one) is fine; anything else in the way is a failure
// naming it.
bool MakeFolders(const std::string& folder, Failure_T& failure);

// A descriptor closed when the object goes.
class CFileDescriptor {
public:
    CFileDescriptor() = default;
    explicit CFileDescriptor(int f) : fd(f) {}
    ~CFileDescriptor() { Reset(); }
    CFileDescriptor(CFileDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept;
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return fd; }
    bool IsOpen() const { return fd >= 0; }
    void Reset(int f = -1);
    int Release() { return std::exchange(fd, -1); }

private:
    int fd = -1;
};

// The folder a run writes under, opened once; every file is then placed
// relative to it. The folder itself, and the path to it, may hold links
// the user made; nothing below it is followed. Folders below it are opened
// once and held: each later use checks, one name at a time, that the name
// still leads to the folder held, so a link or another folder put in its
// place meanwhile is walked afresh (and refused) as on first use. Safe to
// use from several threads at once, except Refuse and Open.
class CWriteFolder {
public:
    // Files that would land in folder, or anywhere below it, are refused:
    // the game folder is only ever read. A folder that does not exist
    // refuses nothing. Takes effect for the folders opened after it.
    void Refuse(const std::string& folder);

    // Opens folder, making it and its missing parents. Fails when it is, or
    // lies inside, a refused folder.
    bool Open(const std::string& folder, Failure_T& failure);
    bool IsOpen() const { return root.IsOpen(); }
    const std::string& Path() const { return path; }

    // Opens the folder relative ("a/b", "" for the folder itself), making
    // what is missing. A symbolic link or a refused folder on the way is a
    // failure naming it. The first time a folder is used, temporary files
    // that an earlier, interrupted run of this program left there are
    // removed.
    bool OpenFolder(std::string_view relative, CFileDescriptor& folder, Failure_T& failure);
    // The same, giving the descriptor this object holds: valid until it is
    // opened again or goes; -1 on failure. made (may be null) tells whether
    // this object made the folder, so that what is in it is its own.
    int HeldFolder(std::string_view relative, Failure_T& failure, bool* made = nullptr);

    // Removes the file (or link) relative when it is there; a folder there
    // is left alone. False only when one was there and stays.
    bool RemoveFile(std::string_view relative, Failure_T& failure);

private:
    using Identity = std::pair<dev_t, ino_t>;
    struct Held_T {
        CFileDescriptor fd;
        Identity identity;
        bool swept = false;
        bool made = false;
    };
    bool IsRefused(const struct stat& st) const;
    // The held folder relative when every name on the way still leads to
    // it and it was swept; -1 when it needs the full walk.
    int StillHeld(std::string_view relative, bool* made) const;
    void Forget();

    CFileDescriptor root;
    bool rootSwept = false;
    bool rootMade = false;
    std::string path;
    std::vector<Identity> refused;
    std::shared_mutex mutex;  // over held, retired and the swept marks
    std::map<std::string, Held_T, std::less<>> held;
    // Held folders whose name came to lead elsewhere: another thread may
    // still be writing through them, so they stay open until Open or the end.
    std::vector<CFileDescriptor> retired;
};

// One file being written. A target that exists and is a folder, FIFO or
// device is refused; a regular file is replaced keeping its mode (and its
// owner where the system permits); a symbolic link is replaced by the file.
class CAtomicFile {
public:
    CAtomicFile() = default;
    // Removes the temporary file unless Commit succeeded.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Starts a new file for path, dropping any unfinished one. The folder
    // part of path must exist: a missing one is a failure, not made
    // silently.
    bool Open(const std::string& path, Failure_T& failure);
    // The same for relative ("voice/a.ogg") under folder, making the
    // folders on the way as CWriteFolder::OpenFolder does. The file uses
    // the folder's held descriptor: folder must outlive it. In a folder
    // that folder made during this run the target is not looked at first:
    // what is there is its own (or comes from a writer racing this one, and
    // is replaced without being followed, or stops the rename if a folder).
    bool Open(CWriteFolder& folder, std::string_view relative, Failure_T& failure);
    bool Write(std::span<const std::uint8_t> bytes, Failure_T& failure);
    // Closes the file and renames it over the target. With sync the bytes
    // reach the disk first, so a crash cannot leave an empty file there.
    bool Commit(Failure_T& failure, bool sync = false);
    // Drops the unfinished file.
    void Abandon();

    const std::string& Path() const { return target; }

private:
    bool OpenIn(const std::string& name, bool fresh, Failure_T& failure);
    bool Fail(Failure_T& failure, int error);

    CFileDescriptor fd;
    int folderFd = -1;  // where the temporary and the target lie
    CFileDescriptor ownFolder;  // folderFd, when no CWriteFolder holds it
    std::string target;        // the path as given, for messages
    std::string name;          // the target's name in its folder
    std::string tempName;
    int slot = -1;  // in the table the signal handler cleans up
    bool keepMode = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// Whether a file may be replaced (or removed) as the user left it: it is
// missing, or it is a regular file whose owner's write bit is set and that
// this process may write. The mode bits decide even for root, who may write
// anything. A path is the user's own, links included; name in folder (a
// descriptor) is looked at without following a link, which is no regular
// file. why names shown.
bool MayReplaceFile(const std::string& path, Failure_T& why);
bool MayReplaceFile(int folder, const std::string& name, const std::string& shown, Failure_T& why);

// The whole file at once, through CAtomicFile.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, Failure_T& failure,
                         bool sync = false);
bool WriteFileAtomically(CWriteFolder& folder, std::string_view relative, std::span<const std::uint8_t> bytes,
                         Failure_T& failure);

// Whether name is the temporary file of a write by this program, and if so
// the process that wrote it.
bool IsTemporaryName(std::string_view name, long* pid = nullptr);

// Whether the process pid has ended (one that runs as another user has not).
bool ProcessIsGone(long pid);

// Whether a file's name is one this program gives its short-lived files,
// and if so the process that wrote it.
using WriterOfName = bool (*)(std::string_view name, long* pid);
// Removes the regular files in folder (a path, or an open descriptor) whose
// name writerOf reads as written by a process that has ended: what a killed
// run left. Links and anything else with such a name are left alone, and
// so is a folder that cannot be read.
void RemoveFilesOfGoneProcesses(int folder, WriterOfName writerOf);
void RemoveFilesOfGoneProcesses(const std::string& folder, WriterOfName writerOf);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files being written
// and end the process with 128 + the signal's number. For programs whose
// whole run is writing files; a window program quits its own way.
void RemoveTemporariesOnSignals();
// While ask is true, the first of those signals only asks the program to
// stop (StopSignal() then gives its number), so that threads writing files
// finish or drop each of theirs and the program says what it did; another
// signal ends the process as above.
void AskToStopOnSignals(bool ask);
int StopSignal();

}  // namespace tarnwick
