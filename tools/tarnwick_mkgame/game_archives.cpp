#include "game_archives.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "archive/archive_table.h"
#include "archive/le_writer.h"
#include "devkit/archive_writer.h"
#include "host/host_path.h"
#include "demo_random.h"

namespace tarnwick::demo {

namespace {

constexpr std::uint64_t kSaltFiller = 50;

std::uint64_t FileSize(const std::string& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

bool IsBigArchive(int n) { return n == 7 || n == 8 || n == 15 || n == 16; }

// The last folder name and the base name of archive n's table path:
// "data\chara\tex.dat" gives "chara" and "tex".
void ArchiveKind(int n, std::string& folder, std::string& base)
{
    const std::string& path = ArchiveDatPaths()[n];
    const std::size_t slash = path.rfind('\\');
    const std::size_t previous = path.rfind('\\', slash - 1);
    folder = path.substr(previous + 1, slash - previous - 1);
    base = path.substr(slash + 1, path.size() - slash - 1 - 4);  // without ".dat"
}

std::string Extension(const std::string& base)
{
    if (base == "tex")
        return "dds";
    if (base == "attr")
        return "atr";
    if (base == "anim")
        return "ani";
    if (base == "shader")
        return "fx";
    return base;
}

// A tiny uncompressed DDS texture: header, then a soft gradient with noise.
void MakeTexture(CDemoRandom& rng, bool big, std::vector<std::uint8_t>& out)
{
    const std::uint32_t w = big ? 4u << rng.Below(2) : 4u << rng.Below(3);
    const std::uint32_t h = big ? 4u << rng.Below(2) : 4u << rng.Below(3);
    out.insert(out.end(), {'D', 'D', 'S', ' '});
    PutLe32(out, 124);
    PutLe32(out, 0x100F);  // caps, height, width, pitch, pixel format
    PutLe32(out, h);
    PutLe32(out, w);
    PutLe32(out, w * 4);
    while (out.size() < 128)
        out.push_back(0);
    const std::uint32_t base = static_cast<std::uint32_t>(rng.Next());
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            out.push_back(static_cast<std::uint8_t>((base & 0xFF) + x * 8));
            out.push_back(static_cast<std::uint8_t>(((base >> 8) & 0xFF) + y * 8));
            out.push_back(static_cast<std::uint8_t>((base >> 16) + rng.Below(16)));
            out.push_back(0xFF);
        }
}

// Records of small numbers behind a four-byte tag, like the game's binary
// tables: partly repetitive, so the codec has something to find.
void MakeRecords(CDemoRandom& rng, const std::string& ext, std::uint32_t size, std::vector<std::uint8_t>& out)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(i < static_cast<int>(ext.size()) ? ext[i] - 32 : ' '));
    PutLe32(out, size / 8);
    while (out.size() < size) {
        const std::uint64_t r = rng.Next();
        PutLe32(out, static_cast<std::uint32_t>(r & 0x3FF));
        PutLe32(out, static_cast<std::uint32_t>((r >> 32) % 16));
    }
    out.resize(size);
}

}  // namespace

std::string HostArchivePath(const std::string& folder, const std::string& tablePath)
{
    std::string relative = tablePath;
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    return JoinPath(folder, relative);
}

// Ends an archive whose entries went in (ok), and counts its files' bytes.
static bool FinishArchive(CArchiveWriter& writer, bool ok, const std::string& hed, const std::string& dat, int n,
                          bool compressNames, std::uint64_t& written, std::string& error)
{
    ok = ok && writer.Finish(compressNames);
    if (!ok) {
        error = "cannot write archive " + std::to_string(n) + " (" + dat + ")";
        return false;
    }
    written += FileSize(hed) + FileSize(dat);
    return true;
}

bool WriteArchive(const std::string& folder, int n, const std::vector<ArchiveEntry_T>& entries,
                  bool compressNames, std::uint64_t& written, std::string& error)
{
    const std::string hed = HostArchivePath(folder, ArchiveHedPaths()[n]);
    const std::string dat = HostArchivePath(folder, ArchiveDatPaths()[n]);
    CArchiveWriter writer;
    bool ok = writer.Open(hed, dat);
    for (const ArchiveEntry_T& e : entries) {
        if (!ok)
            break;
        ok = writer.Add(e.name, e.bytes, e.compress);
    }
    return FinishArchive(writer, ok, hed, dat, n, compressNames, written, error);
}

std::uint32_t FillerEntryCount(int n, DemoScale scale)
{
    if (scale == DemoScale::kDemo)
        return 3 + static_cast<std::uint32_t>(n % 4);
    if (IsBigArchive(n))
        return kBigArchiveEntries + static_cast<std::uint32_t>((n % 4) * 12500);
    return 200 + static_cast<std::uint32_t>((n * 37) % 600);
}

bool WriteFillerArchive(const std::string& folder, int n, DemoScale scale, std::uint64_t seed,
                        std::uint64_t& written, std::string& error)
{
    std::string kind, base;
    ArchiveKind(n, kind, base);
    const std::string ext = Extension(base);
    const bool full = scale == DemoScale::kFull;
    const bool big = full && IsBigArchive(n);
    CDemoRandom rng = CDemoRandom::For(seed, kSaltFiller + static_cast<std::uint64_t>(n));

    const std::string hed = HostArchivePath(folder, ArchiveHedPaths()[n]);
    const std::string dat = HostArchivePath(folder, ArchiveDatPaths()[n]);
    CArchiveWriter writer;
    bool ok = writer.Open(hed, dat);
    const std::uint32_t count = FillerEntryCount(n, scale);
    // At full size only one entry in sixteen is compressed, so generation
    // stays quick; the demo compresses every third.
    const std::uint32_t compressEvery = full ? 16 : 3;
    std::vector<std::uint8_t> bytes;
    char name[64];
    for (std::uint32_t i = 0; ok && i < count; ++i) {
        bytes.clear();
        if (ext == "dds")
            MakeTexture(rng, big, bytes);
        else
            MakeRecords(rng, ext, big ? 32 + rng.Below(96) : 48 + rng.Below(400), bytes);
        std::snprintf(name, sizeof name, "%s%06u.%s", kind.c_str(), i, ext.c_str());
        ok = writer.Add(name, bytes, (i + static_cast<std::uint32_t>(n)) % compressEvery == 0);
    }
    // Big directories: compressed in the attribute archives, plain in the
    // texture ones, so both ways of loading a large directory get exercised.
    const bool compressNames = big ? base == "attr" : n % 3 == 0;
    return FinishArchive(writer, ok, hed, dat, n, compressNames, written, error);
}

}  // namespace tarnwick::demo
