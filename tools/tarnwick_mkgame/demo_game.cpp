#include "demo_game.h"

#include <atomic>
#include <filesystem>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "archive/archive_table.h"
#include "devkit/archive_writer.h"
#include "host/host_path.h"
#include "background_music.h"
#include "face_pictures.h"
#include "game_archives.h"
#include "talk_table.h"
#include "voice_clips.h"

namespace tarnwick::demo {

namespace {

using Bytes_T = std::vector<std::uint8_t>;

std::span<const std::uint8_t> AsBytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Runs fn(0) .. fn(count - 1) on a few threads. Each call writes only its
// own result slot, so the output does not depend on the scheduling.
template <typename Fn>
void ParallelFor(std::size_t count, int threads, Fn fn)
{
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            fn(i);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();
}

class CDemoWriter {
public:
    CDemoWriter(const std::string& gameFolder, const DemoGameOptions_T& gameOptions, DemoGameReport_T& out)
        : folder(gameFolder), options(gameOptions), report(out),
          plan(PlanDemoGame(gameOptions.seed, gameOptions.scale))
    {
    }

    bool Run()
    {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec || !std::filesystem::is_directory(folder)) {
            report.error = "cannot make the folder " + folder;
            return false;
        }
        report.talkLines = plan.lines.size();
        // Music first: a missing ffmpeg then fails at once, not after the
        // clips are encoded.
        if (!WriteMusic() || !WriteTables() || !WriteFaces() || !WriteVoices() || !WriteEvents())
            return false;
        for (int n = 0; n < kArchiveCount; ++n) {
            if (n == kTableArchive || n >= kFaceArchive)
                continue;
            if (!WriteFillerArchive(folder, n, plan.scale, plan.seed, report.bytesWritten, report.error))
                return false;
            report.archiveEntries += FillerEntryCount(n, plan.scale);
        }
        return WriteCaptureList();
    }

private:
    bool Write(int n, const std::vector<ArchiveEntry_T>& entries, bool compressNames)
    {
        report.archiveEntries += entries.size();
        return WriteArchive(folder, n, entries, compressNames, report.bytesWritten, report.error);
    }

    std::optional<std::string> Cp932(const std::string& utf8, const char* what)
    {
        std::optional<std::string> text = ToCp932(utf8);
        if (!text)
            report.error = std::string("cannot convert the ") + what + " to code page 932";
        return text;
    }

    bool WriteTables()
    {
        const std::optional<std::string> talk = Cp932(TalkTableText(plan), "talk table");
        const std::optional<std::string> cast = Cp932(CastTableText(plan), "cast table");
        if (!talk || !cast)
            return false;
        const std::string version = "version,1.0.0\r\nbuild,demo\r\n";
        // The talk table is neither the first entry nor stored plain.
        return Write(kTableArchive,
                     {{"another_aa_cast.csv", AsBytes(*cast), false},
                      {"another_aa_talk.csv", AsBytes(*talk), true},
                      {"version.csv", AsBytes(version), true}},
                     false);
    }

    bool WriteFaces()
    {
        std::vector<std::optional<Bytes_T>> pictures(plan.faces.size());
        ParallelFor(plan.faces.size(), options.threads,
                    [&](std::size_t i) { pictures[i] = FacePicturePng(plan, plan.faces[i]); });
        std::vector<ArchiveEntry_T> entries;
        for (std::size_t i = 0; i < plan.faces.size(); ++i) {
            if (!pictures[i]) {
                report.error = "cannot encode face picture " + FaceEntryName(plan.faces[i].faceId, plan.faces[i].variant);
                return false;
            }
            entries.push_back({FaceEntryName(plan.faces[i].faceId, plan.faces[i].variant), *pictures[i], i % 4 == 1});
        }
        report.facePictures = entries.size();
        return Write(kFaceArchive, entries, true);
    }

