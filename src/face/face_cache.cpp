#include "face/face_cache.h"

#include <cstdint>
#include <new>

#include "archive/archive_set.h"
#include "archive/archive_table.h"

namespace tarnwick {

const CVeyFaceImage* CFaceCache::GetFaceImage(CArchiveSet& archives, const std::string& name)
{
    for (const std::unique_ptr<CVeyFaceImage>& entry : entries) {
        if (entry->name == name)
            return entry.get();
    }

    std::uint32_t length = 0;
    if (!archives.ReadEntry(kFaceArchive, name, &length) || length == 0)
        return nullptr;
    try {
        // Copied before anything else runs: the shared buffer belongs to
        // whoever reads next.
        const std::vector<std::uint8_t> png(archives.Buffer(), archives.Buffer() + length);

        auto entry = std::make_unique<CVeyFaceImage>();
        if (!DecodeFacePng(png, entry->image))
            return nullptr;
        entry->name = name;
        entries.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Appended first, so the entry handed out is never the one dropped.
    if (entries.size() > kFaceCacheSize)
        entries.erase(entries.begin());
    return entries.back().get();
}

}  // namespace tarnwick
