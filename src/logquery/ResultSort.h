#pragma once

#include <QString>
#include <optional>

namespace tavrel {

class ResultSet;

// The field a grid was last sorted on and its direction; each window keeps its own.
struct SortState {
    QString SortField;
    bool SortAscending = false;
};

// A click on the heading of a column (0-based): the same field sorted ascending turns
// descending, anything else sorts ascending. The result's statement is run again ordered
// by that column. Returns the sort label's new text ("Can't sort!" when the sorted
// statement failed, or when the statement is not one that only reads: an action is never
// run twice), or nothing when the result holds no records.
std::optional<QString> sortOnColumn(ResultSet& result, SortState& state, int column);

}  // namespace tavrel
