// Looking at what a folder holds before writing into it, without following
// any link below it: a link is seen as a link, never as what it points to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "host/file_writer.h"

namespace tarnwick {

enum class PathKind { kMissing, kFile, kFolder, kLink, kOther };

class CFolderListing {
public:
    // Opens folder for looking; links in the path to it are the user's own
    // and followed. A folder that is not there fails with ENOENT.
    bool Open(const std::string& folder, Failure_T& failure);
    bool IsOpen() const { return root.IsOpen(); }
    const std::string& Path() const { return path; }

    // What relative ("lines.csv", "voice/a.ogg") is. Each folder on the way
    // is entered only when it is a real folder: behind a link, a file or
    // nothing it is kMissing. False, with the reason, when the system
    // cannot say.
    bool KindOf(std::string_view relative, PathKind& kind, Failure_T& failure) const;

    // Whether the folder holds any entry; reads only until the first.
    bool HasEntries(bool& any, Failure_T& failure) const;
    // The names the folder holds (not "." and ".."), sorted by their bytes
    // so that what is done with them does not depend on the file system's
    // order.
    bool Names(std::vector<std::string>& names, Failure_T& failure) const;

    // The regular file name in the folder, whole, into bytes. A link, a
    // folder or anything else is refused without being read; so is a file
    // larger than limit.
    bool ReadFile(const std::string& name, std::uint64_t limit, std::string& bytes, Failure_T& failure) const;

private:
    CFileDescriptor root;
    std::string path;
};

}  // namespace tarnwick
