#include "app/walk_file_export.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "app/line_export.h"
#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/host_path.h"
#include "host/ordered_run.h"
#include "sound/voice_output.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

namespace {

// Each thread reads with a state of its own over the archives.
struct Reader_T {
    CArchiveSet set;
    std::vector<std::uint8_t> pcm;
};

// The clips decoded ahead of the encoder, at most this many per thread:
// what waits stays a few seconds of sound.
constexpr std::size_t kAheadPerJob = 4;
// The file's ARTIST names the speakers up to this many.
constexpr std::size_t kMostArtists = 8;

std::unique_ptr<Reader_T> ReaderOver(const CArchiveSet& archives)
{
    auto reader = std::make_unique<Reader_T>();
    reader->set.ReadThrough(archives);
    reader->set.KeepDataFileOpen(true);
    return reader;
}

}  // namespace

std::uint64_t WalkPauseMicroseconds(const CVeyQelTalkElm& line, bool voiced)
{
    if (voiced)
        return kVoicedPauseMicroseconds;
    return std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(line.waitTenths, 0)) * 100000,
                                   kMostWaitMicroseconds);
}

CWalkFileExport::CWalkFileExport(CArchiveSet& a, std::vector<const CVeyQelTalkElm*> r, PlayMode_T mode,
                                 std::string name)
    : archives(a), rows(std::move(r)), playMode(mode), album(std::move(name))
{
}

std::string CWalkFileExport::SubtitleName(const std::string& name, const char* extension)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? name.substr(0, dot) : name) + extension;
}

bool CWalkFileExport::Plan(unsigned jobs, const std::function<bool(std::size_t)>& progress)
{
    items.assign(rows.size(), {});
    for (const int n : {kLongVoiceArchive, kShortVoiceArchive, kFaceArchive})
        archives.IndexNames(n);
    Reader_T own;
    own.set.ReadThrough(archives);
    std::size_t planned = 0;
    bool cancelled = false;
    RunInOrder<Reader_T>(
        rows.size(), {.jobs = jobs}, [this] { return ReaderOver(archives); }, own,
        [&](std::size_t i, Reader_T& reader) {
            const CVeyQelTalkElm& line = *rows[i];
            WalkItem_T& item = items[i];
            const std::string cast = Cp932ToUtf8(line.castName());
            const std::string text = Cp932ToUtf8(LineMarksReplaced(line.talkText(), "\n"));
            item.text = text;
            std::string oneLine = text;
            std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
            item.chapter = cast.empty() ? oneLine : cast + ": " + oneLine;
            const ClipKind_T kind = ClipKindFor(playMode, line.voiceKind);
            WaveFormat_T format;
            std::uint32_t bytes = 0;
            if (kind != ClipKind_T::kSilent && VoiceClipLength(reader.set, line.VoiceEntryName(), kind, format, bytes)) {
                // A stream that states no length is decoded to learn it.
                bool cut = false;
                if (bytes == MaxVoicePcmBytes(format) &&
                    DecodeVoiceClip(reader.set, line.VoiceEntryName(), kind, format, reader.pcm, cut))
                    bytes = static_cast<std::uint32_t>(reader.pcm.size());
                item.hasClip = format.blockAlign != 0 && bytes != 0;
                item.clipFrames = format.blockAlign != 0 ? bytes / format.blockAlign : 0;
                item.clipRate = format.samplesPerSec;
                item.clipChannels = format.channels;
            }
            item.pauseMicroseconds = WalkPauseMicroseconds(line, item.hasClip);
            return true;
        },
        [&](std::size_t i) { planned = i + 1; },
        [&] {
            cancelled = cancelled || (progress && !progress(planned / 2));
            return !cancelled;
        });
    return !cancelled && planned == rows.size();
}

ClipTags_T CWalkFileExport::FileTags()
{
    ClipTags_T tags;
    tags.title = album;
    tags.album = album;
    std::vector<std::string> casts;
    std::set<std::string_view> seen;
    for (const CVeyQelTalkElm* line : rows) {
        if (line->castName().empty() || !seen.insert(line->castName()).second)
            continue;
        if (casts.size() == kMostArtists) {
            casts.push_back("\u2026");
            break;
        }
        casts.push_back(Cp932ToUtf8(line->castName()));
    }
    for (std::size_t i = 0; i < casts.size(); ++i)
        tags.artist += (i == 0 ? "" : ", ") + casts[i];
    if (!rows.empty())
        tags.picture = FramedFacePicture(archives, *rows.front());
    return tags;
}

