// Talk lines kept as ordinary files: each line's voice clip as an Ogg (or
// WAV) file, each face picture once as its PNG, and lines.csv with one row
// per line. Driven one line at a time, so a window can show progress and
// stop between lines, or all at once on several threads; Finish writes the
// rows of the lines done. An earlier export in the same folder is replaced
// whole once the new one is complete, its files that the new list leaves
// out removed; until then nothing of it goes, and the list on disk names
// every file there that an export made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <shared_mutex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/export_output.h"
#include "host/failure.h"
#include "host/file_writer.h"
#include "host/folder_listing.h"
#include "sound/clip_tags.h"
#include "sound/voice_output.h"
#include "walk/play_mode.h"

namespace tarnwick {

class CArchiveSet;
class CVeyQelTalkElm;

inline constexpr const char* kLinesCsvName = "lines.csv";
inline constexpr const char* kVoiceFolderName = "voice";
inline constexpr const char* kFaceFolderName = "face";
// An earlier export's lines.csv larger than this is not read: a list of
// even a million lines stays far below it.
inline constexpr std::uint64_t kLinesCsvLimit = std::uint64_t{64} << 20;

// What a chosen output folder holds, for deciding whether to ask first.
enum class ExportFolderState_T {
    kEmpty,          // not there yet, or holding nothing
    kEarlierExport,  // a lines.csv (a regular file, not a link): replaced whole
    kOtherFiles,     // something else only: the user's own files
    kFailed,         // not a folder, or it cannot be read: why says
};

ExportFolderState_T InspectExportFolder(const std::string& folder, Failure_T& why);

struct LineExportCounts_T {
    std::size_t linesDone = 0;            // rows lines.csv will hold
    std::size_t linesWithoutClip = 0;     // silent in the mode, or the clip is missing
    std::size_t linesWithoutPicture = 0;  // the face picture is missing
    std::size_t voiceFiles = 0;           // files written
    std::size_t faceFiles = 0;
};

enum class VoiceFileFormat { kOgg, kWav };

// A tagged clip's picture: the face framed as the window shows it.
inline constexpr int kTagPictureSide = 96;

// What an export writes beside lines.csv and the face pictures.
struct LineExportOptions_T {
    VoiceFileFormat format = VoiceFileFormat::kOgg;
    // Clips carry their line as tags (Vorbis comments with the framed face,
    // or a WAV INFO chunk); without, an Ogg clip is the stored bytes.
    bool tagged = true;
    bool playlist = true;  // playlist.m3u8 (a CPlaylistOutput), the clips in list order
    // The tags' album, UTF-8: the capture item chosen, else the group, else
    // "Tarnwick".
    std::string album = "Tarnwick";
};

class CLineExport {
public:
    // rows in the order lines.csv lists them; playMode as the window's. The
    // archives (table, faces and both voice archives open) and the rows must
    // outlive the export.
    CLineExport(CArchiveSet& archives, std::string outFolder, std::vector<const CVeyQelTalkElm*> rows,
                PlayMode_T playMode, LineExportOptions_T options);

    std::size_t LineCount() const { return rows.size(); }
    // Another output, handed each line done and told at Finish whether the
    // export is complete; it must outlive the export.
    void AddOutput(IExportOutput& output) { outputs.push_back(&output); }
    bool IsDone() const { return counts.linesDone == rows.size(); }
    // The output folder itself failed (no space, read-only, a link where a
    // folder goes...): nothing more is written.
    bool IsStopped() const { return stopped; }

    // Opens the output folder, making it when missing, reads the lines.csv
    // of an earlier export there and plans every line. Before any file is
    // written lines.csv is replaced by one that names the files planned as
    // well as the earlier ones, so that a run cut short at any point (a
    // full disk, a kill) leaves no file that no list names. Files that
    // would land inside the game folder are refused.
    bool Begin(Failure_T& why);
    // Writes the next line's clip and picture (each file once) and records
    // its row. False when every line was done already, or the run stopped.
    // A file that cannot be written goes into Failures(); the line still
    // gets its row.
    bool Step();
    // Does the rest of the lines as Step would one after the other, with
    // jobs threads (at least one) reading and writing files at once, each
    // with its own reading state over the same archives. Rows, counts and
    // Failures() come out in list order as from Step. A run that stops
    // also keeps the lines that other threads had in hand, so that every
    // file written is listed; the failure that stopped it is reported
    // once. progress is called on the calling thread, first at the start,
    // then from time to time, with the lines done; false from it cancels,
    // keeping the lines whose files are written, as stopping the Step calls
    // would. True when every line is done.
    bool Run(unsigned jobs, const std::function<bool(std::size_t linesDone)>& progress);
    // Finishes the outputs (the playlist of the lines done, when chosen),
    // then writes lines.csv, last. When every line is done it replaces the
    // earlier export whole: the voice and face files that its lines.csv
    // listed and the new rows do not are removed first (nothing but a
    // regular file at "voice/NAME" or "face/NAME"), and the list holds the
    // new rows. Otherwise (cancelled, stopped) nothing is removed and the
    // list holds the rows of the lines done and the earlier rows that they
    // do not replace. False when the list could not be written: then the
    // one written at Begin, naming more, stays.
    bool Finish();

    const LineExportCounts_T& Counts() const { return counts; }
    // Files that could not be written.
    const std::vector<Failure_T>& Failures() const { return failures; }
    // The earlier export's files that stay although the new list does not
    // name them (or its list that could not be read). They stop nothing.
    const std::vector<Failure_T>& RemovalFailures() const { return removalFailures; }
    // WAV files written shorter than their clip's stream, which lasts more
    // than a clip plays, in list order: "voice/NAME" and the seconds it holds.
    struct CutClip_T {
        std::string file;
        std::uint64_t seconds = 0;
    };
    const std::vector<CutClip_T>& CutClips() const { return cutClips; }

