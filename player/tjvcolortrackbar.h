#pragma once

#include <QWidget>

class QSlider;

// A horizontal track bar whose marker follows a value between a minimum of 0
// and a maximum. Unlike QSlider it never clamps: a position outside the range
// is ignored, and so is a maximum that is not above the minimum. Lowering the
// maximum below the position pulls the position down to it. A left click
// puts the marker under the mouse and grabs it; while the user holds it,
// positions set from code are ignored, and letting go reports where it was
// left with positionPicked. GUI thread only.
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

signals:
    // The user let go of the marker, after a click or a drag, at this position.
    void positionPicked(int position);

private:
    QSlider *m_slider;
};
