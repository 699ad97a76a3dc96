#include "windowstyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPointer>
#include <QStyleFactory>

namespace {

// Asks a style for one of its standard icons the first time the icon is
// drawn or measured, and stands for it from then on.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(const QStyle *style, QStyle::StandardPixmap which) : m_style(style), m_which(which) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // Standard icons exist; asking must not load one.
    bool isNull() override { return m_loaded && m_icon.isNull(); }
    QIconEngine *clone() const override { return new DeferredStandardIcon(*this); }
    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }

private:
    const QIcon &icon()
    {
        if (!m_loaded && m_style) {
            m_icon = m_style->standardIcon(m_which);
            m_loaded = true;
        }
        return m_icon;
    }

    QPointer<const QStyle> m_style;
    QStyle::StandardPixmap m_which;
    QIcon m_icon;
    bool m_loaded = false;
};

} // namespace

WindowStyle::WindowStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

QIcon WindowStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    if (standardIcon == SP_ToolBarHorizontalExtensionButton || standardIcon == SP_ToolBarVerticalExtensionButton)
        return QIcon(new DeferredStandardIcon(baseStyle(), standardIcon));
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