    // The header of lines.csv, without its line end.
    static const std::string& CsvHeader();

private:
    // Output file name to what a row names: the relative path, or "" when
    // the file is missing (missing is true) or could not be written.
    struct Written_T {
        std::string shown;
        std::string planned;  // what it will be once written
        bool missing = false;
        double seconds = 0;  // a clip's length, once written
    };
    // A file the first line that names it writes: its clip or picture.
    struct FileJob_T {
        bool face = false;
        ClipKind_T kind = ClipKind_T::kSilent;  // of a clip
        std::string entry;                      // in its archive
        std::string file;                       // under voice/ or face/
        const CVeyQelTalkElm* line = nullptr;  // the first that names it
        unsigned track = 0;                     // a clip's place among the clips the archive holds; 0 for none
    };
    // What writing one gave, taken into the counts in list order.
    struct FileResult_T {
        bool written = false;
        bool missing = false;  // no such entry
        bool stops = false;    // one of failures stops the run
        std::uint64_t cutSeconds = 0;  // a decoded clip cut short: the seconds kept
        double seconds = 0;            // a clip's length
        std::vector<Failure_T> failures;
    };
    // A line's files; its new ones are jobs firstJob on, clip first.
    struct LinePlan_T {
        Written_T* voice = nullptr;  // null: silent in the mode
        Written_T* face = nullptr;
        std::size_t firstJob = 0;
        bool newVoice = false;
        bool newFace = false;
        std::size_t JobCount() const { return std::size_t{newVoice} + std::size_t{newFace}; }
    };

    LinePlan_T PlanLine(const CVeyQelTalkElm& line);
    // Writes the list Begin promises: the rows done, the planned rows with
    // the files they will name, and the earlier rows they do not replace.
    bool WriteListAhead(Failure_T& why);
    // The same before a file is written after Finish: false, the run
    // stopped, when it cannot be written.
    bool EnsureListAhead();
    // lines.csv's text: the rows done, then (ahead) the rows planned, then
    // the earlier rows still needed to name the files there.
    std::string ListText(bool ahead) const;
    // Reads and writes one file through reader; safe on several threads at
    // once, each with its own reader and pcm block.
    FileResult_T Produce(const FileJob_T& job, CArchiveSet& reader, std::vector<std::uint8_t>& pcm);
    // The tags of a clip; its picture framed as the window frames it, made
    // once for each face and frame style.
    ClipTags_T TagsFor(const FileJob_T& job, CArchiveSet& reader);
    TagPicture_T PictureFor(const CVeyQelTalkElm& line, CArchiveSet& reader);
    bool WriteUnder(const char* folder, const std::string& name, std::span<const std::uint8_t> head,
                    std::span<const std::uint8_t> bytes, FileResult_T& result);
    void CommitLine(const CVeyQelTalkElm& line, const LinePlan_T& plan, std::span<FileJob_T> jobs,
                    std::span<FileResult_T> results);
    void Apply(const FileJob_T& job, FileResult_T& result, Written_T& file, std::size_t& written);
    void AddFailure(Failure_T why, const std::string& file);
    void ReadEarlierList();
    // Whether a new row names relative: once written, or (planned) once
    // planned.
    bool IsNamed(const std::string& relative, bool planned) const;
    void RemoveEarlierFiles();

    CArchiveSet& archives;
    std::string outFolder;
    CWriteFolder out;
    bool stopped = false;
    std::vector<const CVeyQelTalkElm*> rows;
    PlayMode_T playMode;
    LineExportOptions_T options;
    unsigned clipCount = 0;  // planned
    // Framed faces by face entry and frame style, shared by the threads.
    std::shared_mutex picturesMutex;
    std::map<std::pair<std::string, int>, TagPicture_T> pictures;
    CPlaylistOutput playlist;
    std::vector<IExportOutput*> outputs;
    std::string csv;  // the rows of the lines done
    // Every line's files, planned at Begin; the new files are jobs.
    std::vector<LinePlan_T> plans;
    std::vector<FileJob_T> fileJobs;
    bool listAhead = false;  // lines.csv names every planned file
    std::vector<std::uint8_t> pcm;  // Step's decoded clip
    // Output file name to what a row names.
    std::map<std::string, Written_T> voiceFiles;
    std::map<std::string, Written_T> faceFiles;
    LineExportCounts_T counts;
    std::vector<Failure_T> failures;
    // What the earlier export's lines.csv listed ("voice/NAME", "face/NAME"),
    // looked at through earlier, which follows no link below the folder;
    // once removed, the files that stay.
    std::set<std::string> earlierFiles;
    std::vector<std::vector<std::string>> earlierRows;  // in our columns
    CFolderListing earlier;
    std::vector<Failure_T> removalFailures;
    std::vector<CutClip_T> cutClips;
};

// The line's face framed as the window frames it (kTagPictureSide square),
// as a PNG; none when the line has no picture.
TagPicture_T FramedFacePicture(CArchiveSet& reader, const CVeyQelTalkElm& line);

// A CSV field as RFC 4180 has it: quoted, with quotes doubled, when it holds
// a comma, a double quote, CR or LF.
std::string CsvField(std::string_view text);



// An earlier export's lines.csv: its rows in this program's columns (found
// by the header's names, a column it lacks empty), and the files it names
// in its voice_file and face_file columns, each only when it is exactly
// "voice/NAME" or "face/NAME" with NAME one plain component. Nothing at
// all from text that is not RFC 4180 CSV.
struct EarlierExport_T {
    std::vector<std::vector<std::string>> rows;
    std::set<std::string> files;
};
EarlierExport_T ReadEarlierExport(std::string_view text);

}  // namespace tarnwick
