#include "archive/archive_set.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/host_file.h"
#include "host/host_path.h"
#include "archive/le_reader.h"

namespace tarnwick {

namespace {

// Address space for the tables of all the archives, of which the full game
// uses about 18 MiB; a larger game goes on from the heap.
constexpr std::size_t kTableArenaBytes = std::size_t{256} << 20;

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

Failure_T OutOfMemory(std::string subject)
{
    return Failure_T::System(std::move(subject), ENOMEM);
}

// Opens relative under base; on false why names relative and the reason.
bool OpenResolved(CHostFile& file, const std::string& base, const std::string& relative, Failure_T& why)
{
    const std::optional<std::string> path = ResolveUnder(base, relative);
    if (!path) {
        why = Failure_T::System(ShownPath(relative), ENOENT);
        return false;
    }
    if (!file.Open(*path)) {
        why = file.Failure(ShownPath(relative));
        return false;
    }
    return true;
}

// What opening an archive needs: the game folder, a decoder and room for
// stored bytes of its own, so that two threads can open archives at once.
struct Loader_T {
    const std::string& gameFolder;
    CDictDecoder& decoder;
    std::shared_ptr<CMappedArena> arena;  // for the tables, when there is one
    std::vector<std::uint8_t> scratch;
    Failure_T failure;

