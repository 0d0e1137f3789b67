// A .hed/.dat pair as archive 0, its index and name directory parsed from
// memory: at once, as ParseArchiveIndex does, and in the steps the archive
// set takes while it reads the files (record 0, the directory in growing
// blocks, then only the records of the names).
// The first two bytes (little-endian) give the .hed's length, the next that
// many bytes are the .hed and the rest is the .dat.
//
// Besides not crashing and not allocating without bound (libFuzzer's
// -malloc_limit_mb catches that), both ways must agree, with tables from the
// heap or from an arena, and what they give must be what the bytes say.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_table.h"
#include "archive/dict_decoder.h"
#include "fuzz_check.h"
#include "host/host_path.h"

using tarnwick::fuzz::Check;

namespace {

tarnwick::CDictDecoder& Decoder()
{
    static tarnwick::CDictDecoder* const decoder = new tarnwick::CDictDecoder();
    return *decoder;
}

// The archive set's steps, each fed a copy of exactly the bytes it is
// given, so that a read past them is caught. The directory arrives in
// blocks that start small, to cross block ends where the set's 1 MiB
// blocks would not.
bool ParseInSteps(std::span<const std::uint8_t> hed, std::span<const std::uint8_t> dat,
                  tarnwick::ArchiveInfo_T& out, tarnwick::Failure_T& why)
{
    using namespace tarnwick;
    std::uint32_t recordsInFile = 0;
    if (!CountHedRecords(0, hed.size(), recordsInFile, why))
        return false;
    const HedRecord_T directory = ParseHedRecord(hed.first<kHedRecordSize>());
    std::uint64_t toRead = 0;
    if (!PlaceNameDirectory(0, directory, dat.size(), toRead, why))
        return false;
    const std::span<const std::uint8_t> stored = dat.subspan(directory.offset, static_cast<std::size_t>(toRead));
    std::vector<std::uint8_t> names;
    if (directory.storedSize & kStoredCompressed) {
        names.assign(stored.begin(), stored.end());
    } else {
        CPlainDirectoryScan scan(0, directory.fullSize, recordsInFile);
        for (std::size_t have = 0; !scan.Done();) {
            Check(have < stored.size(), "the scan wants more than the directory holds");
            have += std::min(stored.size() - have, std::max<std::size_t>(have, 5));
            names.assign(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(have));
            if (!scan.Scan(names, why))
                return false;
        }
        Check(scan.Used() <= names.size(), "the scan used bytes it was not given");
        names.resize(static_cast<std::size_t>(scan.Used()));
    }
    ArchiveInfo_T info;
    if (!ParseNameDirectory(0, directory, names, recordsInFile, Decoder(), nullptr, info, why))
        return false;
    const std::size_t size = std::size_t{info.nameCount} * kHedRecordSize;
    Check(size <= hed.size() - kHedRecordSize, "more names than records passed the checks");
    const std::vector<std::uint8_t> records(hed.begin() + kHedRecordSize,
                                            hed.begin() + static_cast<std::ptrdiff_t>(kHedRecordSize + size));
    if (!ParseNameRecords(0, directory, records, nullptr, info, why))
        return false;
    out = std::move(info);
    return true;
}

void CheckSame(const tarnwick::ArchiveInfo_T& a, const tarnwick::ArchiveInfo_T& b, const char* what)
{
    Check(a.nameCount == b.nameCount && a.recordCount == b.recordCount, what);
    for (std::uint32_t i = 0; i < a.nameCount; ++i)
        Check(a.Name(i) == b.Name(i), what);
    for (std::uint32_t k = 0; k < a.recordCount; ++k) {
        const tarnwick::HedRecord_T& x = a.indexTable[k];
        const tarnwick::HedRecord_T& y = b.indexTable[k];
        Check(x.offset == y.offset && x.storedSize == y.storedSize && x.fullSize == y.fullSize, what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick;
    const std::size_t hedLength = std::min<std::size_t>(fuzz::TakeLe(data, size, 2), size);
    const std::span<const std::uint8_t> hed(data, hedLength);
    const std::span<const std::uint8_t> dat(data + hedLength, size - hedLength);

    ArchiveInfo_T whole;
    Failure_T wholeWhy;
    const bool parsed = ParseArchiveIndex(hed, dat, 0, Decoder(), nullptr, whole, wholeWhy);
    // A small arena, so that a large directory goes on from the heap.
    ArchiveInfo_T shared;
    Failure_T sharedWhy;
    const bool parsedShared = ParseArchiveIndex(hed, dat, 0, Decoder(), std::make_shared<CMappedArena>(1u << 16),
                                                shared, sharedWhy);
    ArchiveInfo_T steps;
    Failure_T stepsWhy;
    const bool parsedSteps = ParseInSteps(hed, dat, steps, stepsWhy);
    Check(parsedShared == parsed && sharedWhy.Describe() == wholeWhy.Describe(),
          "tables from an arena and from the heap parse differently");
    Check(parsedSteps == parsed && stepsWhy.Describe() == wholeWhy.Describe(),
          "parsing in steps and at once disagree");

    if (!parsed) {
        Check(whole.indexTable == nullptr && whole.nameCount == 0 && shared.indexTable == nullptr,
              "a failed parse left tables behind");
        Check(wholeWhy.subject == ShownPath(ArchiveHedPaths()[0]) ||
                  wholeWhy.subject == ShownPath(ArchiveDatPaths()[0]),
              "a failure names neither file");
        return 0;
    }
    Check(!wholeWhy, "a parse succeeded with a failure");
    CheckSame(whole, shared, "tables from an arena and from the heap differ");
    CheckSame(whole, steps, "tables parsed in steps and at once differ");

    const std::uint32_t count = whole.nameCount;
    Check(whole.recordCount == count + 1, "the records are not record 0 and one per name");
    for (std::uint32_t k = 0; k < whole.recordCount; ++k) {
        const HedRecord_T r = ParseHedRecord(hed.subspan(std::size_t{k} * kHedRecordSize).first<kHedRecordSize>());
        const HedRecord_T& got = whole.indexTable[k];
        Check(got.offset == r.offset && got.storedSize == r.storedSize && got.fullSize == r.fullSize,
              "a record differs from the .hed");
    }
    const HedRecord_T& directory = whole.indexTable[0];
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = whole.Name(i);
        Check(name.find('\0') == std::string_view::npos, "a name runs over its zero byte");
        if (!(directory.storedSize & kStoredCompressed)) {
            const std::size_t at = std::size_t{directory.offset} + whole.nameStarts[i];
            Check(at + name.size() < dat.size() && dat[at + name.size()] == 0 &&
                      name == std::string_view(reinterpret_cast<const char*>(dat.data()) + at, name.size()),
                  "a plain name differs from the .dat");
        }
        const std::uint32_t k = whole.Find(name);
        Check(k >= 1 && k <= i + 1, "a stored name is not found, or found after itself");
    }
    for (const std::string_view name :
         {"another_aa_talk.csv", "ANOTHER_AA_TALK.CSV", "0001_01.png", "00001_0001.vc", "", "a"}) {
        const std::uint32_t k = whole.Find(name);
        Check(k <= count && (k == 0 || EqualsNoCase(whole.Name(k - 1), name)), "found a name that does not match");
    }
    return 0;
}
