#include "archive/archive_index.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "archive/archive_table.h"
#include "archive/le_reader.h"
#include "host/host_path.h"

namespace tarnwick {

namespace {

// A table from the arena when it has room, else from the heap; empty when
// neither has the memory.
template <typename T>
Table_T<T> AllocateTable(std::uint64_t count, const std::shared_ptr<CMappedArena>& arena)
{
    static_assert(std::is_trivially_destructible_v<T> && alignof(T) <= alignof(std::max_align_t));
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T))
        return nullptr;
    if (arena) {
        if (void* p = arena->Allocate(static_cast<std::size_t>(count) * sizeof(T)))
            return Table_T<T>(static_cast<T*>(p), TableDelete_T{arena});
    }
    return Table_T<T>(AllocateArray<T>(count).release(), TableDelete_T{});
}

std::string HedShown(int n) { return ShownPath(ArchiveHedPaths()[n]); }
std::string DatShown(int n) { return ShownPath(ArchiveDatPaths()[n]); }

bool Damaged(Failure_T& why, std::string subject, std::string check)
{
    why = Failure_T::Damaged(std::move(subject), std::move(check));
    return false;
}

bool OutOfMemory(Failure_T& why, std::string subject)
{
    why = Failure_T::System(std::move(subject), ENOMEM);
    return false;
}

// Where each of count names, each ended by a zero byte, starts in
// block[from, end), and where the one after the last would: false when the
// block holds fewer. Names are short, so the zeros are found eight bytes at
// a time rather than by a call per name.
bool FindNameStarts(const std::uint8_t* block, std::uint32_t from, std::uint32_t end, std::uint32_t count,
                    std::uint32_t* starts)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    starts[0] = from;
    std::uint32_t found = 0;
    std::uint32_t at = from;
    for (; found < count && end - at >= 8; at += 8) {
        std::uint64_t v;
        std::memcpy(&v, block + at, sizeof v);
        if constexpr (std::endian::native == std::endian::big)
            v = __builtin_bswap64(v);
        // Bit 7 of each byte that is zero, and no other bit: adding within
        // the low seven bits never carries into the next byte.
        std::uint64_t zeros = ~(((v & kLow7) + kLow7) | v | kLow7);
        for (; zeros != 0 && found < count; zeros &= zeros - 1)
            starts[++found] = at + static_cast<std::uint32_t>(std::countr_zero(zeros) >> 3) + 1;
    }
    for (; found < count && at < end; ++at) {
        if (block[at] == 0)
            starts[++found] = at + 1;
    }
    return found == count;
}

// Where the count-th zero byte of block[from, end) lies, or end when there
// are fewer; seen counts the zeros passed on the way.
std::uint64_t FindZero(const std::uint8_t* block, std::uint64_t from, std::uint64_t end, std::uint32_t count,
                       std::uint32_t& seen)
{
    const auto zeros = static_cast<std::uint64_t>(std::count(block + from, block + end, std::uint8_t{0}));
    if (seen + zeros < count) {
        seen += static_cast<std::uint32_t>(zeros);
        return end;
    }
    for (std::uint64_t at = from;; ++at) {
        if (block[at] == 0 && ++seen == count)
            return at;
    }
}

// The checks of a directory's count against its size and the records,
// made before its names are looked for.
bool CheckNameCount(int n, std::uint32_t count, std::uint64_t full, std::uint32_t recordCount, Failure_T& why)
{
    // Every name takes at least its zero byte, and every name needs a record
    // behind record 0.
    if (count > full - 4)
        return Damaged(why, DatShown(n), "the name directory holds fewer names than its count");
    if (count > recordCount - 1)
        return Damaged(why, HedShown(n), "fewer records than names");
    return true;
}

}  // namespace

std::uint32_t ArchiveInfo_T::Find(std::string_view name) const
{
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        if (EqualsNoCase(Name(i), name))
            return i + 1;
    }
    return 0;
}