    bool Fail(Failure_T why)
    {
        failure = std::move(why);
        return false;
    }
    bool Damaged(int n, bool hed, std::string check)
    {
        return Fail(Failure_T::Damaged(ShownPath(hed ? ArchiveHedPaths()[n] : ArchiveDatPaths()[n]), std::move(check)));
    }
    bool OpenUnder(CHostFile& file, const std::string& relative)
    {
        return OpenResolved(file, gameFolder, relative, failure);
    }
    bool Reserve(std::uint64_t size)
    {
        try {
            if (scratch.size() < size)
                scratch.resize(static_cast<std::size_t>(size));
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
    }
};

// What is wrong with a compressed entry's sizes, its stored bytes starting
// within a .dat that has available bytes from there on: nothing, or the
// end of a message that follows "entry K".
std::optional<std::string> CompressedSizeProblem(const HedRecord_T& r, std::uint64_t available)
{
    const std::uint32_t stored = r.storedSize & kStoredSizeMask;
    if (stored > available)
        return " runs past the end of the file";
    if (r.fullSize > MaxDecodedSize(stored) ||
        std::uint64_t{r.fullSize} + stored > std::numeric_limits<std::uint32_t>::max())
        return "'s size is more than its stored bytes can hold";
    return std::nullopt;
}

// A stream that stops short of the full size would leave stale bytes in the
// entry; that is a damaged entry, not a short one.
bool DecodeExactly(CDictDecoder& decoder, const std::uint8_t* src, std::uint32_t stored, std::uint8_t* dst,
                   std::uint32_t full)
{
    std::uint32_t written = 0;
    return decoder.Decode(src, stored, dst, full, &written) && written == full;
}

// The record in the twelve little-endian bytes at bytes.
HedRecord_T RecordAt(const std::uint8_t* bytes)
{
    CLeReader reader({bytes, kHedRecordSize});
    HedRecord_T r{};
    reader.U32(r.offset);
    reader.U32(r.storedSize);
    reader.U32(r.fullSize);
    return r;
}

// Opens the .hed and reads record 0, which places the name directory; the
// records of the names are read once the directory says how many there are
// (ReadRecords), not as many as the file's size would hold.
bool OpenIndex(Loader_T& l, int n, CHostFile& hed, HedRecord_T& directory, std::uint32_t& recordsInFile)
{
    if (!l.OpenUnder(hed, ArchiveHedPaths()[n]))
        return false;
    // Records only: a partial record or no record 0 is a broken index.
    const std::uint64_t size = hed.Size();
    if (size < kHedRecordSize)
        return l.Damaged(n, true, "no record 0");
    if (size % kHedRecordSize != 0)
        return l.Damaged(n, true, "length is not a multiple of 12");
    if (size / kHedRecordSize > std::numeric_limits<std::uint32_t>::max())
        return l.Damaged(n, true, "too many records");
    recordsInFile = static_cast<std::uint32_t>(size / kHedRecordSize);
    std::uint8_t first[kHedRecordSize];
    if (hed.ReadAt(0, first, kHedRecordSize) != kHedRecordSize)
        return l.Fail(hed.Failure(ShownPath(ArchiveHedPaths()[n])));
    directory = RecordAt(first);
    return true;
}

// Record 0 (as the directory was read with it) and the records of the
// info.nameCount names.
bool ReadRecords(Loader_T& l, int n, CHostFile& hed, const HedRecord_T& directory, ArchiveInfo_T& info)
{
    info.recordCount = info.nameCount + 1;
    info.indexTable = AllocateTable<HedRecord_T>(info.recordCount, l.arena);
    if (!info.indexTable)
        return l.Fail(OutOfMemory(ShownPath(ArchiveHedPaths()[n])));
    // The records are read straight into the table, which has their layout:
    // three little-endian 32-bit numbers each.
    info.indexTable[0] = directory;
    auto* bytes = reinterpret_cast<std::uint8_t*>(info.indexTable.get() + 1);
    const std::uint64_t size = std::uint64_t{info.nameCount} * kHedRecordSize;
    if (hed.ReadAt(kHedRecordSize, bytes, size) != size)
        return l.Fail(hed.Failure(ShownPath(ArchiveHedPaths()[n])));
    if constexpr (std::endian::native != std::endian::little) {
        for (std::uint32_t k = 1; k < info.recordCount; ++k)
            info.indexTable[k] = RecordAt(bytes + std::size_t{k - 1} * kHedRecordSize);
    }
    return true;
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

// A stored name directory of full bytes, read into l.scratch a block at a
// time only until its count of names is complete: a size in record 0 far
// beyond the names (a sparse or hostile .dat) costs no memory. Gives the
// bytes that hold the count and the names, 0 with the failure set.
std::uint64_t ReadStoredDirectory(Loader_T& l, int n, CHostFile& dat, std::uint32_t full,
                                  std::uint32_t recordCount)
{
    constexpr std::uint64_t kFirstBlock = std::uint64_t{1} << 20;
    std::uint64_t have = 0;
    std::uint32_t count = 0;
    std::uint32_t seen = 0;
    for (;;) {
        // Blocks double, so that a large directory takes few reads.
        const std::uint64_t want = std::min<std::uint64_t>(full - have, std::max(have, kFirstBlock));
        if (!l.Reserve(have + want)) {
            l.Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
            return 0;
        }
        if (dat.Read(l.scratch.data() + have, want) != want) {
            l.Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));
            return 0;
        }
        std::uint64_t from = have;
        if (have == 0) {
            CLeReader({l.scratch.data(), 4}).U32(count);
            from = 4;
            // The checks LoadNameDirectory makes, before a count that
            // cannot be right has more read.
            if (count > full - 4) {
                l.Damaged(n, false, "the name directory holds fewer names than its count");
                return 0;
            }
            if (count > recordCount - 1) {
                l.Damaged(n, true, "fewer records than names");
                return 0;
            }
        }
        have += want;
        if (count == 0)
            return 4;
        const std::uint64_t last = FindZero(l.scratch.data(), from, have, count, seen);
        if (last < have)
            return last + 1;
        if (have == full)
            return full;  // fewer names than the count: left to the check
    }
}

bool LoadNameDirectory(Loader_T& l, int n, CHostFile& dat, const HedRecord_T& r, ArchiveInfo_T& info)
{
    if (r.offset > dat.Size())
        return l.Damaged(n, false, "the name directory lies beyond the end of the file");
    if (!dat.Seek(r.offset))
        return l.Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));

