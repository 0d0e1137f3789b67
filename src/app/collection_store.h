// The user's collections as files of their own: one UTF-8 file per
// collection in a "collections" folder of the settings home, each written
// whole through the atomic writer. A file that cannot be used (damaged, not
// UTF-8, too large, not a regular file) is reported once and never written
// or removed: it stays as the user left it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "talk/line_collection.h"

namespace tarnwick {

inline constexpr const char* kCollectionsFolder = "collections";
// Larger than any collection of a whole game, many times over.
inline constexpr std::uint64_t kMaxCollectionFileBytes = 16u << 20;

class CCollectionStore {
public:
    // folder: where the files lie; made on the first save.
    explicit CCollectionStore(std::string folder = {});
    const std::string& Folder() const { return folder; }

    // Reads every file of the folder (a missing folder holds none). The
    // collections are ordered by name; Problems() says which files could
    // not be used and why, each once.
    void Load();
    const std::vector<LineCollection_T>& Collections() const { return collections; }
    // The index of the collection with that name (exact bytes), -1 for none.
    int Find(std::string_view name) const;
    const std::vector<Failure_T>& Problems() const { return problems; }

    // Each change writes the collection's file first and changes the list
    // only once it is written: on false, with why naming the path and the
    // reason, both stay as they were.
    // A new collection; refused when the name is not a collection name
    // (IsCollectionName) or another collection has it.
    bool Create(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why);
    // Appends the lines the collection does not hold yet, in order.
    bool AddLines(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why);
    bool RemoveLines(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why);
    bool Rename(const std::string& name, const std::string& newName, Failure_T& why);
    // Removes the collection's file.
    bool Delete(const std::string& name, Failure_T& why);

private:
    std::string folder;
    std::vector<LineCollection_T> collections;
    std::vector<std::string> fileNames;  // beside collections, each its file's name in folder
    std::vector<Failure_T> problems;
};

}  // namespace tarnwick
