#include "app/fontwarmup.h"

#include <QFontDatabase>
#include <QStringList>

FontWarmUp::FontWarmUp() : m_thread([] { QFontDatabase::families(); }) {}

FontWarmUp::~FontWarmUp()
{
    m_thread.join();
}
