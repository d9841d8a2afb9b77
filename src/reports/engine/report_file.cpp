#include <report_engine/report_file.h>

#include <report_engine/report_error.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <platform/regular_file.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace reports {

namespace {

const QString kFormatName = QStringLiteral("Marigold Cardhold report");
constexpr int kFormatVersion = 1;
constexpr std::size_t kLargestFile = 256u << 20;
constexpr int kLargestPaper = 12000;  // 100 inches
constexpr int kLargestCoordinate = 1000000;

constexpr std::array<std::pair<LineStyle, const char*>, 5> kStyleNames{{
    {LineStyle::Solid, "solid"},
    {LineStyle::Dash, "dash"},
    {LineStyle::Dot, "dot"},
    {LineStyle::DashDot, "dashdot"},
    {LineStyle::DashDotDot, "dashdotdot"},
}};

QString styleName(LineStyle style) {
    for (const auto& [known, name] : kStyleNames)
        if (known == style) return QString::fromLatin1(name);
    return QStringLiteral("solid");
}

// Reads the pieces of a file and says precisely what is wrong when one does not fit.
class Reader {
  public:
    explicit Reader(QString source) : source_(std::move(source)) {}

    [[noreturn]] void damaged(const QString& what) const {
        throw ReportError(
            QStringLiteral("The report file \"%1\" is damaged: %2.").arg(source_, what));
    }

    QJsonArray array(const QJsonValue& value, const QString& what) const {
        if (!value.isArray()) damaged(what + QStringLiteral(" is missing"));
        return value.toArray();
    }

    int integer(const QJsonValue& value, const QString& what, int low = -kLargestCoordinate,
                int high = kLargestCoordinate) const {
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || number != std::floor(number) || number < low || number > high)
            damaged(QStringLiteral("%1 is not a whole number from %2 to %3")
                        .arg(what)
                        .arg(low)
                        .arg(high));
        return static_cast<int>(number);
    }

    LineStyle style(const QJsonValue& value, const QString& what) const {
        const QString name = value.toString();
        for (const auto& [known, knownName] : kStyleNames)
            if (name == QLatin1String(knownName)) return known;
        damaged(QStringLiteral("%1 has the unknown line style \"%2\"").arg(what, name));
    }

    // An element stored as an array of exactly `size` values.
    QJsonArray tuple(const QJsonValue& value, qsizetype size, const QString& what) const {
        const QJsonArray items = array(value, what);
        if (items.size() != size)
            damaged(QStringLiteral("%1 has %2 values instead of %3")
                        .arg(what)
                        .arg(items.size())
                        .arg(size));
        return items;
    }

  private:
    QString source_;
};

}  // namespace

