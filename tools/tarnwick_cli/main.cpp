// tarnwick-cli: the command-line companion of Tarnwick.
#include <cstdio>
#include <exception>
#include <new>
#include <iostream>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "host/file_writer.h"
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
    {"extract", "extract GAME_FOLDER ARCHIVE_NUMBER [NAME...] [-C DIR] [--raw] [-v]\n"
                "                              write an archive's entries (or the NAMEs) as files under DIR\n"
                "                              (default: here), names as UTF-8 with \\ as folders; voice\n"
                "                              clips of archives 105 and 106 as .ogg files unless --raw;\n"
                "                              -v lists the files written",
     tarnwick::cli::CmdExtract},
    {"pack", "pack OUT_BASE [--compress] [--compress-names] FILE...\n"
             "                              write OUT_BASE.hed and OUT_BASE.dat holding the files; refused\n"
             "                              inside a game folder (one holding all 108 archives)",
     tarnwick::cli::CmdPack},
    {"talks", "talks GAME_FOLDER [--raw] | talks --table FILE [--raw]\n"
              "                              list the talk lines: numbers, entry names and the 11 fields",
     tarnwick::cli::CmdTalks},
    {"captures", "captures FILE [--raw]       list a capture list's groups, items and ranges",
     tarnwick::cli::CmdCaptures},
    {"select", "select --table FILE --captures FILE [--collection NAME] [--collections DIR] [CHOICE]...\n"
               "                              run the window's selection choices; print talkId, lineNo,\n"
               "                              bgmNo and the mark of every row shown. A CHOICE is\n"
               "                              capture=INDEX, item=INDEX, search=WORDS, speaker=NAME\n"
               "                              (exact; empty for all) or collection=NAME, made in order;\n"
               "                              collections are read from DIR (default: the settings\n"
               "                              home's collections folder)",
     tarnwick::cli::CmdSelect},
    {"export", "export GAME_FOLDER OUT_DIR [--captures FILE] [--collection NAME] [--collections DIR]\n"
               "       [CHOICE]... [--mode default|short|long] [--wav] [--untagged] [--no-playlist]\n"
               "       [--one-file NAME.ogg|NAME.opus|NAME.flac|NAME.wav] [--jobs N]\n"
               "                              write the marked lines shown (after the choices, as for\n"
               "                              select; --collection NAME lists that collection first)\n"
               "                              as voice clips (voice/, Ogg or WAV), face pictures (face/)\n"
               "                              and lines.csv into OUT_DIR; the mode picks the clips as\n"
               "                              the window plays them (default long); N threads read and\n"
               "                              write files (default: one per core); the clips are tagged\n"
               "                              with their line unless --untagged, playlist.m3u8 lists\n"
               "                              them; --one-file renders the walk into one file with a\n"
               "                              chapter per line and NAME.srt, NAME.lrc beside it",
     tarnwick::cli::CmdExport},
    {"check", "check GAME_FOLDER [--captures FILE]\n"
              "                              open the game as start-up does and print the counts of\n"
              "                              archives, entries, talk lines and capture groups, or say\n"
              "                              what fails first and why",
     tarnwick::cli::CmdCheck},
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

int PrintHelp()
{
    std::printf("Usage: tarnwick-cli COMMAND [ARGUMENTS]\n"
                "The command-line companion of Tarnwick: reads a game's archives as the program does.\n\n"
                "Commands:\n");
    for (const Command_T& c : kCommands)
        std::printf("  %s\n", c.synopsis);
    std::printf("\nOptions:\n  --help      show this help (COMMAND --help: that command's)\n"
                "  --version   show the version\n\n"
                "A FILE read by a command may be - for standard input; -o - writes to standard output.\n"
                "Exit status: 0 on success, 1 when the operation fails or finds nothing,\n"
                "2 on a usage error.\n"
                "Texts, names and paths are shown as UTF-8 with \\\\, \\t, \\r, \\n and other control\n"
                "bytes (as \\xHH) escaped; --raw keeps the stored bytes.\n");
    return tarnwick::cli::FlushStdout();
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty())
        return tarnwick::cli::UsageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help")
        return PrintHelp();
    if (args[0] == "--version") {
        std::printf("tarnwick-cli %s\n", TARNWICK_VERSION);
        return tarnwick::cli::FlushStdout();
    }
    for (const Command_T& c : kCommands) {
        if (args[0] != c.name)
            continue;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--help") {
                std::printf("Usage: tarnwick-cli %s\n", c.synopsis);
                return tarnwick::cli::FlushStdout();
            }
        }
        // The one place that asks where the program is and what its
        // environment says.
        const tarnwick::HostEnvironment_T env = tarnwick::HostEnvironment_T::FromProcess();
        const tarnwick::cli::Context_T context{tarnwick::ProgramFolderFor(tarnwick::RunningExecutablePath(), env), env};
        // An interrupted command leaves no half-written file behind.
        tarnwick::RemoveTemporariesOnSignals();
        return c.run(context, Args(args).subspan(1));
    }
    return tarnwick::cli::UsageError("unknown command '" + args[0] + "'");
}

}  // namespace

int main(int argc, char** argv)
{
    // Every failure the commands foresee is reported where it happens; this
    // is the last guard, so that nothing ends the program with an abort.
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        return tarnwick::cli::Failure("out of memory");
    } catch (const std::exception& e) {
        return tarnwick::cli::Failure(std::string("internal error: ") + e.what());
    }
}