bool DecodeExactly(CDictDecoder& decoder, const std::uint8_t* src, std::uint32_t stored, std::uint8_t* dst,
                   std::uint32_t full)
{
    std::uint32_t written = 0;
    return decoder.Decode(src, stored, dst, full, &written) && written == full;
}

HedRecord_T ParseHedRecord(std::span<const std::uint8_t, kHedRecordSize> bytes)
{
    CLeReader reader(bytes);
    HedRecord_T r{};
    reader.U32(r.offset);
    reader.U32(r.storedSize);
    reader.U32(r.fullSize);
    return r;
}

bool CountHedRecords(int n, std::uint64_t hedSize, std::uint32_t& records, Failure_T& why)
{
    // Records only: a partial record or no record 0 is a broken index.
    if (hedSize < kHedRecordSize)
        return Damaged(why, HedShown(n), "no record 0");
    if (hedSize % kHedRecordSize != 0)
        return Damaged(why, HedShown(n), "length is not a multiple of 12");
    if (hedSize / kHedRecordSize > std::numeric_limits<std::uint32_t>::max())
        return Damaged(why, HedShown(n), "too many records");
    records = static_cast<std::uint32_t>(hedSize / kHedRecordSize);
    return true;
}

bool PlaceNameDirectory(int n, const HedRecord_T& directory, std::uint64_t datSize, std::uint64_t& toRead,
                        Failure_T& why)
{
    const HedRecord_T& r = directory;
    if (r.offset > datSize)
        return Damaged(why, DatShown(n), "the name directory lies beyond the end of the file");
    const std::uint64_t available = datSize - r.offset;
    if (r.fullSize < 4)
        return Damaged(why, DatShown(n), "the name directory is shorter than its count");
    if (r.storedSize & kStoredCompressed) {
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        if (stored > available)
            return Damaged(why, DatShown(n), "the name directory runs past the end of the file");
        if (r.fullSize > MaxDecodedSize(stored))
            return Damaged(why, DatShown(n), "the name directory's size is more than its stored bytes can hold");
        toRead = stored;
    } else {
        if (r.fullSize > available)
            return Damaged(why, DatShown(n), "the name directory runs past the end of the file");
        toRead = r.fullSize;
    }
    return true;
}

CPlainDirectoryScan::CPlainDirectoryScan(int n, std::uint32_t full, std::uint32_t recordCount)
    : archive(n), fullSize(full), recordsInFile(recordCount)
{
}

bool CPlainDirectoryScan::Scan(std::span<const std::uint8_t> have, Failure_T& why)
{
    if (Done() || have.size() <= scanned)
        return true;
    std::uint64_t from = scanned;
    if (scanned == 0) {
        if (!CLeReader(have).U32(count)) {
            if (have.size() < fullSize)
                return true;  // the count itself is still to come
            return Damaged(why, DatShown(archive), "the name directory is shorter than its count");
        }
        from = 4;
        // The checks ParseNameDirectory makes, before a count that cannot
        // be right has more read.
        if (!CheckNameCount(archive, count, fullSize, recordsInFile, why))
            return false;
    }
    scanned = have.size();
    if (count == 0) {
        used = 4;
        return true;
    }
    const std::uint64_t last = FindZero(have.data(), from, scanned, count, seen);
    if (last < scanned)
        used = last + 1;
    else if (scanned >= fullSize)
        used = fullSize;  // fewer names than the count: left to the check
    return true;
}

