#include "vcard_reader.h"

#include <QStringDecoder>

#include "contacts_text.h"

namespace store::vcard {
namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upper(c);
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isMarker(std::string_view line, std::string_view marker) {
    return equalsIgnoringCase(trimmed(line), marker);
}

// Positions of `separator` in `text` that are not inside double quotes.
std::vector<std::string_view> splitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == separator && !quoted) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

size_t colonOutsideQuotes(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) return i;
    }
    return std::string_view::npos;
}

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool isName(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!isNameCharacter(c)) return false;
    return true;
}

Parameter parseParameter(std::string_view text) {
    Parameter parameter;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        // vCard 2.1 writes bare types and encodings: TEL;HOME;VOICE, NOTE;QUOTED-PRINTABLE.
        const std::string bare = upperCopy(trimmed(text));
        const bool encoding =
            bare == "QUOTED-PRINTABLE" || bare == "BASE64" || bare == "8BIT" || bare == "7BIT";
        parameter.name = encoding ? "ENCODING" : "TYPE";
        parameter.values.push_back(bare);
        return parameter;
    }
    parameter.name = upperCopy(trimmed(text.substr(0, equals)));
    for (std::string_view value : splitOutsideQuotes(text.substr(equals + 1), ',')) {
        value = trimmed(value);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        parameter.values.emplace_back(value);
    }
    return parameter;
}

// One content line: [group "."] name *(";" parameter) ":" value. False when it is none.
bool parseProperty(std::string_view line, int number, Property& property) {
    const size_t colon = colonOutsideQuotes(line);
    if (colon == std::string_view::npos) return false;
    const std::vector<std::string_view> head = splitOutsideQuotes(line.substr(0, colon), ';');
    std::string_view name = trimmed(head[0]);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        property.group = std::string(name.substr(0, dot));
        name = name.substr(dot + 1);
    }
    if (!isName(name)) return false;
    property.name = upperCopy(name);
    for (size_t i = 1; i < head.size(); ++i)
        if (!trimmed(head[i]).empty()) property.parameters.push_back(parseParameter(head[i]));
    property.value = std::string(line.substr(colon + 1));
    property.line = number;
    return true;
}

bool isQuotedPrintable(std::string_view line) {
    const size_t colon = colonOutsideQuotes(line);
    return colon != std::string_view::npos &&
           upperCopy(line.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
}

struct LogicalLine {
    std::string text;
    int number = 0;
    size_t begin = 0, end = 0;  // byte offsets of its physical lines, line ends included
};

// Physical lines joined into content lines: a line that starts with a blank continues the
// one before (folding), and so does the line after a quoted-printable value that ends
// with "=" (the soft line break of vCard 2.1, whose next line need not start with a blank).
std::vector<LogicalLine> logicalLines(std::string_view bytes) {
    std::vector<LogicalLine> lines;
    int number = 0;
    size_t position = 0;
    while (position < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", position);
        size_t next = end;
        if (end == std::string_view::npos)
            end = next = bytes.size();
        else
            next = end +
                   (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
        const std::string_view physical = bytes.substr(position, end - position);
        const size_t begin = position;
        position = next;
        ++number;
        if (!lines.empty()) {
            std::string& previous = lines.back().text;
            if (!previous.empty() && previous.back() == '=' && !isMarker(physical, "END:VCARD") &&
                isQuotedPrintable(previous)) {
                previous.pop_back();
                previous.append(physical);
                lines.back().end = next;
                continue;
            }
            if (!physical.empty() && (physical.front() == ' ' || physical.front() == '\t') &&
                !previous.empty()) {
                previous.append(physical.substr(1));
                lines.back().end = next;
                continue;
            }
        }
        lines.push_back({std::string(physical), number, begin, next});
    }
    return lines;
}

bool isBase64(const Property& property) {
    for (const std::string& encoding : property.parameterValues("ENCODING"))
        if (encoding == "BASE64" || encoding == "B") return true;
    return false;
}

std::string quotedPrintableDecoded(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        c = upper(c);
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);  // a stray "=" is kept as written
        }
    }
    return out;
}

