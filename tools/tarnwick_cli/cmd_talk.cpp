// talks and captures: the talk catalogue and capture lists from the command
// line.
#include <cstdio>
#include <memory>
#include <string>

#include "app/program_folder.h"
#include "app/tarnwick_app.h"
#include "app/windows_path.h"
#include "archive/archive_set.h"
#include "cli_common.h"
#include "commands.h"
#include "talk/veyqel_talk.h"
#include "text_out.h"

namespace tarnwick::cli {

namespace {

// Splits off --raw; the remaining arguments stay in order.
std::vector<std::string> TakeRaw(Args args, bool& raw)
{
    std::vector<std::string> rest;
    raw = false;
    for (const std::string& a : args) {
        if (a == "--raw")
            raw = true;
        else
            rest.push_back(a);
    }
    return rest;
}

void PrintLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

int PrintTalks(const CVeyQelTalk& talk, bool raw)
{
    for (std::size_t i = 0; i < talk.GetCount(); ++i) {
        const CVeyQelTalkElm& r = *talk.GetAt(i);
        std::string line;
        for (const std::int32_t v : {r.talkId, r.lineNo, r.faceId, r.faceVariant, r.frameStyle,
                                     r.waitTenths, r.voiceKind, r.bgmNo})
            line += std::to_string(v) + "\t";
        line += r.FaceEntryName() + "\t" + r.VoiceEntryName();
        for (const std::string_view field : r.fields)
            line += "\t" + FieldOut(field, raw);
        PrintLine(line);
    }
    if (std::fflush(stdout) != 0)
        return Failure("cannot write standard output");
    return talk.GetCount() != 0 ? kExitOk : Failure("the table holds no talk lines");
}

}  // namespace

int CmdTalks(Args args)
{
    bool raw = false;
    const std::vector<std::string> rest = TakeRaw(args, raw);
    const auto talk = std::make_unique<CVeyQelTalk>();
    talk->SetProgramFolder(ProgramFolderFor(RunningExecutablePath()));

    if (rest.size() == 2 && rest[0] == "--table") {
        const std::optional<std::vector<std::uint8_t>> table = ReadWholeFile(rest[1]);
        if (!table)
            return Failure("cannot read " + rest[1]);
        talk->Load(table->data(), table->size());
        return PrintTalks(*talk, raw);
    }
    if (rest.size() != 1 || rest[0].starts_with("-"))
        return UsageError("talks takes GAME_FOLDER or --table FILE, and --raw");

    const auto set = std::make_unique<CArchiveSet>();
    set->SetGameFolder(HostFolderFor(rest[0]));
    set->SetProgramFolder(ProgramFolderFor(RunningExecutablePath()));
    std::uint32_t length = 0;
    if (!set->OpenArchive(kTableArchive))
        return Failure("cannot open archive 1 (" + ArchiveHedPaths()[kTableArchive] + ")");
    if (!set->ReadEntry(kTableArchive, kTalkTableName, &length))
        return Failure(kTalkTableMissing);
    talk->Load(set->Buffer(), length);
    return PrintTalks(*talk, raw);
}

int CmdCaptures(Args args)
{
    bool raw = false;
    const std::vector<std::string> rest = TakeRaw(args, raw);
    if (rest.size() != 1)
        return UsageError("captures takes one FILE, and --raw");
    const auto talk = std::make_unique<CVeyQelTalk>();
    if (!talk->LoadCaptureListFile(rest[0]))
        return Failure("cannot read " + rest[0]);
    for (std::size_t i = 0; i < talk->CaptureNameCount(); ++i)
        PrintLine("name\t" + FieldOut(talk->CaptureNameAt(i), raw));
    for (std::size_t i = 0; i < talk->CaptureItemCount(); ++i) {
        const CCaptureElm& item = *talk->CaptureItemAt(i);
        PrintLine("item\t" + FieldOut(item.captureName, raw) + "\t" + FieldOut(item.itemName, raw));
        for (const TalkRange_T& r : item.ranges)
            PrintLine("range\t" + std::to_string(r.firstId) + "\t" + std::to_string(r.lastId) + "\t" +
                      std::to_string(r.bgmNo));
    }
    if (std::fflush(stdout) != 0)
        return Failure("cannot write standard output");
    const bool found = talk->CaptureNameCount() != 0 || talk->CaptureItemCount() != 0;
    return found ? kExitOk : Failure("no capture groups or items in " + rest[0]);
}

}  // namespace tarnwick::cli
