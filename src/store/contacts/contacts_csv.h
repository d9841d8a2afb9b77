#pragma once
// Contacts from a CSV file whose first row names its columns: the headers web address
// books, mail programs and spreadsheets write ("Given Name", "E-mail 1 - Value", "Mobile
// Phone", "Business Street", ...) and Cardhold's own export (Name, Phone 1, Email 1,
// Web 1, Memo).

#include <QString>
#include <QStringList>

#include <vector>

#include "contacts_card.h"

namespace store {

struct CsvContacts {
    struct Row {
        int number = 0;  // the row as a spreadsheet counts it: the header is row 1
        Contact contact;
        QString damage;  // why the row cannot be read; empty when it is whole
    };
    std::vector<Row> rows;  // rows with at least one value
    // Columns that held a value in some row but mean nothing to an entry.
    QStringList unknownColumns;
    // Whether the header names any column an entry takes its name or memo from.
    bool recognised = false;
};

CsvContacts contactsFromCsv(const QString& text);

}  // namespace store