    const std::uint64_t available = dat.Size() - r.offset;
    std::uint32_t full = r.fullSize;
    if (full < 4)
        return l.Damaged(n, false, "the name directory is shorter than its count");
    Table_T<std::uint8_t> block;
    if (r.storedSize & kStoredCompressed) {
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        if (stored > available)
            return l.Damaged(n, false, "the name directory runs past the end of the file");
        if (full > MaxDecodedSize(stored))
            return l.Damaged(n, false, "the name directory's size is more than its stored bytes can hold");
        if (!l.Reserve(stored))
            return l.Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        if (dat.Read(l.scratch.data(), stored) != stored)
            return l.Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));
        block = AllocateTable<std::uint8_t>(full, l.arena);
        if (!block)
            return l.Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        if (!DecodeExactly(l.decoder, l.scratch.data(), stored, block.get(), full))
            return l.Damaged(n, false, "the name directory does not decode");
    } else {
        if (full > available)
            return l.Damaged(n, false, "the name directory runs past the end of the file");
        const std::uint64_t used = ReadStoredDirectory(l, n, dat, full, info.recordCount);
        if (used == 0)
            return false;
        // Only the bytes up to the last name's zero are kept.
        full = static_cast<std::uint32_t>(used);
        block = AllocateTable<std::uint8_t>(full, l.arena);
        if (!block)
            return l.Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        std::memcpy(block.get(), l.scratch.data(), full);
    }

    CLeReader reader({block.get(), full});
    std::uint32_t count = 0;
    reader.U32(count);
    // Every name takes at least its zero byte, and every name needs a record
    // behind record 0.
    if (count > full - 4)
        return l.Damaged(n, false, "the name directory holds fewer names than its count");
    if (count > info.recordCount - 1)
        return l.Damaged(n, true, "fewer records than names");
    // Where each name starts in the block, and where the one after the last
    // would: a name ends one byte (its zero) before the next one starts.
    Table_T<std::uint32_t> starts = AllocateTable<std::uint32_t>(std::size_t{count} + 1, l.arena);
    if (!starts)
        return l.Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
    if (!FindNameStarts(block.get(), 4, full, count, starts.get()))
        return l.Damaged(n, false, "the name directory holds fewer names than its count");

    info.nameBlock = std::move(block);
    info.nameStarts = std::move(starts);
    info.nameCount = count;
    return true;
}

bool LoadArchive(Loader_T& l, int n, ArchiveInfo_T& info)
{
    CHostFile hed;
    HedRecord_T directory{};
    std::uint32_t recordsInFile = 0;
    if (!OpenIndex(l, n, hed, directory, recordsInFile))
        return false;
    CHostFile dat;
    if (!l.OpenUnder(dat, ArchiveDatPaths()[n]))
        return false;
    // Until the names say how many records to read, recordCount is what the
    // .hed could hold.
    info.recordCount = recordsInFile;
    return LoadNameDirectory(l, n, dat, directory, info) && ReadRecords(l, n, hed, directory, info);
}

Failure_T TooLarge(std::string subject, std::uint64_t size, std::uint64_t maxSize)
{
    Failure_T f = Failure_T::System(std::move(subject), 0);
    f.detail = std::to_string(size) + " bytes, more than the " + std::to_string(maxSize) + " its use allows";
    return f;
}

}  // namespace

CArchiveSet::CArchiveSet() : decoder(std::make_unique<CDictDecoder>()) {}
CArchiveSet::~CArchiveSet() = default;

std::uint32_t ArchiveInfo_T::Find(std::string_view name) const
{
    for (std::uint32_t i = 0; i < nameCount; ++i) {
        if (EqualsNoCase(Name(i), name))
            return i + 1;
    }
    return 0;
}

int OpenAllArchives(CArchiveSet& set, const ReadAhead_T* readAhead)
{
    return set.OpenAllArchives(readAhead);
}

