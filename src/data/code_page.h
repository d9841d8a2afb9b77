#pragma once
// Text conversion between QString and a table's single-byte code page, refusing text
// the code page cannot hold instead of storing '?'.

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <string>
#include <string_view>

namespace data {

class CodePageText {
  public:
    explicit CodePageText(int codePage = 1252);
    int codePage() const { return codePage_; }

    QString decode(std::string_view bytes);
    // Throws xbase::Error(InvalidArgument, kUnencodableText) naming the characters that
    // cannot be held; `what` names the text in the message ("name", "memo", "text").
    std::string encode(const QString& text, const QString& what);
    // Whether every character can be held.
    bool canHold(const QString& text);
    // The characters that cannot be held, each once, in the order they first appear.
    QStringList unencodable(const QString& text);

    // The converter name for a Windows code page number ("windows-1252", "IBM437").
    static QByteArray converterName(int codePage);

  private:
    bool tryEncode(const QString& text, QByteArray& out);

    int codePage_;
    QStringEncoder encoder_;
    QStringDecoder decoder_;
};

}  // namespace data
