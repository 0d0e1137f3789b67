#include "app/game_folder.h"

#include <cstdint>
#include <new>
#include <span>

#include "host/host_file.h"
#include "talk/capture_list.h"

namespace tarnwick {

namespace {

// Why the capture list at path could not be read: the list reader says only
// that it failed, so the file is looked at again for the reason.
Failure_T CaptureListFailure(const std::string& path)
{
    CHostFile file;
    if (!file.Open(path))
        return file.Failure(path);
    Failure_T why = Failure_T::System(path, 0);
    why.detail = "larger than " + std::to_string(kMaxCaptureListBytes >> 20) + " MiB";
    return why;
}

bool OpenArchivesReadingAhead(const GameRequest_T& request, CArchiveSet& archives, GameFailure_T& failed,
                              const ReadAhead_T* talkTable)
{
    archives.SetGameFolder(request.folder);
    archives.SetProgramFolder(request.programFolder);
    int failedArchive = -1;
    if (request.archives.empty())
        failedArchive = OpenAllArchives(archives, request.talkTable ? talkTable : nullptr);
    for (const int n : request.archives) {
        if (!archives.OpenArchive(n)) {
            failedArchive = n;
            break;
        }
    }
    if (failedArchive < 0)
        return true;
    failed = {GameStep::kArchive, failedArchive, archives.LastFailure()};
    return false;
}

}  // namespace

bool OpenGameArchives(const GameRequest_T& request, CArchiveSet& archives, GameFailure_T& failed)
{
    const ReadAhead_T talkTable = TalkTableEntry();
    return OpenArchivesReadingAhead(request, archives, failed, &talkTable);
}

bool OpenGame(const GameRequest_T& request, CArchiveSet& archives, CVeyQelTalk& talk, GameFailure_T& failed)
{
    // The table is parsed by the thread that decoded it while the other
    // archives open, and taken only when it is what the read below gives:
    // a loose table file comes first, and a failure stays the first one.
    ReadAhead_T table = TalkTableEntry();
    CVeyQelTalk early;
    bool parsed = false;
    table.decoded = [&early, &parsed](std::span<const std::uint8_t> bytes) {
        try {
            early.LoadTable(bytes.data(), bytes.size());
            parsed = true;
        } catch (const std::bad_alloc&) {
            // The read below parses it again.
        }
    };
    if (!OpenArchivesReadingAhead(request, archives, failed, &table))
        return false;
    if (request.talkTable) {
        std::uint32_t length = 0;
        if (!archives.ReadEntry(table.archive, table.name, &length, table.maxSize)) {
            failed = {GameStep::kTalkTable, -1, archives.LastFailure()};
            return false;
        }
        if (parsed && archives.ReadFromAhead())
            talk.TakeTable(early);
        else
            talk.LoadTable(archives.Buffer(), length);
        // As CVeyQelTalk::Load reads it: quietly, when there is one.
        if (!request.captureList)
            talk.LoadCaptureList();
    }
    if (request.captureList && !talk.LoadCaptureListFile(*request.captureList)) {
        failed = {GameStep::kCaptureList, -1, CaptureListFailure(*request.captureList)};
        return false;
    }
    return true;
}

}  // namespace tarnwick
