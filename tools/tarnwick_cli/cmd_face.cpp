// face: a face picture fetched and framed as the window draws it, written
// as a PNG.

#include <charconv>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/program_folder.h"
#include "host/windows_path.h"
#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "cli_common.h"
#include "commands.h"
#include "face/face_cache.h"
#include "face/face_draw.h"
#include "face/face_picture.h"

namespace tarnwick::cli {

namespace {

// The window's frame at 96 dots per inch.
constexpr int kDefaultFrameSide = 96;
constexpr std::uint64_t kMaxFrameSide = 4096;

struct FaceArgs_T {
    std::string gameFolder;
    std::string name;
    std::string outPath;
    int frameStyle = 0;
    int frameWidth = kDefaultFrameSide;
    int frameHeight = kDefaultFrameSide;
};

std::optional<int> ParseSide(std::string_view text)
{
    const std::optional<std::uint64_t> side = ParseUnsigned(text, kMaxFrameSide);
    if (!side || *side == 0)
        return std::nullopt;
    return static_cast<int>(*side);
}

// Gives kExitOk with the arguments in out, or the usage error's status.
// Entry names may start with "-" (face -12 is "-012_03.png"), so only the
// options themselves are taken as options.
int ParseFaceArgs(Args args, FaceArgs_T& out)
{
    std::vector<std::string> positional;
    bool haveOut = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::size_t left = args.size() - i - 1;
        if (a == "--style") {
            const std::optional<int> style = left >= 1 ? ParseInt(args[i + 1]) : std::nullopt;
            if (!style)
                return UsageError("--style takes a whole number");
            out.frameStyle = *style;
            i += 1;
        } else if (a == "--frame") {
            const std::optional<int> w = left >= 2 ? ParseSide(args[i + 1]) : std::nullopt;
            const std::optional<int> h = left >= 2 ? ParseSide(args[i + 2]) : std::nullopt;
            if (!w || !h)
                return UsageError("--frame takes WIDTH and HEIGHT, each from 1 to 4096");
            out.frameWidth = *w;
            out.frameHeight = *h;
            i += 2;
        } else if (a == "-o") {
            if (left < 1 || args[i + 1].empty())
                return UsageError("-o takes the output file (- for standard output)");
            out.outPath = args[i + 1];
            haveOut = true;
            i += 1;
        } else if (a.starts_with("--")) {
            return UsageError("face: unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2 || !haveOut)
        return UsageError("face takes GAME_FOLDER NAME [--style N] [--frame WIDTH HEIGHT] -o OUT.png");
    out.gameFolder = positional[0];
    out.name = positional[1];
    return kExitOk;
}

}  // namespace

int CmdFace(const Context_T& context, Args args)
{
    FaceArgs_T face;
    if (const int status = ParseFaceArgs(args, face); status != kExitOk)
        return status;

    const auto set = std::make_unique<CArchiveSet>();
    if (const int status = OpenGameArchive(context, *set, face.gameFolder, kFaceArchive); status != kExitOk)
        return status;

    CFaceCache cache;
    const CVeyFaceImage* picture = cache.GetFaceImage(*set, face.name);
    if (!picture)
        return Failure("no face picture " + face.name + " (missing from archive 104, or not a PNG it can decode)");
    const FaceFrame_T frame = DrawFaceImage(face.frameStyle, face.frameWidth, face.frameHeight, picture->image);
    if (frame.IsEmpty())
        return Failure("out of memory drawing the frame");
    const std::optional<std::vector<std::uint8_t>> png = EncodeRgbPng(frame);
    if (!png)
        return Failure("cannot encode the frame as PNG");
    return WriteOutputFile(face.outPath, *png);
}

}  // namespace tarnwick::cli
