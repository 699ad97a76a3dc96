#pragma once

#include <QString>

// The statements behind the nine output-parameter selectors. A selector is
// named by its Tag, 1 to 9; each Tag has its own option table. Functions
// taking a Tag throw std::invalid_argument for any other value.
namespace SelectorStatements {

constexpr int FirstTag = 1;
constexpr int LastTag = 9;

// The option table listing the entries of a Tag's selector.
QString optionTable(int tag);

// The entries of a Tag's option table, in list order: column 1 is the text.
QString listing(int tag);

// The ffmpeg fragment of the entry at a list position (-1 matches no row).
QString lookup(int tag, int position);

// The saved list position of a Tag.
QString savedIndex(int tag);

// Stores a list position for a Tag.
QString storeIndex(int tag, int position);

} // namespace SelectorStatements
