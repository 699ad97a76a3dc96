#pragma once

#include <QString>

// The statements behind the output-parameter selectors. A selector is named
// by its Tag (see selectors.h); functions taking a Tag throw
// std::invalid_argument for a Tag no selector has.
namespace SelectorStatements {

// The option table listing the entries of a Tag's selector.
QString optionTable(int tag);

// The entries of a Tag's option table, in list order: column 1 is the text.
QString listingSql(int tag);

// Every row of a Tag's option table, in list order: index, text, fragment.
QString optionRowsSql(int tag);

// The ffmpeg fragment of the entry at a list position (-1 matches no row).
QString lookupSql(int tag, int position);

// The saved list position of a Tag.
QString savedIndexSql(int tag);

// Stores a list position for a Tag.
QString storeIndexSql(int tag, int position);

} // namespace SelectorStatements
