#include "app/collection_store.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "host/file_writer.h"
#include "host/folder_listing.h"
#include "host/host_path.h"

namespace tarnwick {

namespace {

constexpr std::string_view kFileEnd = ".txt";
// Room for " (N)" and the end within any file system's name limit.
constexpr std::size_t kMaxFileStemBytes = 100;
// Far more collections of one name's start than anyone keeps.
constexpr int kMaxFileNameTries = 10000;

// The file name a new collection's name first suggests: what a file name
// cannot hold, or what would hide the file, made '_', cut on a character's
// start.
std::string FileStem(std::string_view name)
{
    std::string stem;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        stem += c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F ? '_' : c;
    }
    if (stem.starts_with('.'))
        stem.front() = '_';
    if (stem.size() > kMaxFileStemBytes) {
        std::size_t cut = kMaxFileStemBytes;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem;
}

// The first of "stem.txt", "stem (2).txt"... that nothing in the folder
// has, a file that could not be used included, and that no collection was
// given meanwhile; empty when all are taken.
std::string FreeFileName(int folder, const std::string& stem, const std::vector<std::string>& given)
{
    for (int n = 1; n <= kMaxFileNameTries; ++n) {
        const std::string name = stem + (n == 1 ? "" : " (" + std::to_string(n) + ")") + std::string(kFileEnd);
        struct stat st;
        if (std::find(given.begin(), given.end(), name) == given.end() &&
            ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
            return name;
    }
    return {};
}

// The store's folder, made on the first write, and checked to be one that
// may be written.
bool OpenToWrite(const std::string& folder, CWriteFolder& out, int& fd, Failure_T& why)
{
    if (!out.Open(folder, why))
        return false;
    fd = out.HeldFolder("", why);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        why = Failure_T::System(out.Path(), errno);
        return false;
    }
    // Marked read-only, as a file can be: left alone even by root.
    if ((st.st_mode & S_IWUSR) == 0) {
        why = Failure_T::Refused(out.Path(), "read-only, left as it is");
        return false;
    }
    return true;
}

// Writes the collection whole under fileName, synced: a crash leaves the
// old file or the new one, never an empty one.
bool WriteCollection(CWriteFolder& out, int folder, const std::string& fileName,
                     const LineCollection_T& collection, Failure_T& why)
{
    if (!MayReplaceFile(folder, fileName, JoinPath(out.Path(), fileName), why))
        return false;
    const std::string text = CollectionFileText(collection);
    // A file the next Load would refuse is not written at all.
    if (text.size() > kMaxCollectionFileBytes) {
        why = Failure_T::Refused(JoinPath(out.Path(), fileName),
                                 "would become larger than " + std::to_string(kMaxCollectionFileBytes) + " bytes");
        return false;
    }
    CAtomicFile file;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return file.Open(out, fileName, why) && file.Write(bytes, why) && file.Commit(why, true);
}

// Appends to lines each of more that it does not hold yet, in order; how
// many were added.
std::size_t AppendNew(std::vector<TalkLineKey_T>& lines, std::span<const TalkLineKey_T> more)
{
    std::set<TalkLineKey_T> held(lines.begin(), lines.end());
    const std::size_t before = lines.size();
    for (const TalkLineKey_T& key : more) {
        if (held.insert(key).second)
            lines.push_back(key);
    }
    return lines.size() - before;
}

bool LessByName(const LineCollection_T& a, const LineCollection_T& b)
{
    return a.name < b.name;
}

// Writes changed over the file of the collection it replaces.
bool Rewrite(const std::string& folder, const std::string& fileName, const LineCollection_T& changed, Failure_T& why)
{
    CWriteFolder out;
    int fd = -1;
    return OpenToWrite(folder, out, fd, why) && WriteCollection(out, fd, fileName, changed, why);
}

// Why a collection's name is not taken for a new one, or empty when it is.
std::string NameRefusal(const CCollectionStore& store, const std::string& name)
{
    if (!IsCollectionName(name))
        return "not a collection name: empty, only spaces, not UTF-8, holding a line break or other control "
               "character, or longer than " +
               std::to_string(kMaxCollectionNameBytes) + " bytes";
    if (store.Find(name) >= 0)
        return "another collection has this name";
    return {};
}

// The index of the collection name in store; -1, with why saying so, when
// there is none.
int Held(const CCollectionStore& store, const std::string& name, Failure_T& why)
{
    const int i = store.Find(name);
    if (i < 0) {
        const std::string& folder = store.Folder();
        why = Failure_T::NotFound(name, "the collections in " + (folder.empty() ? std::string(".") : folder));
    }
    return i;
}

// Gives change a copy of collection, and when it changed anything writes
// the copy over fileName and only then keeps it.
template <typename Change>
bool ChangeAndWrite(const std::string& folder, const std::string& fileName, LineCollection_T& collection,
                    Change change, Failure_T& why)
{
    LineCollection_T changed = collection;
    if (!change(changed))
        return true;
    if (!Rewrite(folder, fileName, changed, why))
        return false;
    collection = std::move(changed);
    return true;
}

// Puts collection, and beside it fileName, where its name sorts.
void InsertSorted(std::vector<LineCollection_T>& collections, std::vector<std::string>& fileNames,
                  LineCollection_T collection, std::string fileName)
{
    const auto at = std::lower_bound(collections.begin(), collections.end(), collection, LessByName);
    fileNames.insert(fileNames.begin() + (at - collections.begin()), std::move(fileName));
    collections.insert(at, std::move(collection));
}

}  // namespace

CCollectionStore::CCollectionStore(std::string f) : folder(std::move(f)) {}

void CCollectionStore::Load()
{
    collections.clear();
    fileNames.clear();
    problems.clear();
    CFolderListing listing;
    Failure_T why;
    std::vector<std::string> names;
    if (!listing.Open(folder, why) || !listing.Names(names, why)) {
        // Before the first save there is no folder, and nothing is wrong.
        if (why.kind != FailureKind::kSystem || why.errorNumber != ENOENT)
            problems.push_back(std::move(why));
        return;
    }
    // In the order of their file names, so that of two files holding one
    // name the first is kept.
    std::vector<std::pair<LineCollection_T, std::string>> found;
    for (const std::string& name : names) {
        if (!name.ends_with(kFileEnd) || IsTemporaryName(name))
            continue;
        std::string bytes;
        std::string bad;
        LineCollection_T collection;
        if (!listing.ReadFile(name, kMaxCollectionFileBytes, bytes, why)) {
            problems.push_back(std::exchange(why, {}));
            continue;
        }
        if (!ParseCollectionFile(bytes, collection, bad)) {
            problems.push_back(Failure_T::Damaged(JoinPath(listing.Path(), name), bad));
            continue;
        }
        found.emplace_back(std::move(collection), name);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return LessByName(a.first, b.first); });
    for (auto& [collection, fileName] : found) {
        if (!collections.empty() && collections.back().name == collection.name) {
            problems.push_back(Failure_T::Refused(JoinPath(listing.Path(), fileName),
                                                  "another file holds collection " + collection.name + ": " +
                                                      fileNames.back()));
            continue;
        }
        collections.push_back(std::move(collection));
        fileNames.push_back(std::move(fileName));
    }
}

