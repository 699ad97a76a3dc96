#pragma once

#include <QComboBox>

// An editable drop-down selector of the main window; its Tag names it in the
// settings database.
//
// ItemIndex is the list position the selector reports: the picked entry, or,
// after the user has typed, the entry whose text equals the typed text
// exactly, or -1 when there is none. (QComboBox itself keeps its old index
// while the user types, and clears the edit text when its index goes to -1,
// so the position is kept here.) Setting the position or the list from code
// raises neither activated() nor the edit's textEdited().
class TJvComboBox : public QComboBox {
    Q_OBJECT
public:
    TJvComboBox(int tag, QWidget *parent);

    const int Tag;

    int ItemIndex() const noexcept { return m_itemIndex; }
    // Selects the entry at index unless it is already the position; any
    // index outside the list selects nothing and empties the edit.
    void setItemIndex(int index);

    // Empties the list; the text shown in the edit stays.
    void clearItems();
    // Appends an entry; the position and the text shown stay as they are.
    void appendItem(const QString &text);

private:
    void textTyped(const QString &text);

    int m_itemIndex = -1;
};
