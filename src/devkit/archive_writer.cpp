#include "devkit/archive_writer.h"

#include <cerrno>
#include <limits>

#include "archive/le_writer.h"
#include "host/host_path.h"

namespace tarnwick {

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::string parent = ParentFolder(path);
    Failure_T why;
    return (parent.empty() || MakeFolders(parent, why)) && WriteFileAtomically(path, bytes, why);
}

CArchiveWriter::CArchiveWriter() : encoder(std::make_unique<CDictEncoder>()) {}
CArchiveWriter::~CArchiveWriter() = default;

bool CArchiveWriter::Open(const std::string& hed, const std::string& datPath)
{
    names.clear();
    records.clear();
    datSize = 0;
    hedPath = hed;
    failure = {};
    datOpen = false;
    dat.Abandon();
    for (const std::string& path : {hed, datPath}) {
        const std::string parent = ParentFolder(path);
        if (!parent.empty() && !MakeFolders(parent, failure))
            return false;
    }
    datOpen = dat.Open(datPath, failure);
    return datOpen;
}

bool CArchiveWriter::Append(std::span<const std::uint8_t> stored, std::uint32_t& offset)
{
    if (!datOpen)
        return false;
    if (datSize > std::numeric_limits<std::uint32_t>::max()) {
        failure = Failure_T::System(dat.Path(), EFBIG);
        return false;
    }
    offset = static_cast<std::uint32_t>(datSize);
    if (!dat.Write(stored, failure)) {
        datOpen = false;
        return false;
    }
    datSize += stored.size();
    return true;
}

bool CArchiveWriter::AddRaw(const std::string& name, std::span<const std::uint8_t> stored,
                            std::uint32_t storedSizeField, std::uint32_t fullSizeField)
{
    HedRecord_T r{0, storedSizeField, fullSizeField};
    if (!Append(stored, r.offset))
        return false;
    names.push_back(name);
    records.push_back(r);
    return true;
}

bool CArchiveWriter::Add(const std::string& name, std::span<const std::uint8_t> content,
                         bool compress)
{
    if (content.size() > kStoredSizeMask) {
        failure = Failure_T::System(name, EFBIG);
        return false;
    }
    const std::uint32_t full = static_cast<std::uint32_t>(content.size());
    if (!compress)
        return AddRaw(name, content, full, full);
    const std::vector<std::uint8_t> stored = encoder->Encode(content);
    if (stored.size() > kStoredSizeMask)
        return false;
    return AddRaw(name, stored, static_cast<std::uint32_t>(stored.size()) | kStoredCompressed,
                  full);
}

std::vector<std::uint8_t> CArchiveWriter::NameDirectory(const std::vector<std::string>& names)
{
    std::vector<std::uint8_t> dir;
    PutLe32(dir, static_cast<std::uint32_t>(names.size()));
    for (const std::string& name : names) {
        dir.insert(dir.end(), name.begin(), name.end());
        dir.push_back(0);
    }
    return dir;
}

bool CArchiveWriter::Finish(bool compressNames)
{
    if (!datOpen)
        return false;
    const std::vector<std::uint8_t> dir = NameDirectory(names);
    HedRecord_T dirRecord{0, static_cast<std::uint32_t>(dir.size()),
                          static_cast<std::uint32_t>(dir.size())};
    bool ok;
    if (compressNames) {
        const std::vector<std::uint8_t> stored = encoder->Encode(dir);
        dirRecord.storedSize = static_cast<std::uint32_t>(stored.size()) | kStoredCompressed;
        ok = Append(stored, dirRecord.offset);
    } else {
        ok = Append(dir, dirRecord.offset);
    }
    datOpen = false;
    if (!ok)
        return false;

    std::vector<std::uint8_t> hed;
    hed.reserve((records.size() + 1) * kHedRecordSize);
    for (std::size_t k = 0; k <= records.size(); ++k) {
        const HedRecord_T& r = k == 0 ? dirRecord : records[k - 1];
        PutLe32(hed, r.offset);
        PutLe32(hed, r.storedSize);
        PutLe32(hed, r.fullSize);
    }
    // Both files complete before either is put in place.
    CAtomicFile hedFile;
    return hedFile.Open(hedPath, failure) && hedFile.Write(hed, failure) && dat.Commit(failure) &&
           hedFile.Commit(failure);
}

}  // namespace tarnwick
