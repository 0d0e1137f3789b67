// The talk catalogue: one record per voiced talk line of the game's talk
// table, numbered within its talk, and the user's capture groups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "talk/capture_list.h"
#include "talk/csv_reader.h"

namespace tarnwick {

inline constexpr std::size_t kTalkFieldSlots = 11;

// One talk line. Texts are the table's bytes (code page 932), viewed in the
// reader's copy of the table.
class CVeyQelTalkElm {
public:
    // Splits the line at every comma; there is no quoting.
    CVeyQelTalkElm(char* line, std::size_t n);

    std::string_view IdText() const { return fields[0]; }
    std::string_view castName() const { return fields[3]; }
    std::string_view talkText() const { return fields[5]; }

    // "%04d_%02d.png" of faceId and faceVariant, the face picture's entry.
    std::string FaceEntryName() const;
    // "%05d_%04d.vc" of talkId and lineNo, the voice clip's entry.
    std::string VoiceEntryName() const;

    std::array<std::string_view, kTalkFieldSlots> fields{};  // missing fields stay empty
    std::int32_t talkId = 0;
    std::int32_t lineNo = 0;
    std::int32_t faceId = 0;
    std::int32_t faceVariant = 0;
    std::int32_t waitTenths = 0;
    std::int32_t bgmNo = 0;  // set by the capture choice; 0 for none
    std::int32_t frameStyle = 0;
    std::int32_t voiceKind = 0;  // 0 none, 1 short clip, any other long clip
};

// The talk text with every "$R" line mark replaced by `with`. "$" is never a
// lead byte in code page 932, so every "$R" is a mark.
std::string LineMarksReplaced(std::string_view talkText, std::string_view with);

class CVeyQelTalk : public CCsvReader<CVeyQelTalkElm> {
public:
    // The folder whose CaptureList.xml Load reads; none (no capture list)
    // until the program names one.
    void SetProgramFolder(std::string folder) { programFolder = std::move(folder); }

    // Parses the table, numbers the lines of each talk and reads the
    // capture list. Copies what it keeps, so data may go once it returns.
    void Load(const std::uint8_t* data, std::size_t length);
    // The table part of Load alone: parse and number the lines.
    void LoadTable(const std::uint8_t* data, std::size_t length);
    // The table that LoadTable made in parsed, as LoadTable of the same
    // bytes would make it here; parsed gets this one's.
    void TakeTable(CVeyQelTalk& parsed) { SwapParsed(parsed); }
    void LoadCaptureList();
    // Reads a capture list from a given file; false when it cannot be opened.
    bool LoadCaptureListFile(const std::string& path);
    // Reads a capture list given as its text.
    void LoadCaptureListText(std::string_view text);

    // Puts the records of the choice (all talks when empty, else a capture
    // group's name) into out in table order, and gives the records of a
    // group the music numbers of their covering ranges.
    std::size_t SelectTalks(const std::optional<std::string>& choice, std::vector<CVeyQelTalkElm*>& out);

    std::size_t CaptureNameCount() const { return captureNames.size(); }
    const std::string& CaptureNameAt(std::size_t i) const { return captureNames[i]; }
    std::size_t CaptureItemCount() const { return captureItems.size(); }
    CCaptureElm* CaptureItemAt(std::size_t i) const { return &captureItems[i]; }

private:
    void NumberLines();

    std::string programFolder;
    // The selectors hand out items as they were read; nothing here changes
    // one once the list is read, whatever the catalogue's constness.
    mutable std::deque<CCaptureElm> captureItems;
    std::vector<std::string> captureNames;
};

}  // namespace tarnwick
