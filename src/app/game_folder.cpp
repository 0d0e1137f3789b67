#include "app/game_folder.h"

#include <cstdint>

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

}  // namespace

bool OpenGameArchives(const GameRequest_T& request, CArchiveSet& archives, GameFailure_T& failed)
{
    archives.SetGameFolder(request.folder);
    archives.SetProgramFolder(request.programFolder);
    int failedArchive = -1;
    if (request.archives.empty()) {
        const ReadAhead_T talkTable = TalkTableEntry();
        failedArchive = OpenAllArchives(archives, request.talkTable ? &talkTable : nullptr);
    }
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

bool OpenGame(const GameRequest_T& request, CArchiveSet& archives, CVeyQelTalk& talk, GameFailure_T& failed)
{
    if (!OpenGameArchives(request, archives, failed))
        return false;
    if (request.talkTable) {
        const ReadAhead_T table = TalkTableEntry();
        std::uint32_t length = 0;
        if (!archives.ReadEntry(table.archive, table.name, &length, table.maxSize)) {
            failed = {GameStep::kTalkTable, -1, archives.LastFailure()};
            return false;
        }
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
