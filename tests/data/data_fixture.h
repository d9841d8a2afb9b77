#pragma once
// An address table in a fresh folder and a data set open on it, for the data-set tests.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <data/dataset.h>
#include "entry_writer.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace datatest {

// Writes these names into the address table in `folder`, made when missing, each with a
// memo of two lines.
inline void writeNames(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    std::vector<testsupport::Entry> entries;
    for (const auto& name : names) entries.push_back({name, "Memo of " + name + "\r\nsecond line"});
    testsupport::writeEntries(folder, entries);
}

class DataSetTest : public ::testing::Test {
  protected:
    // Natural order is the order of these names; name order sorts them.
    // With no names, a table made beforehand is opened.
    void openTable(const std::vector<std::string>& names,
                   const QString& index = QStringLiteral("ADDRESS")) {
        writeNames(folder.path(), names);
        table.setDatabaseName(testsupport::qpath(folder.path()));
        table.setTableName(QStringLiteral("ADDRESS.DBF"));
        table.setIndexName(index);
        table.open();
    }

    QString name() { return table.fieldByName(QStringLiteral("NAME")).asString(); }

    // The names of the visible rows, as a grid would show them.
    QStringList rows() {
        QStringList out;
        for (int row = 0; row < table.visibleCount(); ++row)
            out << table.fieldTextAt(row, QStringLiteral("NAME"));
        return out;
    }

    void add(const QString& newName) {
        table.insert();
        table.fieldByName(QStringLiteral("NAME")).setAsString(newName);
        table.post();
    }

    testsupport::TempDir folder;
    data::DataSet table;
};

}  // namespace datatest
