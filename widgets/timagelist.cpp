#include "widgets/timagelist.h"

#include "widgets/contrastcolour.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPalette>
#include <QPainter>
#include <QResource>

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

namespace {

// The picture drawn into an image of `size`: scaled to fit with its aspect
// ratio kept, centred, the rest transparent.
QImage fitted(const QImage &picture, const QSize &size)
{
    if (picture.isNull() || picture.size() == size)
        return picture;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QImage scaled = picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&image);
    painter.drawImage((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2, scaled);
    return image;
}

// The SVG text drawn at `size` by Qt's SVG image plugin.
QImage drawn(const QByteArray &svg, const QSize &size)
{
    QBuffer buffer;
    buffer.setData(svg);
    QImageReader reader(&buffer, "svg");
    const QSize natural = reader.size();
    if (!natural.isEmpty())
        reader.setScaledSize(natural.scaled(size, Qt::KeepAspectRatio));
    return fitted(reader.read(), size);
}

// The pixels of a picture rendered while building (resource.WxH.argb), where
// they lie in the program; a null image when there is no such rendering.
QImage rendering(const QString &file, const QSize &size)
{
    const QResource resource(file);
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression
        || resource.size() != qint64(size.width()) * size.height() * 4)
        return QImage();
    const QImage pixels(resource.data(), size.width(), size.height(), size.width() * 4,
                        QImage::Format_ARGB32_Premultiplied);
    // Pixels are read as 32-bit words: resource data not aligned for that is copied.
    return quintptr(resource.data()) % alignof(quint32) == 0 ? pixels : pixels.copy();
}

// The picture as rendered while building: at `size`, or else the smallest
// rendering it fits into `size` from without growing. A null image when there
// is none.
QImage prerendered(const QString &resource, const QSize &size)
{
    const QString stem = resource.chopped(int(qstrlen(".svg")));
    const auto fileFor = [&stem](const QSize &size) {
        return QStringLiteral("%1.%2x%3.argb").arg(stem).arg(size.width()).arg(size.height());
    };
    if (const QImage exact = rendering(fileFor(size), size); !exact.isNull())
        return exact;
    QSize best;
    const QString prefix = QFileInfo(stem).fileName() + QLatin1Char('.');
    // Names picked by hand: a name filter would load and compile a regular
    // expression engine for this one look.
    QDirIterator files(QFileInfo(resource).path(), QDir::Files);
    while (files.hasNext()) {
        const QString name = QFileInfo(files.next()).fileName();
        if (!name.startsWith(prefix) || !name.endsWith(QLatin1String(".argb")))
            continue;
        const QStringList parts = name.section(QLatin1Char('.'), -2, -2).split(QLatin1Char('x'));
        const QSize rendered(parts.value(0).toInt(), parts.value(1).toInt());
        const bool fitsWithoutGrowing = rendered.scaled(size, Qt::KeepAspectRatio).width() <= rendered.width();
        if (!rendered.isEmpty() && fitsWithoutGrowing && (best.isEmpty() || rendered.width() < best.width()))
            best = rendered;
    }
    return best.isEmpty() ? QImage() : rendering(fileFor(best), best);
}

} // namespace

QPixmap TImageList::render(const QString &resource, const QSize &size)
{
    QFile file(resource);
    const QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    // Dark parts are lightened where the palette's window colour is dark too;
    // a picture that stays as drawn comes from the ones rendered while building.
    const QByteArray shown = ContrastColour::adaptPicture(svg, QGuiApplication::palette().color(QPalette::Window));
    QImage image;
    if (shown == svg)
        image = fitted(prerendered(resource, size), size);
    if (image.isNull())
        image = drawn(shown, size);
    if (image.isNull()) {
        image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
    return QPixmap::fromImage(std::move(image), Qt::NoFormatConversion);
}
