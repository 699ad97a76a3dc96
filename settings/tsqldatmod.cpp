#include "settings/tsqldatmod.h"

TSqlDatMod *SqlDatMod = nullptr;

TSqlDatMod::TSqlDatMod(const QString &databaseName)
    : DataBase(databaseName), SqliteQuery(DataBase)
{
    SqlDatMod = this;
}

TSqlDatMod::~TSqlDatMod()
{
    if (SqlDatMod == this)
        SqlDatMod = nullptr;
}
