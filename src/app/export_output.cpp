#include "app/export_output.h"

#include <algorithm>
#include <cstdio>

#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

std::string PlaylistText(std::span<const PlaylistItem_T> items)
{
    std::string text = "#EXTM3U\n";
    for (const PlaylistItem_T& item : items) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", item.seconds);
        // One line each: the title ends at the text's first break.
        std::string title = item.cast + " \u2013 " + item.text.substr(0, item.text.find('\n'));
        std::replace(title.begin(), title.end(), '\r', ' ');
        text += std::string("#EXTINF:") + seconds + "," + title + "\n" + item.path + "\n";
    }
    return text;
}

void CPlaylistOutput::Line(const ExportedLine_T& line)
{
    if (line.voiceFile.empty())
        return;
    items.push_back({line.clipSeconds, Cp932ToUtf8(line.line->castName()),
                     Cp932ToUtf8(LineMarksReplaced(line.line->talkText(), "\n")), line.voiceFile});
}

bool CPlaylistOutput::Finish(CWriteFolder& out, bool, Failure_T& why)
{
    const std::string text = PlaylistText(items);
    return WriteFileAtomically(out, kPlaylistName, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                               why);
}

}  // namespace tarnwick
