#include "player/tjvcolortrackbar.h"

#include "widgets/contrastcolour.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

// Draws a gradient bar with a purple arrow and line at the handle's place;
// the style still decides where the handle is, so dragging hits what is drawn.
class GradientSlider : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);

        QPainter painter(this);
        const QRect bar(0, height() / 2 - 3, width(), 6);
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, palette().color(QPalette::Window).darker(115));
        gradient.setColorAt(1, palette().color(QPalette::Highlight));
        painter.fillRect(bar, gradient);

        // Purple where it stands out from the window colour, lighter on a dark one.
        const QColor purple = ContrastColour::visibleOn(QColor(0x80, 0x00, 0x80), palette().color(QPalette::Window));
        const int x = handle.center().x();
        painter.setPen(QPen(purple, 1));
        painter.drawLine(x, bar.top() - 2, x, bar.bottom() + 2);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(purple);
        painter.drawPolygon(QPolygon({QPoint(x - 5, 0), QPoint(x + 5, 0), QPoint(x, bar.top() - 2)}));
    }
};

// A left click on the groove puts the handle under the mouse and grabs it,
// so the click picks that position and a drag goes on from there, instead of
// stepping a page towards the mouse.
class ClickToPointStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TJvColorTrackBar::TJvColorTrackBar(QWidget *parent) : QWidget(parent), m_slider(new GradientSlider(Qt::Horizontal))
{
    m_slider->setObjectName(QStringLiteral("slider"));
    m_slider->setRange(0, 100);
    m_slider->setValue(0);
    // A style of the application's kind: QProxyStyle would own a style it is given.
    auto *style = new ClickToPointStyle(QApplication::style()->name());
    style->setParent(m_slider);
    m_slider->setStyle(style);
    connect(m_slider, &QSlider::sliderReleased, this, [this] { emit positionPicked(m_slider->sliderPosition()); });
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_slider);
}

int TJvColorTrackBar::minimum() const
{
    return m_slider->minimum();
}

int TJvColorTrackBar::maximum() const
{
    return m_slider->maximum();
}

int TJvColorTrackBar::position() const
{
    return m_slider->value();
}

void TJvColorTrackBar::setMaximum(int maximum)
{
    if (maximum <= m_slider->minimum())
        return;
    // QSlider pulls a value above the new maximum down to it, as wanted.
    m_slider->setMaximum(maximum);
}

void TJvColorTrackBar::setPosition(int position)
{
    // The marker stays under the user's mouse until it is let go.
    if (m_slider->isSliderDown() || position < m_slider->minimum() || position > m_slider->maximum())
        return;
    m_slider->setValue(position);
}
