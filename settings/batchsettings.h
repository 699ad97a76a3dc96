#pragma once

#include <QList>
#include <QString>

// The batch's own choices on the "Other Settings" page, one text per key in
// the table batch_settings: how many files convert at once, and whether
// streams that already fit are re-encoded rather than copied.
namespace BatchSettings {

// "0" for Automatic, else the number of encoders.
inline constexpr char SimultaneousKey[] = "simultaneous";
// "1" re-encodes every stream; "0" copies those that already fit.
inline constexpr char ReencodeKey[] = "reencode_fitting";

// The "Simultaneous conversions" entries in list order; 0 is "Automatic".
const QList<int> &simultaneousChoices();
QString simultaneousCaption(int choice);

QString loadStatement(const char *key);
QString storeStatement(const char *key, const QString &value);
// Every key and value, for carrying them into a newer settings file.
QString allStatement();

} // namespace BatchSettings
