#include "startwarmup.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageReader>
#include <QStringList>

namespace {

void loadImagePlugins()
{
    // Bytes no format claims: every plug-in is loaded and asked in turn.
    QByteArray bytes(16, '\0');
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader(&buffer).canRead();
}

} // namespace

StartWarmUp::StartWarmUp()
    : m_thread([] {
          QFontDatabase::families();
          loadImagePlugins();
      })
{
}

StartWarmUp::~StartWarmUp()
{
    m_thread.join();
}
