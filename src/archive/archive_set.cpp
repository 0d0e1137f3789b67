#include "archive/archive_set.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <vector>

#include "host/host_file.h"
#include "host/host_path.h"
#include "archive/le_reader.h"

namespace tarnwick {

namespace {

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

Failure_T OutOfMemory(std::string subject)
{
    return Failure_T::System(std::move(subject), ENOMEM);
}

Failure_T TooLarge(std::string subject, std::uint64_t size, std::uint64_t maxSize)
{
    Failure_T f = Failure_T::System(std::move(subject), 0);
    f.detail = std::to_string(size) + " bytes, more than the " + std::to_string(maxSize) + " its use allows";
    return f;
}

}  // namespace

CArchiveSet::CArchiveSet() : decoder(std::make_unique<CDictDecoder>()) {}

bool CArchiveSet::Fail(Failure_T why)
{
    failure = std::move(why);
    return false;
}

bool CArchiveSet::Damaged(int n, bool hed, std::string check)
{
    return Fail(Failure_T::Damaged(ShownPath(hed ? ArchiveHedPaths()[n] : ArchiveDatPaths()[n]), std::move(check)));
}

// Opens relative under base; on false the failure names relative.
bool CArchiveSet::OpenUnder(CHostFile& file, const std::string& base, const std::string& relative)
{
    const std::optional<std::string> path = ResolveUnder(base, relative);
    if (!path)
        return Fail(Failure_T::System(ShownPath(relative), ENOENT));
    if (!file.Open(*path))
        return Fail(file.Failure(ShownPath(relative)));
    return true;
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
    return i < NameCount(n) ? archives[n].nameTable[i] : std::string_view();
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
    ArchiveInfo_T info;
    if (!LoadIndex(n, info) || !LoadNameDirectory(n, info))
        return false;
    archives[n] = std::move(info);
    return true;
}

bool CArchiveSet::LoadIndex(int n, ArchiveInfo_T& info)
{
    CHostFile hed;
    if (!OpenUnder(hed, gameFolder, ArchiveHedPaths()[n]))
        return false;
    // Records only: a partial record or no record 0 is a broken index.
    const std::uint64_t size = hed.Size();
    if (size < kHedRecordSize)
        return Damaged(n, true, "no record 0");
    if (size % kHedRecordSize != 0)
        return Damaged(n, true, "length is not a multiple of 12");
    if (size / kHedRecordSize > std::numeric_limits<std::uint32_t>::max())
        return Damaged(n, true, "too many records");
    std::unique_ptr<std::uint8_t[]> raw = AllocateArray<std::uint8_t>(size);
    if (!raw)
        return Fail(OutOfMemory(ShownPath(ArchiveHedPaths()[n])));
    if (!hed.Seek(0) || hed.Read(raw.get(), size) != size)
        return Fail(hed.Failure(ShownPath(ArchiveHedPaths()[n])));

    info.recordCount = static_cast<std::uint32_t>(size / kHedRecordSize);
    info.indexTable = AllocateArray<HedRecord_T>(info.recordCount);
    if (!info.indexTable)
        return Fail(OutOfMemory(ShownPath(ArchiveHedPaths()[n])));
    CLeReader reader({raw.get(), static_cast<std::size_t>(size)});
    for (std::uint32_t k = 0; k < info.recordCount; ++k) {
        HedRecord_T& r = info.indexTable[k];
        reader.U32(r.offset);
        reader.U32(r.storedSize);
        reader.U32(r.fullSize);
    }
    return true;
}

bool CArchiveSet::LoadNameDirectory(int n, ArchiveInfo_T& info)
{
    CHostFile dat;
    if (!OpenUnder(dat, gameFolder, ArchiveDatPaths()[n]))
        return false;
    const HedRecord_T& r = info.indexTable[0];
    if (r.offset > dat.Size())
        return Damaged(n, false, "the name directory lies beyond the end of the file");
    if (!dat.Seek(r.offset))
        return Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));

    const std::uint64_t available = dat.Size() - r.offset;
    const std::uint32_t full = r.fullSize;
    if (full < 4)
        return Damaged(n, false, "the name directory is shorter than its count");
    std::unique_ptr<std::uint8_t[]> block;
    if (r.storedSize & kStoredCompressed) {
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        if (stored > available)
            return Damaged(n, false, "the name directory runs past the end of the file");
        if (full > MaxDecodedSize(stored))
            return Damaged(n, false, "the name directory's size is more than its stored bytes can hold");
        if (!ReserveBuffer(stored))
            return Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        if (dat.Read(buffer.get(), stored) != stored)
            return Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));
        block = AllocateArray<std::uint8_t>(full);
        if (!block)
            return Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        if (!DecodeWhole(buffer.get(), stored, block.get(), full))
            return Damaged(n, false, "the name directory does not decode");
    } else {
        if (full > available)
            return Damaged(n, false, "the name directory runs past the end of the file");
        block = AllocateArray<std::uint8_t>(full);
        if (!block)
            return Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
        if (dat.Read(block.get(), full) != full)
            return Fail(dat.Failure(ShownPath(ArchiveDatPaths()[n])));
    }

    CLeReader reader({block.get(), full});
    std::uint32_t count = 0;
    reader.U32(count);
    // Every name takes at least its zero byte, and every name needs a record
    // behind record 0.
    if (count > full - 4)
        return Damaged(n, false, "the name directory holds fewer names than its count");
    if (count > info.recordCount - 1)
        return Damaged(n, true, "fewer records than names");
    std::unique_ptr<std::string_view[]> names = AllocateArray<std::string_view>(count);
    if (!names && count != 0)
        return Fail(OutOfMemory(ShownPath(ArchiveDatPaths()[n])));
    const char* const blockEnd = reinterpret_cast<const char*>(block.get()) + full;
    const char* p = reinterpret_cast<const char*>(block.get()) + 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const char* zero = std::find(p, blockEnd, '\0');
        if (zero == blockEnd)
            return Damaged(n, false, "the name directory holds fewer names than its count");
        names[i] = std::string_view(p, static_cast<std::size_t>(zero - p));
        p = zero + 1;
    }

    info.nameBlock = std::move(block);
    info.nameTable = std::move(names);
    info.nameCount = count;
    return true;
}

