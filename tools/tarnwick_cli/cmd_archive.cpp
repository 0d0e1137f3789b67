// decode, encode, ls, cat and pack: the archive codec and archives from the
// command line. extract is in cmd_extract.cpp.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "archive/archive_set.h"
#include "devkit/archive_writer.h"
#include "archive/dict_decoder.h"
#include "host/mapped_memory.h"
#include "devkit/dict_encoder.h"
#include "cli_common.h"
#include "host/host_path.h"
#include "commands.h"
#include "text_out.h"

namespace tarnwick::cli {

int CmdDecode(const Context_T&, Args args)
{
    if (args.size() != 1)
        return UsageError("decode takes one argument: SIZE");
    const std::optional<std::uint64_t> size = ParseUnsigned(args[0], std::numeric_limits<std::uint32_t>::max());
    if (!size)
        return UsageError("SIZE must be a number from 0 to 4294967295");
    const std::optional<std::vector<std::uint8_t>> in = ReadAllStdin(kStoredSizeMask);
    if (!in)
        return Failure("cannot read standard input");
    if (in->size() > std::numeric_limits<std::uint32_t>::max())
        return Failure("input too large");
    // Zeros from the kernel: what a short or failed stream leaves stays
    // zero, and a large output is faulted in by huge pages where it can be.
    const auto outSize = static_cast<std::uint32_t>(*size);
    CLargeBuffer out;
    if (!out.Allocate(outSize))
        return Failure("cannot allocate " + std::to_string(outSize) + " bytes: " + std::strerror(errno));
    const auto decoder = std::make_unique<CDictDecoder>();
    const bool ok = decoder->Decode(in->data(), static_cast<std::uint32_t>(in->size()), out.Data(), outSize);
    if (!WriteAllStdout({out.Data(), outSize}))
        return Failure("cannot write standard output");
    return ok ? kExitOk : Failure("the stream holds an undefined code");
}

int CmdEncode(const Context_T&, Args args)
{
    if (!args.empty())
        return UsageError("encode takes no arguments");
    const std::optional<std::vector<std::uint8_t>> in = ReadAllStdin(kStoredSizeMask);
    if (!in)
        return Failure("cannot read standard input");
    const auto encoder = std::make_unique<CDictEncoder>();
    if (!WriteAllStdout(encoder->Encode(*in)))
        return Failure("cannot write standard output");
    return kExitOk;
}

int CmdLs(const Context_T& context, Args args)
{
    if (args.size() != 2)
        return UsageError("ls takes two arguments: GAME_FOLDER ARCHIVE_NUMBER");
    const auto set = std::make_unique<CArchiveSet>();
    int n = 0;
    if (const int status = OpenArchiveArgs(context, *set, args, n); status != kExitOk)
        return status;
    const std::uint32_t count = set->NameCount(n);
    for (std::uint32_t i = 0; i < count; ++i) {
        const HedRecord_T* r = set->Record(n, i + 1);
        // Escaped, so that a name with a tab or line end keeps to its line.
        const std::string name = NameOut(set->NameAt(n, i));
        std::printf("%u\t", i + 1);
        std::fwrite(name.data(), 1, name.size(), stdout);
        std::printf("\t%u\t%u\t%u\t%c\n", r->offset, r->storedSize & kStoredSizeMask, r->fullSize,
                    (r->storedSize & kStoredCompressed) ? 'c' : '-');
    }
    if (std::fflush(stdout) != 0)
        return Failure("cannot write standard output");
    return count != 0 ? kExitOk : Failure("the archive holds no entries");
}

int CmdCat(const Context_T& context, Args args)
{
    if (args.size() != 3)
        return UsageError("cat takes three arguments: GAME_FOLDER ARCHIVE_NUMBER NAME");
    const auto set = std::make_unique<CArchiveSet>();
    int n = 0;
    if (const int status = OpenArchiveArgs(context, *set, args, n); status != kExitOk)
        return status;
    // Copied a block at a time, so that a large entry costs no memory; a
    // compressed one is decoded whole, up to the limit.
    int writeError = 0;
    const bool copied = set->CopyEntry(
        n, args[2],
        [&writeError](std::span<const std::uint8_t> block) {
            if (WriteAllStdout(block))
                return true;
            writeError = errno != 0 ? errno : EIO;
            return false;
        },
        kMaxCopyDecodedBytes);
    if (!copied && !set->LastFailure())
        return Failure("cannot write standard output: " + std::string(std::strerror(writeError)));
    if (!copied)
        return Failure("cannot read entry: " + set->LastFailure().Describe());
    return kExitOk;
}

int CmdPack(const Context_T& context, Args args)
{
    bool compress = false;
    bool compressNames = false;
    std::string outBase;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--compress")
            compress = true;
        else if (a == "--compress-names")
            compressNames = true;
        else if (a.size() > 1 && a[0] == '-' && a != "-")
            return UsageError("pack: unknown option " + a);
        else if (outBase.empty())
            outBase = a;
        else
            files.push_back(a);
    }
    if (outBase.empty())
        return UsageError("pack needs OUT_BASE and the files to store");
    // pack names no game folder: a folder above the output that holds the
    // whole game is one, and an installed game is never written into.
    const std::string outFolder = outBase.find('/') == std::string::npos ? "." : ParentFolder(outBase);
    if (const std::optional<std::string> game = GameFolderAbove(outFolder)) {
        if (const int status = RefuseInsideGame(context, outFolder, *game); status != kExitOk)
            return status;
    }

    // The writer leaves nothing behind unless Finish puts both files in place.
    CArchiveWriter writer;
    if (!writer.Open(outBase + ".hed", outBase + ".dat"))
        return Failure("cannot create " + writer.LastFailure().Describe());
    std::vector<std::uint8_t> bytes;
    for (const std::string& file : files) {
        const std::string name = file.substr(file.find_last_of('/') + 1);
        if (name.empty())
            return Failure("no file name in " + file);
        if (const int status = ReadInputOrFail(file, bytes, kStoredSizeMask); status != kExitOk)
            return status;
        if (!writer.Add(name, bytes, compress))
            return Failure("cannot store " + file + ": " + writer.LastFailure().Describe());
    }
    if (!writer.Finish(compressNames))
        return Failure("cannot write " + writer.LastFailure().Describe());
    return kExitOk;
}

}  // namespace tarnwick::cli
