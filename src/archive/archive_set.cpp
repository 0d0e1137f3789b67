#include "archive/archive_set.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/host_file.h"
#include "host/host_path.h"

namespace tarnwick {

namespace {

// Address space for the tables of all the archives, of which the full game
// uses about 18 MiB; a larger game goes on from the heap.
constexpr std::size_t kTableArenaBytes = std::size_t{256} << 20;

Failure_T OutOfMemory(std::string subject)
{
    return Failure_T::System(std::move(subject), ENOMEM);
}

// What opening an archive needs: the game folder, a decoder and room for
// the bytes it reads of its own, so that two threads can open archives at
// once.
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
    bool OpenUnder(CHostFile& file, const std::string& relative)
    {
        return tarnwick::OpenUnder(file, gameFolder, relative, failure);
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

// Reads the name directory that record 0 places into l.scratch: a
// compressed one's stored bytes, a plain one a block at a time only until
// its names are complete. bytes is then what ParseNameDirectory takes.
bool ReadNameDirectory(Loader_T& l, int n, CHostFile& dat, const HedRecord_T& directory,
                       std::uint32_t recordCount, std::span<const std::uint8_t>& bytes)
{
    const std::string shown = ShownPath(ArchiveDatPaths()[n]);
    std::uint64_t toRead = 0;
    if (!PlaceNameDirectory(n, directory, dat.Size(), toRead, l.failure))
        return false;
    if (directory.storedSize & kStoredCompressed) {
        if (!l.Reserve(toRead))
            return l.Fail(OutOfMemory(shown));
        if (dat.ReadAt(directory.offset, l.scratch.data(), toRead) != toRead)
            return l.Fail(dat.Failure(shown));
        bytes = {l.scratch.data(), static_cast<std::size_t>(toRead)};
        return true;
    }
    constexpr std::uint64_t kFirstBlock = std::uint64_t{1} << 20;
    CPlainDirectoryScan scan(n, directory.fullSize, recordCount);
    for (std::uint64_t have = 0; !scan.Done();) {
        // Blocks double, so that a large directory takes few reads.
        const std::uint64_t want = std::min(toRead - have, std::max(have, kFirstBlock));
        if (!l.Reserve(have + want))
            return l.Fail(OutOfMemory(shown));
        if (dat.ReadAt(directory.offset + have, l.scratch.data() + have, want) != want)
            return l.Fail(dat.Failure(shown));
        have += want;
        if (!scan.Scan({l.scratch.data(), static_cast<std::size_t>(have)}, l.failure))
            return false;
    }
    bytes = {l.scratch.data(), static_cast<std::size_t>(scan.Used())};
    return true;
}

// Reads what the parse needs and no more: record 0, which places the name
// directory, the directory up to its last name, and then the records of
// the names it holds, not as many as the .hed's size would hold.
bool LoadArchive(Loader_T& l, int n, ArchiveInfo_T& out)
{
    const std::string hedShown = ShownPath(ArchiveHedPaths()[n]);
    CHostFile hed;
    if (!l.OpenUnder(hed, ArchiveHedPaths()[n]))
        return false;
    std::uint32_t recordsInFile = 0;
    if (!CountHedRecords(n, hed.Size(), recordsInFile, l.failure))
        return false;
    std::uint8_t first[kHedRecordSize];
    if (hed.ReadAt(0, first, kHedRecordSize) != kHedRecordSize)
        return l.Fail(hed.Failure(hedShown));
    const HedRecord_T directory = ParseHedRecord(first);

    CHostFile dat;
    if (!l.OpenUnder(dat, ArchiveDatPaths()[n]))
        return false;
    std::span<const std::uint8_t> names;
    ArchiveInfo_T info;
    if (!ReadNameDirectory(l, n, dat, directory, recordsInFile, names) ||
        !ParseNameDirectory(n, directory, names, recordsInFile, l.decoder, l.arena, info, l.failure))
        return false;

    const std::uint64_t size = std::uint64_t{info.nameCount} * kHedRecordSize;
    if (!l.Reserve(size))
        return l.Fail(OutOfMemory(hedShown));
    if (hed.ReadAt(kHedRecordSize, l.scratch.data(), size) != size)
        return l.Fail(hed.Failure(hedShown));
    if (!ParseNameRecords(n, directory, {l.scratch.data(), static_cast<std::size_t>(size)}, l.arena, info,
                          l.failure))
        return false;
    out = std::move(info);
    return true;
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
    OwnTables();
    for (int n = 0; n < kArchiveCount; ++n) {
        nameIndexes[n].reset();
        indexFor[n] = nullptr;
    }
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
        if (!OpenUnder(dat, gameFolder, ArchiveDatPaths()[n], ignored) || r.offset > dat.Size() ||
            CompressedSizeProblem(r, dat.Size() - r.offset))
            return;
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        const std::uint64_t total = std::uint64_t{r.fullSize} + stored;
        std::unique_ptr<std::uint8_t[]> block = AllocateArray<std::uint8_t>(total);
        if (!block || dat.ReadAt(r.offset, block.get() + r.fullSize, stored) != stored ||
            !DecodeExactly(l.decoder, block.get() + r.fullSize, stored, block.get(), r.fullSize))
            return;
        if (readAhead->decoded)
            readAhead->decoded({block.get(), r.fullSize});
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

void CArchiveSet::ReadThrough(const CArchiveSet& owner)
{
    tables = owner.tables;
    for (int n = 0; n < kArchiveCount; ++n) {
        nameIndexes[n].reset();
        indexFor[n] = owner.indexFor[n];
    }
    gameFolder = owner.gameFolder;
    programFolder = owner.programFolder;
    aheadEntry = {};
    keptDat.reset();
    failure = {};
}

// Back to reading its own archives, after ReadThrough: the indexes made
// over another set's tables go.
void CArchiveSet::OwnTables()
{
    if (tables == archives)
        return;
    tables = archives;
    for (int n = 0; n < kArchiveCount; ++n) {
        nameIndexes[n].reset();
        indexFor[n] = nullptr;
    }
}

void CArchiveSet::KeepDataFileOpen(bool keep)
{
    keepDataFile = keep;
    looseFiles.KeepFolders(keep);
    if (!keep)
        keptDat.reset();
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
    if (!OpenUnder(*file, gameFolder, ArchiveDatPaths()[n], failure)) {
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

bool CArchiveSet::IsOpen(int n) const
{
    return IsArchiveNumber(n) && tables[n].indexTable != nullptr;
}

std::uint32_t CArchiveSet::NameCount(int n) const
{
    return IsOpen(n) ? tables[n].nameCount : 0;
}

std::string_view CArchiveSet::NameAt(int n, std::uint32_t i) const
{
    return i < NameCount(n) ? tables[n].Name(i) : std::string_view();
}

const HedRecord_T* CArchiveSet::Record(int n, std::uint32_t k) const
{
    return IsOpen(n) && k < tables[n].recordCount ? &tables[n].indexTable[k] : nullptr;
}

bool CArchiveSet::OpenArchive(int n)
{
    failure = {};
    if (!IsArchiveNumber(n))
        return Fail(Failure_T::NotFound("archive " + std::to_string(n), "the archive table (0 to 107)"));
    OwnTables();
    nameIndexes[n].reset();
    indexFor[n] = nullptr;
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
    if (const NameIndex_T* index = indexFor[n]) {
        const auto found = index->find(LowerAscii(name));
        return found == index->end() ? 0 : found->second;
    }
    return tables[n].Find(name);
}

void CArchiveSet::IndexNames(int n)
{
    if (!IsOpen(n) || indexFor[n])
        return;
    try {
        auto index = std::make_unique<NameIndex_T>();
        index->reserve(tables[n].nameCount);
        // The first of names equal but for case is the one a walk finds.
        for (std::uint32_t i = 0; i < tables[n].nameCount; ++i)
            index->try_emplace(LowerAscii(tables[n].Name(i)), i + 1);
        nameIndexes[n] = std::move(index);
        indexFor[n] = nameIndexes[n].get();
    } catch (const std::bad_alloc&) {
    }
}

bool CArchiveSet::ReadEntry(int n, std::string_view name, std::uint32_t* length)
{
    return ReadEntry(n, name, length, std::numeric_limits<std::uint64_t>::max());
}

bool CArchiveSet::ReadEntry(int n, std::string_view name, std::uint32_t* length, std::uint64_t maxSize)
{
    failure = {};
    readFromAhead = false;
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
    readFromAhead = false;
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
    return looseFiles.Open(n, name, programFolder, gameFolder, file, shown);
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

    const HedRecord_T& r = tables[n].indexTable[k];
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
    const HedRecord_T& r = tables[n].indexTable[k];
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
            readFromAhead = true;
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
