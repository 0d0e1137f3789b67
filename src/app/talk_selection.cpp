#include "app/talk_selection.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "app/collection_store.h"
#include "host/cp932_text.h"
#include "talk/selection_lists.h"
#include "talk/veyqel_talk.h"

namespace tarnwick {

CTalkSelection::CTalkSelection(CVeyQelTalk& catalogue, CCollectionStore* store)
    : talk(catalogue), collections(store)
{
}

void CTalkSelection::Fill()
{
    RefillCaptureChoices(std::nullopt);
    captureChoices.Select(0);
    Refill();
    StartHistory();
}

void CTalkSelection::StartHistory()
{
    history.Reset(State());
}

void CTalkSelection::ChooseCapture(int index)
{
    if (index < 0 || index >= captureChoices.Count())
        return;
    captureChoices.Select(index);
    Refill();
    CommitMarks();
}

void CTalkSelection::ChooseItem(int index)
{
    if (index < 0 || index >= itemChoices.Count())
        return;
    itemChoices.Select(index);
    ApplyItemChoice(itemChoices, rows, IsFiltered());
    CommitMarks();
}

void CTalkSelection::SetSearch(std::string_view utf8Query)
{
    searchText = std::string(utf8Query);
    search.SetQuery(searchText);
    ApplyFilter();
}

void CTalkSelection::PrepareSearch()
{
    for (std::size_t i = 0; i < talk.GetCount(); ++i)
        search.Prepare(*talk.GetAt(i));
}

void CTalkSelection::ChooseSpeaker(std::optional<std::string> cast)
{
    if (cast == speaker)
        return;
    speaker = std::move(cast);
    ApplyFilter();
}

std::vector<Speaker_T> CTalkSelection::Speakers(SpeakerOrder_T order) const
{
    std::vector<Speaker_T> speakers;
    std::unordered_map<std::string_view, std::size_t> at;
    for (std::size_t i = 0; i < rows.TotalRowCount(); ++i) {
        const std::string_view cast = rows.ListRecordAt(i)->castName();
        const auto [place, fresh] = at.try_emplace(cast, speakers.size());
        if (fresh)
            speakers.push_back({std::string(cast), 0});
        ++speakers[place->second].lines;
    }
    if (order == SpeakerOrder_T::kByName) {
        // As the search compares names: width, case and kana kind aside.
        std::vector<std::pair<std::u16string, Speaker_T>> keyed;
        keyed.reserve(speakers.size());
        for (Speaker_T& s : speakers)
            keyed.emplace_back(FoldForSearch(Cp932ToUtf8(s.cast)), std::move(s));
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : a.second.cast < b.second.cast;
        });
        for (std::size_t i = 0; i < keyed.size(); ++i)
            speakers[i] = std::move(keyed[i].second);
    }
    return speakers;
}

void CTalkSelection::MarkShown(bool marked)
{
    rows.UpdateChecks([marked](const CVeyQelTalkElm*) { return marked ? 1 : 0; }, true);
    CommitMarks();
}

void CTalkSelection::ToggleRows(const std::vector<std::size_t>& shownRows, std::size_t anchor)
{
    if (shownRows.empty() || anchor >= rows.RowCount())
        return;
    rows.SetRowsChecked(shownRows, !rows.IsChecked(anchor));
    CommitMarks();
}

void CTalkSelection::CommitMarks()
{
    history.Commit(State());
}

bool CTalkSelection::Undo()
{
    const std::optional<MarkState_T> state = history.Undo();
    if (state)
        Apply(*state);
    return state.has_value();
}

bool CTalkSelection::Redo()
{
    const std::optional<MarkState_T> state = history.Redo();
    if (state)
        Apply(*state);
    return state.has_value();
}

std::string CTalkSelection::AlbumName() const
{
    if (const int item = itemChoices.SelectedIndex(); item >= 2 && item < itemChoices.Count())
        return Cp932ToUtf8(itemChoices.TextAt(item));
    const int group = captureChoices.SelectedIndex();
    if (group <= 0 || group >= captureChoices.Count())
        return "Tarnwick";
    if (captureChoices.CollectionAt(group) >= 0)
        return captureChoices.TextAt(group);
    return Cp932ToUtf8(captureChoices.TextAt(group));
}

