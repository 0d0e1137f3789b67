// The one way the program reads game data: the 108 archives' indexes and
// name directories, loaded once, entries found by name, loose override
// files, and one shared grow-only buffer that every read fills.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "archive/archive_index.h"
#include "archive/archive_table.h"
#include "archive/dict_decoder.h"
#include "archive/loose_files.h"
#include "host/failure.h"

namespace tarnwick {

class CHostFile;

// Takes an entry's bytes a block at a time, in order; false stops the copy
// (the caller's write failed). The block lies in the set's shared buffer:
// the sink may change it (an entry that needs its bytes transformed is
// transformed in place), but must not use the set.
using EntrySink = std::function<bool(std::span<std::uint8_t>)>;

// Stored entries and loose files are copied in blocks of at most this many
// bytes, never whole.
inline constexpr std::uint32_t kCopyBlockBytes = 1u << 20;
// Compressed entries are decoded whole: the largest content that tools
// copying entries (cat, extract) decode.
inline constexpr std::uint64_t kMaxCopyDecodedBytes = 256u << 20;

class CArchiveSet {
public:
    CArchiveSet();
    ~CArchiveSet();

    const std::string& GameFolder() const { return gameFolder; }
    void SetGameFolder(std::string folder)
    {
        gameFolder = std::move(folder);
        aheadEntry = {};
    }
    // The program folder, the first base for loose overrides; none (only
    // the game folder's overrides count) until the program names it.
    const std::string& ProgramFolder() const { return programFolder; }
    void SetProgramFolder(std::string folder) { programFolder = std::move(folder); }

    bool OpenArchive(int n);
    // Opens archives 0 to 107 as OpenArchive would one after the other,
    // stopping at the first that fails: the number of that one (its reason
    // in LastFailure), or -1 when all opened. Uses a second thread.
    // With readAhead, the thread that opened its archive decodes that entry
    // (when it is stored compressed) while the other goes on opening; the
    // next ReadEntry, if it reads that entry from the archive, takes the
    // decoded bytes instead of decoding them again. Nothing else changes:
    // loose files still come first, and every check is made as before.
    int OpenAllArchives(const ReadAhead_T* readAhead = nullptr);
    // On true the entry's bytes are at the start of Buffer(), valid until
    // the next ReadEntry. length (may be null) is set to 0 first.
    bool ReadEntry(int n, std::string_view name, std::uint32_t* length);
    // The same, refusing before anything is read or allocated an entry
    // whose content (or loose file) is larger than maxSize bytes: a caller
    // that knows how large its entries can be keeps a damaged or hostile
    // one from filling memory.
    bool ReadEntry(int n, std::string_view name, std::uint32_t* length, std::uint64_t maxSize);

    // Entry k (1-based, as FindEntry numbers them) read as ReadEntry reads
    // an entry it found, loose override of its name first. A tool walking a
    // whole directory uses it instead of a search by name per entry.
    bool ReadEntryNumber(int n, std::uint32_t k, std::uint32_t* length);

    // The entry's bytes handed to sink instead of left in Buffer(): found,
    // loose override first, and checked as ReadEntry does, with the same
    // failures. Loose files and stored entries are read and handed over a
    // block at a time, so their size costs no memory; a compressed entry is
    // decoded whole into the buffer, and refused before anything is read
    // when its content is larger than maxDecoded. size (may be null) is set
    // to 0 first, then, before the first block, to the bytes the copy hands
    // over: fewer only when a file is cut short meanwhile, which gives what
    // is there as ReadEntry does (a read error fails). When sink stops the
    // copy, the result is false with LastFailure() empty: the sink knows
    // why. Buffer() holds nothing meaningful afterwards.
    bool CopyEntry(int n, std::string_view name, const EntrySink& sink, std::uint64_t maxDecoded,
                   std::uint64_t* size = nullptr);
    // The same for entry k (1-based), as ReadEntryNumber finds it.
    bool CopyEntryNumber(int n, std::uint32_t k, const EntrySink& sink, std::uint64_t maxDecoded,
                         std::uint64_t* size = nullptr);
    // Reads entries through owner's open archives (their tables, and its
    // game and program folders as they are now), with a buffer, decoder and
    // files of its own: each thread that reads beside others takes one.
    // owner must outlive this set and open no archive while it reads here.
    // Opening an archive here makes the set its own again, holding only
    // what it opens.
    void ReadThrough(const CArchiveSet& owner);
    // A tool reading many entries keeps each archive's .dat open from one
    // read to the next instead of opening it per read. The window does not:
    // a game folder replaced while it runs is then read afresh.
    void KeepDataFileOpen(bool keep);

