// The speaker selector beside the search: "(all speakers)" and every cast
// of the list with its line count. Typing narrows the open list to the
// names holding what was typed; Enter or leaving the field takes the one
// entry left, or goes back to the entry chosen before.
#pragma once

#include <QComboBox>

#include <optional>
#include <string>
#include <vector>

#include "app/talk_selection.h"

class QStandardItemModel;

namespace tarnwick {

class CSpeakerCombo : public QComboBox {
    Q_OBJECT
public:
    explicit CSpeakerCombo(QWidget* parent = nullptr);

    // The entries anew, standing at chosen (all speakers for nothing, or a
    // cast that is not among them); no signal.
    void SetSpeakers(const std::vector<Speaker_T>& speakers, const std::optional<std::string>& chosen);
    // The cast of entry index; nothing for "(all speakers)".
    std::optional<std::string> SpeakerAt(int index) const;
    // The entry of a cast, 0 for nothing or one not listed.
    int EntryOf(const std::optional<std::string>& cast) const;
    // The width that shows text whole in the field.
    int WidthFor(const QString& text) const;

signals:
    // The user chose entry index (0: all speakers; see SpeakerAt).
    void Chosen(int index);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What was typed, as an entry: the exact text, the one name it is, or
    // the one entry holding it; -1 for none or several.
    int EntryTyped(const QString& typed) const;
    void Take();
    void ChooseEntry(int index);

    QStandardItemModel* entries;
    std::vector<std::string> casts;  // beside entries 1...
};

}  // namespace tarnwick