std::optional<std::string> CTalkSelection::ChosenCollection() const
{
    const int index = captureChoices.SelectedIndex();
    if (index < 0 || captureChoices.CollectionAt(index) < 0)
        return std::nullopt;
    return captureChoices.TextAt(index);
}

int CTalkSelection::CollectionEntry(std::string_view name) const
{
    for (int i = captureChoices.Count() - 1; i >= 0 && captureChoices.CollectionAt(i) >= 0; --i) {
        if (captureChoices.TextAt(i) == name)
            return i;
    }
    return -1;
}

bool CTalkSelection::AddToCollection(const std::string& name, bool create,
                                     std::span<const CVeyQelTalkElm* const> lines, Failure_T& why)
{
    if (!collections) {
        why = Failure_T::Refused(name, "no folder for collections");
        return false;
    }
    const std::vector<TalkLineKey_T> keys = LineKeysOf(lines);
    if (!(create ? collections->Create(name, keys, why) : collections->AddLines(name, keys, why)))
        return false;
    // The lines come from the list, so a collection shown now holds them
    // all already: the list stays as it is.
    RefillCaptureChoices(ChosenCollection());
    return true;
}

bool CTalkSelection::RemoveFromChosenCollection(std::span<const CVeyQelTalkElm* const> lines, Failure_T& why)
{
    const std::optional<std::string> chosen = ChosenCollection();
    if (!collections || !chosen) {
        why = Failure_T::Refused("", "the list shows no collection");
        return false;
    }
    if (!collections->RemoveLines(*chosen, LineKeysOf(lines), why))
        return false;
    // The rows that stay keep their marks.
    std::map<TalkLineKey_T, bool> marks;
    const std::vector<bool> were = rows.Marks();
    for (std::size_t i = 0; i < rows.TotalRowCount(); ++i) {
        const CVeyQelTalkElm& r = *rows.ListRecordAt(i);
        marks.emplace(TalkLineKey_T{r.talkId, r.lineNo}, were[i]);
    }
    RefillCaptureChoices(chosen);
    Refill();
    rows.UpdateChecks([&marks](const CVeyQelTalkElm* r) {
        const auto at = marks.find({r->talkId, r->lineNo});
        return at == marks.end() ? -1 : at->second ? 1 : 0;
    });
    CommitMarks();
    return true;
}

bool CTalkSelection::RenameCollection(const std::string& name, const std::string& newName, Failure_T& why)
{
    if (!collections) {
        why = Failure_T::Refused(name, "no folder for collections");
        return false;
    }
    if (!collections->Rename(name, newName, why))
        return false;
    std::optional<std::string> chosen = ChosenCollection();
    if (chosen == name)
        chosen = newName;
    RefillCaptureChoices(chosen);
    return true;
}

bool CTalkSelection::DeleteCollection(const std::string& name, Failure_T& why)
{
    if (!collections) {
        why = Failure_T::Refused(name, "no folder for collections");
        return false;
    }
    if (!collections->Delete(name, why))
        return false;
    const std::optional<std::string> chosen = ChosenCollection();
    if (chosen != name) {
        RefillCaptureChoices(chosen);
        return true;
    }
    RefillCaptureChoices(std::nullopt);
    captureChoices.Select(0);
    Refill();
    CommitMarks();
    return true;
}

void CTalkSelection::Refill()
{
    const int index = captureChoices.SelectedIndex();
    const int collection = index >= 0 ? captureChoices.CollectionAt(index) : -1;
    if (collection >= 0 && collections &&
        static_cast<std::size_t>(collection) < collections->Collections().size())
        RefillCollection(collections->Collections()[static_cast<std::size_t>(collection)]);
    else
        RefreshTalkList(captureChoices, rows, itemChoices, talk);
    // A speaker the new list does not name would leave it empty.
    if (speaker) {
        bool named = false;
        for (std::size_t i = 0; i < rows.TotalRowCount() && !named; ++i)
            named = rows.ListRecordAt(i)->castName() == *speaker;
        if (!named)
            speaker.reset();
    }
    ApplyFilter();
    if (listener)
        listener->OnSpeakersChanged();
}

