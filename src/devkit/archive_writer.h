// Writes a .hed/.dat pair from named entries, for the project's tools, tests
// and demo game. Entries stream into a temporary .dat as they are added; the
// name directory follows them and Finish puts the .dat and the .hed in
// place. A writer that goes without Finish leaves no files behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "devkit/dict_encoder.h"
#include "host/failure.h"
#include "host/file_writer.h"

namespace tarnwick {

class CArchiveWriter {
public:
    CArchiveWriter();
    ~CArchiveWriter();
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    // Creates missing parent folders of both paths.
    bool Open(const std::string& hedPath, const std::string& datPath);
    // Stores the bytes plain, or compressed with the archive codec.
    bool Add(const std::string& name, std::span<const std::uint8_t> content, bool compress);
    // Stores bytes with record fields as given, for broken archives in tests.
    bool AddRaw(const std::string& name, std::span<const std::uint8_t> stored,
                std::uint32_t storedSizeField, std::uint32_t fullSizeField);
    // Writes the name directory (compressed or plain) and the .hed.
    bool Finish(bool compressNames);

    // Why the last Open, Add or Finish gave false.
    const Failure_T& LastFailure() const { return failure; }

    // The name directory's content for these names.
    static std::vector<std::uint8_t> NameDirectory(const std::vector<std::string>& names);

private:
    bool Append(std::span<const std::uint8_t> stored, std::uint32_t& offset);

    CAtomicFile dat;
    bool datOpen = false;
    Failure_T failure;
    std::string hedPath;
    std::vector<std::string> names;
    std::vector<HedRecord_T> records;  // entries only; record 0 comes last
    std::uint64_t datSize = 0;
    std::unique_ptr<CDictEncoder> encoder;
};

// Writes a whole file; creates missing parent folders.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tarnwick
