// Settings in the initialization-file form, read and written the way
// Windows profile files are: section and key names match whatever their
// letter case, spaces around names and values do not count, and a write
// changes its keys' lines and keeps everything else in the file as it was.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"

namespace tarnwick {

// A settings file holds a few short lines: anything larger, and anything
// that is not a regular file, is not read (every key takes its default).
inline constexpr std::uint64_t kMaxProfileBytes = 1u << 20;

// How long a save waits for another writer's lock: one that never lets go
// must not keep a closing program from ending.
inline constexpr std::chrono::milliseconds kProfileLockWait{5000};

// What a settings file was found to be when it was loaded.
enum class ProfileState {
    kAbsent,      // not there yet: the first save creates it
    kUsable,
    kTooLarge,    // over kMaxProfileBytes
    kUnreadable,  // no regular file, or reading it failed
};

// One key to store; value is exactly the text a later read gives back.
struct ProfileChange_T {
    std::string section;
    std::string key;
    std::string value;
};

class CProfileFile {
public:
    explicit CProfileFile(std::string file = {}) : path(std::move(file)) {}

    const std::string& Path() const { return path; }
    // Forgets what was loaded from the old path.
    void SetPath(std::string p);

    // Reads the file once: later reads answer from what it held, with this
    // object's own saves applied, instead of reading it again. Keys of a
    // file found too large or unreadable are unknown, so nothing is ever
    // written through this object then. Without Load every read reads the
    // file as it is at that moment.
    ProfileState Load();
    // What Load found; nothing before it.
    std::optional<ProfileState> LoadedState() const { return loaded; }
    // Why the file was found too large or unreadable: its path and the reason.
    const Failure_T& LoadFailure() const { return loadFailure; }

    // The value, or def when the file, the section or the key is missing.
    std::string GetProfileString(std::string_view section, std::string_view key,
                                 std::string_view def) const;
    // The value's leading decimal integer (0 when it has none), or def when
    // the key is missing.
    int GetProfileInt(std::string_view section, std::string_view key, int def) const;

    // Of changes, those whose values differ from what reads give now:
    // saving only these leaves other writers' values for the rest.
    std::vector<ProfileChange_T> Differing(std::span<const ProfileChange_T> changes) const;

    // Stores all changes in one replacement of the file, made while holding
    // an exclusive lock on a file beside it (its name with ".lock") that
    // every writer takes, on the file as it is at that moment: keys not
    // among the changes keep whatever another writer stored. The first save
    // creates the file (and its folder); the file is never left
    // half-written. A change with a line end or NUL anywhere, or names that
    // would read back as something else, is left out so that no value can
    // add lines; the others are stored. True when every change was stored.
    // False, and the file left exactly as it is, when it is read-only (its
    // owner's write bit clear, whoever runs us), no regular file, too large
    // to have been read or to be read once changed, or locked by another
    // writer for longer than the lock wait. why (when given) names the path
    // and the reason of any false.
    bool WriteProfileStrings(std::span<const ProfileChange_T> changes, Failure_T* why = nullptr);
    bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                            Failure_T* why = nullptr);
    bool WriteProfileInt(std::string_view section, std::string_view key, int value);

    // For tests, which need not wait as long.
    void SetLockWait(std::chrono::milliseconds wait) { lockWait = wait; }

private:
    std::string path;
    std::optional<ProfileState> loaded;
    std::string loadedText;  // what Load read, with this object's saves applied
    Failure_T loadFailure;
    std::chrono::milliseconds lockWait = kProfileLockWait;
};

}  // namespace tarnwick
