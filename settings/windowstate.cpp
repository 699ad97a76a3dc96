#include "settings/windowstate.h"

#include "settings/keyvaluetable.h"

namespace WindowState {

namespace {
constexpr KeyValueTable Table{"window_state", "state_key", "state_value"};
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

} // namespace WindowState
