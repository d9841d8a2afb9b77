#pragma once
// An address table in a fresh folder and a data set open on it, for the data-set tests.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <data/dataset.h>
#include <xbase/cursor.h>

#include "temp_dir.h"
#include "test_paths.h"

namespace datatest {

// An empty address table with its ADDRESS tag, as the program makes it.
inline std::filesystem::path makeAddressTable(const std::filesystem::path& folder,
                                              const std::vector<std::string>& names = {}) {
    const auto path = folder / "ADDRESS.DBF";
    xbase::createTable(path, xbase::parseFieldList("Name,Char,30;Info,Memo;LastDate,Date;"));
    xbase::Cursor c;
    xbase::OpenOptions exclusive;
    exclusive.mode = xbase::ShareMode::Exclusive;
    c.open(path, exclusive);
    c.createIndex("Address", "upper(Name)");
    for (const auto& name : names) {
        c.append();
        c.setText(c.requireField("NAME"), name);
        c.setMemo(c.requireField("INFO"), "Memo of " + name + "\r\nsecond line");
        c.post();
    }
    return path;
}

class DataSetTest : public ::testing::Test {
  protected:
    // Natural order is the order of these names; name order sorts them.
    // With no names, a table made beforehand is opened.
    void openTable(const std::vector<std::string>& names,
                   const QString& index = QStringLiteral("ADDRESS")) {
        if (!names.empty() || !std::filesystem::exists(folder / "ADDRESS.DBF"))
            makeAddressTable(folder.path(), names);
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
