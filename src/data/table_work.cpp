#include <data/table_work.h>

#include <exception>

#include <data/dataset.h>

namespace data {

void runThenAlways(const std::function<void()>& work, const std::function<void()>& afterwards) {
    std::exception_ptr failure;
    try {
        work();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        afterwards();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void reopenSharedAfter(DataSet& table, const std::function<void()>& work) {
    table.disableControls();
    runThenAlways(work, [&table] {
        runThenAlways(
            [&table] {
                table.close();
                table.setExclusive(false);
                table.open();
            },
            [&table] { table.enableControls(); });
    });
}

}  // namespace data
