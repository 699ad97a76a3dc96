#pragma once

#include <QComboBox>

// An editable drop-down selector of the main window; its Tag names it in the
// settings database.
class TJvComboBox : public QComboBox {
    Q_OBJECT
public:
    TJvComboBox(int tag, QWidget *parent) : QComboBox(parent), Tag(tag) { setEditable(true); }

    const int Tag;
};
