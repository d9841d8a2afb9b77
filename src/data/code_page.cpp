#include "code_page.h"

#include <xbase/error.h>
#include <xbase/types.h>

#include <data/dataset.h>

namespace data {
namespace {

// Bytes and characters that mean the same in every code page the engine knows, so plain
// text needs no converter at all.
bool plain(char16_t c) {
    return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n' || c == '\t';
}

constexpr int kMostNamed = 8;  // characters listed in a refusal before "..."

}  // namespace

QByteArray CodePageText::converterName(int codePage) {
    return QByteArray::fromStdString(xbase::codePageCharsetName(codePage));
}

CodePageText::CodePageText(int codePage)
    : codePage_(codePage),
      encoder_(converterName(codePage).constData()),
      decoder_(converterName(codePage).constData()) {
    // A code page this Qt cannot convert is read as Windows ANSI, as unmarked tables are.
    if (!encoder_.isValid() || !decoder_.isValid()) {
        codePage_ = 1252;
        encoder_ = QStringEncoder("windows-1252");
        decoder_ = QStringDecoder("windows-1252");
    }
}

QString CodePageText::decode(std::string_view bytes) {
    bool simple = true;
    for (char b : bytes) {
        if (!plain(static_cast<unsigned char>(b))) {
            simple = false;
            break;
        }
    }
    if (simple) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    decoder_.resetState();
    return decoder_.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool CodePageText::tryEncode(const QString& text, QByteArray& out) {
    bool simple = true;
    for (QChar c : text) {
        if (!plain(c.unicode())) {
            simple = false;
            break;
        }
    }
    if (simple) {
        out = text.toLatin1();
        return true;
    }
    encoder_.resetState();
    out = encoder_.encode(text);
    if (encoder_.hasError()) {
        // Qt 6.4 keeps an encoder's error through resetState(): without a fresh one, every
        // later text outside plain ASCII would be refused too.
        encoder_ = QStringEncoder(converterName(codePage_).constData());
        return false;
    }
    // Converters may map a character to a look-alike; only an exact round trip counts.
    decoder_.resetState();
    return decoder_.decode(out) == text;
}

bool CodePageText::canHold(const QString& text) {
    QByteArray ignored;
    return tryEncode(text, ignored);
}

QStringList CodePageText::unencodable(const QString& text) {
    QStringList found;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        const QString character = text.mid(i, length);
        i += length;
        if (!found.contains(character) && !canHold(character)) found << character;
    }
    return found;
}

std::string CodePageText::encode(const QString& text, const QString& what) {
    QByteArray bytes;
    if (tryEncode(text, bytes)) return bytes.toStdString();
    QStringList bad = unencodable(text);
    QStringList quoted;
    for (qsizetype i = 0; i < bad.size() && i < kMostNamed; ++i) quoted << '"' + bad[i] + '"';
    if (bad.size() > kMostNamed) quoted << QStringLiteral("...");
    const QString message =
        QStringLiteral(
            "The %1 contains characters that cannot be stored in this address book "
            "(code page %2): %3")
            .arg(what)
            .arg(codePage_)
            .arg(quoted.join(QStringLiteral(", ")));
    throw xbase::Error(xbase::ErrorKind::InvalidArgument, kUnencodableText, message.toStdString());
}

}  // namespace data
