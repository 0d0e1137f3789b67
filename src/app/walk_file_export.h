// The marked lines as the walk plays them, in one sound file to take along:
// each line's clip and then the walk's pause after it, with a chapter per
// line, the file's own tags and the first face as its picture, and the
// texts as subtitles beside it (NAME.srt, NAME.lrc). The file is written
// whole or not at all: a cancelled or failed render leaves nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/export_output.h"
#include "host/failure.h"
#include "sound/walk_render.h"
#include "walk/play_mode.h"

namespace tarnwick {

class CArchiveSet;
class CVeyQelTalkElm;

// The walk's pause after a line: half a second after a voiced one; after a
// silent one its wait, 0 when negative and at most a minute.
inline constexpr std::uint64_t kVoicedPauseMicroseconds = 500000;
inline constexpr std::uint64_t kMostWaitMicroseconds = 60000000;
std::uint64_t WalkPauseMicroseconds(const CVeyQelTalkElm& line, bool voiced);

class CWalkFileExport : public IExportOutput {
public:
    // rows in walk order; album names the file (TITLE and ALBUM). The
    // archives (faces and both voice archives open) and the rows must
    // outlive the render.
    CWalkFileExport(CArchiveSet& archives, std::vector<const CVeyQelTalkElm*> rows, PlayMode_T playMode,
                    std::string album);

    std::size_t LineCount() const { return rows.size(); }

    // As an output of an export (made without rows): the lines come from
    // it, and the walk is rendered as name into its folder once it is
    // complete, as Write would.
    void RenderAs(std::string name, unsigned jobs, std::function<bool(std::size_t)> progress);
    void Line(const ExportedLine_T& line) override { rows.push_back(line.line); }
    bool Finish(CWriteFolder& out, bool complete, Failure_T& why) override;
    // Whether Finish rendered the file, or a cancel stopped it.
    bool Rendered() const { return rendered; }

    // Writes outFolder/name, its format by the extension, and the subtitles
    // beside it, reading and decoding the clips on jobs threads. progress
    // (on the calling thread, from time to time, with the lines done, first
    // the planning's, then the sound's) gives false to cancel. Files inside
    // gameFolder are refused. False, nothing written, with why (empty when
    // cancelled).
    bool Write(const std::string& outFolder, const std::string& gameFolder, const std::string& name, unsigned jobs,
               const std::function<bool(std::size_t linesDone)>& progress, Failure_T& why);

    // What the last Write planned: one item per row, its span in the file,
    // the file's rate.
    const std::vector<WalkItem_T>& Items() const { return items; }
    const std::vector<WalkSpan_T>& Spans() const { return spans; }
    std::uint32_t Rate() const { return rate; }

    // NAME.srt and NAME.lrc beside NAME.EXT.
    static std::string SubtitleName(const std::string& name, const char* extension);

private:
    bool Render(CWriteFolder& out, const std::string& name, unsigned jobs,
                const std::function<bool(std::size_t)>& progress, Failure_T& why);
    bool Plan(unsigned jobs, const std::function<bool(std::size_t)>& progress);
    ClipTags_T FileTags();

    CArchiveSet& archives;
    std::vector<const CVeyQelTalkElm*> rows;
    PlayMode_T playMode;
    std::string album;
    std::vector<WalkItem_T> items;
    std::vector<WalkSpan_T> spans;
    std::uint32_t rate = 0;
    std::string outputName;
    unsigned outputJobs = 1;
    std::function<bool(std::size_t)> outputProgress;
    bool rendered = false;
};

}  // namespace tarnwick
