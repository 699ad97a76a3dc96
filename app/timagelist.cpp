#include "timagelist.h"

#include "contrastcolour.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPainter>
#include <QSvgRenderer>

// The pictures live in this static library; its resources need registering.
static void initImageResources()
{
    Q_INIT_RESOURCE(images);
}

TImageList::TImageList() : m_icons(Count)
{
    initImageResources();
}

QIcon TImageList::icon(int index) const
{
    if (index < 0 || index >= Count)
        return QIcon();
    QIcon &icon = m_icons[index];
    if (icon.isNull()) {
        const QString name = QStringLiteral(":/images/img%1.svg").arg(index, 2, 10, QLatin1Char('0'));
        icon.addPixmap(render(name, QSize(16, 16)));
        icon.addPixmap(render(name, QSize(32, 32)));
    }
    return icon;
}

QPixmap TImageList::render(const QString &resource, const QSize &size)
{
    // Painted in the pixmap's own format, so no conversion follows.
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Dark parts are lightened where the palette's window colour is dark too.
    QFile file(resource);
    const QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QSvgRenderer renderer(ContrastColour::adaptPicture(svg, QGuiApplication::palette().color(QPalette::Window)));
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(std::move(image), Qt::NoFormatConversion);
}
