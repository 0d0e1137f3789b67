// An archive's index (.hed records) and name directory, parsed from bytes in
// memory. Reading the files is the caller's: the steps below let it read
// only what the names need, and ParseArchiveIndex does them all at once
// for bytes already whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string_view>

#include "archive/dict_decoder.h"
#include "host/failure.h"
#include "host/mapped_memory.h"

namespace tarnwick {

struct HedRecord_T {
    std::uint32_t offset;      // of the stored bytes in the .dat
    std::uint32_t storedSize;  // bit 31: compressed; bits 0 to 30: stored bytes
    std::uint32_t fullSize;    // bytes of the entry's content
};

inline constexpr std::uint32_t kStoredCompressed = 0x80000000u;
inline constexpr std::uint32_t kStoredSizeMask = 0x7FFFFFFFu;
inline constexpr std::uint32_t kHedRecordSize = 12;
static_assert(sizeof(HedRecord_T) == kHedRecordSize);

// Frees a table from the heap; a table from an arena goes with the last
// table that holds the arena.
struct TableDelete_T {
    std::shared_ptr<CMappedArena> arena;

    template <typename T>
    void operator()(T* table) const
    {
        if (!arena)
            std::default_delete<T[]>()(table);
    }
};
template <typename T>
using Table_T = std::unique_ptr<T[], TableDelete_T>;

// count uninitialised elements from the heap, or null when there is not
// the memory: sizes come from the data, so running out is no crash.
template <typename T>
std::unique_ptr<T[]> AllocateArray(std::uint64_t count)
{
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T))
        return nullptr;
    try {
        return std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

struct ArchiveInfo_T {
    // Record 0 and one per name; records the .hed holds beyond those are
    // never read, so a .hed far larger than its names costs nothing.
    Table_T<HedRecord_T> indexTable;
    std::uint32_t recordCount = 0;
    Table_T<std::uint8_t> nameBlock;
    // nameCount + 1 offsets into nameBlock: name i runs from nameStarts[i] up
    // to its zero, the byte before nameStarts[i + 1].
    Table_T<std::uint32_t> nameStarts;
    std::uint32_t nameCount = 0;

    std::string_view Name(std::uint32_t i) const
    {
        return {reinterpret_cast<const char*>(nameBlock.get()) + nameStarts[i],
                nameStarts[i + 1] - nameStarts[i] - 1};
    }
    // 1-based entry number of the first name matching case-insensitively,
    // 0 when absent.
    std::uint32_t Find(std::string_view name) const;
};

// Largest content a compressed stream of storedBytes bytes can decode to:
// every code takes at least 2 bits and gives at most 100 bytes.
inline std::uint64_t MaxDecodedSize(std::uint64_t storedBytes)
{
    return storedBytes * 4 * kDictMaxString;
}

// Decodes exactly full bytes: a stream that stops short would leave stale
// bytes behind, which is a damaged entry, not a short one.
bool DecodeExactly(CDictDecoder& decoder, const std::uint8_t* src, std::uint32_t stored, std::uint8_t* dst,
                   std::uint32_t full);

// The record in the twelve little-endian bytes at the start of bytes.
HedRecord_T ParseHedRecord(std::span<const std::uint8_t, kHedRecordSize> bytes);

// Failures below name the .hed or .dat of archive n, as messages show them.

// The records a .hed of hedSize bytes holds: false when it holds records
// only partly or none at all. Record 0 places the name directory.
bool CountHedRecords(int n, std::uint64_t hedSize, std::uint32_t& records, Failure_T& why);

// Checks that record 0 places the name directory within a .dat of datSize
// bytes; toRead is then what to read from its offset: the stored bytes of
// a compressed directory, at most that many of a plain one (see
// CPlainDirectoryScan).
bool PlaceNameDirectory(int n, const HedRecord_T& directory, std::uint64_t datSize, std::uint64_t& toRead,
                        Failure_T& why);

// Finds where a plain name directory's names end as its bytes arrive, so
// that a size in record 0 far beyond the names (a sparse or hostile .dat)
// costs no reading and no memory.
class CPlainDirectoryScan {
public:
    // full: the directory's size from record 0, at least 4 as placed;
    // recordCount: the records the .hed holds.
    CPlainDirectoryScan(int n, std::uint32_t full, std::uint32_t recordCount);

    // have: the directory's first bytes, more than at the last call. False
    // with why set when the count cannot be right.
    bool Scan(std::span<const std::uint8_t> have, Failure_T& why);
    bool Done() const { return used != 0; }
    // The bytes that hold the count and the names (all of them when there
    // are fewer names than the count: left to ParseNameDirectory).
    std::uint64_t Used() const { return used; }

private:
    int archive;
    std::uint32_t fullSize;
    std::uint32_t recordsInFile;
    std::uint64_t scanned = 0;
    std::uint32_t count = 0;
    std::uint32_t seen = 0;
    std::uint64_t used = 0;
};

// The name directory from bytes: the stored bytes of a compressed one, a
// plain one's bytes up to CPlainDirectoryScan's Used(). Sets the name
// tables of info (from arena while it has room, else the heap).
bool ParseNameDirectory(int n, const HedRecord_T& directory, std::span<const std::uint8_t> bytes,
                        std::uint32_t recordCount, CDictDecoder& decoder,
                        const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& info, Failure_T& why);

// Record 0 and the records of info.nameCount names, from records: the
// .hed's bytes behind record 0, at least twelve per name.
bool ParseNameRecords(int n, const HedRecord_T& directory, std::span<const std::uint8_t> records,
                      const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& info, Failure_T& why);

// All of the above for a whole .hed and .dat in memory; out is only set on
// true.
bool ParseArchiveIndex(std::span<const std::uint8_t> hed, std::span<const std::uint8_t> dat, int n,
                       CDictDecoder& decoder, const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& out,
                       Failure_T& why);

}  // namespace tarnwick