int CArchiveSet::OpenAllArchives(const ReadAhead_T* readAhead)
{
    // The name directories take most of start-up to decode: two threads
    // share the archives, and the results are taken in order afterwards, so
    // the archives open, and the first failure, are those of opening them
    // one by one.
    failure = {};
    aheadEntry = {};
    AheadEntry_T ahead;  // written by the one thread that opens its archive
    // The entry's stored bytes decoded as ReadIndexedEntry would; anything
    // unusual (absent, stored plain, too large, damaged) is left to it.
    const auto decodeAhead = [&](Loader_T& l, int n, const ArchiveInfo_T& info) {
        const std::uint32_t k = info.Find(readAhead->name);
        if (k == 0)
            return;
        const HedRecord_T& r = info.indexTable[k];
        if (!(r.storedSize & kStoredCompressed) || r.fullSize > readAhead->maxSize)
            return;
        CHostFile dat;
        Failure_T ignored;
        if (!OpenResolved(dat, gameFolder, ArchiveDatPaths()[n], ignored) || r.offset > dat.Size() ||
            CompressedSizeProblem(r, dat.Size() - r.offset))
            return;
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        const std::uint64_t total = std::uint64_t{r.fullSize} + stored;
        std::unique_ptr<std::uint8_t[]> block = AllocateArray<std::uint8_t>(total);
        if (!block || dat.ReadAt(r.offset, block.get() + r.fullSize, stored) != stored ||
            !DecodeExactly(l.decoder, block.get() + r.fullSize, stored, block.get(), r.fullSize))
            return;
        ahead = {n, k, std::move(block), static_cast<std::uint32_t>(total)};
    };
    // The tables of all the archives share one arena, which goes with the
    // last of them. Without one, they come from the heap.
    std::shared_ptr<CMappedArena> arena;
    try {
        arena = std::make_shared<CMappedArena>(kTableArenaBytes);
    } catch (const std::bad_alloc&) {
    }
    auto loaded = std::make_unique<ArchiveInfo_T[]>(kArchiveCount);
    auto why = std::make_unique<Failure_T[]>(kArchiveCount);
    auto ok = std::make_unique<bool[]>(kArchiveCount);
    std::atomic<int> next{0};
    std::atomic<int> firstFailed{kArchiveCount};
    const auto work = [&](CDictDecoder& dec) {
        Loader_T loader{gameFolder, dec, arena, {}, {}};
        for (int n = next++; n < kArchiveCount && n < firstFailed.load(); n = next++) {
            ok[n] = LoadArchive(loader, n, loaded[n]);
            if (ok[n]) {
                if (readAhead && n == readAhead->archive)
                    decodeAhead(loader, n, loaded[n]);
                continue;
            }
            why[n] = std::move(loader.failure);
            for (int seen = firstFailed.load(); n < seen && !firstFailed.compare_exchange_weak(seen, n);) {
            }
        }
    };
    std::thread second;
    std::unique_ptr<CDictDecoder> secondDecoder;
    try {
        secondDecoder = std::make_unique<CDictDecoder>();
        second = std::thread(work, std::ref(*secondDecoder));
    } catch (const std::exception&) {
        // No second thread: this one opens them all.
    }
    work(*decoder);
    if (second.joinable())
        second.join();

    for (int n = 0; n < kArchiveCount; ++n) {
        if (keptDatArchive == n)
            keptDat.reset();
        if (!ok[n]) {
            archives[n] = ArchiveInfo_T();
            failure = std::move(why[n]);
            return n;
        }
        archives[n] = std::move(loaded[n]);
    }
    aheadEntry = std::move(ahead);
    return -1;
}

void CArchiveSet::KeepDataFileOpen(bool keep)
{
    keepDataFile = keep;
    overrideFolders.clear();
    if (!keep)
        keptDat.reset();
}

// The host path of base's override folder, when it is a folder.
const std::optional<std::string>& CArchiveSet::FindOverrideFolder(const std::string& base,
                                                                  const std::string& overrideFolder)
{
    const std::string key = base + '\n' + overrideFolder;
    auto known = overrideFolders.find(key);
    if (known == overrideFolders.end()) {
        std::optional<std::string> path = ResolveUnder(base, overrideFolder);
        std::error_code ec;
        if (path && !std::filesystem::is_directory(*path, ec))
            path.reset();
        known = overrideFolders.emplace(key, std::move(path)).first;
    }
    return known->second;
}

// The open .dat of archive n: the kept one when it is still the right file,
// else one opened into local (or kept, when tools ask for that). Null with
// the failure set when it cannot be opened.
CHostFile* CArchiveSet::DataFile(int n, CHostFile& local)
{
    if (keptDat && keptDatArchive == n && keptDatFolder == gameFolder)
        return keptDat.get();
    keptDat.reset();
    CHostFile* file = &local;
    if (keepDataFile) {
        keptDat = std::make_unique<CHostFile>();
        file = keptDat.get();
    }
    if (!OpenUnder(*file, gameFolder, ArchiveDatPaths()[n])) {
        keptDat.reset();
        return nullptr;
    }
    keptDatArchive = n;
    keptDatFolder = gameFolder;
    return file;
}

