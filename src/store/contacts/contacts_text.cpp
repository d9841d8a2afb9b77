#include "contacts_text.h"

#include <unicode/utrans.h>

#include <xbase/types.h>

namespace store {
namespace {

// Printable ASCII and the line breaks and tab: the same in every code page a table has.
bool plain(char16_t c) {
    return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n' || c == '\t';
}

bool allPlain(const QString& text) {
    for (QChar c : text)
        if (!plain(c.unicode())) return false;
    return true;
}

}  // namespace

// ICU's Latin-ASCII rules: the equivalents for letters with strokes, ligatures and
// typographic punctuation, which Unicode decomposition does not give.
struct TableText::Transliterator {
    UTransliterator* handle = nullptr;
    Transliterator() {
        UErrorCode status = U_ZERO_ERROR;
        handle = utrans_openU(u"Latin-ASCII", -1, UTRANS_FORWARD, nullptr, 0, nullptr, &status);
        if (U_FAILURE(status)) handle = nullptr;
    }
    ~Transliterator() {
        if (handle) utrans_close(handle);
    }
    QString apply(const QString& text) const {
        if (!handle) return text;
        QString buffer = text;
        buffer.resize(text.size() * 4 + 8);  // room for "ǅ" → "DZ" and the like
        int32_t length = static_cast<int32_t>(text.size());
        int32_t limit = length;
        UErrorCode status = U_ZERO_ERROR;
        utrans_transUChars(handle, reinterpret_cast<UChar*>(buffer.data()), &length,
                           static_cast<int32_t>(buffer.size()), 0, &limit, &status);
        if (U_FAILURE(status)) return text;
        buffer.truncate(length);
        return buffer;
    }
};

TableText::TableText(int codePage)
    : charset_(QByteArray::fromStdString(xbase::codePageCharsetName(codePage))),
      encoder_(charset_.constData()),
      decoder_(charset_.constData()) {
    if (!encoder_.isValid() || !decoder_.isValid()) {
        charset_ = "windows-1252";
        encoder_ = QStringEncoder(charset_.constData());
        decoder_ = QStringDecoder(charset_.constData());
    }
}

TableText::~TableText() = default;

QString TableText::decode(std::string_view bytes) {
    decoder_.resetState();
    return decoder_.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool TableText::holds(const QString& text) {
    if (allPlain(text)) return true;
    encoder_.resetState();
    const QByteArray bytes = encoder_.encode(text);
    if (encoder_.hasError()) {
        // Qt 6.4 keeps an ICU converter's error through resetState(): start a fresh one.
        encoder_ = QStringEncoder(charset_.constData());
        return false;
    }
    // Converters may write a look-alike for a character they lack; only a round trip counts.
    decoder_.resetState();
    return decoder_.decode(bytes) == text;
}

QString TableText::closestEquivalent(const QString& character) {
    QString bare;
    for (QChar c : character.normalized(QString::NormalizationForm_D))
        if (!c.isMark()) bare += c;
    if (!bare.isEmpty() && holds(bare)) return bare;
    if (!latin_) latin_ = std::make_unique<Transliterator>();
    const QString latin = latin_->apply(bare.isEmpty() ? character : bare);
    if (!latin.isEmpty() && latin != character && holds(latin)) return latin;
    return QStringLiteral("?");
}

TableText::Encoded TableText::encode(const QString& text) {
    Encoded out;
    if (allPlain(text)) {
        out.bytes = text.toStdString();
        return out;
    }
    QString held = text.normalized(QString::NormalizationForm_C);
    if (!holds(held)) {
        QString folded;
        for (qsizetype i = 0; i < held.size();) {
            const qsizetype length = held[i].isHighSurrogate() && i + 1 < held.size() ? 2 : 1;
            const QString character = held.mid(i, length);
            i += length;
            if (holds(character)) {
                folded += character;
                continue;
            }
            const QString equivalent = closestEquivalent(character);
            folded += equivalent;
            const QString change = character + QStringLiteral(" → ") + equivalent;
            if (!out.replaced.contains(change)) out.replaced << change;
        }
        held = folded;
    }
    encoder_.resetState();
    const QByteArray bytes = encoder_.encode(held);
    out.bytes = bytes.toStdString();
    return out;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    return lines;
}

QString withCrLf(const QString& text) {
    if (!text.contains(u'\r') && !text.contains(u'\n')) return text;
    return splitLines(text).join(QStringLiteral("\r\n"));
}

std::string withoutByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) return std::string(bytes);
    QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    const QString text =
        utf16.decode(QByteArrayView(bytes.data() + 2, static_cast<qsizetype>(bytes.size() - 2)));
    return text.toStdString();
}

QString decodeUtf8OrWindows(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    QStringDecoder windows("windows-1252");
    return windows.decode(view);
}

}  // namespace store