// Backslash escapes: vCard 3.0 and 4.0 escape "\" "," ";" and line breaks; 2.1 only ";".
// "\:" (seen in URLs some address books write) reads as ":". Other backslashes stay.
QString unescaped(const QString& text, std::string_view version) {
    if (!text.contains(u'\\')) return text;
    const bool old = version == "2.1";
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[i + 1];
        if (next == u';') {
            out += next;
        } else if (old) {
            out += c;
            continue;
        } else if (next == u'n' || next == u'N') {
            out += u'\n';
        } else if (next == u'\\' || next == u',' || next == u':') {
            out += next;
        } else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

QString decodedBytes(const Property& property) {
    std::string bytes = property.value;
    for (const std::string& encoding : property.parameterValues("ENCODING"))
        if (encoding == "QUOTED-PRINTABLE") bytes = quotedPrintableDecoded(bytes);
    const std::vector<std::string> charsets = property.parameterValues("CHARSET");
    if (!charsets.empty()) {
        QStringDecoder decoder(charsets.front().c_str());
        if (decoder.isValid())
            return decoder.decode(
                QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return decodeUtf8OrWindows(bytes);
}

}  // namespace

std::vector<std::string> Property::parameterValues(std::string_view wanted) const {
    std::vector<std::string> values;
    for (const Parameter& parameter : parameters)
        if (parameter.name == wanted)
            for (const std::string& each : parameter.values) values.push_back(upperCopy(each));
    return values;
}

bool Property::isBinary() const {
    return isBase64(*this) || name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
}

std::string Card::version() const {
    for (const Property& property : properties)
        if (property.name == "VERSION") return std::string(trimmed(property.value));
    return {};
}

bool looksLikeVCard(std::string_view bytes) {
    const std::string text = withoutByteOrderMark(bytes.substr(0, 4096));
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    size_t end = text.find_first_of("\r\n", start);
    return isMarker(
        std::string_view(text).substr(start, end == std::string::npos ? end : end - start),
        "BEGIN:VCARD");
}

File read(std::string_view raw) {
    const std::string bytes = withoutByteOrderMark(raw);
    File file;
    Card card;
    bool inCard = false;
    int agentDepth = 0;  // inside a card that a 2.1 AGENT property holds
    const auto finish = [&] {
        file.cards.push_back(std::move(card));
        card = Card{};
        inCard = false;
    };
    const auto damage = [&](const std::string& why) {
        if (card.damage.empty()) card.damage = why;
    };
    for (const LogicalLine& line : logicalLines(bytes)) {
        if (trimmed(line.text).empty()) continue;
        if (!inCard) {
            if (isMarker(line.text, "BEGIN:VCARD")) {
                inCard = true;
                card.line = line.number;
            } else {
                ++file.linesOutsideCards;
            }
            continue;
        }
        if (agentDepth > 0) {
            if (isMarker(line.text, "BEGIN:VCARD")) ++agentDepth;
            if (isMarker(line.text, "END:VCARD")) --agentDepth;
            continue;
        }
        if (isMarker(line.text, "END:VCARD")) {
            finish();
            continue;
        }
        if (isMarker(line.text, "BEGIN:VCARD")) {
            const bool agent = !card.properties.empty() && card.properties.back().name == "AGENT" &&
                               trimmed(card.properties.back().value).empty();
            if (agent) {
                agentDepth = 1;
                continue;
            }
            damage("it has no END:VCARD before line " + std::to_string(line.number));
            finish();
            inCard = true;
            card.line = line.number;
            continue;
        }
        Property property;
        if (parseProperty(line.text, line.number, property)) {
            property.begin = line.begin;
            property.end = line.end;
            card.properties.push_back(std::move(property));
        } else if (!card.properties.empty() && isBase64(card.properties.back())) {
            card.properties.back().value += line.text;  // 2.1 base64 lines need not be indented
            card.properties.back().end = line.end;
        } else {
            damage("line " + std::to_string(line.number) + " is not a property");
        }
    }
    if (inCard) {
        damage("the file ends before its END:VCARD");
        finish();
    }
    return file;
}

QString text(const Property& property, std::string_view version) {
    return unescaped(decodedBytes(property), version);
}

QStringList components(const Property& property, std::string_view version) {
    const QString value = decodedBytes(property);
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            ++i;
        } else if (value[i] == u';') {
            parts << unescaped(value.mid(start, i - start), version);
            start = i + 1;
        }
    }
    parts << unescaped(value.mid(start), version);
    return parts;
}

}  // namespace store::vcard