bool CArchiveSet::Fail(Failure_T why)
{
    failure = std::move(why);
    return false;
}

// Opens relative under base; on false the failure names relative.
bool CArchiveSet::OpenUnder(CHostFile& file, const std::string& base, const std::string& relative)
{
    return OpenResolved(file, base, relative, failure);
}

bool CArchiveSet::IsOpen(int n) const
{
    return IsArchiveNumber(n) && archives[n].indexTable != nullptr;
}

std::uint32_t CArchiveSet::NameCount(int n) const
{
    return IsOpen(n) ? archives[n].nameCount : 0;
}

std::string_view CArchiveSet::NameAt(int n, std::uint32_t i) const
{
    return i < NameCount(n) ? archives[n].Name(i) : std::string_view();
}

const HedRecord_T* CArchiveSet::Record(int n, std::uint32_t k) const
{
    return IsOpen(n) && k < archives[n].recordCount ? &archives[n].indexTable[k] : nullptr;
}

bool CArchiveSet::OpenArchive(int n)
{
    failure = {};
    if (!IsArchiveNumber(n))
        return Fail(Failure_T::NotFound("archive " + std::to_string(n), "the archive table (0 to 107)"));
    archives[n] = ArchiveInfo_T();
    aheadEntry = {};
    if (keptDatArchive == n)
        keptDat.reset();
    ArchiveInfo_T info;
    Loader_T loader{gameFolder, *decoder, nullptr, {}, {}};
    if (!LoadArchive(loader, n, info))
        return Fail(std::move(loader.failure));
    archives[n] = std::move(info);
    return true;
}

std::uint32_t CArchiveSet::FindEntry(int n, std::string_view name) const
{
    if (!IsOpen(n))
        return 0;
    return archives[n].Find(name);
}

bool CArchiveSet::ReadEntry(int n, std::string_view name, std::uint32_t* length)
{
    return ReadEntry(n, name, length, std::numeric_limits<std::uint64_t>::max());
}

bool CArchiveSet::ReadEntry(int n, std::string_view name, std::uint32_t* length, std::uint64_t maxSize)
{
    failure = {};
    if (length)
        *length = 0;
    const std::uint32_t k = FindEntry(n, name);
    if (k == 0)
        return Fail(Failure_T::NotFound(std::string(name), "archive " + std::to_string(n)));
    return ReadFoundEntry(n, k, name, length, maxSize);
}

bool CArchiveSet::ReadEntryNumber(int n, std::uint32_t k, std::uint32_t* length)
{
    failure = {};
    if (length)
        *length = 0;
    if (k == 0 || k > NameCount(n))
        return Fail(Failure_T::NotFound("entry " + std::to_string(k), "archive " + std::to_string(n)));
    return ReadFoundEntry(n, k, NameAt(n, k - 1), length, std::numeric_limits<std::uint64_t>::max());
}

bool CArchiveSet::ReadFoundEntry(int n, std::uint32_t k, std::string_view name, std::uint32_t* length,
                                 std::uint64_t maxSize)
{
    // Whatever was read ahead serves this read or none.
    AheadEntry_T ahead = std::exchange(aheadEntry, {});
    CHostFile file;
    std::string shown;
    if (OpenOverride(n, name, file, shown))
        return ReadLooseFile(file, shown, length, maxSize);
    return ReadIndexedEntry(k, n, length, maxSize, std::move(ahead));
}

bool CArchiveSet::OpenOverride(int n, std::string_view name, CHostFile& file, std::string& shown)
{
    const std::string overrideFolder = "unpack\\" + ArchiveDatPaths()[n];
    return (looseInProgramFolder && OpenLooseFile(programFolder, overrideFolder, name, file, shown)) ||
           (looseInGameFolder && OpenLooseFile(gameFolder, overrideFolder, name, file, shown));
}