void CTalkSelection::RefillCollection(const LineCollection_T& collection)
{
    // Each line once, at the first record of the table that holds it; a
    // line the game no longer has is left out.
    std::map<TalkLineKey_T, CVeyQelTalkElm*> byKey;
    for (std::size_t i = 0; i < talk.GetCount(); ++i) {
        CVeyQelTalkElm* r = talk.GetAt(i);
        byKey.try_emplace({r->talkId, r->lineNo}, r);
    }
    std::vector<CVeyQelTalkElm*> listed;
    listed.reserve(collection.lines.size());
    for (const TalkLineKey_T& key : collection.lines) {
        const auto at = byKey.find(key);
        if (at == byKey.end() || !at->second)
            continue;
        listed.push_back(at->second);
        at->second = nullptr;
    }
    rows.BeginFill(listed.size());
    for (CVeyQelTalkElm* r : listed) {
        r->bgmNo = 0;  // a collection plays no music
        rows.AppendRow(r);
    }
    rows.EndFill();
    itemChoices.Clear();
    itemChoices.Add(kCheckAllText, nullptr, SelectorEntry_T::kMarkAll);
    itemChoices.Add(kClearAllText, nullptr, SelectorEntry_T::kUnmarkAll);
    itemChoices.Select(0);
    ApplyItemChoice(itemChoices, rows);
}

void CTalkSelection::ApplyFilter()
{
    if (!IsFiltered()) {
        if (rows.IsFiltered())
            rows.ShowAll();
        return;
    }
    rows.Filter([this](const CVeyQelTalkElm* r) {
        return (!speaker || r->castName() == *speaker) && (search.IsEmpty() || search.Matches(*r));
    });
}

void CTalkSelection::RefillCaptureChoices(std::optional<std::string> collection)
{
    const int group = captureChoices.SelectedIndex();
    const bool wasGroup = group >= 0 && captureChoices.CollectionAt(group) < 0;
    FillCaptureCombo(captureChoices, talk);
    if (collections) {
        const std::vector<LineCollection_T>& all = collections->Collections();
        captureChoices.Reserve(static_cast<std::size_t>(captureChoices.Count()) + all.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            captureChoices.AddCollection(all[i].name, static_cast<int>(i));
    }
    if (collection) {
        const int entry = CollectionEntry(*collection);
        captureChoices.Select(entry >= 0 ? entry : 0);
    } else if (wasGroup && group < captureChoices.Count()) {
        captureChoices.Select(group);
    }
}

MarkState_T CTalkSelection::State() const
{
    MarkState_T state = CurrentMarkState(captureChoices, itemChoices, rows);
    state.collection = ChosenCollection().value_or(std::string());
    return state;
}

void CTalkSelection::Apply(const MarkState_T& state)
{
    int entry = state.captureIndex;
    if (!state.collection.empty())
        entry = CollectionEntry(state.collection);
    else if (entry >= 0 && entry < captureChoices.Count() && captureChoices.CollectionAt(entry) >= 0)
        entry = -1;  // the group entries were fewer then: not ours to guess
    if (entry >= 0 && entry < captureChoices.Count() && entry != captureChoices.SelectedIndex()) {
        captureChoices.Select(entry);
        Refill();
    }
    if (state.itemIndex < itemChoices.Count())
        itemChoices.Select(state.itemIndex);
    rows.SetMarks(state.marks);
}

std::vector<TalkLineKey_T> LineKeysOf(std::span<const CVeyQelTalkElm* const> lines)
{
    std::vector<TalkLineKey_T> keys;
    keys.reserve(lines.size());
    for (const CVeyQelTalkElm* line : lines)
        keys.push_back({line->talkId, line->lineNo});
    return keys;
}

}  // namespace tarnwick