std::uint32_t CArchiveSet::FindEntry(int n, std::string_view name) const
{
    if (!IsOpen(n))
        return 0;
    const ArchiveInfo_T& info = archives[n];
    for (std::uint32_t i = 0; i < info.nameCount; ++i) {
        if (EqualsNoCase(info.nameTable[i], name))
            return i + 1;
    }
    return 0;
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

    const std::string overrideFolder = "unpack\\" + ArchiveDatPaths()[n];
    if (looseInProgramFolder) {
        const LooseResult r = ReadLooseFile(programFolder, overrideFolder, name, length, maxSize);
        if (r != LooseResult::kNone)
            return r == LooseResult::kRead;
    }
    if (looseInGameFolder) {
        const LooseResult r = ReadLooseFile(gameFolder, overrideFolder, name, length, maxSize);
        if (r != LooseResult::kNone)
            return r == LooseResult::kRead;
    }
    return ReadIndexedEntry(k, n, length, maxSize);
}

CArchiveSet::LooseResult CArchiveSet::ReadLooseFile(const std::string& base,
                                                    const std::string& overrideFolder,
                                                    std::string_view name, std::uint32_t* length,
                                                    std::uint64_t maxSize)
{
    if (base.empty())
        return LooseResult::kNone;
    CHostFile file;
    const std::string folder = overrideFolder + "\\";
    std::string relative = folder + "pri-" + std::string(name);
    if (!OpenUnder(file, base, relative)) {
        relative = folder + std::string(name);
        if (!OpenUnder(file, base, relative)) {
            failure = {};
            return LooseResult::kNone;
        }
    }

    // A loose file that exists is final, even an empty one.
    const std::string shown = JoinPath(base, ShownPath(relative));
    if (file.Seek(0)) {
        const std::uint64_t size = file.Size();
        if (size > maxSize) {
            Fail(TooLarge(shown, size, maxSize));
            return LooseResult::kFailed;
        }
        if (size > std::numeric_limits<std::uint32_t>::max()) {
            Fail(Failure_T::System(shown, EFBIG));
            return LooseResult::kFailed;
        }
        if (size != 0) {
            if (!ReserveBuffer(size)) {
                Fail(OutOfMemory(shown));
                return LooseResult::kFailed;
            }
            const std::uint64_t got = file.Read(buffer.get(), size);
            if (length)
                *length = static_cast<std::uint32_t>(got);
        }
    }
    return LooseResult::kRead;
}

bool CArchiveSet::ReadIndexedEntry(std::uint32_t k, int n, std::uint32_t* length, std::uint64_t maxSize)
{
    CHostFile dat;
    if (!OpenUnder(dat, gameFolder, ArchiveDatPaths()[n]))
        return false;
    const std::string shown = ShownPath(ArchiveDatPaths()[n]);
    const HedRecord_T& r = archives[n].indexTable[k];
    if (r.fullSize > maxSize)
        return Fail(TooLarge(std::string(NameAt(n, k - 1)) + " in archive " + std::to_string(n), r.fullSize,
                             maxSize));
    if (r.offset > dat.Size())
        return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " lies beyond the end of the file"));
    if (!dat.Seek(r.offset))
        return Fail(dat.Failure(shown));
    const std::uint64_t available = dat.Size() - r.offset;

    if (r.storedSize & kStoredCompressed) {
        // The stored bytes go behind the room of the decoded bytes, so the
        // decoder never writes over what it still has to read.
        const std::uint32_t stored = r.storedSize & kStoredSizeMask;
        const std::uint32_t full = r.fullSize;
        const std::uint64_t total = std::uint64_t{full} + stored;
        if (stored > available)
            return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " runs past the end of the file"));
        if (full > MaxDecodedSize(stored) || total > std::numeric_limits<std::uint32_t>::max())
            return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) +
                                                      "'s size is more than its stored bytes can hold"));
        if (!ReserveBuffer(total))
            return Fail(OutOfMemory(shown));
        if (dat.Read(buffer.get() + full, stored) != stored)
            return Fail(dat.Failure(shown));
        if (!DecodeWhole(buffer.get() + full, stored, buffer.get(), full))
            return Fail(Failure_T::Damaged(shown, "entry " + std::to_string(k) + " does not decode"));
        if (length)
            *length = full;
        return true;
    }

    // A .dat cut short gives what is there: the count actually read.
    const std::uint64_t want = std::min<std::uint64_t>(r.fullSize, available);
    if (!ReserveBuffer(want))
        return Fail(OutOfMemory(shown));
    const std::uint64_t got = want != 0 ? dat.Read(buffer.get(), want) : 0;
    if (length)
        *length = static_cast<std::uint32_t>(got);
    return true;
}

bool CArchiveSet::DecodeWhole(const std::uint8_t* src, std::uint32_t stored, std::uint8_t* dst,
                              std::uint32_t full)
{
    // A stream that stops short of the full size would leave stale bytes in
    // the entry; that is a damaged entry, not a short one.
    std::uint32_t written = 0;
    return decoder->Decode(src, stored, dst, full, &written) && written == full;
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
