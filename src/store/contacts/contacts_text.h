#pragma once
// Text between contact files (Unicode) and the address table (one code page). A letter the
// code page lacks takes its nearest equivalent there (ł becomes l, ő becomes o, “ becomes "),
// anything else becomes "?"; every such change is told to the caller, never made quietly.

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <memory>
#include <string>
#include <string_view>

namespace store {

class TableText {
  public:
    // `codePage` is the table's (Cursor::codePage()); one Qt cannot convert reads as 1252.
    explicit TableText(int codePage);
    ~TableText();
    TableText(const TableText&) = delete;
    TableText& operator=(const TableText&) = delete;

    QString decode(std::string_view bytes);

    struct Encoded {
        std::string bytes;
        // One "from → to" per character that had to change, each once: "ł → l", "Ω → ?".
        QStringList replaced;
    };
    Encoded encode(const QString& text);

  private:
    bool holds(const QString& text);
    QString closestEquivalent(const QString& character);

    QByteArray charset_;
    QStringEncoder encoder_;
    QStringDecoder decoder_;
    struct Transliterator;
    std::unique_ptr<Transliterator> latin_;  // opened at the first letter that needs it
};

// Lines of a memo or a value, whatever ends them (CR LF, LF or CR).
QStringList splitLines(const QString& text);

// Every line break made CR LF, as the memo editor stores them.
QString withCrLf(const QString& text);

// A file's bytes without their byte-order mark; UTF-16 (which announces itself with one)
// becomes UTF-8.
std::string withoutByteOrderMark(std::string_view bytes);

// The UTF-8 of a text's own bytes when they are valid UTF-8, else the bytes read as
// Windows-1252, the encoding of files written by programs that knew no other.
QString decodeUtf8OrWindows(std::string_view bytes);

}  // namespace store
