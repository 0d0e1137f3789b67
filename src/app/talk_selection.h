// The list's choices as one object: the capture group (or a collection of
// the user's), the capture item, the search, the speaker and the marks,
// with undo. The window, the command line and the tests all drive this one
// object, so its rules hold wherever the lines are chosen.
//
// With nothing filtered every rule is the window's own: a group choice
// lists its lines all marked, an item choice sets the marks of every row.
// While a search or a speaker hides rows, marking acts on the rows shown
// only, so that sets of lines can be built up filter by filter.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/failure.h"
#include "talk/line_collection.h"
#include "talk/line_search.h"
#include "talk/mark_history.h"
#include "talk/selection_models.h"

namespace tarnwick {

class CCollectionStore;
class CVeyQelTalk;
class CVeyQelTalkElm;

enum class SpeakerOrder_T {
    kFirstAppearance,  // as the lines of the list first name them
    kByName,
};

struct Speaker_T {
    std::string cast;  // code page 932, as the game has it; may be empty
    std::size_t lines = 0;  // in the list, shown or not
    bool operator==(const Speaker_T&) const = default;
};

class CTalkSelection {
public:
    class IListener {
    public:
        virtual ~IListener() = default;
        // The list was filled anew: its speakers may differ, and the chosen
        // one may have gone back to all speakers.
        virtual void OnSpeakersChanged() = 0;
    };

    // collections may be null: no collection is offered then.
    explicit CTalkSelection(CVeyQelTalk& talk, CCollectionStore* collections = nullptr);
    void SetListener(IListener* l) { listener = l; }

    CSelectorModel& CaptureChoices() { return captureChoices; }
    const CSelectorModel& CaptureChoices() const { return captureChoices; }
    CSelectorModel& ItemChoices() { return itemChoices; }
    const CSelectorModel& ItemChoices() const { return itemChoices; }
    CTalkListModel& Rows() { return rows; }
    const CTalkListModel& Rows() const { return rows; }
    CVeyQelTalk& Talk() { return talk; }
    CCollectionStore* Collections() { return collections; }

    // As the window opens: the group selector (all talks, the groups, then
    // a "★ NAME" entry per collection) and the list of every line, all
    // marked; the undo steps start here.
    void Fill();

    // The user's choices. Each is one step to undo when it changed a mark.
    // A collection's entry lists its lines in the order they were added,
    // all marked, with music number 0.
    void ChooseCapture(int index);
    void ChooseItem(int index);
    // The query as typed, UTF-8; see CLineSearch.
    void SetSearch(std::string_view utf8Query);
    const std::string& SearchText() const { return searchText; }
    // Folds every line for the search ahead, for a front end that sees a
    // search coming.
    void PrepareSearch();
    // The exact cast bytes, or nothing for all speakers.
    void ChooseSpeaker(std::optional<std::string> cast);
    const std::optional<std::string>& Speaker() const { return speaker; }
    // Whether a search or a speaker hides lines from the list.
    bool IsFiltered() const { return !search.IsEmpty() || speaker.has_value(); }

    // Every speaker of the list with its line count.
    std::vector<Speaker_T> Speakers(SpeakerOrder_T order) const;

    // "Mark the lines shown", "Unmark the lines shown".
    void MarkShown(bool marked);
    // Space on the selected rows (shown row numbers): they all take the
    // mark that the row `anchor` does not have, as one step.
    void ToggleRows(const std::vector<std::size_t>& shownRows, std::size_t anchor);
    // After the list's front end changed a mark itself (a click on a box).
    void CommitMarks();

    // The undo steps start from the list as it is now (the place and
    // marks of the last run restored).
    void StartHistory();
    bool Undo();
    bool Redo();
    bool CanUndo() const { return history.CanUndo(); }
    bool CanRedo() const { return history.CanRedo(); }

    // What an export of the list names its album, UTF-8: the capture item
    // chosen, else the group or collection, else "Tarnwick".
    std::string AlbumName() const;

    // The collection the group selector stands at, or nothing.
    std::optional<std::string> ChosenCollection() const;
    // The entry of the named collection in the group selector, -1 for none.
    int CollectionEntry(std::string_view name) const;
    // Adds the lines to the named collection, making it when create is set
    // (and refusing a name in use then). A collection shown now lists
    // them at once. why names the file and the reason on false.
    bool AddToCollection(const std::string& name, bool create, std::span<const CVeyQelTalkElm* const> lines,
                         Failure_T& why);
    // Takes the lines out of the collection the list shows.
    bool RemoveFromChosenCollection(std::span<const CVeyQelTalkElm* const> lines, Failure_T& why);
    bool RenameCollection(const std::string& name, const std::string& newName, Failure_T& why);
    // Deleting the collection the list shows goes back to all talks.
    bool DeleteCollection(const std::string& name, Failure_T& why);

private:
    // Fills the list for the entry the group selector stands at, and the
    // item selector; every row marked.
    void Refill();
    void RefillCollection(const LineCollection_T& collection);
    // Shows the rows that the search and the speaker leave.
    void ApplyFilter();
    // The group selector's entries anew, standing at the same group or
    // collection (or at all talks when it went).
    void RefillCaptureChoices(std::optional<std::string> collection);
    MarkState_T State() const;
    void Apply(const MarkState_T& state);

    CVeyQelTalk& talk;
    CCollectionStore* collections;
    CSelectorModel captureChoices;
    CSelectorModel itemChoices;
    CTalkListModel rows;
    CLineSearch search;
    std::string searchText;
    std::optional<std::string> speaker;
    CMarkHistory history;
    IListener* listener = nullptr;
};

// The list's rows as the lines they hold.
std::vector<TalkLineKey_T> LineKeysOf(std::span<const CVeyQelTalkElm* const> lines);

}  // namespace tarnwick
