#include "widgets/tjvcombobox.h"

#include <QLineEdit>

TJvComboBox::TJvComboBox(int tag, QWidget *parent) : QComboBox(parent), Tag(tag)
{
    setLineEdit(new QLineEdit(this));
    // Typed text is never added to the list, and no completion rewrites it:
    // what the user typed is what selects an entry, or none.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);

    // Connected before anyone else can connect, so the position is up to
    // date when the window's change handlers run.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) { m_itemIndex = index; });
    connect(this, &QComboBox::activated, this, [this](int index) { m_itemIndex = index; });
    connect(lineEdit(), &QLineEdit::textEdited, this, &TJvComboBox::textTyped);
}

void TJvComboBox::setItemIndex(int index)
{
    if (index == m_itemIndex)
        return;
    if (index < 0 || index >= count())
        index = -1;
    setCurrentIndex(index);
    m_itemIndex = index;
}

void TJvComboBox::clearItems()
{
    const QString text = currentText();
    clear();
    m_itemIndex = -1;
    setEditText(text);
}

void TJvComboBox::appendItem(const QString &text)
{
    if (count() > 0) {
        addItem(text);
        return;
    }
    // QComboBox makes the first entry of an empty list current and shows its
    // text; undo that, which empties the edit, and put the text back.
    const QString shown = currentText();
    addItem(text);
    setCurrentIndex(-1);
    setEditText(shown);
    m_itemIndex = -1;
}

void TJvComboBox::textTyped(const QString &text)
{
    const int match = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // The matching entry's text is the edit text already, so making it
    // current leaves the edit (and its cursor) alone. Without a match the
    // combo box keeps its index, which would clear the edit if set to -1.
    if (match >= 0)
        setCurrentIndex(match);
    m_itemIndex = match;
}
