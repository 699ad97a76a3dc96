#include "settings/batchsettings.h"

#include "settings/keyvaluetable.h"

namespace BatchSettings {

namespace {
constexpr KeyValueTable Table{"batch_settings", "setting_key", "setting_value"};
}

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
    return Table.loadStatement(key);
}

QString storeStatement(const char *key, const QString &value)
{
    return Table.storeStatement(key, value);
}

QString allStatement()
{
    return Table.allStatement();
}

} // namespace BatchSettings
