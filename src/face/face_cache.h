// The speakers' face pictures, fetched from the face archive by entry name
// and kept for the last 20 distinct names loaded, first in first out, and
// fewer when their pixels would pass the cache's memory budget.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "face/face_picture.h"

namespace tarnwick {

class CArchiveSet;

// One cached picture.
class CVeyFaceImage {
public:
    std::string name;     // the entry name it was loaded under; the cache key
    FacePicture_T image;  // never empty in a cached entry
};

inline constexpr std::size_t kFaceCacheSize = 20;
// Twenty faces take well under a megabyte; the budget only bites on
// pictures far larger than any face.
inline constexpr std::size_t kFaceCacheBytes = 64u << 20;

class CFaceCache {
public:
    explicit CFaceCache(std::size_t byteBudget = kFaceCacheBytes) : budget(byteBudget) {}

    // The picture of entry name of the face archive, loaded and appended
    // when no cached entry has exactly these bytes as its name; null when it
    // cannot be read or decoded, which caches nothing. A hit moves nothing,
    // so a much-used picture is still the first to go. The oldest entries go
    // until the pixels fit the budget, never the new one. The entry stays the
    // cache's: use it at once, the next call may evict it.
    const CVeyFaceImage* GetFaceImage(CArchiveSet& archives, const std::string& name);

    std::size_t GetCount() const { return entries.size(); }
    std::size_t Bytes() const { return bytes; }
    // Oldest first.
    const CVeyFaceImage* GetAt(std::size_t i) const { return entries[i].get(); }

private:
    std::vector<std::unique_ptr<CVeyFaceImage>> entries;
    std::size_t budget;
    std::size_t bytes = 0;  // pixels held by the entries
};

}  // namespace tarnwick
