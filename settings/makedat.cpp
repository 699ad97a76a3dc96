// Build tool: runs an SQL script into a new SQLite database file.
// Usage: makedat <script.sql> <database>

#include "settings/esqliteerror.h"
#include "settings/sqliteapi.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <script.sql> <database>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "makedat: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream script;
    script << in.rdbuf();
    const std::string text = script.str();
    std::remove(argv[2]);

    try {
        const SqliteApi &api = SqliteApi::instance();
        sqlite3 *db = nullptr;
        if (api.open(argv[2], &db) != SqliteCode::Ok)
            throw ESQLiteError(db ? api.errmsg(db) : "cannot open database");
        const char *tail = text.c_str();
        while (*tail) {
            sqlite3_stmt *stmt = nullptr;
            if (api.prepare_v2(db, tail, -1, &stmt, &tail) != SqliteCode::Ok)
                throw ESQLiteError(api.errmsg(db));
            if (!stmt)
                continue;
            int code;
            while ((code = api.step(stmt)) == SqliteCode::Row) {
            }
            api.finalize(stmt);
            if (code != SqliteCode::Done)
                throw ESQLiteError(api.errmsg(db));
        }
        api.close(db);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "makedat: %s\n", e.what());
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
