#pragma once
// Comma-separated values as RFC 4180 has them and spreadsheets write them: quoted fields
// that may hold the separator, quotes ("") and line breaks; comma or semicolon.

#include <QString>
#include <QStringList>

#include <vector>

namespace store::csv {

struct Record {
    QStringList fields;
    int line = 0;               // where it starts, from 1
    bool unterminated = false;  // a quoted field the text ends inside
};

// The separator of a table whose first record is `text`'s first: ";" when that record has
// more semicolons than commas outside quotes, else ",".
QChar guessSeparator(const QString& text);

// Every record of `text`, empty lines left out.
std::vector<Record> read(const QString& text, QChar separator);

// Appends one record ended by CR LF; a field is quoted when it holds a quote, a comma, a
// semicolon, a line break or blanks at either end.
void appendRecord(QString& out, const QStringList& fields);

}  // namespace store::csv
