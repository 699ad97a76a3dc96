#pragma once

#include <QString>

// The statements of a settings table that keeps one text per key.
struct KeyValueTable {
    const char *table;
    const char *keyColumn;
    const char *valueColumn;

    // Reads the value kept under a key (no row when the key is unknown).
    QString loadStatement(const char *key) const;
    // Stores a value under a key; the value may hold any character.
    QString storeStatement(const char *key, const QString &value) const;
    // Every key and value, for carrying them into a newer settings file.
    QString allStatement() const;
};
