#include "settings/batchsettings.h"

#include "settings/tsqlitequery.h"

namespace BatchSettings {

const QList<int> &simultaneousChoices()
{
    static const QList<int> choices{0, 1, 2, 3, 4, 6, 8};
    return choices;
}

QString simultaneousCaption(int choice)
{
    return choice == 0 ? QStringLiteral("Automatic") : QString::number(choice);
}

QString loadStatement(const char *key)
{
    return QStringLiteral("select setting_value from batch_settings where setting_key = ")
         + sqlQuoted(QLatin1String(key));
}

QString storeStatement(const char *key, const QString &value)
{
    return QStringLiteral("update batch_settings set setting_value = ") + sqlQuoted(value)
         + QStringLiteral(" where setting_key = ") + sqlQuoted(QLatin1String(key));
}

QString allStatement()
{
    return QStringLiteral("select setting_key, setting_value from batch_settings");
}

} // namespace BatchSettings
