#include "talk/veyqel_talk.h"

#include <cstdio>
#include <cstring>

#include "host/host_path.h"
#include "talk/decimal_value.h"

namespace tarnwick {

CVeyQelTalkElm::CVeyQelTalkElm(char* line, std::size_t n)
{
    line[n] = '\0';  // over the CR (or the spare byte after a last line)
    // A field is read as a zero-ended text, so a NUL inside it ends it;
    // only a line that holds one needs its fields searched for it.
    const bool holdsNul = std::memchr(line, '\0', n) != nullptr;
    char* const end = line + n;
    std::size_t slot = 0;
    for (char* start = line;;) {
        auto* const comma = static_cast<char*>(std::memchr(start, ',', static_cast<std::size_t>(end - start)));
        char* const stop = comma ? comma : end;
        if (comma)
            *comma = '\0';
        if (slot < kTalkFieldSlots) {
            const std::string_view field(start, static_cast<std::size_t>(stop - start));
            fields[slot++] = holdsNul ? field.substr(0, field.find('\0')) : field;
        }
        if (!comma)
            break;
        start = comma + 1;
    }
    talkId = DecimalValue(fields[0]);
    faceId = DecimalValue(fields[1]);
    faceVariant = DecimalValue(fields[2]);
    frameStyle = DecimalValue(fields[4]);
    waitTenths = DecimalValue(fields[6]);
    voiceKind = DecimalValue(fields[8]);
}

std::string LineMarksReplaced(std::string_view talkText, std::string_view with)
{
    std::string text;
    text.reserve(talkText.size());
    for (std::size_t i = 0; i < talkText.size(); ++i) {
        if (talkText[i] == '$' && i + 1 < talkText.size() && talkText[i + 1] == 'R') {
            text += with;
            ++i;
        } else {
            text += talkText[i];
        }
    }
    return text;
}

std::string CVeyQelTalkElm::FaceEntryName() const
{
    char name[32];
    std::snprintf(name, sizeof name, "%04d_%02d.png", faceId, faceVariant);
    return name;
}

std::string CVeyQelTalkElm::VoiceEntryName() const
{
    char name[32];
    std::snprintf(name, sizeof name, "%05d_%04d.vc", talkId, lineNo);
    return name;
}

void CVeyQelTalk::NumberLines()
{
    // Only neighbouring rows count: an ID that comes back later starts at 1.
    for (std::size_t i = 0; i < records.size(); ++i) {
        CVeyQelTalkElm& r = records[i];
        r.lineNo = (i > 0 && records[i - 1].talkId == r.talkId) ? records[i - 1].lineNo + 1 : 1;
    }
}

void CVeyQelTalk::LoadTable(const std::uint8_t* data, std::size_t length)
{
    Parse(data, length);
    NumberLines();
}

void CVeyQelTalk::Load(const std::uint8_t* data, std::size_t length)
{
    LoadTable(data, length);
    LoadCaptureList();
}

void CVeyQelTalk::LoadCaptureList()
{
    if (programFolder.empty())
        return;
    if (const std::optional<std::string> path = ResolveUnder(programFolder, kCaptureListName))
        LoadCaptureListFile(*path);
}

bool CVeyQelTalk::LoadCaptureListFile(const std::string& path)
{
    return ReadCaptureList(path, captureItems, captureNames);
}

void CVeyQelTalk::LoadCaptureListText(std::string_view text)
{
    ParseCaptureListText(text, captureItems, captureNames);
}

}  // namespace tarnwick
