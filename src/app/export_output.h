// What an export writes beside its clip files, face pictures and lines.csv,
// each behind one small interface: the export hands every output each line
// in list order once the line's files are written, and at the end tells it
// whether the export is complete; the output writes its own files then.
// The playlist and the walk as one file are outputs.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "host/failure.h"

namespace tarnwick {

class CVeyQelTalkElm;
class CWriteFolder;

// A line as the export wrote it.
struct ExportedLine_T {
    const CVeyQelTalkElm* line = nullptr;
    std::size_t index = 0;   // its place in the export's list
    std::string voiceFile;   // "voice/NAME" as lines.csv names it; empty: none
    double clipSeconds = 0;  // that clip's length
    std::string faceFile;    // "face/NAME"; empty: none
};

class IExportOutput {
public:
    virtual ~IExportOutput() = default;
    virtual void Line(const ExportedLine_T& line) = 0;
    // complete: every line was exported and nothing stopped the export. An
    // output writes whole files or none; false, with why, when it could not.
    virtual bool Finish(CWriteFolder& out, bool complete, Failure_T& why) = 0;
};

inline constexpr const char* kPlaylistName = "playlist.m3u8";

// The playlist of clips: "#EXTM3U", then for each one "#EXTINF:SECONDS,CAST
// – TEXT" (the text's first line) and its path. UTF-8.
struct PlaylistItem_T {
    double seconds = 0;
    std::string cast;  // UTF-8
    std::string text;  // UTF-8, its first line taken
    std::string path;  // relative
};
std::string PlaylistText(std::span<const PlaylistItem_T> items);

// playlist.m3u8: the lines done that have a clip, in list order, written
// whether or not the export is complete, as lines.csv is.
class CPlaylistOutput : public IExportOutput {
public:
    void Line(const ExportedLine_T& line) override;
    bool Finish(CWriteFolder& out, bool complete, Failure_T& why) override;

private:
    std::vector<PlaylistItem_T> items;
};

}  // namespace tarnwick
