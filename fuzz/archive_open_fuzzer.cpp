// A .hed/.dat pair as archive 0 of a game folder, opened (alone, and as the
// first of all the archives) and read through.
// The first two bytes (little-endian) give the .hed's length, the next that
// many bytes are the .hed and the rest is the .dat. Every name of the
// directory is read, and a few fixed names are looked up.
//
// Besides not crashing and not allocating without bound (libFuzzer's
// -malloc_limit_mb catches that), a successful read must hold exactly what
// the .dat says: a plain entry's bytes as stored, up to where the .dat ends,
// and a compressed entry's bytes as a separate decoder gives them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "archive/dict_decoder.h"
#include "fuzz_check.h"

using tarnwick::fuzz::Check;

namespace {

const std::string& GameFolder()
{
    return tarnwick::fuzz::ScratchFolder();
}

std::string HostPath(const std::string& relative)
{
    std::string path = relative;
    std::replace(path.begin(), path.end(), '\\', '/');
    return GameFolder() + "/" + path;
}

// What reading record r must give, judged from the .dat bytes alone.
void CheckEntry(tarnwick::CArchiveSet& set, const tarnwick::HedRecord_T& r,
                std::span<const std::uint8_t> dat, std::uint32_t length)
{
    Check(length <= set.BufferCapacity(), "entry length beyond the buffer");
    const std::uint8_t* got = set.Buffer();
    Check(got != nullptr || length == 0, "entry bytes without a buffer");
    Check(r.offset <= dat.size(), "read an entry that starts past the .dat");
    const std::span<const std::uint8_t> from = dat.subspan(r.offset);

    if (r.storedSize & tarnwick::kStoredCompressed) {
        const std::uint32_t stored = r.storedSize & tarnwick::kStoredSizeMask;
        Check(length == r.fullSize, "compressed entry length is not its full size");
        Check(stored <= from.size(), "compressed entry read past the .dat");
        // A stream may give fewer bytes than the full size; only the bytes
        // it gives are settled. Two fills show which ones those are.
        static tarnwick::CDictDecoder* const decoder = new tarnwick::CDictDecoder();
        std::vector<std::uint8_t> zeros(r.fullSize, 0x00);
        std::vector<std::uint8_t> ones(r.fullSize, 0xFF);
        decoder->Decode(from.data(), stored, zeros.data(), r.fullSize);
        decoder->Decode(from.data(), stored, ones.data(), r.fullSize);
        const auto written = static_cast<std::size_t>(
            std::mismatch(zeros.begin(), zeros.end(), ones.begin()).first - zeros.begin());
        Check(std::equal(zeros.begin(), zeros.begin() + static_cast<std::ptrdiff_t>(written), got),
              "compressed entry differs from a separate decode");
    } else {
        const std::size_t available = std::min<std::size_t>(r.fullSize, from.size());
        Check(length == available, "plain entry length is not what the .dat holds");
        Check(std::equal(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(length), got),
              "plain entry differs from the .dat");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t hedLength =
        std::min<std::size_t>(tarnwick::fuzz::TakeLe(data, size, 2), size);
    const std::span<const std::uint8_t> hed(data, hedLength);
    const std::span<const std::uint8_t> dat(data + hedLength, size - hedLength);
    Check(tarnwick::WriteWholeFile(HostPath(tarnwick::ArchiveHedPaths()[0]), hed) &&
              tarnwick::WriteWholeFile(HostPath(tarnwick::ArchiveDatPaths()[0]), dat),
          "cannot write the archive files");

    // Opened alone, and as the first of all the archives, where its tables
    // come from a shared arena: the other archives are missing, so opening
    // all stops at archive 1, or at 0 when archive 0 is refused. The rest
    // reads through the second set.
    tarnwick::CArchiveSet alone;
    alone.SetGameFolder(GameFolder());
    alone.SetProgramFolder(std::string());  // no loose files beside the fuzzer
    const bool opened = alone.OpenArchive(0);
    tarnwick::CArchiveSet set;
    set.SetGameFolder(GameFolder());
    set.SetProgramFolder(std::string());
    Check(set.OpenAllArchives() == (opened ? 1 : 0), "opening all and opening archive 0 alone disagree");
    if (!opened) {
        Check(!alone.IsOpen(0) && alone.NameCount(0) == 0 && !set.IsOpen(0), "a failed open left tables behind");
        return 0;
    }
    Check(set.NameCount(0) == alone.NameCount(0), "opening all and opening alone read different directories");

    const std::uint32_t count = set.NameCount(0);
    Check(set.Record(0, count) != nullptr, "a name without its record");
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = set.NameAt(0, i);
        Check(name.find('\0') == std::string_view::npos, "a name runs over its zero byte");
        const std::uint32_t k = set.FindEntry(0, name);
        Check(k >= 1 && k <= i + 1, "a stored name is not found, or found after itself");

        std::uint32_t length = 12345;
        if (set.ReadEntry(0, name, &length))
            CheckEntry(set, *set.Record(0, k), dat, length);
        else
            Check(length == 0, "a failed read left a length");
    }

    for (const std::string_view name :
         {"another_aa_talk.csv", "ANOTHER_AA_TALK.CSV", "0001_01.png", "00001_0001.vc", "", "a"}) {
        std::uint32_t length = 12345;
        const std::uint32_t k = set.FindEntry(0, name);
        if (set.ReadEntry(0, name, &length)) {
            Check(k != 0, "read a name that is not in the directory");
            CheckEntry(set, *set.Record(0, k), dat, length);
        } else {
            Check(length == 0, "a failed read left a length");
        }
    }
    return 0;
}
