#include "csv_format.h"

namespace store::csv {

QChar guessSeparator(const QString& text) {
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"') quoted = !quoted;
        if (quoted) continue;
        if (c == u'\r' || c == u'\n') break;
        commas += c == u',';
        semicolons += c == u';';
    }
    return semicolons > commas ? u';' : u',';
}

std::vector<Record> read(const QString& text, QChar separator) {
    std::vector<Record> records;
    Record record;
    QString field;
    bool quoted = false;    // inside a quoted field
    bool anything = false;  // the record has a character or a separator
    int line = 1;
    record.line = 1;
    const auto endField = [&] {
        record.fields << field;
        field.clear();
    };
    const auto endRecord = [&] {
        endField();
        if (anything) records.push_back(std::move(record));
        record = Record{};
        record.line = line;
        anything = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n' || (c == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n')))
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            anything = true;
        } else if (c == separator) {
            endField();
            anything = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            ++line;
            endRecord();
        } else {
            field += c;  // a quote inside an unquoted field is an ordinary character
            anything = true;
        }
    }
    if (quoted) record.unterminated = true;
    if (anything || !field.isEmpty()) endRecord();
    return records;
}

void appendRecord(QString& out, const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) out += u',';
        const QString& field = fields[i];
        const bool quote =
            field.contains(u'"') || field.contains(u',') || field.contains(u';') ||
            field.contains(u'\r') || field.contains(u'\n') ||
            (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()));
        if (!quote) {
            out += field;
            continue;
        }
        out += u'"';
        for (QChar c : field) {
            if (c == u'"') out += u'"';
            out += c;
        }
        out += u'"';
    }
    out += QStringLiteral("\r\n");
}

}  // namespace store::csv
