#include "vcard_writer.h"

namespace store::vcard {
namespace {

constexpr size_t kLineOctets = 75;

bool continuesCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

std::string escaped(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u',' || c == u';') {
            out += u'\\';
            out += c;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += QStringLiteral("\\n");
        } else {
            out += c;
        }
    }
    return out.toStdString();
}

void appendLine(std::string& out, std::string_view head, std::string_view value) {
    std::string line;
    line.reserve(head.size() + 1 + value.size());
    line.append(head).append(1, ':').append(value);
    size_t start = 0;
    size_t room = kLineOctets;
    while (line.size() - start > room) {
        size_t end = start + room;
        while (end > start && continuesCharacter(line[end])) --end;
        out.append(line, start, end - start).append("\r\n ");
        start = end;
        room = kLineOctets - 1;  // after the blank that marks the continuation
    }
    out.append(line, start, std::string::npos).append("\r\n");
}

}  // namespace store::vcard
