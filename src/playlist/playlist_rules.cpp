#include <playlist/playlist_rules.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <exception>
#include <stdexcept>

#include <links/memo_scanner.h>

namespace playlist {

namespace {

// Bytes 0x80-0xBF continue a UTF-8 sequence; a lead byte says how many follow.
int Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The scanner cuts names at a byte count, which can split the last character of UTF-8
// text; drop such a stub rather than show a replacement character.
std::string WithoutBrokenTail(std::string bytes) {
    std::size_t lead = bytes.size();
    while (lead > 0 && (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead == 0) return bytes;
    const auto expected =
        static_cast<std::size_t>(Utf8SequenceLength(static_cast<unsigned char>(bytes[lead - 1])));
    if (bytes.size() - (lead - 1) < expected) bytes.resize(lead - 1);
    return bytes;
}

// The file name of one memo line, in Unicode. A line the table's code page cannot hold
// is scanned as UTF-8, so a name typed but not yet saved is still offered.
QString FileNameOfLine(const QString& line, const MemoCodePage& codePage) {
    std::string bytes;
    try {
        bytes = codePage.fromUnicode(line);
    } catch (const std::exception&) {
        const std::string name = links::findFileName(line.toStdString());
        return QString::fromStdString(WithoutBrokenTail(name));
    }
    const std::string name = links::findFileName(bytes);
    return name.empty() ? QString() : codePage.toUnicode(name);
}

QString FromHomeFolder(const QString& name) {
    if (!name.startsWith(QLatin1String("~/"))) return name;
    return QDir::homePath() + name.mid(1);
}

}  // namespace

std::optional<ListChoice> chooseList(const QString& answer) {
    if (answer.isEmpty()) return std::nullopt;
    const QChar first = answer.front().toUpper();
    if (first == u'E') return ListChoice::Edit;
    if (first == u'N') return ListChoice::New;
    return std::nullopt;
}

MemoCodePage MemoCodePage::latin1() {
    return {
        [](const QString& text) {
            for (const QChar c : text) {
                if (c.unicode() > 0xFF) throw std::invalid_argument("not a Latin-1 text");
            }
            return text.toLatin1().toStdString();
        },
        [](const std::string& bytes) {
            return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        },
    };
}

QStringList memoLines(const QString& memoText) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < memoText.size(); ++i) {
        const QChar c = memoText.at(i);
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator ||
            c == QChar::LineSeparator) {
            lines << line;
            line.clear();
            if (c == u'\r' && i + 1 < memoText.size() && memoText.at(i + 1) == u'\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

QStringList memoTracks(const QString& memoText, const MemoCodePage& codePage) {
    QStringList tracks;
    for (const QString& line : memoLines(memoText)) {
        const QString name = FileNameOfLine(line, codePage);
        if (name.isEmpty() || name.toLower().contains(QLatin1String(".m3u"))) continue;
        tracks << FromHomeFolder(name);
    }
    return tracks;
}

SameFileName::SameFileName() : collator_(QLocale()) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

bool SameFileName::operator()(const QString& one, const QString& other) const {
    return collator_.compare(one, other) == 0;
}

QString withDefaultSuffix(const QString& path, const QString& suffix) {
    if (QFileInfo(path).fileName().contains(u'.')) return path;
    return path + u'.' + suffix;
}

QByteArray itemBytes(const QString& text) {
    return QFile::encodeName(text);
}

QString itemText(const QByteArray& bytes) {
#ifndef _WIN32
    // A list written on Windows holds its code page's bytes, which are no UTF-8; show them
    // as Latin-1 rather than as replacement characters (the bytes themselves are kept).
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
#else
    return QFile::decodeName(bytes);
#endif
}

std::filesystem::path fileSystemPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace playlist
