#pragma once

#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"

// The settings store: the connection to "LibFFmpeg.Dat", opened by its bare
// name against the current directory while the module is created, and the
// one query shared by every statement. Construction throws ESQLiteError.
class TSqlDatMod {
public:
    static constexpr const char *DatabaseName = "LibFFmpeg.Dat";

    explicit TSqlDatMod(const QString &databaseName = QString::fromLatin1(DatabaseName));
    ~TSqlDatMod();

    TSqliteConnection DataBase;
    TSqliteQuery SqliteQuery;
};

// The process-wide data module, set while one exists.
extern TSqlDatMod *SqlDatMod;
