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

}  // namespace

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
    return out.RemoveFile(kLinesCsvName, why);
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
