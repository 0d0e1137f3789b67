#include "support/test_game.h"

#include <stdexcept>
#include <string_view>

#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "host/host_path.h"

namespace tarnwick::test {

namespace {

std::string HostRelative(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::span<const std::uint8_t> Bytes(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

void WriteTestGame(const std::string& folder, const TestGameOptions_T& options)
{
    for (int n = 0; n < kArchiveCount; ++n) {
        if (options.missingArchives.count(n))
            continue;
        CArchiveWriter writer;
        bool ok = writer.Open(JoinPath(folder, HostRelative(ArchiveHedPaths()[n])),
                              JoinPath(folder, HostRelative(ArchiveDatPaths()[n])));
        if (n == 0)
            ok = ok && writer.Add("marker.txt", Bytes(options.marker), false);
        if (n == kTableArchive && options.withTalkTable)
            ok = ok && writer.Add("another_aa_talk.csv", Bytes(options.talkTable), true);
        ok = ok && writer.Add("entry" + std::to_string(n) + ".bin", Bytes("payload"), n % 2 == 0);
        ok = ok && writer.Finish(n % 3 == 0);
        if (!ok)
            throw std::runtime_error("cannot write test archive " + std::to_string(n));
    }
}

}  // namespace tarnwick::test
