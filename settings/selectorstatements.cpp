#include "selectorstatements.h"

#include <stdexcept>
#include <string>

namespace SelectorStatements {

QString optionTable(int tag)
{
    static const char *const tables[] = {
        "cmbex_vdocodec", "cmbex_vdobitrate", "cmbex_vdosize",     "cmbex_vdofps",  "cmbex_vdoaspect",
        "cmbex_adocodec", "cmbex_adobitrate", "cmbex_adochannels", "cmbex_adofreq",
    };
    if (tag < FirstTag || tag > LastTag)
        throw std::invalid_argument("No option table for selector tag " + std::to_string(tag));
    return QLatin1String(tables[tag - FirstTag]);
}

QString listing(int tag)
{
    return QStringLiteral("select cmbex_index,cmbex_name from ") + optionTable(tag)
         + QStringLiteral(" order by cmbex_index");
}

QString lookup(int tag, int position)
{
    return QStringLiteral("select cmbex_cmd from ") + optionTable(tag) + QStringLiteral(" where cmbex_index = ")
         + QString::number(position);
}

QString savedIndex(int tag)
{
    return QStringLiteral("select cmbex_index from cmbex_itemindex where cmbex_tag = ") + QString::number(tag);
}

QString storeIndex(int tag, int position)
{
    return QStringLiteral("update cmbex_itemindex set cmbex_index = ") + QString::number(position)
         + QStringLiteral(" where cmbex_tag = ") + QString::number(tag);
}

} // namespace SelectorStatements