    // Encodes each distinct clip once; lines of the full-size game share
    // the pool's clips.
    bool WriteVoices()
    {
        const bool pooled = !plan.shortPool.empty();
        std::vector<const DemoClip_T*> jobs;
        std::vector<std::size_t> shortJob(plan.lines.size()), longJob(plan.lines.size());
        if (pooled) {
            for (const DemoClip_T& c : plan.shortPool)
                jobs.push_back(&c);
            for (const DemoClip_T& c : plan.longPool)
                jobs.push_back(&c);
        }
        for (std::size_t i = 0; i < plan.lines.size(); ++i) {
            const DemoLine_T& line = plan.lines[i];
            if (!line.hasClip)
                continue;
            if (pooled) {
                shortJob[i] = static_cast<std::size_t>(line.shortClip.poolSlot);
                longJob[i] = plan.shortPool.size() + static_cast<std::size_t>(line.longClip.poolSlot);
            } else {
                shortJob[i] = jobs.size();
                jobs.push_back(&line.shortClip);
                longJob[i] = jobs.size();
                jobs.push_back(&line.longClip);
            }
        }
        std::vector<std::optional<Bytes_T>> clips(jobs.size());
        ParallelFor(jobs.size(), options.threads, [&](std::size_t i) { clips[i] = StoredVoiceClip(*jobs[i]); });
        for (const std::optional<Bytes_T>& c : clips) {
            if (!c) {
                report.error = "cannot encode a voice clip";
                return false;
            }
        }

        // Fewer compressed clips at full size keep generation quick.
        const std::size_t longEvery = pooled ? 40 : 7, shortEvery = pooled ? 50 : 5;
        std::vector<ArchiveEntry_T> longEntries, shortEntries;
        for (std::size_t i = 0; i < plan.lines.size(); ++i) {
            const DemoLine_T& line = plan.lines[i];
            if (!line.hasClip)
                continue;
            const std::string name = VoiceEntryName(line.talkId, line.lineNo);
            longEntries.push_back({name, *clips[longJob[i]], longEntries.size() % longEvery == 3});
            shortEntries.push_back({name, *clips[shortJob[i]], shortEntries.size() % shortEvery == 2});
        }
        report.voiceEntries = longEntries.size() + shortEntries.size();
        return Write(kLongVoiceArchive, longEntries, true) && Write(kShortVoiceArchive, shortEntries, false);
    }

    // The event sounds: never played by the program, but real clips.
    bool WriteEvents()
    {
        std::vector<Bytes_T> chimes;
        for (int i = 0; i < 4; ++i) {
            std::optional<Bytes_T> clip = EncodeVorbis(SynthesizeChime(plan.seed + static_cast<std::uint64_t>(i), 22050),
                                                       0.1f, 7000 + i);
            if (!clip) {
                report.error = "cannot encode an event sound";
                return false;
            }
            InvertBytes(*clip);
            chimes.push_back(std::move(*clip));
        }
        std::vector<ArchiveEntry_T> entries;
        for (int i = 0; i < 4; ++i)
            entries.push_back({"se_000" + std::to_string(i + 1) + ".vc", chimes[static_cast<std::size_t>(i)], i == 2});
        return Write(107, entries, false);
    }

    bool WriteMusic()
    {
        for (int n : plan.bgmNumbers) {
            const std::string path = HostArchivePath(folder, "data\\sound\\bgm_" + std::to_string(n) + ".wma");
            std::error_code ec;
            std::filesystem::create_directories(ParentFolder(path), ec);
            if (!EncodeWma(options.ffmpeg, ComposeMusic(n, plan.seed), path, report.error))
                return false;
            report.bytesWritten += std::filesystem::file_size(path, ec);
        }
        return true;
    }

    bool WriteCaptureList()
    {
        const std::optional<std::string> text = Cp932(CaptureListText(plan), "capture list");
        if (!text)
            return false;
        const std::string path = JoinPath(folder, "CaptureList.xml");
        if (!WriteWholeFile(path, AsBytes(*text))) {
            report.error = "cannot write " + path;
            return false;
        }
        report.bytesWritten += text->size();
        return true;
    }

    const std::string& folder;
    const DemoGameOptions_T& options;
    DemoGameReport_T& report;
    const DemoPlan_T plan;
};

}  // namespace

bool WriteDemoGame(const std::string& folder, const DemoGameOptions_T& options, DemoGameReport_T* report)
{
    DemoGameReport_T local;
    DemoGameReport_T& r = report ? *report : local;
    r = DemoGameReport_T{};
    return CDemoWriter(folder, options, r).Run();
}

}  // namespace tarnwick::demo