bool CArchiveSet::OpenLooseFile(const std::string& base, const std::string& overrideFolder, std::string_view name,
                                CHostFile& file, std::string& shown)
{
    if (base.empty())
        return false;
    // A tool reading many entries looks for the override folder once; the
    // window looks every time, so a folder made while it runs counts.
    std::string searchBase = base;
    std::string folder = overrideFolder + "\\";
    if (keepDataFile) {
        const std::optional<std::string>& found = FindOverrideFolder(base, overrideFolder);
        if (!found)
            return false;
        searchBase = *found;
        folder.clear();
    }
    std::string relative = folder + "pri-" + std::string(name);
    if (!OpenUnder(file, searchBase, relative)) {
        relative = folder + std::string(name);
        if (!OpenUnder(file, searchBase, relative)) {
            failure = {};
            return false;
        }
    }
    shown = JoinPath(base, ShownPath(overrideFolder + "\\" + relative.substr(folder.size())));
    return true;
}

// A loose file that exists is final, even an empty one.
bool CArchiveSet::ReadLooseFile(CHostFile& file, const std::string& shown, std::uint32_t* length,
                                std::uint64_t maxSize)
{
    if (!file.Seek(0))
        return true;
    const std::uint64_t size = file.Size();
    if (size > maxSize)
        return Fail(TooLarge(shown, size, maxSize));
    if (size > std::numeric_limits<std::uint32_t>::max())
        return Fail(Failure_T::System(shown, EFBIG));
    if (size != 0) {
        if (!ReserveBuffer(size))
            return Fail(OutOfMemory(shown));
        const std::uint64_t got = file.Read(buffer.get(), size);
        if (length)
            *length = static_cast<std::uint32_t>(got);
    }
    return true;
}

bool CArchiveSet::CopyEntry(int n, std::string_view name, const EntrySink& sink, std::uint64_t maxDecoded,
                            std::uint64_t* size)
{
    failure = {};
    if (size)
        *size = 0;
    const std::uint32_t k = FindEntry(n, name);
    if (k == 0)
        return Fail(Failure_T::NotFound(std::string(name), "archive " + std::to_string(n)));
    return CopyFoundEntry(n, k, name, sink, maxDecoded, size);
}

bool CArchiveSet::CopyEntryNumber(int n, std::uint32_t k, const EntrySink& sink, std::uint64_t maxDecoded,
                                  std::uint64_t* size)
{
    failure = {};
    if (size)
        *size = 0;
    if (k == 0 || k > NameCount(n))
        return Fail(Failure_T::NotFound("entry " + std::to_string(k), "archive " + std::to_string(n)));
    return CopyFoundEntry(n, k, NameAt(n, k - 1), sink, maxDecoded, size);
}

bool CArchiveSet::CopyFoundEntry(int n, std::uint32_t k, std::string_view name, const EntrySink& sink,
                                 std::uint64_t maxDecoded, std::uint64_t* size)
{
    AheadEntry_T ahead = std::exchange(aheadEntry, {});
    CHostFile file;
    std::string shown;
    if (OpenOverride(n, name, file, shown)) {
        // The same refusal as ReadEntry's, though a copy could go on.
        if (file.Size() > std::numeric_limits<std::uint32_t>::max())
            return Fail(Failure_T::System(shown, EFBIG));
        if (size)
            *size = file.Size();
        return CopyFileBytes(file, 0, file.Size(), shown, sink);
    }

    const HedRecord_T& r = archives[n].indexTable[k];
    if (r.storedSize & kStoredCompressed) {
        // The decoder needs the whole of its output at once.
        std::uint32_t length = 0;
        if (!ReadIndexedEntry(k, n, &length, maxDecoded, std::move(ahead)))
            return false;
        if (size)
            *size = length;
        for (std::uint32_t done = 0; done < length;) {
            const std::uint32_t block = std::min(length - done, kCopyBlockBytes);
            if (!sink({buffer.get() + done, block}))
                return Fail({});
            done += block;
        }
        return true;
    }
    CHostFile local;
    CHostFile* const dat = DataFile(n, local);
    if (!dat)
        return false;
    shown = ShownPath(ArchiveDatPaths()[n]);
    if (r.offset > dat->Size())
        return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " lies beyond the end of the file"));
    // A .dat cut short gives what is there.
    const std::uint64_t count = std::min<std::uint64_t>(r.fullSize, dat->Size() - r.offset);
    if (size)
        *size = count;
    return CopyFileBytes(*dat, r.offset, count, shown, sink);
}

