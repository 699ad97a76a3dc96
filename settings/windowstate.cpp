#include "settings/windowstate.h"

#include "settings/tsqlitequery.h"

namespace WindowState {

QString loadStatement(const char *key)
{
    return QStringLiteral("select state_value from window_state where state_key = ") + sqlQuoted(QLatin1String(key));
}

QString storeStatement(const char *key, const QString &value)
{
    return QStringLiteral("update window_state set state_value = ") + sqlQuoted(value)
         + QStringLiteral(" where state_key = ") + sqlQuoted(QLatin1String(key));
}

QString allStatement()
{
    return QStringLiteral("select state_key, state_value from window_state");
}

} // namespace WindowState
