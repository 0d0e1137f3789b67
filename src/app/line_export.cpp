#include "app/line_export.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <mutex>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "face/face_draw.h"
#include "face/face_picture.h"
#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/host_path.h"
#include "host/ordered_run.h"
#include "sound/voice_output.h"
#include "sound/wav_file.h"
#include "talk/veyqel_talk.h"
#include "walk/talk_walker.h"

namespace tarnwick {

namespace {

// lines.csv's columns, in order.
constexpr std::array<std::string_view, 10> kColumns{
    "talk_id", "line_no", "cast", "text", "wait_tenths", "voice_kind", "frame_style", "bgm_no", "voice_file",
    "face_file"};
constexpr std::size_t kVoiceColumn = 8;
constexpr std::size_t kFaceColumn = 9;

// "01001_0001.vc" becomes "01001_0001" + extension.
std::string WithExtension(const std::string& entryName, const char* extension)
{
    const std::size_t dot = entryName.find_last_of('.');
    return entryName.substr(0, dot) + extension;
}

// Calls onField(record, column, field) for each field of text read as RFC
// 4180 CSV (LF or CRLF line ends); false, part way, when text is not CSV.
template <class OnField>
bool ForEachCsvField(std::string_view text, OnField&& onField)
{
    std::size_t record = 0, column = 0, i = 0;
    std::string field;
    while (i < text.size()) {
        field.clear();
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return false;  // the quote never closes
                if (text[i] == '"') {
                    if (i + 1 >= text.size() || text[i + 1] != '"')
                        break;
                    ++i;
                }
                field += text[i];
            }
            ++i;
        } else {
            for (; i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r'; ++i) {
                if (text[i] == '"')
                    return false;
                field += text[i];
            }
        }
        onField(record, column, field);
        if (i >= text.size())
            return true;
        if (text[i] == ',') {
            ++column;
            if (++i == text.size())
                onField(record, column, std::string());
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size())
            ++i;
        if (text[i] != '\n')
            return false;  // text after a closing quote, or a lone CR
        ++i;
        ++record;
        column = 0;
    }
    return true;
}

