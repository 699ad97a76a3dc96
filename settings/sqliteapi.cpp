#include "settings/sqliteapi.h"

#include "settings/esqliteerror.h"

#include <dlfcn.h>

#include <mutex>

namespace {

template <typename R, typename... Args>
R notLinked(Args...)
{
    throw ESQLiteError("SQLite function is not linked");
}

template <typename R, typename... Args>
void bind(void *library, const char *name, R (*&entry)(Args...))
{
    if (void *symbol = dlsym(library, name))
        entry = reinterpret_cast<R (*)(Args...)>(symbol);
    else
        entry = &notLinked<R, Args...>;
}

} // namespace

const char *SqliteApi::libraryName()
{
    return "libsqlite3.so.0";
}

const SqliteApi &SqliteApi::instance()
{
    static std::mutex lock;
    static SqliteApi api;
    static bool loaded = false;

    std::lock_guard guard(lock);
    if (!loaded) {
        // Never unloaded: the table stays valid until the process ends.
        void *library = dlopen(libraryName(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            throw ESQLiteError(std::string("Cannot load client DLL: ") + libraryName());
        bind(library, "sqlite3_open", api.open);
        bind(library, "sqlite3_close", api.close);
        bind(library, "sqlite3_prepare_v2", api.prepare_v2);
        bind(library, "sqlite3_step", api.step);
        bind(library, "sqlite3_finalize", api.finalize);
        bind(library, "sqlite3_column_count", api.column_count);
        bind(library, "sqlite3_column_text", api.column_text);
        bind(library, "sqlite3_column_int", api.column_int);
        bind(library, "sqlite3_errmsg", api.errmsg);
        bind(library, "sqlite3_busy_timeout", api.busy_timeout);
        loaded = true;
    }
    return api;
}
