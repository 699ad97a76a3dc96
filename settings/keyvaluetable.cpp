#include "settings/keyvaluetable.h"

#include "settings/tsqlitequery.h"

QString KeyValueTable::loadStatement(const char *key) const
{
    return QStringLiteral("select %1 from %2 where %3 = ")
               .arg(QLatin1String(valueColumn), QLatin1String(table), QLatin1String(keyColumn))
         + sqlQuoted(QLatin1String(key));
}

QString KeyValueTable::storeStatement(const char *key, const QString &value) const
{
    return QStringLiteral("update %1 set %2 = ").arg(QLatin1String(table), QLatin1String(valueColumn)) + sqlQuoted(value)
         + QStringLiteral(" where %1 = ").arg(QLatin1String(keyColumn)) + sqlQuoted(QLatin1String(key));
}

QString KeyValueTable::allStatement() const
{
    return QStringLiteral("select %1, %2 from %3")
        .arg(QLatin1String(keyColumn), QLatin1String(valueColumn), QLatin1String(table));
}
