#pragma once

#include <QWidget>

class QSlider;

// A horizontal track bar whose marker follows a value between a minimum of 0
// and a maximum. Unlike QSlider it never clamps: a position outside the range
// is ignored, and so is a maximum that is not above the minimum. Lowering the
// maximum below the position pulls the position down to it. The user may drag
// the marker; nothing is attached to that. GUI thread only.
class TJvColorTrackBar : public QWidget {
    Q_OBJECT
public:
    explicit TJvColorTrackBar(QWidget *parent = nullptr);

    int minimum() const;
    int maximum() const;
    int position() const;

    void setMaximum(int maximum);
    void setPosition(int position);

    // The slider the user drags.
    QSlider *slider() const { return m_slider; }

private:
    QSlider *m_slider;
};
