#include "logquery/ResultSort.h"

#include "logquery/QueryText.h"
#include "logquery/ResultSet.h"

namespace tavrel {

std::optional<QString> sortOnColumn(ResultSet& result, SortState& state, int column) {
    if (result.recordCount() == 0) {
        return std::nullopt;
    }
    if (column < 0 || column >= result.columns().size()) {
        return querytexts::kCantSort;
    }
    const QString field = result.columns().at(column);
    const bool ascending = !(field == state.SortField && state.SortAscending);
    state.SortAscending = ascending;
    state.SortField = field;
    if (!result.readOnly()) {
        return querytexts::kCantSort;
    }
    const QString previous = result.statement();
    if (!result.run(querytext::sortedStatement(previous, column + 1, ascending),
                    ResultSet::RunMode::OnlyReading)) {
        if (!result.stopped()) {
            result.run(previous, ResultSet::RunMode::OnlyReading);  // the grid as it was
        }
        return querytexts::kCantSort;
    }
    return querytext::sortLabel(field, ascending);
}

}  // namespace tavrel
