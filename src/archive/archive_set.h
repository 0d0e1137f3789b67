// The one way the program reads game data: the 108 archives' indexes and
// name directories, loaded once, entries found by name, loose override
// files, and one shared grow-only buffer that every read fills.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archive_table.h"
#include "archive/dict_decoder.h"
#include "host/failure.h"

namespace tarnwick {

class CHostFile;

struct HedRecord_T {
    std::uint32_t offset;      // of the stored bytes in the .dat
    std::uint32_t storedSize;  // bit 31: compressed; bits 0 to 30: stored bytes
    std::uint32_t fullSize;    // bytes of the entry's content
};

inline constexpr std::uint32_t kStoredCompressed = 0x80000000u;
inline constexpr std::uint32_t kStoredSizeMask = 0x7FFFFFFFu;
inline constexpr std::uint32_t kHedRecordSize = 12;

struct ArchiveInfo_T {
    std::unique_ptr<HedRecord_T[]> indexTable;
    std::uint32_t recordCount = 0;
    std::unique_ptr<std::uint8_t[]> nameBlock;
    std::unique_ptr<std::string_view[]> nameTable;  // views into nameBlock
    std::uint32_t nameCount = 0;
};

class CArchiveSet {
public:
    CArchiveSet();

    const std::string& GameFolder() const { return gameFolder; }
    void SetGameFolder(std::string folder) { gameFolder = std::move(folder); }
    // The program folder, the first base for loose overrides; none (only
    // the game folder's overrides count) until the program names it.
    const std::string& ProgramFolder() const { return programFolder; }
    void SetProgramFolder(std::string folder) { programFolder = std::move(folder); }

    bool OpenArchive(int n);
    // On true the entry's bytes are at the start of Buffer(), valid until
    // the next ReadEntry. length (may be null) is set to 0 first.
    bool ReadEntry(int n, std::string_view name, std::uint32_t* length);
    // The same, refusing before anything is read or allocated an entry
    // whose content (or loose file) is larger than maxSize bytes: a caller
    // that knows how large its entries can be keeps a damaged or hostile
    // one from filling memory.
    bool ReadEntry(int n, std::string_view name, std::uint32_t* length, std::uint64_t maxSize);

    // Why the last OpenArchive or ReadEntry gave false: a file the system
    // refused, an entry not found, or which check of the data failed.
    // Paths are relative to the folder they lie under, with "/".
    const Failure_T& LastFailure() const { return failure; }

    std::uint8_t* Buffer() { return buffer.get(); }
    const std::uint8_t* Buffer() const { return buffer.get(); }
    std::uint32_t BufferCapacity() const { return capacity; }

    // 1-based entry number of the first name matching case-insensitively,
    // 0 when absent.
    std::uint32_t FindEntry(int n, std::string_view name) const;

    // Read-only views of an open archive, for tools.
    bool IsOpen(int n) const;
    std::uint32_t NameCount(int n) const;
    std::string_view NameAt(int n, std::uint32_t i) const;  // 0-based
    const HedRecord_T* Record(int n, std::uint32_t k) const;

private:
    enum class LooseResult { kNone, kRead, kFailed };

    LooseResult ReadLooseFile(const std::string& base, const std::string& overrideFolder,
                              std::string_view name, std::uint32_t* length, std::uint64_t maxSize);
    bool ReadIndexedEntry(std::uint32_t k, int n, std::uint32_t* length, std::uint64_t maxSize);
    bool OpenUnder(CHostFile& file, const std::string& base, const std::string& relative);
    bool LoadIndex(int n, ArchiveInfo_T& info);
    bool LoadNameDirectory(int n, ArchiveInfo_T& info);
    bool Fail(Failure_T why);
    bool Damaged(int n, bool hed, std::string check);
    bool ReserveBuffer(std::uint64_t size);
    bool DecodeWhole(const std::uint8_t* src, std::uint32_t stored, std::uint8_t* dst,
                     std::uint32_t full);

    ArchiveInfo_T archives[kArchiveCount];
    std::string gameFolder;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::uint32_t capacity = 0;
    std::unique_ptr<CDictDecoder> decoder;
    bool looseInProgramFolder = true;
    bool looseInGameFolder = true;
    std::string programFolder;
    Failure_T failure;
};

// Largest content a compressed stream of storedBytes bytes can decode to:
// every code takes at least 2 bits and gives at most 100 bytes.
inline std::uint64_t MaxDecodedSize(std::uint64_t storedBytes)
{
    return storedBytes * 4 * kDictMaxString;
}

}  // namespace tarnwick