QByteArray encodeReport(const ReportDocument& document) {
    QJsonArray fonts;
    QHash<ReportFont, int> fontIndex;
    const auto indexOf = [&](const ReportFont& font) {
        auto found = fontIndex.constFind(font);
        if (found != fontIndex.constEnd()) return *found;
        fonts.append(QJsonObject{{"family", font.family()},
                                 {"pixelSize", font.pixelSize()},
                                 {"bold", font.bold()},
                                 {"italic", font.italic()}});
        const int index = static_cast<int>(fonts.size()) - 1;
        fontIndex.insert(font, index);
        return index;
    };

    QJsonArray pages;
    for (const ReportPage& page : document.pages) {
        QJsonArray texts;
        for (const PageText& t : page.texts)
            texts.append(QJsonArray{t.x, t.y, t.width, t.height, indexOf(t.font), t.text});
        QJsonArray lines;
        for (const PageLine& l : page.lines)
            lines.append(QJsonArray{l.x1, l.y1, l.x2, l.y2, styleName(l.style), l.penWidth});
        QJsonArray boxes;
        for (const PageBox& b : page.boxes)
            boxes.append(QJsonArray{b.x, b.y, b.width, b.height, styleName(b.style), b.penWidth});
        pages.append(QJsonObject{{"texts", texts}, {"lines", lines}, {"boxes", boxes}});
    }

    const QJsonObject root{
        {"format", kFormatName},
        {"version", kFormatVersion},
        {"title", document.title},
        {"paper", QJsonObject{{"width", document.paperWidth}, {"height", document.paperHeight}}},
        {"fonts", fonts},
        {"pages", pages}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

ReportDocument decodeReport(const QByteArray& bytes, const QString& source) {
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject root = json.object();
    if (error.error != QJsonParseError::NoError || !json.isObject() ||
        root.value("format").toString() != kFormatName)
        throw ReportError(
            QStringLiteral("The file \"%1\" is not a report file of this program.").arg(source));
    if (root.value("version").toInt(0) != kFormatVersion)
        throw ReportError(
            QStringLiteral("The report file \"%1\" has version %2; this program reads version %3.")
                .arg(source, root.value("version").toVariant().toString())
                .arg(kFormatVersion));

    const Reader read(source);
    ReportDocument document;
    document.title = root.value("title").toString();
    const QJsonObject paper = root.value("paper").toObject();
    document.paperWidth =
        read.integer(paper.value("width"), QStringLiteral("the paper width"), 1, kLargestPaper);
    document.paperHeight =
        read.integer(paper.value("height"), QStringLiteral("the paper height"), 1, kLargestPaper);

    std::vector<ReportFont> fonts;
    for (const QJsonValue& value :
         read.array(root.value("fonts"), QStringLiteral("the font list"))) {
        const QJsonObject font = value.toObject();
        const double size = font.value("pixelSize").toDouble();
        if (font.value("family").toString().isEmpty() || !(size >= 1 && size <= 2000))
            read.damaged(QStringLiteral("font %1 is not valid").arg(fonts.size() + 1));
        fonts.emplace_back(font.value("family").toString(), size, font.value("bold").toBool(),
                           font.value("italic").toBool());
    }

    for (const QJsonValue& pageValue :
         read.array(root.value("pages"), QStringLiteral("the page list"))) {
        const QJsonObject object = pageValue.toObject();
        const QString where = QStringLiteral("page %1").arg(document.pages.size() + 1);
        ReportPage page;
        for (const QJsonValue& value :
             read.array(object.value("texts"), where + QStringLiteral(" texts"))) {
            const QJsonArray t = read.tuple(value, 6, where + QStringLiteral(" text"));
            const int font = read.integer(t[4], where + QStringLiteral(" font number"), 0,
                                          static_cast<int>(fonts.size()) - 1);
            if (!t[5].isString())
                read.damaged(where + QStringLiteral(" has a text that is not text"));
            page.texts.push_back(
                {read.integer(t[0], where + " x"), read.integer(t[1], where + " y"),
                 read.integer(t[2], where + " width", 0), read.integer(t[3], where + " height", 0),
                 t[5].toString(), fonts[size_t(font)]});
        }
        for (const QJsonValue& value :
             read.array(object.value("lines"), where + QStringLiteral(" lines"))) {
            const QJsonArray l = read.tuple(value, 6, where + QStringLiteral(" line"));
            page.lines.push_back(
                {read.integer(l[0], where + " x1"), read.integer(l[1], where + " y1"),
                 read.integer(l[2], where + " x2"), read.integer(l[3], where + " y2"),
                 read.style(l[4], where + " line"),
                 read.integer(l[5], where + " pen width", 1, 100)});
        }
        for (const QJsonValue& value :
             read.array(object.value("boxes"), where + QStringLiteral(" boxes"))) {
            const QJsonArray b = read.tuple(value, 6, where + QStringLiteral(" box"));
            page.boxes.push_back(
                {read.integer(b[0], where + " x"), read.integer(b[1], where + " y"),
                 read.integer(b[2], where + " width", 0), read.integer(b[3], where + " height", 0),
                 read.style(b[4], where + " box"),
                 read.integer(b[5], where + " pen width", 1, 100)});
        }
        document.pages.push_back(std::move(page));
    }
    return document;
}

void saveReportFile(const ReportDocument& document, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    const QByteArray bytes = encodeReport(document);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw ReportError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

ReportDocument loadReportFile(const QString& path) {
    // The size is counted as read: a device such as /dev/zero claims none and never ends.
#ifdef _WIN32
    const std::filesystem::path file(path.toStdWString());
#else
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
#endif
    std::string bytes;
    try {
        bytes = platform::readRegularFile(file, kLargestFile);
    } catch (const platform::RegularFileError& error) {
        switch (error.reason()) {
            case platform::RegularFileError::Reason::System:
                throw ReportError(
                    QStringLiteral("Cannot open \"%1\": %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error.systemError()))));
            case platform::RegularFileError::Reason::NotRegular:
                throw ReportError(
                    QStringLiteral("Cannot open \"%1\": it is not a file.").arg(path));
            case platform::RegularFileError::Reason::TooLarge:
                break;
        }
        throw ReportError(
            QStringLiteral("The file \"%1\" is too large to be a report file.").arg(path));
    }
    return decodeReport(QByteArray::fromStdString(bytes), path);
}

}  // namespace reports
