#include "app/line_export.h"

#include <cerrno>

#include "archive/archive_set.h"
#include "archive/archive_table.h"
#include "host/cp932_text.h"
#include "host/file_writer.h"
#include "host/host_path.h"
#include "sound/voice_output.h"
#include "sound/wav_file.h"
#include "talk/veyqel_talk.h"
#include "walk/talk_walker.h"

namespace tarnwick {

namespace {

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

std::set<std::string> EarlierExportFiles(std::string_view text)
{
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t voiceColumn = kNone, faceColumn = kNone;
    std::set<std::string> files;
    auto take = [&](std::size_t record, std::size_t column, const std::string& field) {
        if (record == 0) {
            if (field == "voice_file" && voiceColumn == kNone)
                voiceColumn = column;
            else if (field == "face_file" && faceColumn == kNone)
                faceColumn = column;
        } else if ((column == voiceColumn && IsExportFileIn(field, kVoiceFolderName)) ||
                   (column == faceColumn && IsExportFileIn(field, kFaceFolderName))) {
            files.insert(field);
        }
    };
    const bool wellFormed = ForEachCsvField(text, take);
    // Not what this program writes: none of it is trusted.
    if (!wellFormed)
        files.clear();
    return files;
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

const char* CLineExport::CsvHeader()
{
    return "talk_id,line_no,cast,text,wait_tenths,voice_kind,frame_style,bgm_no,voice_file,face_file";
}

CLineExport::CLineExport(CArchiveSet& a, std::string folder, std::vector<const CVeyQelTalkElm*> r, PlayMode_T mode,
                         VoiceFileFormat f)
    : archives(a), outFolder(std::move(folder)), rows(std::move(r)), playMode(mode), format(f)
{
}

bool CLineExport::Begin(Failure_T& why)
{
    out.Refuse(archives.GameFolder());
    if (!out.Open(outFolder, why))
        return false;
    ReadEarlierList();
    return out.RemoveFile(kLinesCsvName, why);
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
    earlierFiles = EarlierExportFiles(text);
}

bool CLineExport::IsNamed(const std::string& relative) const
{
    const std::size_t slash = relative.find('/');
    const std::string folder = relative.substr(0, slash);
    const std::map<std::string, Written_T>& files = folder == kVoiceFolderName ? voiceFiles : faceFiles;
    const auto found = files.find(relative.substr(slash + 1));
    return found != files.end() && found->second.shown == relative;
}

void CLineExport::RemoveEarlierFiles()
{
    for (auto file = earlierFiles.begin(); file != earlierFiles.end();) {
        if (IsNamed(*file)) {
            ++file;
            continue;
        }
        // Only a regular file, as an export leaves it: a link the user put
        // there, or a folder, is not the earlier export's.
        Failure_T why;
        PathKind kind = PathKind::kMissing;
        if (!earlier.KindOf(*file, kind, why) || (kind == PathKind::kFile && !out.RemoveFile(*file, why)))
            removalFailures.push_back(std::move(why));
        file = earlierFiles.erase(file);
    }
}

bool CLineExport::Step()
{
    if (IsDone() || stopped || !out.IsOpen())
        return false;
    const CVeyQelTalkElm& line = *rows[counts.linesDone];
    const std::string voiceFile = ExportVoice(line);
    const std::string faceFile = ExportFace(line);
    AppendRow(line, voiceFile, faceFile);
    ++counts.linesDone;
    return !stopped;
}

void CLineExport::AddFailure(Failure_T why, const std::string& file)
{
    // What is wrong with one file's place (a folder or device where it
    // goes, a name too long) spares the others; a failure of the folder or
    // its file system would only repeat for every line.
    const bool fileOnly = why.kind == FailureKind::kSystem && why.subject == file &&
                          (why.errorNumber == 0 || why.errorNumber == EISDIR || why.errorNumber == ENAMETOOLONG ||
                           why.errorNumber == ETXTBSY || why.errorNumber == EFBIG);
    stopped = stopped || !fileOnly;
    failures.push_back(std::move(why));
}

bool CLineExport::WriteUnder(const char* folder, const std::string& name, const std::uint8_t* bytes,
                             std::size_t length)
{
    const std::string relative = std::string(folder) + "/" + name;
    Failure_T why;
    if (!WriteFileAtomically(out, relative, {bytes, length}, why)) {
        AddFailure(std::move(why), JoinPath(outFolder, relative));
        return false;
    }
    return true;
}

std::string CLineExport::ExportVoice(const CVeyQelTalkElm& line)
{
    const ClipKind_T kind = ClipKindFor(playMode, line.voiceKind);
    if (kind == ClipKind_T::kSilent) {
        ++counts.linesWithoutClip;
        return {};
    }
    const std::string entry = line.VoiceEntryName();
    const std::string file = WithExtension(entry, format == VoiceFileFormat::kWav ? ".wav" : ".ogg");
    // A clip shared by several rows is written for the first of them.
    if (const auto known = voiceFiles.find(file); known != voiceFiles.end()) {
        if (known->second.missing)
            ++counts.linesWithoutClip;
        return known->second.shown;
    }
    Written_T& result = voiceFiles[file];

    bool written = false;
    if (format == VoiceFileFormat::kOgg) {
        std::uint32_t length = 0;
        if (archives.ReadEntry(VoiceArchiveFor(kind), entry, &length)) {
            InvertVoiceBytes(archives.Buffer(), length);
            written = WriteUnder(kVoiceFolderName, file, archives.Buffer(), length);
        }
    } else {
        WaveFormat_T wave;
        std::vector<std::uint8_t> pcm;
        if (DecodeVoiceClip(archives, entry, kind, wave, pcm)) {
            const std::vector<std::uint8_t> wav = WavFile(wave, pcm);
            written = WriteUnder(kVoiceFolderName, file, wav.data(), wav.size());
        } else if (!archives.LastFailure()) {
            failures.push_back(Failure_T::Damaged(entry, "not an Ogg Vorbis stream it can decode"));
        }
    }
    const Failure_T& why = archives.LastFailure();
    if (why && why.kind != FailureKind::kNotFound)
        failures.push_back(why);
    if (written) {
        ++counts.voiceFiles;
        result.shown = std::string(kVoiceFolderName) + "/" + file;
    } else if (why.kind == FailureKind::kNotFound) {
        ++counts.linesWithoutClip;
        result.missing = true;
    }
    return result.shown;
}

std::string CLineExport::ExportFace(const CVeyQelTalkElm& line)
{
    const std::string file = line.FaceEntryName();
    if (const auto known = faceFiles.find(file); known != faceFiles.end()) {
        if (known->second.missing)
            ++counts.linesWithoutPicture;
        return known->second.shown;
    }
    Written_T& result = faceFiles[file];
    std::uint32_t length = 0;
    if (!archives.ReadEntry(kFaceArchive, file, &length)) {
        const Failure_T& why = archives.LastFailure();
        if (why.kind == FailureKind::kNotFound) {
            ++counts.linesWithoutPicture;
            result.missing = true;
        } else {
            failures.push_back(why);
        }
        return result.shown;
    }
    if (WriteUnder(kFaceFolderName, file, archives.Buffer(), length)) {
        ++counts.faceFiles;
        result.shown = std::string(kFaceFolderName) + "/" + file;
    }
    return result.shown;
}

void CLineExport::AppendRow(const CVeyQelTalkElm& line, const std::string& voiceFile, const std::string& faceFile)
{
    csv += std::to_string(line.talkId) + "," + std::to_string(line.lineNo) + ",";
    csv += CsvField(Cp932ToUtf8(line.castName())) + ",";
    csv += CsvField(Cp932ToUtf8(TalkTextForDisplay(line.talkText()))) + ",";
    for (const std::int32_t v : {line.waitTenths, line.voiceKind, line.frameStyle, line.bgmNo})
        csv += std::to_string(v) + ",";
    csv += CsvField(voiceFile) + "," + CsvField(faceFile) + "\n";
}

bool CLineExport::Finish()
{
    if (stopped || !out.IsOpen())
        return false;
    // Removed first: a run cut short here leaves no list rather than one
    // that leaves out files the folder still holds.
    RemoveEarlierFiles();
    std::string text = std::string(CsvHeader()) + "\n" + csv;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    Failure_T why;
    if (!WriteFileAtomically(out, kLinesCsvName, {bytes, text.size()}, why)) {
        AddFailure(std::move(why), JoinPath(outFolder, kLinesCsvName));
        return false;
    }
    return true;
}

}  // namespace tarnwick