bool ParseNameDirectory(int n, const HedRecord_T& directory, std::span<const std::uint8_t> bytes,
                        std::uint32_t recordCount, CDictDecoder& decoder,
                        const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& info, Failure_T& why)
{
    Table_T<std::uint8_t> block;
    std::uint32_t full = directory.fullSize;
    if (directory.storedSize & kStoredCompressed) {
        const std::uint32_t stored = directory.storedSize & kStoredSizeMask;
        if (bytes.size() < stored || full < 4)
            return Damaged(why, DatShown(n), "the name directory runs past the end of the file");
        block = AllocateTable<std::uint8_t>(full, arena);
        if (!block)
            return OutOfMemory(why, DatShown(n));
        if (!DecodeExactly(decoder, bytes.data(), stored, block.get(), full))
            return Damaged(why, DatShown(n), "the name directory does not decode");
    } else {
        // Only the bytes up to the last name's zero are kept.
        if (bytes.size() < 4 || bytes.size() > full)
            return Damaged(why, DatShown(n), "the name directory is shorter than its count");
        full = static_cast<std::uint32_t>(bytes.size());
        block = AllocateTable<std::uint8_t>(full, arena);
        if (!block)
            return OutOfMemory(why, DatShown(n));
        std::memcpy(block.get(), bytes.data(), full);
    }

    std::uint32_t count = 0;
    CLeReader({block.get(), full}).U32(count);
    if (!CheckNameCount(n, count, full, recordCount, why))
        return false;
    // Where each name starts in the block, and where the one after the last
    // would: a name ends one byte (its zero) before the next one starts.
    Table_T<std::uint32_t> starts = AllocateTable<std::uint32_t>(std::uint64_t{count} + 1, arena);
    if (!starts)
        return OutOfMemory(why, DatShown(n));
    if (!FindNameStarts(block.get(), 4, full, count, starts.get()))
        return Damaged(why, DatShown(n), "the name directory holds fewer names than its count");

    info.nameBlock = std::move(block);
    info.nameStarts = std::move(starts);
    info.nameCount = count;
    return true;
}

bool ParseNameRecords(int n, const HedRecord_T& directory, std::span<const std::uint8_t> records,
                      const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& info, Failure_T& why)
{
    const std::uint64_t size = std::uint64_t{info.nameCount} * kHedRecordSize;
    if (records.size() < size)
        return Damaged(why, HedShown(n), "fewer records than names");
    info.recordCount = info.nameCount + 1;
    info.indexTable = AllocateTable<HedRecord_T>(info.recordCount, arena);
    if (!info.indexTable)
        return OutOfMemory(why, HedShown(n));
    info.indexTable[0] = directory;
    if constexpr (std::endian::native == std::endian::little) {
        // The table has the records' layout: three little-endian 32-bit
        // numbers each.
        if (size != 0)
            std::memcpy(info.indexTable.get() + 1, records.data(), static_cast<std::size_t>(size));
    } else {
        for (std::uint32_t k = 1; k < info.recordCount; ++k)
            info.indexTable[k] = ParseHedRecord(
                records.subspan(std::size_t{k - 1} * kHedRecordSize).first<kHedRecordSize>());
    }
    return true;
}

bool ParseArchiveIndex(std::span<const std::uint8_t> hed, std::span<const std::uint8_t> dat, int n,
                       CDictDecoder& decoder, const std::shared_ptr<CMappedArena>& arena, ArchiveInfo_T& out,
                       Failure_T& why)
{
    std::uint32_t recordsInFile = 0;
    if (!CountHedRecords(n, hed.size(), recordsInFile, why))
        return false;
    const HedRecord_T directory = ParseHedRecord(hed.first<kHedRecordSize>());
    std::uint64_t toRead = 0;
    if (!PlaceNameDirectory(n, directory, dat.size(), toRead, why))
        return false;
    std::span<const std::uint8_t> bytes = dat.subspan(directory.offset, static_cast<std::size_t>(toRead));
    if (!(directory.storedSize & kStoredCompressed)) {
        CPlainDirectoryScan scan(n, directory.fullSize, recordsInFile);
        if (!scan.Scan(bytes, why))
            return false;
        bytes = bytes.first(static_cast<std::size_t>(scan.Used()));
    }
    ArchiveInfo_T info;
    if (!ParseNameDirectory(n, directory, bytes, recordsInFile, decoder, arena, info, why) ||
        !ParseNameRecords(n, directory, hed.subspan(kHedRecordSize), arena, info, why))
        return false;
    out = std::move(info);
    return true;
}

}  // namespace tarnwick