bool CWalkFileExport::Write(const std::string& outFolder, const std::string& gameFolder, const std::string& name,
                            unsigned jobs, const std::function<bool(std::size_t)>& progress, Failure_T& why)
{
    why = {};
    CWriteFolder out;
    out.Refuse(gameFolder);
    if (!out.Open(outFolder, why))
        return false;
    return Render(out, name, jobs, progress, why);
}

void CWalkFileExport::RenderAs(std::string name, unsigned jobs, std::function<bool(std::size_t)> progress)
{
    outputName = std::move(name);
    outputJobs = jobs;
    outputProgress = std::move(progress);
}

bool CWalkFileExport::Finish(CWriteFolder& out, bool complete, Failure_T& why)
{
    // A walk cut short is not the walk: nothing is rendered.
    rendered = complete && !outputName.empty() && Render(out, outputName, outputJobs, outputProgress, why);
    if (why && why.subject.empty())
        why.subject = JoinPath(out.Path(), outputName);
    return rendered || !complete || !why;
}

bool CWalkFileExport::Render(CWriteFolder& out, const std::string& name, unsigned jobs,
                             const std::function<bool(std::size_t)>& progress, Failure_T& why)
{
    why = {};
    const std::optional<RenderFormat_T> format = RenderFormatOf(name);
    if (!format) {
        why = Failure_T::Refused(name, "not a .ogg, .opus, .flac or .wav file name");
        return false;
    }
    if (!Plan(jobs, progress))
        return false;
    const RenderFormatChoice_T output = RenderOutputFormat(*format, items);
    rate = output.rate;
    spans = PlanWalk(items, rate);

    CAtomicFile file;
    if (!file.Open(out, name, why))
        return false;
    Failure_T sinkFailure;
    const std::unique_ptr<CWalkEncoder> encoder = CWalkEncoder::Create(
        *format, output, FileTags(), items, spans,
        [&](std::span<const std::uint8_t> bytes) { return file.Write(bytes, sinkFailure); }, why);
    if (!encoder)
        return false;

    // Decoded on the threads, a few clips ahead; encoded here, in order.
    std::vector<std::vector<std::uint8_t>> decoded(rows.size());
    std::vector<WaveFormat_T> formats(rows.size());
    Reader_T own;
    own.set.ReadThrough(archives);
    bool cancelled = false;
    bool failed = false;
    std::size_t encoded = 0;
    RunInOrder<Reader_T>(
        rows.size(), {.jobs = jobs, .ahead = kAheadPerJob * std::max(jobs, 1u)},
        [this] { return ReaderOver(archives); }, own,
        [&](std::size_t i, Reader_T& reader) {
            if (items[i].hasClip) {
                bool cut = false;
                const CVeyQelTalkElm& line = *rows[i];
                if (!DecodeVoiceClip(reader.set, line.VoiceEntryName(), ClipKindFor(playMode, line.voiceKind),
                                     formats[i], decoded[i], cut))
                    decoded[i].clear();
            }
            return true;
        },
        [&](std::size_t i) {
            std::vector<std::uint8_t> pcm = std::move(decoded[i]);
            if (failed)
                return;
            // A clip that reads shorter (or not at all) now keeps its place:
            // the planned times hold.
            if (!pcm.empty() && !encoder->AddClip(formats[i], pcm, why))
                failed = true;
            else if (!encoder->PadTo(spans[i].end, why))
                failed = true;
            encoded = i + 1;
        },
        [&] {
            cancelled = cancelled || failed || (progress && !progress((rows.size() + encoded) / 2));
            return !cancelled;
        });
    if (cancelled || failed || encoded != rows.size() || !encoder->Finish(why) || !file.Commit(why)) {
        if (sinkFailure)
            why = sinkFailure;
        if (cancelled && !failed)
            why = {};
        return false;  // the unfinished file goes with `file`
    }

    // The subtitles once the sound is there.
    for (const auto& [extension, text] : {std::pair{".srt", SrtText(items, spans, rate)},
                                          std::pair{".lrc", LrcText(items, spans, rate)}}) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        if (!WriteFileAtomically(out, SubtitleName(name, extension), {bytes, text.size()}, why))
            return false;
    }
    return true;
}

}  // namespace tarnwick