// Whether path is exactly folder + "/" + one plain name: a row can name
// nothing above, beside or deeper than the export's own files.
bool IsExportFileIn(std::string_view path, std::string_view folder)
{
    if (path.size() <= folder.size() + 1 || !path.starts_with(folder) || path[folder.size()] != '/')
        return false;
    const std::string_view name = path.substr(folder.size() + 1);
    return name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace

EarlierExport_T ReadEarlierExport(std::string_view text)
{
    constexpr std::size_t kNone = kColumns.size();
    std::vector<std::size_t> ours;  // each column's place in kColumns, or kNone
    EarlierExport_T earlier;
    std::size_t current = 0;  // the record earlier.rows.back() holds
    auto take = [&](std::size_t record, std::size_t column, const std::string& field) {
        if (record == 0) {
            const auto known = std::find(kColumns.begin(), kColumns.end(), field);
            const std::size_t place = known == kColumns.end() ? kNone : std::size_t(known - kColumns.begin());
            // A name the header repeats is the first column's.
            const bool repeated = place != kNone && std::find(ours.begin(), ours.end(), place) != ours.end();
            ours.push_back(repeated ? kNone : place);
            return;
        }
        if (column >= ours.size() || ours[column] == kNone || field.empty())
            return;
        if (earlier.rows.empty() || current != record) {
            earlier.rows.emplace_back(kColumns.size());
            current = record;
        }
        earlier.rows.back()[ours[column]] = field;
        if ((ours[column] == kVoiceColumn && IsExportFileIn(field, kVoiceFolderName)) ||
            (ours[column] == kFaceColumn && IsExportFileIn(field, kFaceFolderName)))
            earlier.files.insert(field);
    };
    // Not what this program writes: none of it is trusted.
    if (!ForEachCsvField(text, take))
        return {};
    return earlier;
}

ExportFolderState_T InspectExportFolder(const std::string& folder, Failure_T& why)
{
    CFolderListing listing;
    if (!listing.Open(folder, why)) {
        if (why.kind != FailureKind::kSystem || why.errorNumber != ENOENT)
            return ExportFolderState_T::kFailed;
        why = {};
        return ExportFolderState_T::kEmpty;
    }
    PathKind list = PathKind::kMissing;
    if (!listing.KindOf(kLinesCsvName, list, why))
        return ExportFolderState_T::kFailed;
    if (list == PathKind::kFile)
        return ExportFolderState_T::kEarlierExport;
    bool any = false;
    if (!listing.HasEntries(any, why))
        return ExportFolderState_T::kFailed;
    return any ? ExportFolderState_T::kOtherFiles : ExportFolderState_T::kEmpty;
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

const std::string& CLineExport::CsvHeader()
{
    static const std::string header = [] {
        std::string joined;
        for (const std::string_view column : kColumns)
            joined += std::string(joined.empty() ? "" : ",") + std::string(column);
        return joined;
    }();
    return header;
}

namespace {

// The row of one line as lines.csv holds it.
std::string LineRow(const CVeyQelTalkElm& line, const std::string& voiceFile, const std::string& faceFile)
{
    std::string row = std::to_string(line.talkId) + "," + std::to_string(line.lineNo) + ",";
    row += CsvField(Cp932ToUtf8(line.castName())) + ",";
    row += CsvField(Cp932ToUtf8(TalkTextForDisplay(line.talkText()))) + ",";
    for (const std::int32_t v : {line.waitTenths, line.voiceKind, line.frameStyle, line.bgmNo})
        row += std::to_string(v) + ",";
    return row + CsvField(voiceFile) + "," + CsvField(faceFile) + "\n";
}

std::string LineKey(const CVeyQelTalkElm& line)
{
    return std::to_string(line.talkId) + "," + std::to_string(line.lineNo);
}

}  // namespace

CLineExport::CLineExport(CArchiveSet& a, std::string folder, std::vector<const CVeyQelTalkElm*> r, PlayMode_T mode,
                         LineExportOptions_T o)
    : archives(a), outFolder(std::move(folder)), rows(std::move(r)), playMode(mode), options(std::move(o))
{
    if (options.playlist)
        outputs.push_back(&playlist);
}

bool CLineExport::Begin(Failure_T& why)
{
    out.Refuse(archives.GameFolder());
    if (!out.Open(outFolder, why))
        return false;
    // Each line's clip and picture are found by name.
    for (const int n : {kLongVoiceArchive, kShortVoiceArchive, kFaceArchive})
        archives.IndexNames(n);
    ReadEarlierList();
    voiceFiles.clear();
    faceFiles.clear();
    fileJobs.clear();
    clipCount = 0;
    plans.clear();
    plans.reserve(rows.size());
    for (const CVeyQelTalkElm* line : rows)
        plans.push_back(PlanLine(*line));
    return WriteListAhead(why);
}

bool CLineExport::WriteListAhead(Failure_T& why)
{
    const std::string text = ListText(true);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    listAhead = WriteFileAtomically(out, kLinesCsvName, {bytes, text.size()}, why);
    return listAhead;
}

std::string CLineExport::ListText(bool ahead) const
{
    std::string text = CsvHeader() + "\n" + csv;
    std::set<std::string> newLines;
    for (std::size_t i = 0; i < counts.linesDone; ++i)
        newLines.insert(LineKey(*rows[i]));
    for (std::size_t i = counts.linesDone; ahead && i < rows.size(); ++i) {
        const LinePlan_T& plan = plans[i];
        text += LineRow(*rows[i], plan.voice && !plan.voice->missing ? plan.voice->planned : std::string(),
                        plan.face->missing ? std::string() : plan.face->planned);
        newLines.insert(LineKey(*rows[i]));
    }
    // An earlier row stays while a file it names is still there and no new
    // row names it, and, short of a complete export, while no new row is
    // for its line.
    const bool complete = !ahead && IsDone() && !stopped;
    for (const std::vector<std::string>& row : earlierRows) {
        bool ownsFile = false;
        for (const std::size_t column : {kVoiceColumn, kFaceColumn})
            ownsFile = ownsFile || (earlierFiles.contains(row[column]) && !IsNamed(row[column], ahead));
        if (!ownsFile && (complete || newLines.contains(row[0] + "," + row[1])))
            continue;
        for (std::size_t c = 0; c < row.size(); ++c)
            text += (c == 0 ? "" : ",") + CsvField(row[c]);
        text += "\n";
    }
    return text;
}

void CLineExport::ReadEarlierList()
{
    Failure_T why;
    PathKind kind = PathKind::kMissing;
    std::string text;
    if (!earlier.Open(out.Path(), why) || !earlier.KindOf(kLinesCsvName, kind, why)) {
        removalFailures.push_back(std::move(why));
        return;
    }
    // A link or a folder there was not written by an export.
    if (kind != PathKind::kFile)
        return;
    if (!earlier.ReadFile(kLinesCsvName, kLinesCsvLimit, text, why)) {
        removalFailures.push_back(std::move(why));
        return;
    }
    EarlierExport_T read = ReadEarlierExport(text);
    earlierFiles = std::move(read.files);
    earlierRows = std::move(read.rows);
}

bool CLineExport::IsNamed(const std::string& relative, bool planned) const
{
    const std::size_t slash = relative.find('/');
    if (slash == std::string::npos)
        return false;
    const std::string folder = relative.substr(0, slash);
    const std::map<std::string, Written_T>& files = folder == kVoiceFolderName ? voiceFiles : faceFiles;
    const auto found = files.find(relative.substr(slash + 1));
    return found != files.end() && (planned ? found->second.planned : found->second.shown) == relative;
}

void CLineExport::RemoveEarlierFiles()
{
    for (auto file = earlierFiles.begin(); file != earlierFiles.end();) {
        if (IsNamed(*file, false)) {
            ++file;
            continue;
        }
        // Only a regular file, as an export leaves it: a link the user put
        // there, or a folder, is not the earlier export's. One that stays
        // keeps its row.
        Failure_T why;
        PathKind kind = PathKind::kMissing;
        if (!earlier.KindOf(*file, kind, why) || (kind == PathKind::kFile && !out.RemoveFile(*file, why))) {
            removalFailures.push_back(std::move(why));
            ++file;
            continue;
        }
        file = earlierFiles.erase(file);
    }
}

CLineExport::LinePlan_T CLineExport::PlanLine(const CVeyQelTalkElm& line)
{
    std::vector<FileJob_T>& jobs = fileJobs;
    LinePlan_T plan;
    plan.firstJob = jobs.size();
    const ClipKind_T kind = ClipKindFor(playMode, line.voiceKind);
    if (kind != ClipKind_T::kSilent) {
        const std::string entry = line.VoiceEntryName();
        std::string file = WithExtension(entry, options.format == VoiceFileFormat::kWav ? ".wav" : ".ogg");
        // A clip shared by several rows is written for the first of them.
        const auto [known, added] = voiceFiles.try_emplace(file);
        plan.voice = &known->second;
        plan.newVoice = added;
        if (added) {
            known->second.planned = std::string(kVoiceFolderName) + "/" + file;
            // Tracks count the clips there are, not the lines that lack one.
            const bool there = archives.FindEntry(VoiceArchiveFor(kind), entry) != 0;
            jobs.push_back({false, kind, entry, std::move(file), &line, there ? ++clipCount : 0});
        }
    }
    std::string face = line.FaceEntryName();
    const auto [known, added] = faceFiles.try_emplace(face);
    plan.face = &known->second;
    plan.newFace = added;
    if (added) {
        known->second.planned = std::string(kFaceFolderName) + "/" + face;
        jobs.push_back({true, kind, face, std::move(face), &line, 0});
    }
    return plan;
}

bool CLineExport::EnsureListAhead()
{
    if (listAhead)
        return true;
    // After a Finish short of the end the list names only what is there.
    Failure_T why;
    if (WriteListAhead(why))
        return true;
    failures.push_back(std::move(why));
    stopped = true;
    return false;
}

bool CLineExport::Step()
{
    if (IsDone() || stopped || !out.IsOpen() || !EnsureListAhead())
        return false;
    const LinePlan_T& plan = plans[counts.linesDone];
    const std::span<FileJob_T> jobs = std::span(fileJobs).subspan(plan.firstJob, plan.JobCount());
    std::vector<FileResult_T> results;
    for (const FileJob_T& job : jobs)
        results.push_back(Produce(job, archives, pcm));
    CommitLine(*rows[counts.linesDone], plan, jobs, results);
    return !stopped;
}

bool CLineExport::Run(unsigned jobs, const std::function<bool(std::size_t)>& progress)
{
    if (IsDone() || stopped || !out.IsOpen() || !EnsureListAhead())
        return IsDone();
    // Each file is one job, written once, for the first line that names
    // it. A line's new files are one group, and groups are taken in list
    // order, so the groups done are always the first ones and every file
    // written belongs to a line that can be listed.
    const std::size_t first = counts.linesDone;
    std::vector<std::size_t> groupLine;  // the line each group belongs to
    for (std::size_t i = first; i < rows.size(); ++i) {
        if (plans[i].JobCount() != 0)
            groupLine.push_back(i);
    }
    std::vector<FileResult_T> results(fileJobs.size());
    // Each thread reads with a state of its own over the archives open.
    struct Reader_T {
        CArchiveSet set;
        std::vector<std::uint8_t> block;  // this thread's decoded clip
    };
    Reader_T own;
    own.set.ReadThrough(archives);
    std::size_t line = first;
    // The lines up to the group's, which have no new file of their own.
    auto commitUpTo = [&](std::size_t last) {
        for (; line <= last && line < rows.size(); ++line) {
            const LinePlan_T& plan = plans[line];
            const std::size_t count = plan.JobCount();
            CommitLine(*rows[line], plan, std::span(fileJobs).subspan(plan.firstJob, count),
                       std::span(results).subspan(plan.firstJob, count));
        }
    };
    bool cancelled = false;
    const std::size_t groupsDone = RunInOrder<Reader_T>(
        groupLine.size(), {.jobs = jobs},
        [this] {
            auto reader = std::make_unique<Reader_T>();
            reader->set.ReadThrough(archives);
            reader->set.KeepDataFileOpen(true);
            return reader;
        },
        own,
        [&](std::size_t g, Reader_T& reader) {
            const LinePlan_T& plan = plans[groupLine[g]];
            bool stops = false;
            for (std::size_t j = plan.firstJob; j < plan.firstJob + plan.JobCount(); ++j) {
                results[j] = Produce(fileJobs[j], reader.set, reader.block);
                stops = stops || results[j].stops;
            }
            // The lines after this one will not be listed.
            return !stops;
        },
        [&](std::size_t g) { commitUpTo(groupLine[g]); },
        [&] {
            cancelled = cancelled || (progress && !progress(counts.linesDone));
            return !cancelled;
        });
    // The lines after the last group name only files written already.
    if (groupsDone == groupLine.size())
        commitUpTo(rows.size());
    return IsDone();
}

void CLineExport::CommitLine(const CVeyQelTalkElm& line, const LinePlan_T& plan, std::span<FileJob_T> jobs,
                             std::span<FileResult_T> results)
{
    std::size_t next = 0;
    std::string voiceFile, faceFile;
    if (!plan.voice) {
        ++counts.linesWithoutClip;
    } else {
        if (plan.newVoice) {
            Apply(jobs[next], results[next], *plan.voice, counts.voiceFiles);
            ++next;
        }
        if (plan.voice->missing)
            ++counts.linesWithoutClip;
        voiceFile = plan.voice->shown;
    }
    if (plan.newFace)
        Apply(jobs[next], results[next], *plan.face, counts.faceFiles);
    if (plan.face->missing)
        ++counts.linesWithoutPicture;
    faceFile = plan.face->shown;
    const ExportedLine_T done{&line, counts.linesDone, voiceFile,
                              plan.voice && !voiceFile.empty() ? plan.voice->seconds : 0, faceFile};
    for (IExportOutput* output : outputs)
        output->Line(done);
    csv += LineRow(line, voiceFile, faceFile);
    ++counts.linesDone;
}

void CLineExport::Apply(const FileJob_T& job, FileResult_T& result, Written_T& file, std::size_t& written)
{
    // The threads that were writing when the folder failed met it too:
    // it is told once.
    if (!stopped || !result.stops) {
        for (Failure_T& why : result.failures)
            failures.push_back(std::move(why));
    }
    stopped = stopped || result.stops;
    if (result.written) {
        ++written;
        file.shown = std::string(job.face ? kFaceFolderName : kVoiceFolderName) + "/" + job.file;
        file.seconds = result.seconds;
        if (result.cutSeconds != 0)
            cutClips.push_back({file.shown, result.cutSeconds});
    } else if (result.missing) {
        file.missing = true;
    }
}

namespace {

// What is wrong with one file's place (a folder or device where it goes, a
// name too long) spares the others; a failure of the folder or its file
// system would only repeat for every line.
bool StopsRun(const Failure_T& why, const std::string& file)
{
    const bool fileOnly = why.kind == FailureKind::kSystem && why.subject == file &&
                          (why.errorNumber == 0 || why.errorNumber == EISDIR || why.errorNumber == ENAMETOOLONG ||
                           why.errorNumber == ETXTBSY || why.errorNumber == EFBIG);
    return !fileOnly;
}

}  // namespace

void CLineExport::AddFailure(Failure_T why, const std::string& file)
{
    stopped = stopped || StopsRun(why, file);
    failures.push_back(std::move(why));
}

bool CLineExport::WriteUnder(const char* folder, const std::string& name, std::span<const std::uint8_t> head,
                             std::span<const std::uint8_t> bytes, FileResult_T& result)
{
    const std::string relative = std::string(folder) + "/" + name;
    Failure_T why;
    CAtomicFile file;
    if (!file.Open(out, relative, why) || !file.Write(head, why) || !file.Write(bytes, why) || !file.Commit(why)) {
        result.stops = result.stops || StopsRun(why, JoinPath(outFolder, relative));
        result.failures.push_back(std::move(why));
        return false;
    }
    return true;
}

CLineExport::FileResult_T CLineExport::Produce(const FileJob_T& job, CArchiveSet& reader,
                                               std::vector<std::uint8_t>& block)
{
    FileResult_T result;
    std::uint32_t length = 0;
    if (job.face) {
        if (reader.ReadEntry(kFaceArchive, job.entry, &length)) {
            result.written = WriteUnder(kFaceFolderName, job.file, {}, {reader.Buffer(), length}, result);
        } else if (reader.LastFailure().kind == FailureKind::kNotFound) {
            result.missing = true;
        } else {
            result.failures.push_back(reader.LastFailure());
        }
        return result;
    }
    // First: the picture is read through the reader, whose buffer then
    // holds the clip.
    const ClipTags_T tags = options.tagged ? TagsFor(job, reader) : ClipTags_T{};
    if (options.format == VoiceFileFormat::kOgg) {
        if (reader.ReadEntry(VoiceArchiveFor(job.kind), job.entry, &length)) {
            InvertVoiceBytes(reader.Buffer(), length);
            const std::span<const std::uint8_t> stored(reader.Buffer(), length);
            result.seconds = OggVorbisSeconds(stored);
            std::vector<std::uint8_t> tagged;
            Failure_T why;
            // A clip that cannot be tagged is still the line's clip: kept
            // as stored.
            const bool retagged = options.tagged && RetagOggVorbis(stored, tags, tagged, why);
            result.written = WriteUnder(kVoiceFolderName, job.file, {}, retagged ? std::span<const std::uint8_t>(tagged) : stored, result);
        }
    } else {
        WaveFormat_T wave;
        bool cut = false;
        if (DecodeVoiceClip(reader, job.entry, job.kind, wave, block, cut)) {
            const std::vector<std::uint8_t> header =
                options.tagged ? TaggedWavHeader(wave, block.size(), tags) : WavHeader(wave, block.size());
            result.written = WriteUnder(kVoiceFolderName, job.file, header, block, result);
            result.seconds = wave.avgBytesPerSec != 0 ? static_cast<double>(block.size()) / wave.avgBytesPerSec : 0;
            result.cutSeconds = cut ? PcmSeconds(wave, block.size()) : 0;
        } else if (!reader.LastFailure()) {
            result.failures.push_back(Failure_T::Damaged(job.entry, "not an Ogg Vorbis stream it can decode"));
        }
    }
    const Failure_T& why = reader.LastFailure();
    if (why && why.kind != FailureKind::kNotFound)
        result.failures.push_back(why);
    result.missing = !result.written && why.kind == FailureKind::kNotFound;
    return result;
}

TagPicture_T FramedFacePicture(CArchiveSet& reader, const CVeyQelTalkElm& line)
{
    TagPicture_T picture;
    std::uint32_t length = 0;
    FacePicture_T face;
    if (reader.ReadEntry(kFaceArchive, line.FaceEntryName(), &length, kMaxFaceEntryBytes) &&
        DecodeFacePng({reader.Buffer(), length}, face)) {
        const FaceFrame_T frame = DrawFaceImage(line.frameStyle, kTagPictureSide, kTagPictureSide, face);
        if (std::optional<std::vector<std::uint8_t>> png = EncodeRgbPng(frame)) {
            picture.png = std::move(*png);
            picture.width = static_cast<std::uint32_t>(frame.width);
            picture.height = static_cast<std::uint32_t>(frame.height);
            picture.blockBase64 = Base64(FlacPictureBlock(picture));
        }
    }
    return picture;
}

ClipTags_T CLineExport::TagsFor(const FileJob_T& job, CArchiveSet& reader)
{
    const CVeyQelTalkElm& line = *job.line;
    ClipTags_T tags;
    tags.title = Cp932ToUtf8(LineMarksReplaced(line.talkText(), "\n"));
    tags.artist = Cp932ToUtf8(line.castName());
    tags.album = options.album;
    tags.track = job.track;
    tags.trackTotal = clipCount;
    tags.line = std::to_string(line.talkId) + ":" + std::to_string(line.lineNo);
    tags.picture = PictureFor(line, reader);
    return tags;
}

TagPicture_T CLineExport::PictureFor(const CVeyQelTalkElm& line, CArchiveSet& reader)
{
    const std::pair<std::string, int> key{line.FaceEntryName(), line.frameStyle};
    {
        const std::shared_lock<std::shared_mutex> lock(picturesMutex);
        if (const auto known = pictures.find(key); known != pictures.end())
            return known->second;
    }
    // Made outside the lock: two threads may make the same one, once each.
    TagPicture_T picture = FramedFacePicture(reader, line);
    const std::lock_guard<std::shared_mutex> lock(picturesMutex);
    return pictures.try_emplace(key, std::move(picture)).first->second;
}

bool CLineExport::Finish()
{
    if (!out.IsOpen())
        return false;
    // A folder that stopped the export would refuse their files too.
    for (IExportOutput* output : outputs) {
        Failure_T why;
        if (!stopped && !output->Finish(out, IsDone(), why) && why)
            failures.push_back(std::move(why));
    }
    // Removed first: a run cut short here leaves the list written ahead,
    // which names them still.
    if (IsDone() && !stopped)
        RemoveEarlierFiles();
    const std::string text = ListText(false);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    Failure_T why;
    if (!WriteFileAtomically(out, kLinesCsvName, {bytes, text.size()}, why)) {
        AddFailure(std::move(why), JoinPath(outFolder, kLinesCsvName));
        return false;
    }
    listAhead = IsDone();
    return true;
}

}  // namespace tarnwick
