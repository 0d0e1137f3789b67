// Opening a game folder: its archives, the talk table and a capture list,
// the same way for the window's start-up, its export and the tools.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "host/failure.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

// Start-up's message when the game folder opens but its talk table cannot
// be read.
inline constexpr const char* kTalkTableMissing = "Failed to read another_aa_talk.csv";

struct GameRequest_T {
    std::string folder;         // a host folder (a stored Windows path is mapped first)
    std::string programFolder;  // the first base of loose override files
    // Opened in this order; empty: all 108 in order as start-up opens them,
    // with the talk table decoded meanwhile when it is to be read.
    std::vector<int> archives;
    bool talkTable = true;
    // A capture list to read after the table, which must be readable.
    // Without one, the table comes with its program folder's list as
    // CVeyQelTalk::Load reads it: when the catalogue was given that folder
    // and the list is there.
    std::optional<std::string> captureList;
};

// The step of opening a game that failed first.
enum class GameStep { kArchive, kTalkTable, kCaptureList };

struct GameFailure_T {
    GameStep step = GameStep::kArchive;
    int archive = -1;  // kArchive: the archive that did not open
    Failure_T why;
};

// Points archives at request.folder and its program folder and opens what
// request asks: the archives, then the talk table into talk (replacing what
// it held), then the capture list. Stops at the first step that fails and
// says which and why; talk is untouched unless every archive opened.
bool OpenGame(const GameRequest_T& request, CArchiveSet& archives, CVeyQelTalk& talk, GameFailure_T& failed);

// The archive part of OpenGame alone, for a caller with no talk table to
// read; request.talkTable still decides what is read ahead.
bool OpenGameArchives(const GameRequest_T& request, CArchiveSet& archives, GameFailure_T& failed);

}  // namespace tarnwick
