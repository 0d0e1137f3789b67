#include "face/face_cache.h"

#include <cstddef>
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
    if (!archives.ReadEntry(kFaceArchive, name, &length, kMaxFaceEntryBytes) || length == 0)
        return nullptr;
    try {
        // Copied before anything else runs: the shared buffer belongs to
        // whoever reads next.
        const std::vector<std::uint8_t> png(archives.Buffer(), archives.Buffer() + length);

        auto entry = std::make_unique<CVeyFaceImage>();
        if (!DecodeFacePng(png, entry->image))
            return nullptr;
        entry->name = name;
        bytes += entry->image.Bytes();
        entries.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Appended first, so the entry handed out is never the one dropped.
    std::size_t drop = 0;
    while (entries.size() - drop > 1 && (entries.size() - drop > kFaceCacheSize || bytes > budget))
        bytes -= entries[drop++]->image.Bytes();
    entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(drop));
    return entries.back().get();
}

}  // namespace tarnwick
