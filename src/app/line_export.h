// Talk lines kept as ordinary files: each line's voice clip as an Ogg (or
// WAV) file, each face picture once as its PNG, and lines.csv with one row
// per line. Driven one line at a time, so a window can show progress and
// stop between lines; Finish writes the rows of the lines done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "host/file_writer.h"
#include "walk/talk_walker.h"

namespace tarnwick {

class CArchiveSet;
class CVeyQelTalkElm;

inline constexpr const char* kLinesCsvName = "lines.csv";
inline constexpr const char* kVoiceFolderName = "voice";
inline constexpr const char* kFaceFolderName = "face";

struct LineExportCounts_T {
    std::size_t linesDone = 0;            // rows lines.csv will hold
    std::size_t linesWithoutClip = 0;     // silent in the mode, or the clip is missing
    std::size_t linesWithoutPicture = 0;  // the face picture is missing
    std::size_t voiceFiles = 0;           // files written
    std::size_t faceFiles = 0;
};

enum class VoiceFileFormat { kOgg, kWav };

class CLineExport {
public:
    // rows in the order lines.csv lists them; playMode as the window's. The
    // archives (table, faces and both voice archives open) and the rows must
    // outlive the export.
    CLineExport(CArchiveSet& archives, std::string outFolder, std::vector<const CVeyQelTalkElm*> rows,
                PlayMode_T playMode, VoiceFileFormat format);

    std::size_t LineCount() const { return rows.size(); }
    bool IsDone() const { return counts.linesDone == rows.size(); }
    // The output folder itself failed (no space, read-only, a link where a
    // folder goes...): nothing more is written.
    bool IsStopped() const { return stopped; }

    // Opens the output folder, making it when missing, and removes the
    // lines.csv of an earlier export there, so that the folder never holds
    // one that describes other files. Files that would land inside the
    // game folder are refused.
    bool Begin(Failure_T& why);
    // Writes the next line's clip and picture (each file once) and records
    // its row. False when every line was done already, or the run stopped.
    // A file that cannot be written goes into Failures(); the line still
    // gets its row.
    bool Step();
    // Writes lines.csv, last, with the rows of the lines done so far; not
    // after the run stopped.
    bool Finish();

    const LineExportCounts_T& Counts() const { return counts; }
    const std::vector<Failure_T>& Failures() const { return failures; }

    // The header of lines.csv, without its line end.
    static const char* CsvHeader();

private:
    std::string ExportVoice(const CVeyQelTalkElm& line);
    std::string ExportFace(const CVeyQelTalkElm& line);
    bool WriteUnder(const char* folder, const std::string& name, const std::uint8_t* bytes, std::size_t length);
    void AddFailure(Failure_T why, const std::string& file);
    void AppendRow(const CVeyQelTalkElm& line, const std::string& voiceFile, const std::string& faceFile);

    CArchiveSet& archives;
    std::string outFolder;
    CWriteFolder out;
    bool stopped = false;
    std::vector<const CVeyQelTalkElm*> rows;
    PlayMode_T playMode;
    VoiceFileFormat format;
    std::string csv;
    // Output file name to what a row names: the relative path, or "" when
    // the file is missing (missing is true) or could not be written.
    struct Written_T {
        std::string shown;
        bool missing = false;
    };
    std::map<std::string, Written_T> voiceFiles;
    std::map<std::string, Written_T> faceFiles;
    LineExportCounts_T counts;
    std::vector<Failure_T> failures;
};

// A CSV field as RFC 4180 has it: quoted, with quotes doubled, when it holds
// a comma, a double quote, CR or LF.
std::string CsvField(std::string_view text);

}  // namespace tarnwick