bool CArchiveSet::CopyFileBytes(CHostFile& file, std::uint64_t offset, std::uint64_t count,
                                const std::string& shown, const EntrySink& sink)
{
    if (count == 0)
        return true;
    if (!ReserveBuffer(std::min<std::uint64_t>(count, kCopyBlockBytes)))
        return Fail(OutOfMemory(shown));
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t want = std::min<std::uint64_t>(count - done, kCopyBlockBytes);
        const std::uint64_t got = file.ReadAt(offset + done, buffer.get(), want);
        if (got != 0 && !sink({buffer.get(), static_cast<std::size_t>(got)}))
            return Fail({});
        if (got < want) {
            // Cut short meanwhile gives what was there, as ReadEntry does;
            // an error the system reports is no end of the file.
            const Failure_T why = file.Failure(shown);
            return why.kind == FailureKind::kSystem ? Fail(why) : true;
        }
        done += got;
    }
    return true;
}

bool CArchiveSet::ReadIndexedEntry(std::uint32_t k, int n, std::uint32_t* length, std::uint64_t maxSize,
                                   AheadEntry_T ahead)
{
    CHostFile local;
    CHostFile* const file = DataFile(n, local);
    if (!file)
        return false;
    CHostFile& dat = *file;
    const std::string shown = ShownPath(ArchiveDatPaths()[n]);
    const HedRecord_T& r = archives[n].indexTable[k];
    if (r.fullSize > maxSize)
        return Fail(TooLarge(std::string(NameAt(n, k - 1)) + " in archive " + std::to_string(n), r.fullSize,
                             maxSize));
    if (r.offset > dat.Size())
        return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " lies beyond the end of the file"));
    const std::uint64_t available = dat.Size() - r.offset;

    if (r.storedSize & kStoredCompressed) {
        // The stored bytes go behind the room of the decoded bytes, so the
        // decoder never writes over what it still has to read.
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        const std::uint32_t full = r.fullSize;
        const std::uint64_t total = std::uint64_t{full} + stored;
        if (const std::optional<std::string> problem = CompressedSizeProblem(r, available))
            return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + *problem));
        if (ahead.archive == n && ahead.entry == k) {
            // Decoded while the archives opened: its block becomes the
            // buffer, unless the buffer is larger already (it never shrinks).
            if (ahead.blockSize > capacity) {
                buffer = std::move(ahead.block);
                capacity = ahead.blockSize;
            } else {
                std::memcpy(buffer.get(), ahead.block.get(), full);
            }
        } else {
            if (!ReserveBuffer(total))
                return Fail(OutOfMemory(shown));
            if (dat.ReadAt(r.offset, buffer.get() + full, stored) != stored)
                return Fail(dat.Failure(shown));
            if (!DecodeExactly(*decoder, buffer.get() + full, stored, buffer.get(), full))
                return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " does not decode"));
        }
        if (length)
            *length = full;
        return true;
    }

    // A .dat cut short gives what is there: the count actually read.
    const std::uint64_t want = std::min<std::uint64_t>(r.fullSize, available);
    if (!ReserveBuffer(want))
        return Fail(OutOfMemory(shown));
    const std::uint64_t got = want != 0 ? dat.ReadAt(r.offset, buffer.get(), want) : 0;
    if (length)
        *length = static_cast<std::uint32_t>(got);
    return true;
}

bool CArchiveSet::ReserveBuffer(std::uint64_t size)
{
    if (size <= capacity)
        return true;
    if (size > std::numeric_limits<std::uint32_t>::max())
        return false;
    std::unique_ptr<std::uint8_t[]> grown = AllocateArray<std::uint8_t>(size);
    if (!grown)
        return false;
    buffer = std::move(grown);
    capacity = static_cast<std::uint32_t>(size);
    return true;
}

}  // namespace tarnwick
