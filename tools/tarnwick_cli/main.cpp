// tarnwick-cli: the command-line companion of Tarnwick.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "host/program_folder.h"

namespace {

using tarnwick::cli::Args;

struct Command_T {
    const char* name;
    const char* synopsis;
    int (*run)(const tarnwick::cli::Context_T&, Args);
};

const Command_T kCommands[] = {
    {"decode", "decode SIZE                 decode a stored stream from stdin into SIZE bytes on stdout",
     tarnwick::cli::CmdDecode},
    {"encode", "encode                      compress stdin into a stored stream on stdout",
     tarnwick::cli::CmdEncode},
    {"ls", "ls GAME_FOLDER ARCHIVE_NUMBER   list an archive's entries: number, name, offset,\n"
           "                                  stored size, full size, c (compressed) or -",
     tarnwick::cli::CmdLs},
    {"cat", "cat GAME_FOLDER ARCHIVE_NUMBER NAME   write an entry's bytes to stdout",
     tarnwick::cli::CmdCat},
    {"pack", "pack OUT_BASE [--compress] [--compress-names] FILE...\n"
             "                              write OUT_BASE.hed and OUT_BASE.dat holding the files",
     tarnwick::cli::CmdPack},
    {"talks", "talks GAME_FOLDER [--raw] | talks --table FILE [--raw]\n"
              "                              list the talk lines: numbers, entry names and the 11 fields",
     tarnwick::cli::CmdTalks},
    {"captures", "captures FILE [--raw]       list a capture list's groups, items and ranges",
     tarnwick::cli::CmdCaptures},
    {"select", "select --table FILE --captures FILE [capture=INDEX|item=INDEX]...\n"
               "                              run the window's selection choices; print talkId, lineNo,\n"
               "                              bgmNo and the mark of every listed row",
     tarnwick::cli::CmdSelect},
    {"face", "face GAME_FOLDER NAME [--style N] [--frame WIDTH HEIGHT] -o OUT.png\n"
             "                              draw face picture NAME of archive 104 framed as the window\n"
             "                              does (frame 96 x 96 unless given) into an RGB PNG",
     tarnwick::cli::CmdFace},
    {"voice", "voice GAME_FOLDER NAME KIND -o OUT.wav\n"
              "                              decode voice clip NAME as the window plays it (KIND 1 from\n"
              "                              the short archive 106, any other from the long archive 105)\n"
              "                              into a 16-bit PCM WAV; print channels, rate and PCM bytes",
     tarnwick::cli::CmdVoice},
};

void PrintHelp()
{
    std::printf("Usage: tarnwick-cli COMMAND [ARGUMENTS]\n"
                "The command-line companion of Tarnwick: reads a game's archives as the program does.\n\n"
                "Commands:\n");
    for (const Command_T& c : kCommands)
        std::printf("  %s\n", c.synopsis);
    std::printf("\nOptions:\n  --help      show this help\n  --version   show the version\n\n"
                "Exit status: 0 on success, 1 when the operation fails or finds nothing,\n"
                "2 on a usage error.\n"
                "Texts are shown as UTF-8 with \\\\, \\t, \\r and \\n escaped; --raw keeps the stored bytes.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return tarnwick::cli::UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp();
        return tarnwick::cli::kExitOk;
    }
    if (args[0] == "--version") {
        std::printf("tarnwick-cli %s\n", TARNWICK_VERSION);
        return tarnwick::cli::kExitOk;
    }
    for (const Command_T& c : kCommands) {
        if (args[0] != c.name)
            continue;
        // The one place that asks where the program is and what its
        // environment says.
        const tarnwick::HostEnvironment_T env = tarnwick::HostEnvironment_T::FromProcess();
        const tarnwick::cli::Context_T context{tarnwick::ProgramFolderFor(tarnwick::RunningExecutablePath(), env), env};
        return c.run(context, Args(args).subspan(1));
    }
    return tarnwick::cli::UsageError("unknown command '" + args[0] + "'");
}
