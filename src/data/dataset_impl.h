#pragma once
// The private state of a DataSet, shared by its own file and the Field code.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <xbase/cursor.h>

#include <data/dataset.h>
#include "code_page.h"

namespace data {

struct DataSet::Impl {
    xbase::Cursor cursor;

    // Settings, kept across close and open.
    QString folder = QStringLiteral(".");
    QString table;
    bool exclusive = false;
    bool readOnly = false;
    QString index;
    QString filterText;
    bool filtered = false;

    DataSetState state = DataSetState::Inactive;
    DataSetState lastEdit = DataSetState::Browse;
    bool modified = false;

    // The fields of the open table in table order; fields of an earlier table that the
    // present one lacks stay alive in `retired`, so no Field reference ever dangles.
    std::vector<std::unique_ptr<Field>> fields;
    std::vector<std::unique_ptr<Field>> retired;
    CodePageText text;

    // Display control.
    int disableCount = 0;
    DataSetState disableState = DataSetState::Inactive;
    bool reopenedWhileDisabled = false;

    // The visible records in the present order and filter, with what they were built
    // from; rowByRecord is the inverse, built when first asked for.
    std::vector<uint32_t> order;
    bool orderValid = false;
    std::exception_ptr orderFailure;  // why the last list could not be made
    uint64_t orderStamp = 0;
    std::string orderIndex;
    std::string orderFilter;
    bool orderFiltered = false;
    std::vector<int32_t> rowByRecord;
    bool rowsValid = false;
    bool noticeQueued = false;
    int insertRow = 0;

    quint64 epoch = 0;
    uint32_t physicalCount = 0;
};

}  // namespace data
