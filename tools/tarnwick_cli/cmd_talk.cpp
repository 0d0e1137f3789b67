// talks and captures: the talk catalogue and capture lists from the command
// line.
#include <cstdio>
#include <memory>
#include <string>

#include "app/game_folder.h"
#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "cli_common.h"
#include "commands.h"
#include "app/collection_store.h"
#include "app/talk_selection.h"
#include "talk/selection_lists.h"
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

int CmdTalks(const Context_T& context, Args args)
{
    bool raw = false;
    const std::vector<std::string> rest = TakeRaw(args, raw);
    const auto talk = std::make_unique<CVeyQelTalk>();
    talk->SetProgramFolder(context.programFolder);

    if (rest.size() == 2 && rest[0] == "--table") {
        std::vector<std::uint8_t> table;
        if (const int status = ReadInputOrFail(rest[1], table, kMaxTalkTableBytes); status != kExitOk)
            return status;
        talk->Load(table.data(), table.size());
        return PrintTalks(*talk, raw);
    }
    if (rest.size() != 1 || rest[0].starts_with("-"))
        return UsageError("talks takes GAME_FOLDER or --table FILE, and --raw");

    const auto set = std::make_unique<CArchiveSet>();
    GameRequest_T request = GameRequestFor(context, rest[0]);
    request.archives = {kTableArchive};
    if (GameFailure_T failed; !OpenGame(request, *set, *talk, failed)) {
        if (failed.step == GameStep::kArchive)
            return Failure("cannot open archive " + std::to_string(failed.archive) + ": " + failed.why.Describe());
        return Failure(std::string(kTalkTableMissing) + ": " + failed.why.Describe());
    }
    return PrintTalks(*talk, raw);
}

int CmdCaptures(const Context_T&, Args args)
{
    bool raw = false;
    const std::vector<std::string> rest = TakeRaw(args, raw);
    if (rest.size() != 1)
        return UsageError("captures takes one FILE, and --raw");
    const auto talk = std::make_unique<CVeyQelTalk>();
    if (const int status = LoadCapturesOrFail(*talk, rest[0]); status != kExitOk)
        return status;
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

int CmdSelect(const Context_T& context, Args args)
{
    std::string tableFile;
    std::string capturesFile;
    std::vector<std::string> choices;
    std::optional<std::string> collection;
    std::string collectionsFolder;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--table" && i + 1 < args.size())
            tableFile = args[++i];
        else if (args[i] == "--captures" && i + 1 < args.size())
            capturesFile = args[++i];
        else if (args[i] == "--collection" && i + 1 < args.size())
            collection = args[++i];
        else if (args[i] == "--collections" && i + 1 < args.size())
            collectionsFolder = args[++i];
        else if (IsSelectionChoice(args[i]))
            choices.push_back(args[i]);
        else
            return UsageError("select: unexpected argument " + args[i]);
    }
    if (collection)
        choices.insert(choices.begin(), "collection=" + *collection);
    if (tableFile.empty() || capturesFile.empty())
        return UsageError("select needs --table FILE and --captures FILE");
    if (tableFile == "-" && capturesFile == "-")
        return UsageError("select: only one of the files can be standard input");

    std::vector<std::uint8_t> table;
    if (const int status = ReadInputOrFail(tableFile, table, kMaxTalkTableBytes); status != kExitOk)
        return status;
    const auto talk = std::make_unique<CVeyQelTalk>();
    talk->LoadTable(table.data(), table.size());
    if (const int status = LoadCapturesOrFail(*talk, capturesFile); status != kExitOk)
        return status;

    CCollectionStore collections;
    LoadCollections(context, collectionsFolder, choices, collections);
    CTalkSelection selection(*talk, &collections);
    if (const int status = RunSelection(selection, choices); status != kExitOk)
        return status;
    const CTalkListModel& talkList = selection.Rows();

    for (std::size_t i = 0; i < talkList.RowCount(); ++i) {
        const CVeyQelTalkElm& r = *talkList.RecordAt(i);
        std::printf("%d\t%d\t%d\t%d\n", r.talkId, r.lineNo, r.bgmNo, talkList.IsChecked(i) ? 1 : 0);
    }
    if (std::fflush(stdout) != 0)
        return Failure("cannot write standard output");
    return talkList.RowCount() != 0 ? kExitOk : Failure("the list is empty");
}

}  // namespace tarnwick::cli
