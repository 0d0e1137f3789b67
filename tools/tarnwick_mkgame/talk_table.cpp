#include "talk_table.h"

#include <iconv.h>

#include <string>

namespace tarnwick::demo {

namespace {

constexpr const char* kCrLf = "\r\n";

void AppendRow(std::string& out, const DemoLine_T& line, const DemoSpeaker_T& speaker)
{
    // Columns 7, 9 and 10 are not read by the program; the game keeps a
    // motion number and two flags there.
    out += std::to_string(line.talkId) + ',' + std::to_string(line.faceId) + ',' +
           std::to_string(line.faceVariant) + ',' + speaker.name + ',' +
           std::to_string(line.frameStyle) + ',' + line.text + ',' +
           std::to_string(line.waitTenths) + ',' + std::to_string(line.faceVariant) + ',' +
           std::to_string(line.voiceKind) + ",0," + kCrLf;
}

}  // namespace

std::optional<std::string> ToCp932(std::string_view utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(utf8.size() + 16, '\0');  // never longer than UTF-8
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string TalkTableText(const DemoPlan_T& plan)
{
    std::string out = std::string("ID,顔,表情,名前,枠,台詞,待ち,動作,音声,予備1,予備2") + kCrLf;
    std::size_t noise = 0;
    for (std::size_t i = 0; i <= plan.lines.size(); ++i) {
        while (noise < plan.noiseRows.size() && plan.noiseRows[noise].beforeLine <= i)
            out += plan.noiseRows[noise++].text + kCrLf;
        if (i < plan.lines.size())
            AppendRow(out, plan.lines[i], plan.speakers[plan.lines[i].speaker]);
    }
    return out;
}

std::string CastTableText(const DemoPlan_T& plan)
{
    std::string out = std::string("FaceID,Name,Expressions") + kCrLf;
    for (const DemoSpeaker_T& s : plan.speakers)
        out += std::to_string(s.faceId) + ',' + s.name + ',' + std::to_string(s.variantCount) + kCrLf;
    return out;
}

std::string CaptureListText(const DemoPlan_T& plan)
{
    std::string out = std::string("<CaptureList>") + kCrLf;
    for (const DemoCaptureGroup_T& group : plan.captureGroups) {
        out += "\t<Capture Name=\"" + group.name + "\">" + kCrLf;
        for (const DemoCaptureItem_T& item : group.items) {
            out += "\t\t<Item Name=\"" + item.name + "\">" + kCrLf;
            for (const DemoCaptureRange_T& r : item.ranges)
                out += "\t\t\t<Range>" + std::to_string(r.firstId) + ',' + std::to_string(r.lastId) +
                       ',' + std::to_string(r.bgmNo) + "</Range>" + kCrLf;
            out += std::string("\t\t</Item>") + kCrLf;
        }
        out += std::string("\t</Capture>") + kCrLf;
    }
    out += std::string("</CaptureList>") + kCrLf;
    return out;
}

}  // namespace tarnwick::demo
