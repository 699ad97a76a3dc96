// Build step: renders SVG pictures at the sizes the window asks for, so that a
// start on a light palette takes ready pixels instead of drawing vectors. The
// picture keeps its aspect ratio and sits centred.
//
//   render_pictures picture.svg out-folder WxH [WxH ...]
// writes out-folder/picture.WxH.argb for each size: the bare pixels, row by
// row, each a premultiplied ARGB 32-bit word in this machine's byte order,
// which the window shows without decoding.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: render_pictures picture.svg out-folder WxH [WxH ...]\n");
        return 2;
    }
    QSvgRenderer renderer(arguments[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_pictures: %s is not a valid SVG picture\n", qPrintable(arguments[1]));
        return 1;
    }
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    const QString stem = arguments[2] + QLatin1Char('/') + QFileInfo(arguments[1]).completeBaseName();
    for (const QString &text : arguments.mid(3)) {
        const QStringList parts = text.split(QLatin1Char('x'));
        const QSize size(parts.value(0).toInt(), parts.value(1).toInt());
        if (parts.size() != 2 || size.isEmpty()) {
            std::fprintf(stderr, "render_pictures: %s is not a size such as 16x16\n", qPrintable(text));
            return 2;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        QFile file(stem + QLatin1Char('.') + text + QStringLiteral(".argb"));
        const auto bytes = qsizetype(image.sizeInBytes());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(image.constBits()), bytes) != bytes) {
            std::fprintf(stderr, "render_pictures: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
