#include "settings/selectorstatements.h"

#include "settings/selectors.h"

namespace SelectorStatements {

QString optionTable(int tag)
{
    return QLatin1String(Selectors::byTag(tag).optionTable);
}

QString listingSql(int tag)
{
    return QStringLiteral("select cmbex_index,cmbex_name from ") + optionTable(tag)
         + QStringLiteral(" order by cmbex_index");
}

QString optionRowsSql(int tag)
{
    return QStringLiteral("select cmbex_index,cmbex_name,cmbex_cmd from ") + optionTable(tag)
         + QStringLiteral(" order by cmbex_index");
}

QString lookupSql(int tag, int position)
{
    return QStringLiteral("select cmbex_cmd from ") + optionTable(tag) + QStringLiteral(" where cmbex_index = ")
         + QString::number(position);
}

QString savedIndexSql(int tag)
{
    Selectors::byTag(tag);
    return QStringLiteral("select cmbex_index from cmbex_itemindex where cmbex_tag = ") + QString::number(tag);
}

QString storeIndexSql(int tag, int position)
{
    Selectors::byTag(tag);
    return QStringLiteral("update cmbex_itemindex set cmbex_index = ") + QString::number(position)
         + QStringLiteral(" where cmbex_tag = ") + QString::number(tag);
}

} // namespace SelectorStatements