int CCollectionStore::Find(std::string_view name) const
{
    const auto at = std::lower_bound(collections.begin(), collections.end(), name,
                                     [](const LineCollection_T& c, std::string_view n) { return c.name < n; });
    return at != collections.end() && at->name == name ? static_cast<int>(at - collections.begin()) : -1;
}

bool CCollectionStore::Create(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why)
{
    if (const std::string refusal = NameRefusal(*this, name); !refusal.empty()) {
        why = Failure_T::Refused(name, refusal);
        return false;
    }
    LineCollection_T made{name, {}};
    AppendNew(made.lines, lines);
    CWriteFolder out;
    int fd = -1;
    if (!OpenToWrite(folder, out, fd, why))
        return false;
    const std::string stem = FileStem(name);
    const std::string fileName = FreeFileName(fd, stem, fileNames);
    if (fileName.empty()) {
        why = Failure_T::Refused(JoinPath(out.Path(), stem + std::string(kFileEnd)), "every file name like it is taken");
        return false;
    }
    if (!WriteCollection(out, fd, fileName, made, why))
        return false;
    InsertSorted(collections, fileNames, std::move(made), fileName);
    return true;
}

bool CCollectionStore::AddLines(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why)
{
    const int i = Held(*this, name, why);
    const auto add = [lines](LineCollection_T& c) { return AppendNew(c.lines, lines) > 0; };
    return i >= 0 && ChangeAndWrite(folder, fileNames[i], collections[i], add, why);
}

bool CCollectionStore::RemoveLines(const std::string& name, std::span<const TalkLineKey_T> lines, Failure_T& why)
{
    const int i = Held(*this, name, why);
    const std::set<TalkLineKey_T> gone(lines.begin(), lines.end());
    const auto remove = [&gone](LineCollection_T& c) {
        return std::erase_if(c.lines, [&gone](const TalkLineKey_T& key) { return gone.contains(key); }) > 0;
    };
    return i >= 0 && ChangeAndWrite(folder, fileNames[i], collections[i], remove, why);
}

bool CCollectionStore::Rename(const std::string& name, const std::string& newName, Failure_T& why)
{
    const int i = Held(*this, name, why);
    if (i < 0)
        return false;
    if (newName == name)
        return true;
    if (const std::string refusal = NameRefusal(*this, newName); !refusal.empty()) {
        why = Failure_T::Refused(newName, refusal);
        return false;
    }
    LineCollection_T changed = collections[i];
    changed.name = newName;
    // The file keeps the name the collection was made with: renaming it too
    // would be a second step that can fail halfway, and the name inside is
    // the one that counts.
    if (!Rewrite(folder, fileNames[i], changed, why))
        return false;
    std::string fileName = std::move(fileNames[i]);
    collections.erase(collections.begin() + i);
    fileNames.erase(fileNames.begin() + i);
    InsertSorted(collections, fileNames, std::move(changed), std::move(fileName));
    return true;
}

bool CCollectionStore::Delete(const std::string& name, Failure_T& why)
{
    const int i = Held(*this, name, why);
    if (i < 0)
        return false;
    CWriteFolder out;
    int fd = -1;
    // Nor is a read-only file removed: the user marked it to stay.
    if (!OpenToWrite(folder, out, fd, why) ||
        !MayReplaceFile(fd, fileNames[i], JoinPath(out.Path(), fileNames[i]), why) ||
        !out.RemoveFile(fileNames[i], why))
        return false;
    collections.erase(collections.begin() + i);
    fileNames.erase(fileNames.begin() + i);
    return true;
}

}  // namespace tarnwick
