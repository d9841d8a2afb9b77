#pragma once
// Work that must put things back whatever becomes of it: a pack, a backup, a report that
// moves the grid. The first failure is what the user is told; a later one, made while
// putting things back, is dropped so that it cannot hide the cause.

#include <functional>

namespace data {

class DataSet;

// Runs `work`, then `afterwards` whatever became of it; then rethrows the first failure
// of the two.
void runThenAlways(const std::function<void()>& work, const std::function<void()>& afterwards);

// Runs `work` with the controls bound to `table` held still. `work` may close the table,
// open it exclusively or leave it closed: afterwards, whatever happened, it is closed and
// opened again shared, and its controls follow it again. Then the first failure is
// rethrown.
void reopenSharedAfter(DataSet& table, const std::function<void()>& work);

}  // namespace data