    // Why the last OpenArchive or ReadEntry gave false: a file the system
    // refused, an entry not found, or which check of the data failed.
    // Paths are relative to the folder they lie under, with "/".
    const Failure_T& LastFailure() const { return failure; }
    // Whether the last ReadEntry gave the entry decoded while the archives
    // opened: the bytes its ReadAhead_T::decoded was given.
    bool ReadFromAhead() const { return readFromAhead; }

    std::uint8_t* Buffer() { return buffer.get(); }
    const std::uint8_t* Buffer() const { return buffer.get(); }
    std::uint32_t BufferCapacity() const { return capacity; }

    // 1-based entry number of the first name matching case-insensitively,
    // 0 when absent.
    std::uint32_t FindEntry(int n, std::string_view name) const;
    // Makes FindEntry in archive n a hash look-up instead of a walk through
    // its names, for a run that reads thousands of entries by name; the
    // index goes when the archive is opened again. Without the memory for
    // it, names are walked as before. Sets reading through this one use it
    // too: make it before they read.
    void IndexNames(int n);

    // Read-only views of an open archive, for tools.
    bool IsOpen(int n) const;
    std::uint32_t NameCount(int n) const;
    std::string_view NameAt(int n, std::uint32_t i) const;  // 0-based
    const HedRecord_T* Record(int n, std::uint32_t k) const;

private:
    // The loose override of entry name of archive n that counts, when any.
    bool OpenOverride(int n, std::string_view name, CHostFile& file, std::string& shown);
    bool ReadLooseFile(CHostFile& file, const std::string& shown, std::uint32_t* length, std::uint64_t maxSize);
    bool ReadFoundEntry(int n, std::uint32_t k, std::string_view name, std::uint32_t* length,
                        std::uint64_t maxSize);
    bool CopyFoundEntry(int n, std::uint32_t k, std::string_view name, const EntrySink& sink,
                        std::uint64_t maxDecoded, std::uint64_t* size);
    // count bytes of file from offset handed to sink through the buffer.
    bool CopyFileBytes(CHostFile& file, std::uint64_t offset, std::uint64_t count, const std::string& shown,
                       const EntrySink& sink);
    // An entry decoded while the archives opened.
    struct AheadEntry_T {
        int archive = -1;
        std::uint32_t entry = 0;
        std::unique_ptr<std::uint8_t[]> block;  // content, then the stored bytes
        std::uint32_t blockSize = 0;
    };

    bool ReadIndexedEntry(std::uint32_t k, int n, std::uint32_t* length, std::uint64_t maxSize,
                          AheadEntry_T ahead);
    CHostFile* DataFile(int n, CHostFile& local);
    bool Fail(Failure_T why);
    bool ReserveBuffer(std::uint64_t size);

    ArchiveInfo_T archives[kArchiveCount];
    // What reads look at: archives, or another set's (ReadThrough).
    const ArchiveInfo_T* tables = archives;
    // Lower-case name to its first entry number, where IndexNames made one
    // (over tables); indexFor is what FindEntry uses: these, or the ones
    // of the set read through.
    using NameIndex_T = std::unordered_map<std::string, std::uint32_t>;
    std::unique_ptr<NameIndex_T> nameIndexes[kArchiveCount];
    const NameIndex_T* indexFor[kArchiveCount] = {};
    void OwnTables();
    std::string gameFolder;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::uint32_t capacity = 0;
    std::unique_ptr<CDictDecoder> decoder;
    std::string programFolder;
    Failure_T failure;
    bool keepDataFile = false;
    std::unique_ptr<CHostFile> keptDat;
    int keptDatArchive = -1;
    std::string keptDatFolder;
    CLooseFiles looseFiles;
    AheadEntry_T aheadEntry;  // until the next read
    bool readFromAhead = false;
};

// Opens archives 0 to 107 in order, as start-up does, stopping at the first
// that fails: gives its number (LastFailure says why), or -1 when all open.
int OpenAllArchives(CArchiveSet& set, const ReadAhead_T* readAhead = nullptr);

}  // namespace tarnwick
